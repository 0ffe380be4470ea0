#include "../Answers.h"
#include "../FormFixture.h"

namespace qv
{
namespace
{

using namespace test;

class CheckCycle : public FormFixture
{
protected:
    void SetUp() override
    {
        StoreAccount();
        Form.LoadSettings();
    }
    // Logged in, on a current server, with the timer armed as after start-up.
    void LogIn(const std::string& sPolling = "30s")
    {
        AnswerWith(LoginAnswer(sPolling));
        ASSERT_TRUE(Form.Comprobar());
        Form.StartCheckTimer(Form.nMailPollingInterval);
    }
    std::string LastBody() const { return M.Soap.Requests.back().sBody; }
};

TEST_F(CheckCycle, TimerChecksAreSingleShotsOneIntervalApart)
{
    LogIn("30s");
    EXPECT_EQ(M.Timers.Armed.at(TimerId::Check), 30000);
    M.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(CheckAnswer("1842")));
    Form.CheckTimerProc();
    EXPECT_EQ(M.Timers.Armed.at(TimerId::Check), 30000);
    Form.CheckTimerProc(); // no answer: the short interval
    EXPECT_EQ(M.Timers.Armed.at(TimerId::Check), 10000);
}

TEST_F(CheckCycle, ATimerTickWhileTheWindowIsShownSendsNothing)
{
    LogIn();
    const size_t nSent = M.Soap.Requests.size();
    M.View.bVisible = true;
    Form.CheckTimerProc();
    EXPECT_EQ(M.Soap.Requests.size(), nSent);
    EXPECT_EQ(M.Timers.Armed.at(TimerId::Check), 30000);
}

TEST_F(CheckCycle, AfterARejectedPasswordTheTimerSendsNoEmptyLogins)
{
    AnswerWith(FaultAnswer(sAuthFailed, "authentication failed for [alice]"));
    Form.CheckTimerProc();
    EXPECT_EQ(Form.sPassword, "");
    const size_t nSent = M.Soap.Requests.size();
    for (int i = 0; i < 5; ++i)
        Form.CheckTimerProc();
    EXPECT_EQ(M.Soap.Requests.size(), nSent); // nothing more counts against the account
    EXPECT_EQ(M.Timers.Armed.at(TimerId::Check), 10000);
    Form.txtPassword_Change("right one");
    Form.CommitPassword();
    AnswerWith(LoginAnswer("30s"), false);
    Form.CheckTimerProc();
    EXPECT_NE(M.Soap.Requests.back().sBody.find("<password>right one</password>"), std::string::npos);
    EXPECT_EQ(M.Timers.Armed.at(TimerId::Check), 30000);
}

TEST_F(CheckCycle, AFailureWithoutAReasonStillSaysSomething)
{
    AnswerWith("<html>Sign in</html>");
    Form.mnuPopComprobar_Click();
    ASSERT_EQ(M.Dialogs.Shown.size(), 1u);
    EXPECT_EQ(Form.sLastError, "");
    EXPECT_EQ(M.Dialogs.Shown[0].sText,
              "The server at http://mail.example.com/service/soap did not answer as a Zimbra server.");
}

TEST_F(CheckCycle, CheckNowDuringAModalBoxSendsNoSecondRequest)
{
    LogIn();
    Form.Controls.chkVentana = 1; // the new mail opens a message box inside the check
    M.Soap.Replies.push_back(
        fake::FakeSoapTransport::Ok(CheckAnswer("1842", {},
                                                "<notify seq=\"1\"><created><m id=\"9\" l=\"2\" f=\"u\"><e a=\"b@x\" "
                                                "t=\"f\"/><su>s</su></m></created></notify>")));
    size_t nDuringBox = 0;
    M.Dialogs.OnShow = [&] {
        Form.mnuPopComprobar_Click(); // the tray menu still works behind a modal box
        nDuringBox = M.Soap.Requests.size();
    };
    const size_t nBefore = M.Soap.Requests.size();
    Form.CheckTimerProc();
    EXPECT_EQ(nDuringBox, nBefore + 1);
    EXPECT_EQ(M.Soap.Requests.size(), nBefore + 1);
}

TEST_F(CheckCycle, CheckNowAsksForMissingFieldsAndShowsFailures)
{
    Form.txtUsuario_Change("");
    Form.mnuPopComprobar_Click();
    EXPECT_TRUE(M.View.bVisible);
    EXPECT_EQ(M.Dialogs.Shown.at(0).sText, "Enter required fields");
    EXPECT_TRUE(M.Soap.Requests.empty());

    Form.txtUsuario_Change("alice");
    M.View.bVisible = false;
    Form.mnuPopComprobar_Click(); // nothing answers
    EXPECT_TRUE(M.View.bVisible);
    EXPECT_EQ(M.Dialogs.Shown.at(1).sText, Form.sLastError);
    EXPECT_EQ(M.Dialogs.Shown.at(1).nStyle, 48 | 0x40000);
    EXPECT_FALSE(M.Timers.IsArmed(TimerId::Check)); // no timed check until the user acts
}

TEST_F(CheckCycle, TheCheckAsksForTheComingWeekAndMarksNewDays)
{
    M.Clock.nBiasMinutes = 180;                            // three hours west of Greenwich
    M.Clock.nNowUtcMs = 1767225600000 + 2 * 3600000 + 123; // 23:00 local on 31 December
    LogIn();
    Form.bNewDay = false;
    M.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(CheckAnswer("1842")));
    ASSERT_TRUE(Form.Comprobar());
    EXPECT_TRUE(Form.bNewDay); // the first session check
    const std::string sStart = std::to_string(1767225600000 + 2 * 3600000);
    const std::string sEnd = std::to_string(1767225600000 + 2 * 3600000 + 7 * 86400000LL);
    EXPECT_NE(LastBody().find("calExpandInstStart=\"" + sStart + "\" calExpandInstEnd=\"" + sEnd + "\""),
              std::string::npos)
        << LastBody();
    EXPECT_NE(LastBody().find("<change token=\"4271\"/>"), std::string::npos);

