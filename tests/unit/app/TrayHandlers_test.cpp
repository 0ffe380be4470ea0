#include "../Answers.h"
#include "../FormFixture.h"

namespace qv
{
namespace
{

class TrayHandlers : public test::FormFixture
{
protected:
    void LoggedIn()
    {
        Form.txtZimbraHost_Change("mail.example.com");
        Form.txtUsuario_Change("alice");
        Form.Settings.sPassword = "secret";
        Form.Session.sAuthToken = "0_ab";
        Form.Session.sServerVersion = "8.8.15_GA";
    }
};

TEST_F(TrayHandlers, ClicksDoWhatTheUserExpects)
{
    Form.OnTrayEvent({TrayEventKind::MouseUp, 1});
    EXPECT_TRUE(M.View.bVisible); // fields missing: the settings, without a message
    EXPECT_TRUE(M.Dialogs.Shown.empty());
    Form.OnTrayEvent({TrayEventKind::MouseUp, 2});
    EXPECT_EQ(M.Tray.Menus.size(), 1u);

    LoggedIn();
    M.View.bVisible = false;
    Form.OnTrayEvent({TrayEventKind::MouseDown, 1});
    EXPECT_TRUE(M.Soap.Requests.empty());
    Form.OnTrayEvent({TrayEventKind::MouseUp, 1}); // a check
    EXPECT_FALSE(M.Soap.Requests.empty());
}

TEST_F(TrayHandlers, BalloonClickOpensTheWebMailOnceWithinThreeSeconds)
{
    LoggedIn();
    Form.OnTrayEvent({TrayEventKind::BalloonClick});
    M.Clock.Advance(2999);
    Form.OnTrayEvent({TrayEventKind::MouseUp, 4});
    ASSERT_EQ(M.Shell.Opened.size(), 1u);
    EXPECT_EQ(M.Shell.Opened[0], "http://mail.example.com/service/preauth?isredirect=1&authtoken=0_ab&redirectURL="
                                 "http://mail.example.com/zimbra/mail");
    M.Clock.Advance(1);
    Form.OnTrayEvent({TrayEventKind::DblClick, 1});
    EXPECT_EQ(M.Shell.Opened.size(), 2u);
}

TEST_F(TrayHandlers, NotLoggedInTheWebMailRequestShowsTheSettings)
{
    Form.OnTrayEvent({TrayEventKind::AbreZimbra, 0, "bob@example.com"});
    EXPECT_TRUE(M.Shell.Opened.empty());
    EXPECT_TRUE(M.View.bVisible);
    EXPECT_EQ(M.Shell.nActivations, 1);
}

TEST_F(TrayHandlers, ASecondCopyAsksForTheSettings)
{
    Form.OnTrayEvent({TrayEventKind::SettingsShowRequest});
    EXPECT_TRUE(M.View.bVisible);
    Form.Form_Unload();
    M.View.bVisible = false;
    Form.OnTrayEvent({TrayEventKind::SettingsShowRequest}); // after Exit nothing reacts
    EXPECT_FALSE(M.View.bVisible);
}

// The entry of a command in a menu, searched in its submenus too.
const MenuEntry* Find(const PopupMenu& menu, MenuCommand nCommand)
{
    for (const MenuEntry& entry : menu)
    {
        if (entry.nCommand == nCommand)
            return &entry;
        if (const MenuEntry* pInner = Find(entry.Submenu, nCommand))
            return pInner;
    }
    return nullptr;
}

TEST_F(TrayHandlers, TheTrayMenuFollowsTheProgramsState)
{
    Form.Settings.Controls.mnuPopWinSetupMailtoHandler = true;
    Form.Settings.Controls.mnuPopWinSetupAutoRun = false;
    PopupMenu menu = Form.TrayMenu();
    std::vector<std::string> texts;
    for (const MenuEntry& entry : menu)
        texts.push_back(entry.sText);
    EXPECT_EQ(texts, (std::vector<std::string>{"Check Now", "Configure", "Open Zimbra", "Windows integration", "",
                                               "About Quorvel", "Exit"}));
    EXPECT_FALSE(Find(menu, MenuCommand::mnuPopAbrirZimbra)->bEnabled); // not logged in
    EXPECT_TRUE(Find(menu, MenuCommand::mnuPopConf)->bEnabled);
    EXPECT_TRUE(Find(menu, MenuCommand::mnuPopWinSetupMailtoHandler)->bChecked);
    EXPECT_FALSE(Find(menu, MenuCommand::mnuPopWinSetupAutoRun)->bChecked);

    LoggedIn();
    M.View.bVisible = true; // the settings are up already
    menu = Form.TrayMenu();
    EXPECT_TRUE(Find(menu, MenuCommand::mnuPopAbrirZimbra)->bEnabled);
    EXPECT_FALSE(Find(menu, MenuCommand::mnuPopConf)->bEnabled);
}

TEST_F(TrayHandlers, TheCommandChosenInTheMenuRuns)
{
    Form.Form_Load(); // the icon is shown
    LoggedIn();
    M.Tray.nChoice = MenuCommand::mnuPopAbrirZimbra;
    Form.OnTrayEvent({TrayEventKind::MouseUp, 2});
    EXPECT_EQ(M.Shell.Opened.size(), 1u);

    M.Tray.nChoice = MenuCommand::mnuPopSalir;
    Form.OnTrayEvent({TrayEventKind::MouseUp, 2});
    EXPECT_TRUE(Form.IsUnloaded());
    EXPECT_TRUE(M.View.bEnded);
    EXPECT_FALSE(M.Tray.bShown);
}

TEST_F(TrayHandlers, GreyedOrUnknownCommandsDoNothing)
{
    Form.Form_Load();
    const size_t nShows = static_cast<size_t>(M.View.nShows);
    for (const int nCommand : {0, 104, 105, 107, 999, -1})
        Form.OnMenuCommand(static_cast<MenuCommand>(nCommand));
    EXPECT_FALSE(Form.IsUnloaded());
    EXPECT_TRUE(M.Soap.Requests.empty());
    EXPECT_EQ(static_cast<size_t>(M.View.nShows), nShows);
}

} // namespace
} // namespace qv
