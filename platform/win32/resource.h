// Identifiers shared by the resources and the code.
#pragma once

#define IDI_QUORVEL 1
#define IDI_NEWMAIL 2
#define IDI_CALENDAR 3

// Tray menu commands; tests post them to the hidden window as WM_COMMAND.
#define IDM_COMPROBAR 101
#define IDM_CONF 102
#define IDM_ABRIRZIMBRA 103
#define IDM_WINSETUP_AUTORUN 104
#define IDM_WINSETUP_MAILTO 105
#define IDM_SALIR 106
#define IDM_ABOUT 107
