// How the program answers its icons: clicks, balloons, the tray menu, and the requests a second copy hands over.
#include "app/frmMain.h"

namespace qv
{

void frmMain::OnTrayEvent(const TrayEvent& event)
{
    if (bUnloaded)
        return;
    Dispatch([&] {
        switch (event.nKind)
        {
        case TrayEventKind::MouseUp: CTrayIcon_OnMouseUp(event.nButton); break;
        case TrayEventKind::DblClick: CTrayIcon_OnDblClick(event.nButton); break;
        case TrayEventKind::BalloonClick: CTrayIcon_OnBalloonClick(); break;
        case TrayEventKind::AbreZimbra: AbreZimbra(event.sCommandLine); break;
        case TrayEventKind::SettingsShowRequest:
            ShowSettingsWindow();
            P.Shell.ActivateMainWindow();
            break;
        // FIXME: sending files and the mail-client hand-off are not built yet; the request is dropped, as a
        // request without a receiver would be.
        case TrayEventKind::UploadFile:
        case TrayEventKind::MapiMensaje:
        default: break;
        }
    });
}

void frmMain::CTrayIcon_OnMouseUp(int nButton)
{
    switch (nButton)
    {
    case 1:
        if (P.View.IsVisible())
        {
            P.View.ShowNormal(); // the window takes the focus; nothing else
            return;
        }
        if (!Settings.IsComplete())
        {
            ShowSettingsWindow();
            return;
        }
        mnuPopComprobar_Click();
        break;
    case 2: OnMenuCommand(P.Tray.ShowMenu(TrayMenu())); break;
    case 4: AbreZimbra({}); break;
    default: break;
    }
}

void frmMain::CTrayIcon_OnDblClick(int nButton)
{
    if (nButton == 1)
        AbreZimbra({});
}

void frmMain::CTrayIcon_OnBalloonClick()
{
    AbreZimbra({});
}

void frmMain::OnMenuCommand(MenuCommand nCommand)
{
    if (bUnloaded)
        return;
    Dispatch([&] {
        switch (nCommand)
        {
        case MenuCommand::mnuPopComprobar: mnuPopComprobar_Click(); break;
        case MenuCommand::mnuPopConf: mnuPopConf_Click(); break;
        case MenuCommand::mnuPopAbrirZimbra: AbreZimbra({}); break;
        case MenuCommand::mnuPopSalir: RequestUnload(); break;
        default: break; // greyed entries, or a command of another program
        }
    });
}

void frmMain::OnItemTrayEvent(int nTag, const TrayEvent& event)
{
    if (bUnloaded)
        return;
    // Presses, double clicks and the balloon's time-out of an item's icon are not passed on.
    Dispatch([&] {
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
    });
}

// FIXME: the calendar menu of an item is not built yet; its clicks change nothing.
void frmMain::objNotify_OnMouseUp(int, int) {}
void frmMain::objNotify_OnBalloonClick(int) {}

void frmMain::objNotify_OnBalloonShow(int nSource)
{
    if (Icontify* pItem = Items.CalItem(nSource))
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

void frmMain::ReleaseCalItem(int nTag)
{
    Items.ReleaseCalItem(nTag);
    if (nEventDepth == 0)
        Items.ReleasePending();
}

} // namespace qv
