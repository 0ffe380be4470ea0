// An appointment item: the record side is filled by the appointment reader; this side shows the item's own
// notification-area icon and balloon.
#pragma once

#include <memory>
#include <string>

#include "platform/Appointments.h"
#include "platform/Tray.h"
#include "presentation/TrayModel.h"

namespace qv
{

class Icontify final : public IApptItem
{
public:
    Icontify(IItemIcons& icons, int nTag) : Icons(icons), Tag(nTag) {}
    ~Icontify() { BorraIcono(); } // an item never leaves its icon behind
    Icontify(const Icontify&) = delete;
    Icontify& operator=(const Icontify&) = delete;

    // The first line is the balloon's title, the rest its text; the icon is added on the first call.
    void Iconizar(const std::string& sDescripcion) override;
    void BorraIcono();
    void DeIconizar() { BorraIcono(); }

    bool bTieneIcono = false;
    TrayIconKind hIcono = TrayIconKind::Calendar;

    int GetTag() const override { return Tag; }

private:
    IItemIcons& Icons;
    const int Tag;
    std::unique_ptr<ITrayIcon> Icon;
    TrayModel Model;
};

} // namespace qv
