#include "presentation/ApptItems.h"

namespace qv
{

Icontify& ApptItems::AddCalItem()
{
    if (CalItems.empty())
        CalItems.emplace_back(); // position 0
    const int nTag = static_cast<int>(CalItems.size());
    CalItems.push_back(std::make_unique<Icontify>(Icons, nTag));
    return *CalItems.back();
}

Icontify* ApptItems::CalItem(int nTag)
{
    if (nTag <= 0 || static_cast<size_t>(nTag) >= CalItems.size())
        return nullptr;
    return CalItems[static_cast<size_t>(nTag)].get();
}

void ApptItems::ReleaseCalItem(int nTag)
{
    Icontify* pItem = CalItem(nTag);
    if (!pItem)
        return;
    pItem->BorraIcono();
    Released.push_back(std::move(CalItems[static_cast<size_t>(nTag)]));
}

void ApptItems::ReleaseAll()
{
    for (size_t i = 1; i < CalItems.size(); ++i)
        if (CalItems[i])
            ReleaseCalItem(static_cast<int>(i));
}

} // namespace qv
