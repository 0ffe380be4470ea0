// A popup menu as the core builds it: entries, their order, check marks and enabled states. The Win32 side
// only shows it and returns the command the user chose.
#pragma once

#include <string>
#include <vector>

namespace qv
{

// The menus' commands. The numbers are those of WM_COMMAND, which tests post to the hidden window.
enum class MenuCommand : int {
    None = 0,
    mnuPopComprobar = 101,
    mnuPopConf = 102,
    mnuPopAbrirZimbra = 103,
    mnuPopWinSetupAutoRun = 104,
    mnuPopWinSetupMailtoHandler = 105,
    mnuPopSalir = 106,
    mnuPopAbout = 107,
    // The calendar menu of an appointment icon.
    mnuCalCaption = 201,
    mnuCalWhen = 202,
    mnuCalAbrirZimbra = 203,
    mnuCalEliminar = 204,
    mnuCalNotificar = 205,
};

struct MenuEntry
{
    MenuCommand nCommand = MenuCommand::None;
    std::string sText; // empty: a separator
    bool bEnabled = true;
    bool bChecked = false;
    std::vector<MenuEntry> Submenu;
};

using PopupMenu = std::vector<MenuEntry>;

} // namespace qv
