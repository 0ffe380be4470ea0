// The tray menu's contents, from the program's state.
#pragma once

#include "platform/Menu.h"

namespace qv
{

struct TrayMenuState
{
    bool bConfigureEnabled = true; // no message box is up and the settings window is hidden
    bool bLoggedIn = false;
    bool bAutoRun = true;
    bool bMailtoHandler = false;
};

PopupMenu BuildTrayMenu(const TrayMenuState& state);

} // namespace qv
