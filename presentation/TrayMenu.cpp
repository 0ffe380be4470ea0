#include "presentation/TrayMenu.h"

#include "platform/InterfaceTexts.h"

namespace qv
{

namespace
{

MenuEntry Entry(MenuCommand nCommand, const char* sText, bool bEnabled = true, bool bChecked = false)
{
    MenuEntry entry;
    entry.nCommand = nCommand;
    entry.sText = sText;
    entry.bEnabled = bEnabled;
    entry.bChecked = bChecked;
    return entry;
}

} // namespace

PopupMenu BuildTrayMenu(const TrayMenuState& state)
{
    // FIXME: the Windows integration entries and the About box are shown greyed until they are built.
    MenuEntry winSetup = Entry(MenuCommand::None, Texts::mnuPopWinSetup);
    winSetup.Submenu = {
        Entry(MenuCommand::mnuPopWinSetupAutoRun, Texts::mnuPopWinSetupAutoRun, false, state.bAutoRun),
        Entry(MenuCommand::mnuPopWinSetupMailtoHandler, Texts::mnuPopWinSetupMailtoHandler, false,
              state.bMailtoHandler),
    };
    return {
        Entry(MenuCommand::mnuPopComprobar, Texts::mnuPopComprobar),
        Entry(MenuCommand::mnuPopConf, Texts::mnuPopConf, state.bConfigureEnabled),
        Entry(MenuCommand::mnuPopAbrirZimbra, Texts::mnuPopAbrirZimbra, state.bLoggedIn),
        winSetup,
        MenuEntry{}, // a separator
        Entry(MenuCommand::mnuPopAbout, Texts::mnuPopAbout, false),
        Entry(MenuCommand::mnuPopSalir, Texts::mnuPopSalir),
    };
}

} // namespace qv
