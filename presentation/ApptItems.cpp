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

IApptItem* ApptItems::FindApptItem(const std::string& sId)
{
    for (const auto& pItem : CalItems)
        if (pItem && pItem->id == sId)
            return pItem.get();
    return nullptr;
}

void ApptItems::ForEachApptItem(const std::function<void(IApptItem&)>& fnEach)
{
    // By position, not by iterator: the callback may let go of the item it is given.
    for (size_t i = 1; i < CalItems.size(); ++i)
        if (CalItems[i])
            fnEach(*CalItems[i]);
}

int ApptItems::IconsInUse() const
{
    int nCount = 0;
    for (const auto& pItem : CalItems)
        nCount += pItem && pItem->bTieneIcono ? 1 : 0;
    return nCount;
}

void ApptItems::ReleaseAll()
{
    for (size_t i = 1; i < CalItems.size(); ++i)
        if (CalItems[i])
            ReleaseCalItem(static_cast<int>(i));
}

} // namespace qv
