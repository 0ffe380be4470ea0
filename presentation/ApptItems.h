// The appointment items and their icons: stable positions, and a release that waits until no event of the
// item runs any more.
#pragma once

#include <memory>
#include <vector>

#include "platform/Appointments.h"
#include "platform/Tray.h"
#include "presentation/Icontify.h"

namespace qv
{

class ApptItems final : public IApptItemList
{
public:
    explicit ApptItems(IItemIcons& icons) : Icons(icons) {}

    IApptItem* FindApptItem(const std::string& sId) override;
    IApptItem& AddApptItem() override { return AddCalItem(); }
    IApptItem* ApptItemAt(int nTag) override { return CalItem(nTag); }
    void DiscardApptItem(int nTag) override { ReleaseCalItem(nTag); }
    void ForEachApptItem(const std::function<void(IApptItem&)>& fnEach) override;
    // The icons in use: never more than the items due or running.
    int IconsInUse() const;

    // A new item in the next free position; positions never move, position 0 is never used.
    Icontify& AddCalItem();
    Icontify* CalItem(int nTag);
    // Removes the item's icon at once; the object itself lives until ReleasePending, because its hidden window
    // may be the one whose message runs now.
    void ReleaseCalItem(int nTag);
    void ReleaseAll();
    // Called when no event runs any more.
    void ReleasePending() { Released.clear(); }

private:
    IItemIcons& Icons;
    std::vector<std::unique_ptr<Icontify>> CalItems;
    std::vector<std::unique_ptr<Icontify>> Released;
};

} // namespace qv
