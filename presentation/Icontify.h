// An appointment item: the record side is filled by the appointment reader; this side shows the item's own
// notification-area icon and balloon.
#pragma once

#include <memory>
#include <string>

#include "platform/Tray.h"
#include "presentation/TrayModel.h"

namespace qv
{

class Icontify
{
public:
    Icontify(IItemIcons& icons, int nTag) : Icons(icons), Tag(nTag) {}
    ~Icontify() { BorraIcono(); } // an item never leaves its icon behind
    Icontify(const Icontify&) = delete;
    Icontify& operator=(const Icontify&) = delete;

    // The first line is the balloon's title, the rest its text; the icon is added on the first call.
    void Iconizar(const std::string& sDescripcion);
    void BorraIcono();
    void DeIconizar() { BorraIcono(); }
    // Shows the item's balloon unless the shell has not shown the last one yet; a change is marked once.
    void Show();

    bool bTieneIcono = false;
    TrayIconKind hIcono = TrayIconKind::Calendar;
    bool bNotificar = true;
    bool bModificada = false;
    bool bPendienteDeMostrar = false;
    std::string sCuando;
    std::string name;

    int GetTag() const { return Tag; }

private:
    IItemIcons& Icons;
    const int Tag;
    std::unique_ptr<ITrayIcon> Icon;
    TrayModel Model;
};

} // namespace qv
