// Whole checks against the fake server: the session's life across logins, notifications and outages.
#include "ServerFixture.h"
#include "session/Envelope.h"

namespace qv
{
namespace
{

using test::FakeServer;

class Checks : public test::ServerFixture
{
};

TEST_F(Checks, ChecksCarryTheSequenceAndChangeTokenAndAnnounceNewMailOnce)
{
    FakeServer server("new_mail");
    Account(server);
    ASSERT_TRUE(Cycle.Comprobar()) << Session.sLastError;
    const std::string sSession = Session.sSessionId;
    ASSERT_FALSE(Session.sChangeToken.empty());
    Icon.Announced.clear();

    ASSERT_TRUE(Cycle.Comprobar()) << Session.sLastError;
    ASSERT_EQ(Icon.Announced.size(), 1u);
    EXPECT_TRUE(Has(Icon.Announced[0].sMensaje, "Subject: Quarterly figures & plans"));
    EXPECT_EQ(Icon.Announced[0].nSinLeer, 1);
    ASSERT_FALSE(Session.sNotifySeq.empty());

    // What the third check must send, byte for byte: the sequence just read and the login's change token.
    const int64_t nStart = Clock.NowUtcMs() / 1000 * 1000;
    const std::string sExpected =
        SessionEnvelope({Session.sAuthToken, "session", sSession, Session.sNotifySeq, Session.sChangeToken}, true,
                        CheckRequestBody(false, nStart, nStart + 7 * 86400000LL));
    ASSERT_TRUE(Cycle.Comprobar()) << Session.sLastError;
    EXPECT_EQ(Icon.Announced.size(), 1u); // acknowledged: not sent again
    EXPECT_EQ(server.Requests().back().sBody, sExpected);
    EXPECT_EQ(Session.sSessionId, sSession);
}

TEST_F(Checks, AReplacedSessionIsDroppedAndTheNextCheckLogsIn)
{
    FakeServer server("session_replaced");
    Account(server);
    ASSERT_TRUE(Cycle.Comprobar());
    ASSERT_TRUE(Cycle.Comprobar());
    EXPECT_FALSE(Session.sAuthToken.empty());
    ASSERT_TRUE(Cycle.Comprobar()); // the server answers with a new session
    EXPECT_TRUE(Session.sAuthToken.empty());
    EXPECT_TRUE(Session.sNotifySeq.empty());
    ASSERT_TRUE(Cycle.Comprobar());
    EXPECT_TRUE(Has(server.Requests().back().sBody, "<AuthRequest"));
}

TEST_F(Checks, AReferralSendsTheNextLoginToTheReferredServer)
{
    FakeServer mailbox;
    ASSERT_TRUE(mailbox.IsRunning());
    FakeServer proxy(R"({"script": [{"match": {"method": "POST", "contains": "AuthRequest"},
                                      "respond": {"emulate": true, "refer": ")" +
                     mailbox.HostAndPort() + R"("}}]})");
    Account(proxy);
    Cycle.CheckTimerProc();
    EXPECT_EQ(Timers.Armed.at(TimerId::Check), 3000);
    EXPECT_EQ(Session.sServerHost, mailbox.HostAndPort());
    Cycle.CheckTimerProc();
    EXPECT_FALSE(Session.sAuthToken.empty()) << Session.sLastError;
    const auto requests = mailbox.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].sMethod, "OPTIONS");
    EXPECT_TRUE(Has(requests[1].sBody, "<AuthRequest"));
    EXPECT_EQ(requests[1].sHost, mailbox.HostAndPort());
    EXPECT_EQ(Controls.txtZimbraHost, proxy.HostAndPort());
}

TEST_F(Checks, AnExpiredTokenEndsTheSessionAndTheNextCheckLogsIn)
{
    FakeServer server("auth_expired");
    Account(server);
    ASSERT_TRUE(Cycle.Comprobar());
    EXPECT_FALSE(Cycle.Comprobar());
    EXPECT_EQ(Session.sLastError, "auth credentials have expired");
    EXPECT_TRUE(Session.sAuthToken.empty());
    ASSERT_TRUE(Cycle.Comprobar()) << Session.sLastError;
    ASSERT_TRUE(Cycle.Comprobar()) << Session.sLastError;
    EXPECT_FALSE(Session.sAuthToken.empty());
}

TEST_F(Checks, AServerThatStopsAnsweringAndComesBackIsFoundAgain)
{
    // Three checks lose their connection unanswered; meanwhile the server forgets its sessions, as a restart
    // does, but not its tokens. The same listening socket all along: no port is given up and taken again.
    const std::string sDropped = R"({"match": {"method": "POST", "contains": "BatchRequest"},
                                     "respond": {"close": true}})";
    FakeServer server(R"({"script": [)" + sDropped + "," + sDropped + "," + sDropped + "]}");
    Account(server);
    ASSERT_TRUE(Cycle.Comprobar()) << Session.sLastError;
    const std::string sToken = Session.sAuthToken;
    for (int i = 0; i < 3; ++i)
        Cycle.CheckTimerProc();
    EXPECT_EQ(Timers.Armed.at(TimerId::Check), 10000);
    EXPECT_FALSE(Session.sLastError.empty());
    EXPECT_EQ(Session.sAuthToken, sToken); // an outage is no reason to log in again
    ASSERT_TRUE(server.Control("drop_sessions"));

    Cycle.CheckTimerProc(); // the old token still holds; the session was forgotten
    Cycle.CheckTimerProc();
    Cycle.CheckTimerProc();
    EXPECT_EQ(Timers.Armed.at(TimerId::Check), 300000) << Session.sLastError;
    EXPECT_FALSE(Session.sAuthToken.empty());
}

} // namespace
} // namespace qv
