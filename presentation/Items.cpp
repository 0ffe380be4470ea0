// The appointment items' icons as the main window sees them: their events and their lives.
#include "app/frmMain.h"

namespace qv
{

void frmMain::OnItemTrayEvent(int nTag, const TrayEvent& event)
{
    if (bUnloaded)
        return;
    // Presses, double clicks and the balloon's time-out of an item's icon are not passed on.
    switch (event.nKind)
    {
    case TrayEventKind::MouseUp: objNotify.CallOnMouseUp(event.nButton, nTag); break;
    case TrayEventKind::BalloonClick: objNotify.CallOnBalloonClick(nTag); break;
    case TrayEventKind::BalloonShow: objNotify.CallOnBalloonShow(nTag); break;
    case TrayEventKind::AbreZimbra: objNotify.CallOnAbreZimbra(nTag, event.sCommandLine); break;
    case TrayEventKind::UploadFile: objNotify.CallOnUploadFile(nTag, event.sCommandLine); break;
    case TrayEventKind::MapiMensaje: objNotify.CallOnMapiMensage(nTag, event.pData, event.cbData); break;
    case TrayEventKind::SettingsShowRequest: objNotify.CallOnSettingsShowRequest(nTag); break;
    default: break;
    }
}

// The calendar menu of an item is not built yet: its clicks change nothing.
void frmMain::objNotify_OnMouseUp(int, int) {}
void frmMain::objNotify_OnBalloonClick(int) {}

void frmMain::objNotify_OnBalloonShow(int nSource)
{
    if (Icontify* pItem = CalItem(nSource))
        pItem->bPendienteDeMostrar = false;
}

// A second copy may have found an item's hidden window: its request is answered as the main icon's.
void frmMain::objNotify_OnAbreZimbra(int, const std::string& sCommandLine)
{
    TrayEvent event;
    event.nKind = TrayEventKind::AbreZimbra;
    event.sCommandLine = sCommandLine;
    OnTrayEvent(event);
}

void frmMain::objNotify_OnUploadFile(int, const std::string& sCommandLine)
{
    TrayEvent event;
    event.nKind = TrayEventKind::UploadFile;
    event.sCommandLine = sCommandLine;
    OnTrayEvent(event);
}

void frmMain::objNotify_OnMapiMensaje(int, const void* lpMapiMessage, uint32_t cbData)
{
    TrayEvent event;
    event.nKind = TrayEventKind::MapiMensaje;
    event.pData = lpMapiMessage;
    event.cbData = cbData;
    OnTrayEvent(event);
}

void frmMain::objNotify_OnSettingsShowRequest(int)
{
    TrayEvent event;
    event.nKind = TrayEventKind::SettingsShowRequest;
    OnTrayEvent(event);
}

Icontify& frmMain::AddCalItem()
{
    if (CalItems.empty())
        CalItems.emplace_back(); // position 0
    const int nTag = static_cast<int>(CalItems.size());
    CalItems.push_back(std::make_unique<Icontify>(P.ItemIcons, nTag));
    return *CalItems.back();
}

Icontify* frmMain::CalItem(int nTag)
{
    if (nTag <= 0 || static_cast<size_t>(nTag) >= CalItems.size())
        return nullptr;
    return CalItems[static_cast<size_t>(nTag)].get();
}

void frmMain::ReleaseCalItem(int nTag)
{
    Icontify* pItem = CalItem(nTag);
    if (!pItem)
        return;
    pItem->BorraIcono();
    // Its hidden window may be the one whose message runs now: the object goes once the call has unwound.
    Released.push_back(std::move(CalItems[static_cast<size_t>(nTag)]));
    if (nEventDepth == 0)
        Released.clear();
}

void frmMain::RemoveApptIcons()
{
    for (size_t i = 1; i < CalItems.size(); ++i)
        if (CalItems[i])
            ReleaseCalItem(static_cast<int>(i));
}

} // namespace qv