    Form.bNewDay = false;
    M.Clock.Advance(30 * 60000); // 23:30 local: the same day
    M.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(CheckAnswer("1842")));
    ASSERT_TRUE(Form.Comprobar());
    EXPECT_FALSE(Form.bNewDay);
    M.Clock.Advance(31 * 60000); // past local midnight
    M.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(CheckAnswer("1842")));
    ASSERT_TRUE(Form.Comprobar());
    EXPECT_TRUE(Form.bNewDay);
}

TEST_F(CheckCycle, AnOldServerGetsTheOldForms)
{
    AnswerWith(LoginAnswer("5m", "77", "5.0.18_GA_3011.RHEL5 20090707151621"));
    ASSERT_TRUE(Form.Comprobar());
    M.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(CheckAnswer("77")));
    (void)Form.Comprobar();
    EXPECT_NE(LastBody().find("<sessionId id=\"77\">77</sessionId>"), std::string::npos);
    EXPECT_NE(LastBody().find("<GetApptSummariesRequest"), std::string::npos);
}

TEST_F(CheckCycle, AReferralLogsInAgainThreeSecondsLaterAtTheReferredHostWithAProbe)
{
    AnswerWith(Envelope("<context xmlns=\"urn:zimbra\"/>",
                        "<AuthResponse xmlns=\"urn:zimbraAccount\"><authToken>0_9d</authToken>"
                        "<refer>mbs2.example.com</refer></AuthResponse>"));
    Form.CheckTimerProc();
    EXPECT_EQ(M.Timers.Armed.at(TimerId::Check), 3000);
    AnswerWith(LoginAnswer());
    Form.CheckTimerProc();
    ASSERT_EQ(M.Soap.Requests.size(), 4u);
    EXPECT_EQ(M.Soap.Requests[2].sMethod, "OPTIONS");
    EXPECT_EQ(M.Soap.Requests[2].sUrl, "http://mbs2.example.com/service/soap");
    EXPECT_NE(M.Soap.Requests[3].sBody.find("<AuthRequest"), std::string::npos);
    EXPECT_EQ(Stored("ZimbraHost"), "mail.example.com");
}

TEST_F(CheckCycle, AnIntervalBelowOneSecondStopsAutomaticChecks)
{
    Form.StartCheckTimer(0);
    Form.StartCheckTimer(-5);
    EXPECT_TRUE(M.Timers.Starts.empty());
}

TEST_F(CheckCycle, TheControlsAreLockedDuringTheCheckOnly)
{
    bool bLockedDuring = false;
    std::string sTitleDuring;
    M.Soap.OnSend = [&] {
        bLockedDuring = M.View.bLocked;
        sTitleDuring = M.View.sTitle;
    };
    (void)Form.Comprobar();
    EXPECT_TRUE(bLockedDuring);
    EXPECT_EQ(sTitleDuring, "Quorvel - Contacting server, please wait...");
    EXPECT_FALSE(M.View.bLocked);
    EXPECT_EQ(M.View.sTitle, "Quorvel");
    EXPECT_EQ(M.System.nTrims, 1);
}

TEST_F(CheckCycle, AServerThatStopsAnsweringAndComesBackKeepsTheSession)
{
    LogIn();
    const std::string sToken = Form.sAuthToken;
    for (int i = 0; i < 3; ++i)
        Form.CheckTimerProc(); // connection refused each time
    EXPECT_EQ(Form.sAuthToken, sToken);
    EXPECT_EQ(M.Timers.Armed.at(TimerId::Check), 10000);
    M.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(CheckAnswer("1842")));
    Form.CheckTimerProc();
    EXPECT_EQ(M.Timers.Armed.at(TimerId::Check), 30000);
    EXPECT_EQ(M.Soap.Requests.back().sMethod, "POST"); // no new probe: the server was not refused
}

} // namespace
} // namespace qv
