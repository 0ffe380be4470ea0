#include "settings/SettingsForm.h"

#include "settings/PocketCrypter.h"
#include "settings/SettingsStore.h"

namespace qv
{

namespace
{

constexpr size_t nPasswordMaskLength = 20;

} // namespace

SettingsForm::SettingsForm(IRegistry& registry, IIntegration& integration, IMainView& view)
    : Registry(registry)
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
    IRegistry& reg = Registry;
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
        Controls.mnuPopWinSetupMailtoHandler = Integration.IsDefaultMailClient(); // a change made elsewhere wins
    SaveSetting(reg, "mailtoHandler", Flag(Controls.mnuPopWinSetupMailtoHandler));
    SaveSetting(reg, "Filtros", Controls.txtFilters);
    SaveSetting(reg, "WhiteList", Flag(Controls.optWhiteList));
    Integration.ApplyShortcuts();
    Integration.ApplyWindowsIntegration(static_cast<int>(nMode));
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

bool SettingsForm::IsComplete() const
{
    return !Controls.txtZimbraHost.empty() && !Controls.txtUsuario.empty() && !sPassword.empty();
}

} // namespace qv
