#include "../Answers.h"
#include "../FormFixture.h"
#include "../SessionParts.h"

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
        test::LoggedIn(Form.Session);
    }
};

// A left click checks, on its release only (the right button's menu is the menu's test).
TEST_F(TrayHandlers, ClicksDoWhatTheUserExpects)
{
    LoggedIn();
    Form.OnTrayEvent({TrayEventKind::MouseDown, 1});
    EXPECT_TRUE(M.Soap.Requests.empty());
    Form.OnTrayEvent({TrayEventKind::MouseUp, 1}); // a check
    EXPECT_FALSE(M.Soap.Requests.empty());
}

// Without a session, what needs one brings up the settings, without a message; after Exit nothing reacts.
TEST_F(TrayHandlers, WithoutASessionRequestsBringUpTheSettingsAndAfterExitNothingReacts)
{
    const TrayEvent requests[] = {{TrayEventKind::MouseUp, 1},
                                  {TrayEventKind::SettingsShowRequest},
                                  {TrayEventKind::AbreZimbra, 0, "bob@example.com"},
                                  {TrayEventKind::MapiMensaje, 0, "|@|5|@|Report"}};
    Store("ZimbraHost", "mail.example.com");
    Form.Form_Load();
    const int nActivations = M.Shell.nActivations;
    for (const bool bExited : {false, true})
    {
        for (const TrayEvent& request : requests)
        {
            M.View.bVisible = false;
            Form.OnTrayEvent(request);
            EXPECT_EQ(M.View.bVisible, !bExited) << static_cast<int>(request.nKind);
        }
        Form.Form_Unload();
    }
    EXPECT_EQ(M.Shell.nActivations, nActivations + 3); // brought forward, but not by a click on the icon
    EXPECT_TRUE(M.Shell.Opened.empty());
    EXPECT_TRUE(M.Soap.Requests.empty());
    EXPECT_TRUE(M.Dialogs.Shown.empty());
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
    M.Clock.Advance(3000);
    M.Clock.nNowUtcMs -= 3600000; // the user sets the clock an hour back: intervals are not measured by it
    Form.OnTrayEvent({TrayEventKind::BalloonClick});
    EXPECT_EQ(M.Shell.Opened.size(), 3u);
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
    struct Case
    {
        bool bLoggedIn, bMessageUp, bDefaultMailClient, bAutoRun;
    };
    // After the box closes, Configure is enabled again.
    const Case cases[] = {{false, false, true, false}, {true, true, false, false}, {true, false, false, true}};
    for (const Case& c : cases)
    {
        if (c.bLoggedIn)
            LoggedIn();
        M.Registry.Put(sMailClientsKey, "", RegValue{RegKind::Text, c.bDefaultMailClient ? "Quorvel" : "Other", 0});
        Form.Settings.Controls.mnuPopWinSetupMailtoHandler = !c.bDefaultMailClient; // stale since start-up
        Form.Settings.Controls.mnuPopWinSetupAutoRun = c.bAutoRun;
        M.Tray.Menus.clear();
        M.Dialogs.OnShow = [&] { Form.OnTrayEvent({TrayEventKind::MouseUp, 2}); };
        if (c.bMessageUp)
            Form.ShowMessage("Busy", nMbInformation);
        else
            M.Dialogs.OnShow(); // a right click with no box up
        M.Dialogs.OnShow = nullptr;
        ASSERT_EQ(M.Tray.Menus.size(), 1u);
        const PopupMenu& menu = M.Tray.Menus[0];
        EXPECT_EQ(Texts(menu), (std::vector<std::string>{"Open Zimbra", "Check Now", "Configure", "Windows integration",
                                                         "", "About Quorvel", "Exit"}));
        EXPECT_EQ(Texts(menu[3].Submenu),
                  (std::vector<std::string>{"Set as default mail application", "Run at startup"}));
        EXPECT_EQ(menu[0].bEnabled, c.bLoggedIn);
        EXPECT_EQ(menu[1].bEnabled, c.bLoggedIn);
        EXPECT_EQ(menu[2].bEnabled, !c.bMessageUp);
        EXPECT_EQ(menu[3].Submenu[0].bChecked, c.bDefaultMailClient); // asked again at every right click
        EXPECT_EQ(menu[3].Submenu[1].bChecked, c.bAutoRun);
        EXPECT_TRUE(menu[5].bEnabled && menu[6].bEnabled);
    }
}

TEST_F(TrayHandlers, IntegrationEntriesInvertTheirMarkAndApplyIt)
{
    M.Registry.Put(sRunKey, "Other", RegValue{RegKind::Text, "other.exe", 0});
    Form.Form_Load();
    const std::string sCommand = "\"" + M.WinSetup.sProgramPath + "\"";
    ASSERT_EQ(M.Registry.Text(sRunKey, "Quorvel"), sCommand);
    // Each entry's registry value, as it reads after each of two clicks.
    const std::tuple<MenuCommand, const char*, const char*, const char*, std::string, std::string> cases[] = {
        {MenuCommand::mnuPopWinSetupAutoRun, "AutoRun", sRunKey, "Quorvel", "", sCommand},
        {MenuCommand::mnuPopWinSetupMailtoHandler, "mailtoHandler", "Software\\Classes\\mailto\\shell\\open\\command",
         "", sCommand + " %1", ""},
    };
    for (const auto& [nCommand, sSetting, sKey, sName, sFirst, sSecond] : cases)
        for (const std::string& sExpected : {sFirst, sSecond})
        {
            const std::string sBefore = Stored(sSetting);
            const size_t nBroadcasts = M.WinSetup.Broadcasts.size();
            Form.OnMenuCommand(nCommand);
            EXPECT_NE(Stored(sSetting), sBefore) << sSetting;
            EXPECT_EQ(M.Registry.Text(sKey, sName), sExpected) << sSetting;
            EXPECT_EQ(M.WinSetup.Broadcasts.size(), nBroadcasts + 1) << sSetting;
        }
}

TEST_F(TrayHandlers, AboutNamesTheProgramTheAccountAndTheLastCheck)
{
    LoggedIn();
    Form.OnMenuCommand(MenuCommand::mnuPopAbout);
    Form.Session.dLastSuccess = M.Clock.NowUtcMs() + 14 * 3600000 + 5 * 60000;
    Form.OnMenuCommand(MenuCommand::mnuPopAbout);
    ASSERT_EQ(M.Dialogs.Shown.size(), 2u);
    EXPECT_EQ(M.Dialogs.Shown[0].sText, "Quorvel 5.0.1\r\n\r\nServer: mail.example.com\r\nAccount: alice\r\n"
                                        "Last successful check: none yet");
    EXPECT_NE(M.Dialogs.Shown[1].sText.find("Last successful check: 14:05"), std::string::npos);
    EXPECT_EQ(M.Dialogs.Shown[1].sText.find("http"), std::string::npos);
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
    for (const int nCommand : {0, 201, 202, 204, 205, 999, -1}) // calendar entries with no menu open
        Form.OnMenuCommand(static_cast<MenuCommand>(nCommand));
    EXPECT_FALSE(Form.IsUnloaded());
    EXPECT_TRUE(M.Soap.Requests.empty());
    EXPECT_EQ(static_cast<size_t>(M.View.nShows), nShows);
}

} // namespace
} // namespace qv
