// The settings window as the core drives it: a view model the window shows, the window's operations, and the
// events the window reports back.
#pragma once

#include <cstdint>
#include <string>

namespace qv
{

enum class Control { txtZimbraHost, txtUsuario, txtPassword, txtFilters, cmdAceptar, cmdCerrar };
enum class CheckBox { chkSSL, chkGuardaPassword, chkWebmailLogin, chkVentana, chkSonido, optWhiteList };

// What the settings window's controls hold. The settings live here while the program runs.
struct SettingsControls
{
    std::string txtZimbraHost;
    std::string txtUsuario;
    std::string txtPassword;
    bool bPasswordChanged = false; // the password box's changed-mark
    std::string txtFilters = "Spam";
    int16_t chkSSL = 0;
    int16_t chkGuardaPassword = 1;
    int16_t chkWebmailLogin = 1;
    int16_t chkVentana = 0;
    int16_t chkSonido = 0;
    bool mnuPopWinSetupAutoRun = true;
    bool mnuPopWinSetupMailtoHandler = false;
    bool optWhiteList = false;
    std::string lblMailPollInterval;
};

class IMainView
{
public:
    virtual ~IMainView() = default;
    virtual void ShowNormal() = 0;    // restore from minimized, show
    virtual void HideMinimized() = 0; // hide, then minimize
    virtual bool IsVisible() = 0;
    virtual void SetFocus(Control nControl) = 0;
    virtual void RefreshControls() = 0;                                  // the model's values changed: show them
    virtual void SetLocked(bool bLocked, const std::string& sTitle) = 0; // during a check
    virtual void EndProgram() = 0;                                       // the message loop ends
    // The window's frame drawn shrinking into the notification area; nothing when the area is not found.
    virtual void AnimateToTray() = 0;
};

// What the user does in the settings window.
class ISettingsEvents
{
public:
    virtual ~ISettingsEvents() = default;
    virtual void txtZimbraHost_Change(const std::string& sText) = 0;
    [[nodiscard]] virtual bool txtZimbraHost_Validate() = 0; // false keeps the focus in the box
    virtual void txtUsuario_Change(const std::string& sText) = 0;
    virtual void txtPassword_Change(const std::string& sText) = 0;
    virtual void txtPassword_LostFocus() = 0;
    virtual void txtFilters_Change(const std::string& sText) = 0;
    virtual void CheckBox_Click(CheckBox nBox, bool bChecked) = 0;
    // nActive: the control that had the focus when Enter was pressed or the button clicked.
    virtual void cmdAceptar_Click(Control nActive) = 0;
    virtual void cmdCerrar_Click() = 0;
    virtual void Form_Activate() = 0;
    // Windows ends the session: save now, once, before the process may be ended.
    virtual void OnEndSession() = 0;
};

} // namespace qv
