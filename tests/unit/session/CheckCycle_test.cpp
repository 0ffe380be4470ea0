#include "../Answers.h"
#include "../SessionFixture.h"

namespace qv
{
namespace
{

using namespace test;

class CheckCycle : public SessionFixture
{
protected:
    void SetUp() override { Account("mail.example.com"); }
    // Logged in, on a current server, with the timer armed as after start-up.
    void LogIn(const std::string& sPolling = "30s")
    {
        AnswerWith(LoginAnswer(sPolling));
        ASSERT_TRUE(Cycle.Comprobar());
        Cycle.StartCheckTimer(Reader.nMailPollingInterval);
    }
    std::string LastBody() const { return Soap.Requests.back().sBody; }
    bool Sent(const std::string& sPart) const { return LastBody().find(sPart) != std::string::npos; }
    void Checked(const std::string& sSession = "1842", const std::string& sNotify = {})
    {
        AnswerWith(CheckAnswer(sSession, {}, sNotify), false);
    }
};

TEST_F(CheckCycle, AfterARejectedPasswordTheTimerSendsNoEmptyLogins)
{
    AnswerWith(FaultAnswer(sAuthFailed, "authentication failed for [alice]"));
    Cycle.CheckTimerProc();
    EXPECT_EQ(sPassword, "");
    const size_t nSent = Soap.Requests.size();
    for (int i = 0; i < 5; ++i)
        Cycle.CheckTimerProc();
    EXPECT_EQ(Soap.Requests.size(), nSent); // nothing more counts against the account
    EXPECT_EQ(Timers.Armed.at(TimerId::Check), 10000);
    sPassword = "right one"; // typed and taken by the form
    AnswerWith(LoginAnswer("30s"), false);
    Cycle.CheckTimerProc();
    EXPECT_TRUE(Sent("<password>right one</password>"));
    EXPECT_EQ(Timers.Armed.at(TimerId::Check), 30000);
}

TEST_F(CheckCycle, TheCheckAsksForTheComingWeekAndMarksNewDays)
{
    // Answers without the appointment list: only a list read clears the mark, so it shows what the request set.
    const auto CheckedWithoutList = [&] { AnswerWith(CheckAnswer("1842", "<NoOpResponse/>"), false); };
    Clock.nOffsetMinutes = -180;                         // three hours west of Greenwich
    Clock.nNowUtcMs = 1767225600000 + 2 * 3600000 + 123; // 23:00 local on 31 December
    LogIn();
    Reader.Appts.bNewDay = false;
    CheckedWithoutList();
    ASSERT_TRUE(Cycle.Comprobar());
    EXPECT_TRUE(Reader.Appts.bNewDay); // the first session check
    // The week from now, not from local midnight (its bytes are the whole check's in the integration test).
    const std::string sStart = std::to_string(1767225600000 + 2 * 3600000);
    EXPECT_TRUE(Sent("calExpandInstStart=\"" + sStart + "\"")) << LastBody();

    Reader.Appts.bNewDay = false;
    Clock.Advance(30 * 60000); // 23:30 local: the same day
    CheckedWithoutList();
    ASSERT_TRUE(Cycle.Comprobar());
    EXPECT_FALSE(Reader.Appts.bNewDay);
    Clock.Advance(31 * 60000); // past local midnight
    CheckedWithoutList();
    ASSERT_TRUE(Cycle.Comprobar());
    EXPECT_TRUE(Reader.Appts.bNewDay);
    Checked(); // the list is read: the daily list of this day has been given
    ASSERT_TRUE(Cycle.Comprobar());
    EXPECT_FALSE(Reader.Appts.bNewDay);
}

TEST_F(CheckCycle, AnOldServerGetsTheOldForms)
{
    AnswerWith(LoginAnswer("5m", "77", "5.0.18_GA_3011.RHEL5 20090707151621"));
    ASSERT_TRUE(Cycle.Comprobar());
    Checked("77");
    (void)Cycle.Comprobar();
    EXPECT_TRUE(Sent("<sessionId id=\"77\">77</sessionId>"));
    EXPECT_TRUE(Sent("<GetApptSummariesRequest"));
}

TEST_F(CheckCycle, AReferralLogsInAgainThreeSecondsLaterAtTheReferredHostWithAProbe)
{
    AnswerWith(Envelope("<context xmlns=\"urn:zimbra\"/>",
                        "<AuthResponse xmlns=\"urn:zimbraAccount\"><authToken>0_9d"
                        "</authToken><refer>mbs2.example.com</refer></AuthResponse>"));
    Cycle.CheckTimerProc();
    EXPECT_EQ(Timers.Armed.at(TimerId::Check), 3000);
    Cycle.CheckTimerProc(); // the referred server does not answer: retried like any failed check
    EXPECT_EQ(Timers.Armed.at(TimerId::Check), 10000);
    AnswerWith(LoginAnswer());
    Cycle.CheckTimerProc();
    ASSERT_EQ(Soap.Requests.size(), 5u);
    EXPECT_EQ(Soap.Requests[3].sMethod, "OPTIONS");
    EXPECT_EQ(Soap.Requests[3].sUrl, "http://mbs2.example.com/service/soap");
    EXPECT_TRUE(Sent("<AuthRequest"));
    EXPECT_EQ(Controls.txtZimbraHost, "mail.example.com"); // the box keeps what the user typed
}

TEST_F(CheckCycle, ANewLoginStartsTheNotificationsAfresh)
{
    LogIn();
    Checked("1842", "<notify seq=\"4\"/>");
    Cycle.CheckTimerProc();
    ASSERT_EQ(Session.sNotifySeq, "4");
    Session.Forget(); // a new password was typed: the next check logs in
    AnswerWith(LoginAnswer("30s", "1900"), false);
    Cycle.CheckTimerProc();
    ASSERT_TRUE(Sent("<AuthRequest"));
    Checked("1900");
    Cycle.CheckTimerProc();
    EXPECT_TRUE(Sent("id=\"1900\">1900</session>")) << LastBody();
    EXPECT_FALSE(Sent("seq=")) << LastBody(); // the old session's sequence
}

TEST_F(CheckCycle, ALoginAnsweredWithoutItsAnswerFailsAndIsRetried)
{
    // A valid envelope, but no login answer in it (a proxy's or an old server's reply to something else).
    AnswerWith(CheckAnswer("1842"));
    Cycle.CheckTimerProc();
    EXPECT_EQ(Session.sLastError, "The server at http://mail.example.com/service/soap did not answer as a Zimbra "
                                  "server.");
    EXPECT_EQ(Session.sAuthToken, "");
    EXPECT_EQ(Timers.Armed.at(TimerId::Check), 10000); // retried like every failed check, never silent
    AnswerWith(LoginAnswer("30s"), false);
    Cycle.CheckTimerProc();
    EXPECT_TRUE(Sent("<AuthRequest"));
    EXPECT_EQ(Timers.Armed.at(TimerId::Check), 30000);
}

TEST_F(CheckCycle, AnIntervalBelowOneSecondStopsAutomaticChecks)
{
    Cycle.StartCheckTimer(0);
    Cycle.StartCheckTimer(-5);
    EXPECT_TRUE(Timers.Starts.empty());
}

TEST_F(CheckCycle, TheControlsAreLockedDuringTheCheckOnly)
{
    bool bLockedDuring = false;
    std::string sTitleDuring;
    Soap.OnSend = [&] {
        bLockedDuring = View.bLocked;
        sTitleDuring = View.sTitle;
    };
    (void)Cycle.Comprobar();
    EXPECT_TRUE(bLockedDuring);
    EXPECT_EQ(sTitleDuring, "Quorvel - Contacting server, please wait...");
    EXPECT_FALSE(View.bLocked);
    EXPECT_EQ(View.sTitle, "Quorvel");
    EXPECT_EQ(System.nTrims, 1);
}

TEST_F(CheckCycle, TimerChecksAreSingleShotsSkipTheShownWindowAndAnOutageKeepsTheSession)
{
    LogIn();
    View.bVisible = true; // a tick while the settings are shown sends nothing
    Cycle.CheckTimerProc();
    EXPECT_EQ(Soap.Requests.size(), 2u);
    EXPECT_EQ(Timers.Armed.at(TimerId::Check), 30000);
    View.bVisible = false;
    Checked();
    Cycle.CheckTimerProc();
    EXPECT_EQ(Timers.Armed.at(TimerId::Check), 30000);
    const std::string sToken = Session.sAuthToken;
    for (int i = 0; i < 3; ++i)
        Cycle.CheckTimerProc(); // connection refused each time
    EXPECT_EQ(Session.sAuthToken, sToken);
    EXPECT_EQ(Timers.Armed.at(TimerId::Check), 10000);
    Checked();
    Cycle.CheckTimerProc();
    EXPECT_EQ(Timers.Armed.at(TimerId::Check), 30000);
    EXPECT_EQ(Soap.Requests.back().sMethod, "POST"); // no new probe: the server was not refused
}

} // namespace
} // namespace qv
