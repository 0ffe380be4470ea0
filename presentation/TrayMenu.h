// The menus' contents, from the program's state: the tray menu of the main icon and the calendar menu of an
// appointment icon.
#pragma once

#include <string>

#include "platform/Menu.h"

namespace qv
{

struct TrayMenuState
{
    bool bConfigureEnabled = true; // no message box of the program's is up
    bool bLoggedIn = false;        // an authentication token is held
    bool bAutoRun = true;
    bool bMailtoHandler = false;
};

PopupMenu BuildTrayMenu(const TrayMenuState& state);

struct CalendarMenuState
{
    std::string name;
    std::string sCuando;
    bool bOrganizer = false; // only the organiser may delete it
    bool bNotificar = true;
};

PopupMenu BuildCalendarMenu(const CalendarMenuState& state);

} // namespace qv
