// The settings window as the core drives it. The window shows the model's control values; the model's
// handlers run when the user edits them.
#pragma once

#include <string>

namespace qv
{

enum class Control { txtZimbraHost, txtUsuario, txtPassword, txtFilters, cmdAceptar, cmdCerrar };

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
    virtual void SetMenuConfigureEnabled(bool bEnabled) = 0;             // off while a message box is up
    virtual void EndProgram() = 0;                                       // the message loop ends
    // The window's frame drawn shrinking into the notification area; nothing when the area is not found.
    virtual void AnimateToTray() = 0;
};

} // namespace qv
