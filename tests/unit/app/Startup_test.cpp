#include "../Answers.h"
#include "../FormFixture.h"
#include "../SessionParts.h"

namespace qv
{
namespace
{

using namespace test;

using Startup = FormFixture;

TEST_F(Startup, IncompleteCredentialsShowTheWindowAndALinkOpensOnceTheFirstCheckSucceeds)
{
    Form.StartRequests.push_back(PrepareHandOff("mailto:bob@example.com?subject=Hi"));
    Store("ZimbraHost", "mail.example.com"); // no password yet: nothing to send, nothing to open with
    Store("Username", "alice");
    Form.Form_Load();
    EXPECT_TRUE(M.View.bVisible);
    EXPECT_TRUE(M.Tray.bShown);
    EXPECT_TRUE(M.Soap.Requests.empty());
    EXPECT_TRUE(M.Timers.Armed.empty());
    EXPECT_TRUE(M.Shell.Opened.empty());

    AnswerWith(LoginAnswer("5m"));
    Form.txtPassword_Change("secret");
    Form.cmdAceptar_Click(Control::cmdAceptar); // the user completes the settings: the check logs in
    ASSERT_EQ(M.Shell.Opened.size(), 1u);
    EXPECT_NE(M.Shell.Opened[0].find("view=compose%26to=bob@example.com%26subject=Hi"), std::string::npos)
        << M.Shell.Opened[0];
    AnswerWith(CheckAnswer("1842"), false);
    M.Clock.Advance(5000);
    (void)Form.Cycle.Comprobar();
    EXPECT_EQ(M.Shell.Opened.size(), 1u); // taken up once
}

TEST_F(Startup, ARejectedPasswordLeavesTheWindowShownWithAnEmptyBox)
{
    StoreAccount();
    M.Soap.Replies.push_back(fake::FakeSoapTransport::Ok({}));
    M.Soap.Replies.push_back(fake::FakeSoapTransport::Status(
        500, "Internal Server Error", FaultAnswer(sAuthFailed, "authentication failed for [alice]")));
    Form.Form_Load();
    EXPECT_TRUE(M.View.bVisible);
    EXPECT_EQ(Form.Settings.Controls.txtPassword, "");
    EXPECT_EQ(Form.Settings.sPassword, "");
}

TEST_F(Startup, AnUnreachableServerDoesNotStopStartUpNorLoseAHandedOverLink)
{
    StoreAccount();
    Form.Form_Load(); // the fake transport has no answers: it cannot connect
    EXPECT_FALSE(M.View.bVisible);
    EXPECT_EQ(M.Timers.Armed.at(TimerId::Check), 10000);

    // A link handed over before any login waits for one, rather than bringing up settings that are complete.
    TrayEvent link;
    link.nKind = TrayEventKind::AbreZimbra;
    link.sCommandLine = "bob@example.com";
    Form.OnTrayEvent(link);
    for (const char* sLater : {"", "carol@example.com"}) // later requests wait behind it, never displace it
    {
        link.sCommandLine = sLater;
        Form.OnTrayEvent(link);
    }
    EXPECT_FALSE(M.View.bVisible);
    EXPECT_TRUE(M.Shell.Opened.empty());
    AnswerWith(LoginAnswer());
    (void)Form.Cycle.Comprobar();
    ASSERT_EQ(M.Shell.Opened.size(), 1u);
    EXPECT_NE(M.Shell.Opened[0].find("to=bob@example.com"), std::string::npos) << M.Shell.Opened[0];
}

TEST_F(Startup, ExitDuringAMessageBoxWaitsUntilTheBoxIsClosed)
{
    Form.Form_Load();
    const size_t nSaves = Saves();
    bool bUnloadedInsideTheBox = true;
    M.Dialogs.OnShow = [&] {
        Form.Dispatch([&] { Form.RequestUnload(); }); // "Exit" from the tray while the box is up
        bUnloadedInsideTheBox = Form.IsUnloaded();
    };
    Form.Dispatch([&] { Form.mnuPopComprobar_Click(); }); // missing fields: a message box
    EXPECT_FALSE(bUnloadedInsideTheBox);
    EXPECT_TRUE(Form.IsUnloaded());
    EXPECT_EQ(Saves(), nSaves + 1);
}

TEST_F(Startup, SessionEndDuringARequestSavesOnceAndArmsNothingAfterwards)
{
    StoreAccount();
    Form.Form_Load();
    const size_t nSaves = Saves();
    M.Soap.OnSend = [&] { Form.Form_Unload(); }; // WM_ENDSESSION while the check waits
    Form.Dispatch([&] { Form.Cycle.CheckTimerProc(); });
    Form.Form_Unload();
    EXPECT_EQ(Saves(), nSaves + 1);
    EXPECT_TRUE(M.Timers.Armed.empty());
}

TEST_F(Startup, TheServerBoxRefusesSchemesAndPathsButKeepsTheText)
{
    const std::pair<const char*, bool> cases[] = {
        {"mail.example.com", true},          {"127.0.0.1:8080", true}, {"", true},
        {"http://mail.example.com", false},  {"HTTP:mail", false},     {"https://mail", false},
        {"mail.example.com/zimbra/", false}, {"mail\\zimbra", false},
    };
    for (const auto& [sText, bValid] : cases)
    {
        M.Dialogs.Shown.clear();
        Form.txtZimbraHost_Change(sText);
        EXPECT_EQ(Form.txtZimbraHost_Validate(), bValid) << sText;
        EXPECT_EQ(M.Dialogs.Shown.empty() ? "" : M.Dialogs.Shown[0].sText, bValid ? "" : "Invalid server name");
        EXPECT_EQ(Form.Settings.Controls.txtZimbraHost, sText);
    }
}

TEST_F(Startup, ChangingServerOrUserEndsTheSession)
{
    const std::pair<void (*)(frmMain&), bool> changes[] = {
        {[](frmMain& f) { f.txtZimbraHost_Change("other"); }, true},
        {[](frmMain& f) { f.txtUsuario_Change("bob"); }, false},
    };
    for (const auto& [change, bProbesAgain] : changes)
    {
        LoggedIn(Form.Session);
        change(Form);
        EXPECT_TRUE(Form.Session.sAuthToken.empty());
        EXPECT_TRUE(Form.Session.sSessionId.empty());
        EXPECT_EQ(Form.Session.bServerProbed, !bProbesAgain);
    }
    EXPECT_EQ(Form.Session.sServerHost, "other");
}

TEST_F(Startup, OkChecksBeforeSavingAndSavesOnlyAfterSuccess)
{
    Form.Form_Load();
    const size_t nSaves = Saves();
    Form.txtZimbraHost_Change("mail.example.com");
    Form.txtUsuario_Change("alice");
    Form.txtPassword_Change("secret"); // Enter pressed in the password box: not yet committed
    Form.cmdAceptar_Click(Control::txtZimbraHost);
    EXPECT_TRUE(M.Soap.Requests.empty()); // Enter in another box does not submit

    Form.cmdAceptar_Click(Control::txtPassword); // no answer: fails, nothing saved
    EXPECT_EQ(Saves(), nSaves);
    EXPECT_TRUE(M.View.bVisible);

    AnswerWith(LoginAnswer("2m"));
    Form.cmdAceptar_Click(Control::cmdAceptar);
    EXPECT_EQ(Saves(), nSaves + 1);
    EXPECT_FALSE(M.View.bVisible);
    EXPECT_EQ(M.Timers.Armed.at(TimerId::Check), 120000);
    EXPECT_NE(M.Soap.Requests.back().sBody.find("<password>secret</password>"), std::string::npos);
}

TEST_F(Startup, OnlyAnotherAccountStartsWithEmptyLists)
{
    const auto Refresh = [&](const std::string& sFolders) {
        const size_t nBefore = M.Tray.Log.size();
        EXPECT_TRUE(Form.Reader.ProcessResponse(
            Envelope("<context xmlns=\"urn:zimbra\"><refresh><folder id=\"1\" name=\"USER_ROOT\">" + sFolders +
                         "</folder></refresh></context>",
                     "<BatchResponse xmlns=\"urn:zimbra\"/>")));
        return M.Tray.Log.size() > nBefore; // announced
    };
    const std::string sAlice = "<folder id=\"2\" name=\"Inbox\" u=\"3\"/><folder id=\"257\" name=\"Work\"/>";
    Form.txtZimbraHost_Change("mail.example.com");
    Form.txtUsuario_Change("alice");
    EXPECT_TRUE(Refresh(sAlice));

    Form.txtUsuario_Change("alic"); // a letter deleted and typed again: the same account
    Form.txtUsuario_Change("alice");
    Form.txtZimbraHost_Change("MAIL.example.com");
    EXPECT_FALSE(Refresh(sAlice)); // a new login's refresh announces nothing again
    EXPECT_NE(Form.Reader.Lists.FindFolder("257"), -1);

    Form.txtUsuario_Change("bob");
    EXPECT_TRUE(Refresh("<folder id=\"2\" name=\"Inbox\" u=\"1\"/>"));
    EXPECT_EQ(Form.Reader.Lists.FindFolder("257"), -1); // alice's folder is not bob's
}

} // namespace
} // namespace qv
