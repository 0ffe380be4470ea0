#include "app/frmMain.h"

#include <cstdlib>
#include <utility>

#include "platform/InterfaceTexts.h"
#include "platform/Product.h"
#include "platform/Text.h"
#include "presentation/TrayMenu.h"
#include "session/SessionRules.h"
#include "settings/Registry2.h"

namespace qv
{

frmMain::frmMain(Platform& platform)
    : Settings(platform.Registry, platform.Integration, platform.WinSetup, platform.View)
    , Icon(platform.Tray)
    , Session(platform.Soap, platform.Clock, Icon, Settings.Controls)
    , Items(platform.ItemIcons)
    , Reader(Session, Icon, platform.System, platform.Clock, platform.Locale, Items, Settings.Controls,
             [this](const std::string& sText, int nStyle) { return ShowMessage(sText, nStyle); })
    , Cycle(Session, Reader, platform.Clock, platform.Timers, platform.View, platform.System, Settings.Controls,
            Settings.sPassword)
    , Cancel(
          Session, Reader, Items, [this](const std::string& sText, int nStyle) { return ShowMessage(sText, nStyle); },
          [this](const std::string& sText, int nStyle) { return ShowMessage(sText, nStyle); })
    , Web(platform.Shell, platform.Clock, platform.Windows, platform.Timers)
    , HTTP(platform.Sockets, platform.Tls, platform.Files, platform.Dialogs)
    , Upload(HTTP, platform.Files, platform.Processes, platform.Keyboard, platform.ShellLinks, platform.Clock,
             platform.Locale)
    , P(platform)
{
    Session.fnLoginRejected = [this] { Settings.ForgetPassword(); };
    Settings.fnStoreFailed = [this] { ShowMessage(sSettingsNotSaved, nMbExclamation); };
    Cycle.fnChecked = [this] { ActOnStartRequest(); };
    Web.fnBrowserToken = [this] { return Session.LoginForBrowser(Settings.sPassword); };
    Web.fnShowError = [this](const std::string& sText) { ShowMessage(sText, nMbCritical); };
    Reader.fnPreferencesRead = [this] {
        Settings.Controls.lblMailPollInterval = std::to_string(Reader.nMailPollingInterval);
        P.View.RefreshControls();
    };
}

void frmMain::Form_Load()
{
    LoadSettings();
    Settings.SaveSettings(SaveMode::Startup);
    (void)Icon.Add(); // no taskbar yet: the icon comes back when the shell announces itself
    bLoaded = true;

    if (Settings.IsComplete())
    {
        const bool bResult = Cycle.Comprobar(false);
        Cycle.StartCheckTimer(bResult ? Reader.nMailPollingInterval : Session.nMailPollingShort);
        if (!Settings.sPassword.empty())
            HideSettingsWindow();
        else
            ShowSettingsWindow();
    }
    else
    {
        ShowSettingsWindow();
    }
}

void frmMain::KeepForFirstLogin(HandOffRequest request)
{
    // A plain start only opens the web mail, which whatever already waits does too: it must not displace it.
    if (request.nCode == HandOffCode::OpenWebmail && Trim(request.sText).empty() && !StartRequests.empty())
        return;
    StartRequests.push_back(std::move(request));
}

void frmMain::ActOnStartRequest()
{
    std::deque<HandOffRequest> requests = std::exchange(StartRequests, {});
    for (const HandOffRequest& request : requests)
    {
        // The same as the request a second copy would have handed over.
        TrayEvent event;
        event.nKind = request.nCode == HandOffCode::ShowSettings  ? TrayEventKind::SettingsShowRequest
                      : request.nCode == HandOffCode::UploadFiles ? TrayEventKind::UploadFile
                                                                  : TrayEventKind::AbreZimbra;
        event.sCommandLine = Trim(request.sText);
        OnTrayEvent(event);
    }
}

void frmMain::RequestUnload()
{
    if (nEventDepth > 0)
        bUnloadPending = true; // a request or a message box is still on the stack: end once it has unwound
    else
        Form_Unload();
}

void frmMain::Form_Unload()
{
    if (bUnloaded)
        return;
    bUnloaded = true;
    Cycle.Stop();
    if (bLoaded)
        Settings.SaveSettings(SaveMode::Shutdown);
    (void)Icon.Delete();
    Items.ReleaseAll();
    if (nEventDepth == 0)
        Items.ReleasePending();
    P.View.EndProgram();
}

void frmMain::LoadSettings()
{
    Settings.LoadSettings();
    Session.ServerChanged(Settings.Controls.txtZimbraHost);
}

void frmMain::ShowSettingsWindow()
{
    if (bUnloaded)
        return;
    P.View.ShowNormal();
    P.View.SetFocus(Control::txtPassword);
}

void frmMain::HideSettingsWindow()
{
    P.View.HideMinimized();
}

void frmMain::Form_Activate()
{
    const SettingsControls& c = Settings.Controls;
    if (P.View.IsVisible() && !c.txtZimbraHost.empty() && !c.txtUsuario.empty() && c.txtPassword.empty())
        P.View.SetFocus(Control::txtPassword);
}

void frmMain::cmdCerrar_Click()
{
    Dispatch([&] {
        AnimateWindow();
        HideSettingsWindow();
        P.System.TrimWorkingSet();
    });
}

void frmMain::AnimateWindow()
{
    const std::string sMinAnimate =
        Registry2::GetKeyValue(P.Registry, RegRoot::CurrentUser, "Control Panel\\Desktop\\WindowMetrics", "MinAnimate");
    if (std::atoi(sMinAnimate.c_str()) != 0)
        P.View.AnimateToTray();
}

void frmMain::cmdAceptar_Click(Control nActive)
{
    if (nActive != Control::cmdAceptar && nActive != Control::txtPassword)
        return;
    Dispatch([&] {
        // A password typed and confirmed with Enter has not left its box yet: take it now, not the old one.
        CommitPassword();
        SettingsControls& c = Settings.Controls;
        if (!Settings.IsComplete())
        {
            ShowSettingsWindow();
            ShowMessage(Texts::sEnterRequiredFields, nMbInformation);
            P.View.SetFocus(Control::txtPassword);
            return;
        }
        if (c.optWhiteList && c.txtFilters.empty())
        {
            ShowMessage(Texts::optWhiteList, nMbQuestion);
            c.txtFilters = "Inbox";
            P.View.RefreshControls();
            P.View.SetFocus(Control::txtFilters);
            P.System.Beep();
            return;
        }
        // Nothing is saved before the server has accepted the settings.
        if (!Cycle.Comprobar(false))
        {
            ShowSettingsWindow();
            ShowMessage(Session.LastErrorText(), nMbExclamation);
            P.View.SetFocus(Control::txtUsuario);
            return;
        }
        if (c.mnuPopWinSetupMailtoHandler)
            Settings.DefaultMailClientAnswer(P.Dialogs.ShowMessageBoxCheck(sDefaultMailClientQuestion,
                                                                           nDefaultMailClientStyle, ProductCaption(),
                                                                           nDontAskAgain, sDontAskAgainValue));
        AnimateWindow();
        HideSettingsWindow();
        Settings.SaveSettings(SaveMode::UserChange);
        Cycle.StartCheckTimer(Reader.nMailPollingInterval);
    });
}

void frmMain::mnuPopConf_Click()
{
    if (!P.View.IsVisible())
        ShowSettingsWindow();
}

void frmMain::mnuPopComprobar_Click()
{
    if (!Settings.IsComplete())
    {
        ShowSettingsWindow();
        ShowMessage(Texts::sEnterRequiredFields, nMbInformation);
        return;
    }
    if (Cycle.Comprobar(false))
    {
        Cycle.StartCheckTimer(Reader.nMailPollingInterval);
        return;
    }
    ShowSettingsWindow();
    ShowMessage(Session.LastErrorText(), nMbExclamation);
}

void frmMain::mnuPopAbout_Click()
{
    const std::string sLast = Session.dLastSuccess ? Reader.Appts.FormatoFecha(*Session.dLastSuccess) : "none yet";
    const std::string sServer = Settings.Controls.txtZimbraHost.empty() ? "none" : Settings.Controls.txtZimbraHost;
    const std::string sUser = Settings.Controls.txtUsuario.empty() ? "none" : Settings.Controls.txtUsuario;
    ShowMessage(std::string(sProductTitle) + " " + VersionText() + "\r\n\r\nServer: " + ShownText(sServer) +
                    "\r\nAccount: " + ShownText(sUser) + "\r\nLast successful check: " + sLast,
                nMbInformation);
}

int frmMain::ShowMessage(const std::string& sText, int nStyle, const std::string& sTitle)
{
    ++nOpenMessages;
    const int nAnswer =
        P.Dialogs.ShowMessageBox(sText, nStyle | nMbTopMost, sTitle.empty() ? ProductCaption() : sTitle);
    --nOpenMessages;
    return nAnswer;
}

PopupMenu frmMain::TrayMenu()
{
    TrayMenuState state;
    state.bConfigureEnabled = nOpenMessages == 0;
    state.bLoggedIn = !Session.sAuthToken.empty();
    state.bAutoRun = Settings.Controls.mnuPopWinSetupAutoRun;
    state.bMailtoHandler = Settings.Controls.mnuPopWinSetupMailtoHandler;
    return BuildTrayMenu(state);
}

void frmMain::CommitPassword()
{
    if (Settings.CommitPassword())
        Session.Forget(); // the next request logs in with the new password
}

void frmMain::txtZimbraHost_Change(const std::string& sText)
{
    Settings.Controls.txtZimbraHost = sText;
    Session.ServerChanged(sText);
}

bool frmMain::txtZimbraHost_Validate()
{
    const std::string& sHost = Settings.Controls.txtZimbraHost;
    if (sHost.empty() || IsValidServerHost(sHost))
        return true;
    ShowMessage(Texts::sInvalidServerName, nMbInformation);
    return false; // the typed text stays, for the user to mend
}

void frmMain::txtUsuario_Change(const std::string& sText)
{
    Settings.Controls.txtUsuario = sText;
    Session.Forget();
}

void frmMain::txtPassword_Change(const std::string& sText)
{
    Settings.txtPassword_Change(sText);
}

void frmMain::txtFilters_Change(const std::string& sText)
{
    Settings.Controls.txtFilters = sText;
}

void frmMain::CheckBox_Click(CheckBox nBox, bool bChecked)
{
    SettingsControls& c = Settings.Controls;
    const int16_t nValue = bChecked ? 1 : 0;
    switch (nBox)
    {
    case CheckBox::chkSSL:
        c.chkSSL = nValue;
        Session.bServerProbed = false; // the next request probes the server with the new scheme
        break;
    case CheckBox::chkGuardaPassword:
        if (Settings.chkGuardaPassword_Click(bChecked))
            Session.sAuthToken.clear();
        break;
    case CheckBox::chkWebmailLogin:
        if (Settings.chkWebmailLogin_Click(bChecked))
            Session.sAuthToken.clear();
        break;
    case CheckBox::chkVentana: c.chkVentana = nValue; break;
    case CheckBox::chkSonido: c.chkSonido = nValue; break;
    case CheckBox::optWhiteList: Settings.FilterMode_Click(bChecked); break;
    }
}

void frmMain::OnTimer(TimerId nId)
{
    if (nId == TimerId::Check)
        Dispatch([&] { Cycle.CheckTimerProc(); });
    else if (nId == TimerId::Browser)
        Dispatch([&] {
            Web.BrowserForegroundTimer(
                P.Registry.Read(RegRoot::CurrentUser, "Software\\Classes\\http\\shell\\open\\command", "").sText);
        });
}

WebmailAccount frmMain::Account() const
{
    const SettingsControls& c = Settings.Controls;
    return {c.chkSSL == 1, c.chkWebmailLogin == 1, c.txtZimbraHost, Session.sAuthToken, Session.sServerVersion};
}

void frmMain::AbreZimbra(const std::string& sTo)
{
    if (!Web.AbreZimbra(Account(), sTo))
    {
        // Not logged in: the settings are what the user needs.
        ShowSettingsWindow();
        P.Shell.ActivateMainWindow();
    }
}

} // namespace qv
