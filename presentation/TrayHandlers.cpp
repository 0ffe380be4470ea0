// How the main window answers its icon: clicks, the balloon, and the requests a second copy hands over.
#include "app/frmMain.h"

namespace qv
{

void frmMain::OnTrayEvent(const TrayEvent& event)
{
    if (bUnloaded)
        return;
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
    // Sending files and the mail-client hand-off are not built yet: the request is dropped, as a request
    // without a receiver would be.
    case TrayEventKind::UploadFile:
    case TrayEventKind::MapiMensaje:
    default: break;
    }
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
        if (Controls.txtZimbraHost.empty() || Controls.txtUsuario.empty() || sPassword.empty())
        {
            ShowSettingsWindow();
            return;
        }
        mnuPopComprobar_Click();
        break;
    case 2: P.Tray.ShowMenu(); break;
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

} // namespace qv
