#include "app/frmMain.h"

#include <cstdlib>

#include "app/InterfaceTexts.h"
#include "platform/Text.h"
#include "session/Envelope.h"
#include "settings/PocketCrypter.h"
#include "settings/Registry2.h"
#include "settings/SettingsStore.h"

namespace qv
{

namespace
{

constexpr size_t nPasswordMaskLength = 20;

} // namespace

frmMain::frmMain(Platform& platform)
    : Lists([this](const std::string& sText) { ShowMessage(sText, nMbExclamation); })
    , P(platform)
    , Xp([this](const std::string& sText) { ShowMessage(sText, nMbInformation); })
{
}

void frmMain::Form_Load()
{
    LoadSettings();
    SaveSettings(SaveMode::Startup);
    (void)P.Tray.Add(); // no taskbar yet: the icon comes back when the shell announces itself
    bLoaded = true;

    if (!Controls.txtZimbraHost.empty() && !Controls.txtUsuario.empty() && !sPassword.empty())
    {
        const bool bResult = Comprobar(false);
        StartCheckTimer(bResult ? nMailPollingInterval : nMailPollingShort);
        if (!sPassword.empty())
            HideSettingsWindow();
        else
            ShowSettingsWindow();
    }
    else
    {
        ShowSettingsWindow();
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
    StopCheckTimer();
    if (bLoaded)
        SaveSettings(SaveMode::Shutdown);
    (void)P.Tray.Delete();
    RemoveApptIcons();
    P.View.EndProgram();
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
    if (P.View.IsVisible() && !Controls.txtZimbraHost.empty() && !Controls.txtUsuario.empty() &&
        Controls.txtPassword.empty())
        P.View.SetFocus(Control::txtPassword);
}

void frmMain::cmdCerrar_Click()
{
    AnimateWindow();
    HideSettingsWindow();
    P.System.TrimWorkingSet();
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
    // A password typed and confirmed with Enter has not left its box yet: take it now, not the old one.
    CommitPassword();
    if (Controls.txtZimbraHost.empty() || Controls.txtUsuario.empty() || sPassword.empty())
    {
        ShowSettingsWindow();
        ShowMessage(Texts::sEnterRequiredFields, nMbInformation);
        P.View.SetFocus(Control::txtPassword);
        return;
    }
    if (Controls.optWhiteList && Controls.txtFilters.empty())
    {
        ShowMessage(Texts::optWhiteList, nMbQuestion);
        Controls.txtFilters = "Inbox";
        P.View.RefreshControls();
        P.View.SetFocus(Control::txtFilters);
        return;
    }
    // Nothing is saved before the server has accepted the settings.
    if (!Comprobar(false))
    {
        ShowSettingsWindow();
        ShowMessage(LastErrorText(), nMbExclamation);
        P.View.SetFocus(Control::txtUsuario);
        return;
    }
    AnimateWindow();
    HideSettingsWindow();
    SaveSettings(SaveMode::UserChange);
    StartCheckTimer(nMailPollingInterval);
}

void frmMain::mnuPopConf_Click()
{
    if (!P.View.IsVisible())
        ShowSettingsWindow();
}

int frmMain::ShowMessage(const std::string& sText, int nStyle, const std::string& sTitle)
{
    const std::string sShownTitle = sTitle.empty() ? std::string(sProductTitle) + " v" + VersionText() : sTitle;
    if (nOpenMessages++ == 0)
        P.View.SetMenuConfigureEnabled(false);
    const int nAnswer = P.Dialogs.ShowMessageBox(sText, nStyle | nMbTopMost, sShownTitle);
    if (--nOpenMessages == 0 && !bUnloaded)
        P.View.SetMenuConfigureEnabled(true);
    return nAnswer;
}

// Settings

void frmMain::LoadSettings()
{
    IRegistry& reg = P.Registry;
    Controls.chkSSL = CheckBoxValue(GetSetting(reg, "HTTPS", "0"), 0);
    Controls.chkGuardaPassword = CheckBoxValue(GetSetting(reg, "GuardaPassword", "1"), 1);
    txtZimbraHost_Change(GetSetting(reg, "ZimbraHost", ""));
    txtUsuario_Change(GetSetting(reg, "Username", ""));
    Controls.chkWebmailLogin = CheckBoxValue(GetSetting(reg, "WebmailLogin", "1"), 1);
    // The radix of the scrambled form depends on "Webmail Login", which is therefore read first.
    txtPassword_Change(RestoredPassword(GetSetting(reg, "Password", ""), Controls.chkWebmailLogin == 1));
    Controls.chkVentana = CheckBoxValue(GetSetting(reg, "Ventana", "0"), 0);
    Controls.chkSonido = CheckBoxValue(GetSetting(reg, "Sonido", "0"), 0);
    Controls.mnuPopWinSetupAutoRun = FlagValue(GetSetting(reg, "AutoRun", "1"), true);
    Controls.mnuPopWinSetupMailtoHandler = FlagValue(GetSetting(reg, "mailtoHandler", "0"), false);
    Controls.txtFilters = GetSetting(reg, "Filtros", "Spam");
    Controls.optWhiteList = FlagValue(GetSetting(reg, "WhiteList", "0"), false);
    CommitPassword();
    P.View.RefreshControls();
}

void frmMain::SaveSettings(SaveMode nMode)
{
    IRegistry& reg = P.Registry;
    const auto Flag = [](bool b) { return std::string(b ? "1" : "0"); };
    SaveSetting(reg, "ZimbraHost", Controls.txtZimbraHost);
    SaveSetting(reg, "HTTPS", std::to_string(Controls.chkSSL));
    SaveSetting(reg, "Username", Controls.txtUsuario);
    SaveSetting(reg, "GuardaPassword", std::to_string(Controls.chkGuardaPassword));
    SaveSetting(reg, "Password",
                Controls.chkGuardaPassword == 1 ? StoredPassword(sPassword, Controls.chkWebmailLogin == 1) : "");
    SaveSetting(reg, "WebmailLogin", std::to_string(Controls.chkWebmailLogin));
    SaveSetting(reg, "Ventana", std::to_string(Controls.chkVentana));
    SaveSetting(reg, "Sonido", std::to_string(Controls.chkSonido));
    SaveSetting(reg, "AutoRun", Flag(Controls.mnuPopWinSetupAutoRun));
    if (nMode == SaveMode::Shutdown)
        Controls.mnuPopWinSetupMailtoHandler = P.Integration.IsDefaultMailClient(); // a change made elsewhere wins
    SaveSetting(reg, "mailtoHandler", Flag(Controls.mnuPopWinSetupMailtoHandler));
    SaveSetting(reg, "Filtros", Controls.txtFilters);
    SaveSetting(reg, "WhiteList", Flag(Controls.optWhiteList));
    P.Integration.ApplyShortcuts();
    P.Integration.ApplyWindowsIntegration(static_cast<int>(nMode));
}

void frmMain::CommitPassword()
{
    if (!Controls.bPasswordChanged)
        return;
    sSessionId.clear();
    sAuthToken.clear();
    sPassword = Controls.txtPassword;
    Controls.txtPassword = sPassword.empty() ? std::string() : std::string(nPasswordMaskLength, '*');
    Controls.bPasswordChanged = false;
    P.View.RefreshControls();
}

// Control events

void frmMain::txtZimbraHost_Change(const std::string& sText)
{
    if (sText != Controls.txtZimbraHost)
        Lists.Clear(); // another server: its folders and tags are not the old ones
    Controls.txtZimbraHost = sText;
    sServerHost = sText;
    sSessionId.clear();
    sAuthToken.clear();
    bServerProbed = false;
}

bool IsValidServerHost(const std::string& sHost)
{
    // Only the host (and a port) belongs in the box: a scheme or a path would make every address wrong.
    return !sHost.empty() && sHost.find('/') == std::string::npos && sHost.find('\\') == std::string::npos &&
           !ContainsNoCase(sHost, "http:") && !ContainsNoCase(sHost, "https:") &&
           sHost.find_first_of(" \t\r\n") == std::string::npos;
}

bool frmMain::txtZimbraHost_Validate()
{
    if (Controls.txtZimbraHost.empty() || IsValidServerHost(Controls.txtZimbraHost))
        return true;
    ShowMessage(Texts::sInvalidServerName, nMbInformation);
    return false; // the typed text stays, for the user to mend
}

void frmMain::txtUsuario_Change(const std::string& sText)
{
    if (sText != Controls.txtUsuario)
        Lists.Clear(); // another account
    Controls.txtUsuario = sText;
    sSessionId.clear();
    sAuthToken.clear();
}

void frmMain::txtPassword_Change(const std::string& sText)
{
    Controls.txtPassword = sText;
    Controls.bPasswordChanged = true;
}

} // namespace qv
