#include "presentation/TrayMenu.h"

#include "platform/InterfaceTexts.h"
#include "platform/Text.h"

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

std::string FirstCharacters(std::string_view sText, size_t nCount)
{
    std::u32string sCharacters = DecodeUtf8(sText);
    if (sCharacters.size() > nCount)
        sCharacters.resize(nCount);
    return EncodeUtf8(sCharacters);
}

} // namespace

PopupMenu BuildTrayMenu(const TrayMenuState& state)
{
    MenuEntry winSetup = Entry(MenuCommand::None, Texts::mnuPopWinSetup);
    winSetup.Submenu = {
        Entry(MenuCommand::mnuPopWinSetupMailtoHandler, Texts::mnuPopWinSetupMailtoHandler, true,
              state.bMailtoHandler),
        Entry(MenuCommand::mnuPopWinSetupAutoRun, Texts::mnuPopWinSetupAutoRun, true, state.bAutoRun),
    };
    return {
        Entry(MenuCommand::mnuPopAbrirZimbra, Texts::mnuPopAbrirZimbra, state.bLoggedIn),
        Entry(MenuCommand::mnuPopComprobar, Texts::mnuPopComprobar, state.bLoggedIn),
        Entry(MenuCommand::mnuPopConf, Texts::mnuPopConf, state.bConfigureEnabled),
        winSetup,
        MenuEntry{}, // a separator
        Entry(MenuCommand::mnuPopAbout, Texts::mnuPopAbout),
        Entry(MenuCommand::mnuPopSalir, Texts::mnuPopSalir),
    };
}

PopupMenu BuildCalendarMenu(const CalendarMenuState& state)
{
    // The name's first 30 characters (not bytes: a cut inside a character would show as a broken one).
    const std::string sCaption = FirstCharacters(state.name, 30) + "...";
    return {
        Entry(MenuCommand::mnuCalCaption, sCaption.c_str()),
        Entry(MenuCommand::mnuCalWhen, ("When: " + state.sCuando).c_str()),
        MenuEntry{},
        Entry(MenuCommand::mnuCalAbrirZimbra, Texts::mnuCalAbrirZimbra),
        Entry(MenuCommand::mnuCalEliminar, Texts::mnuCalEliminar, state.bOrganizer),
        Entry(MenuCommand::mnuCalNotificar, Texts::mnuCalNotificar, true, state.bNotificar),
    };
}

} // namespace qv
