#include "settings/SettingsForm.h"

#include "platform/Text.h"
#include "settings/PocketCrypter.h"
#include "settings/SettingsStore.h"

namespace qv
{

namespace
{

constexpr size_t nPasswordMaskLength = 20;

} // namespace

SettingsForm::SettingsForm(IRegistry& registry, IIntegration& integration, IWinSetup& setup, IMainView& view)
    : Windows(registry, setup)
    , Registry(registry)
    , Integration(integration)
    , View(view)
{
}

void SettingsForm::LoadSettings()
{
    IRegistry& reg = Registry;
    Controls.chkSSL = CheckBoxValue(GetSetting(reg, "HTTPS", "0"), 0);
    Controls.chkGuardaPassword = CheckBoxValue(GetSetting(reg, "GuardaPassword", "1"), 1);
    Controls.txtZimbraHost = GetSetting(reg, "ZimbraHost", "");
    Controls.txtUsuario = GetSetting(reg, "Username", "");
    Controls.chkWebmailLogin = CheckBoxValue(GetSetting(reg, "WebmailLogin", "1"), 1);
    // The radix of the scrambled form depends on "Webmail Login", which is therefore read first.
    txtPassword_Change(RestoredPassword(GetSetting(reg, "Password", ""), Controls.chkWebmailLogin == 1));
    Controls.chkVentana = CheckBoxValue(GetSetting(reg, "Ventana", "0"), 0);
    Controls.chkSonido = CheckBoxValue(GetSetting(reg, "Sonido", "0"), 0);
    Controls.mnuPopWinSetupAutoRun = FlagValue(GetSetting(reg, "AutoRun", "1"), true);
    Controls.mnuPopWinSetupMailtoHandler = FlagValue(GetSetting(reg, "mailtoHandler", "0"), false);
    Controls.txtFilters = GetSetting(reg, "Filtros", "Spam");
    Controls.optWhiteList = FlagValue(GetSetting(reg, "WhiteList", "0"), false);
    (void)CommitPassword();
    View.RefreshControls();
}

void SettingsForm::SaveSettings(SaveMode nMode)
{
    const auto Flag = [](bool b) { return std::string(b ? "1" : "0"); };
    bool bStored = true;
    const auto SaveSetting = [&](const std::string& sName, const std::string& sValue) {
        bStored = qv::SaveSetting(Registry, sName, sValue) && bStored;
    };
    SaveSetting("ZimbraHost", Controls.txtZimbraHost);
    SaveSetting("HTTPS", std::to_string(Controls.chkSSL));
    SaveSetting("Username", Controls.txtUsuario);
    SaveSetting("GuardaPassword", std::to_string(Controls.chkGuardaPassword));
    SaveSetting("Password",
                Controls.chkGuardaPassword == 1 ? StoredPassword(sPassword, Controls.chkWebmailLogin == 1) : "");
    SaveSetting("WebmailLogin", std::to_string(Controls.chkWebmailLogin));
    SaveSetting("Ventana", std::to_string(Controls.chkVentana));
    SaveSetting("Sonido", std::to_string(Controls.chkSonido));
    SaveSetting("AutoRun", Flag(Controls.mnuPopWinSetupAutoRun));
    if (nMode == SaveMode::Shutdown)
        Controls.mnuPopWinSetupMailtoHandler = Windows.IsDefaultMailClient(); // a change made elsewhere wins
    SaveSetting("mailtoHandler", Flag(Controls.mnuPopWinSetupMailtoHandler));
    SaveSetting("Filtros", Controls.txtFilters);
    SaveSetting("WhiteList", Flag(Controls.optWhiteList));
    Integration.ApplyShortcuts();
    Windows.ApplyWindowsIntegration(nMode, Controls.mnuPopWinSetupAutoRun, Controls.mnuPopWinSetupMailtoHandler);
    // Told once a run, and not while the program ends (perhaps with the session, where a box would hold it up).
    if (!bStored && !bStoreFailureTold && nMode != SaveMode::Shutdown && fnStoreFailed)
    {
        bStoreFailureTold = true;
        fnStoreFailed();
    }
}

bool SettingsForm::CommitPassword()
{
    if (!Controls.bPasswordChanged)
        return false;
    sPassword = Controls.txtPassword;
    Controls.txtPassword = sPassword.empty() ? std::string() : std::string(nPasswordMaskLength, '*');
    Controls.bPasswordChanged = false;
    View.RefreshControls();
    return true;
}

void SettingsForm::txtPassword_Change(const std::string& sText)
{
    Controls.txtPassword = sText;
    Controls.bPasswordChanged = true;
}

void SettingsForm::ForgetPassword()
{
    sPassword.clear();
    Controls.txtPassword.clear();
    Controls.bPasswordChanged = false;
    View.RefreshControls();
}

bool SettingsForm::chkWebmailLogin_Click(bool bChecked)
{
    Controls.chkWebmailLogin = bChecked ? 1 : 0;
    if (!bChecked || sPassword.empty())
        return false;
    ForgetPassword();
    return true;
}

bool SettingsForm::chkGuardaPassword_Click(bool bChecked)
{
    Controls.chkGuardaPassword = bChecked ? 1 : 0;
    if (!bChecked || Controls.chkWebmailLogin != 1 || sPassword.empty())
        return false;
    ForgetPassword();
    return true;
}

void SettingsForm::FilterMode_Click(bool bWhiteList)
{
    Controls.optWhiteList = bWhiteList;
    std::string& sFilter = Controls.txtFilters;
    if (!bWhiteList && (sFilter.empty() || sFilter == "Inbox"))
        sFilter = "Spam";
    else if (bWhiteList && (sFilter.empty() || ContainsNoCase(sFilter, "spam")))
        sFilter = "Inbox";
    View.RefreshControls();
}

void SettingsForm::DefaultMailClientAnswer(int nAnswer)
{
    if (nAnswer != nDontAskAgain)
        Controls.mnuPopWinSetupMailtoHandler = nAnswer == 6; // Yes
}

bool SettingsForm::IsComplete() const
{
    return !Controls.txtZimbraHost.empty() && !Controls.txtUsuario.empty() && !sPassword.empty();
}

} // namespace qv
