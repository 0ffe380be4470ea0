// How the program answers its icons: clicks, balloons, the tray menu, and the requests a second copy hands over.
#include "app/frmMain.h"

#include <utility>

#include "presentation/TrayMenu.h"

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
        case TrayEventKind::AbreZimbra:
            // Handed over while the program is still logging in (or the server is not reachable yet): the checks
            // are running, so the request waits for the next good one instead of being lost.
            if (Session.sAuthToken.empty() && Settings.IsComplete() && !Settings.sPassword.empty())
                KeepForFirstLogin({HandOffCode::OpenWebmail, true, event.sCommandLine});
            else
                AbreZimbra(event.sCommandLine);
            break;
        case TrayEventKind::SettingsShowRequest:
            ShowSettingsWindow();
            P.Shell.ActivateMainWindow();
            break;
        case TrayEventKind::MapiMensaje: UploadAndCompose(ParseMapiMessage(event.sCommandLine)); break;
        case TrayEventKind::UploadFile:
            // Files handed over before the first login: sent once a check has succeeded, as a link waits.
            if (Session.sAuthToken.empty() && Settings.IsComplete() && !Settings.sPassword.empty())
                KeepForFirstLogin({HandOffCode::UploadFiles, true, event.sCommandLine});
            else
            {
                UploadJob job;
                job.sFilePaths = event.sCommandLine;
                UploadAndCompose(job);
            }
            break;
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
    case 2:
        // The menu brings the program to the foreground itself; the settings window stays as it is. The default
        // mail client may have been changed by another program since start-up.
        Settings.Controls.mnuPopWinSetupMailtoHandler = Settings.Windows.IsDefaultMailClient();
        OnMenuCommand(P.Tray.ShowMenu(TrayMenu()));
        break;
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
        case MenuCommand::mnuPopWinSetupMailtoHandler:
            Settings.Controls.mnuPopWinSetupMailtoHandler = !Settings.Controls.mnuPopWinSetupMailtoHandler;
            Settings.SaveSettings(SaveMode::UserChange); // which applies the integration
            break;
        case MenuCommand::mnuPopWinSetupAutoRun:
            Settings.Controls.mnuPopWinSetupAutoRun = !Settings.Controls.mnuPopWinSetupAutoRun;
            Settings.SaveSettings(SaveMode::UserChange);
            break;
        case MenuCommand::mnuPopAbout: mnuPopAbout_Click(); break;
        case MenuCommand::mnuPopSalir: RequestUnload(); break;
        case MenuCommand::mnuCalAbrirZimbra:
            iCalItemActual = -1;
            AbreZimbra({});
            break;
        case MenuCommand::mnuCalEliminar: CancelAppointment(); break;
        case MenuCommand::mnuCalNotificar: mnuCalNotificar_Click(); break;
        default: break; // the calendar menu's captions, greyed entries, or a command of another program
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
        // The text as it was read when the message came: the sender's own bytes are gone by now.
        case TrayEventKind::MapiMensaje:
            objNotify.CallOnMapiMensage(nTag, event.sCommandLine.data(),
                                        static_cast<uint32_t>(event.sCommandLine.size()));
            break;
        case TrayEventKind::SettingsShowRequest: objNotify.CallOnSettingsShowRequest(nTag); break;
        default: break;
        }
    });
}

// Any release on an appointment's icon, and a click on its balloon, open its calendar menu.
void frmMain::objNotify_OnMouseUp(int, int nSource)
{
    OpenCalendarMenu(nSource);
}

void frmMain::objNotify_OnBalloonClick(int nSource)
{
    OpenCalendarMenu(nSource);
}

void frmMain::OpenCalendarMenu(int nTag)
{
    const IApptItem* pItem = Items.ApptItemAt(nTag);
    if (!pItem)
        return; // an empty slot opens no menu
    iCalItemActual = nTag;
    const PopupMenu menu = BuildCalendarMenu({pItem->name, pItem->sCuando, pItem->isOrg == "1", pItem->bNotificar});
    // The menu runs its own loop: a check may let the item go before a command comes back.
    OnMenuCommand(P.Tray.ShowMenu(menu));
}

void frmMain::CancelAppointment()
{
    const int nTag = std::exchange(iCalItemActual, -1);
    if (Items.ApptItemAt(nTag) && Cancel.CalApptCancelado(nTag))
        ReleaseCalItem(nTag);
}

void frmMain::mnuCalNotificar_Click()
{
    Icontify* pItem = Items.CalItem(std::exchange(iCalItemActual, -1));
    if (!pItem)
        return;
    pItem->bNotificar = !pItem->bNotificar;
    if (!pItem->bNotificar)
    {
        pItem->BorraIcono();
        pItem->bPendienteDeMostrar = false; // a removed icon's balloon is never shown: switched on, it may ask again
    }
}

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
    event.sCommandLine.assign(static_cast<const char*>(lpMapiMessage), lpMapiMessage ? cbData : 0);
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
