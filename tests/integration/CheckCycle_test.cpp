// Whole checks against the fake server: the session's life across logins, notifications and outages.
#include <cstdlib>
#include <filesystem>

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

TEST_F(Checks, AnAnswerTooBigKeepsTheSessionAndOtherFaultsEndIt)
{
    FakeServer server(R"({"script": [
        {"match": {"method": "POST", "contains": "BatchRequest"},
         "respond": {"fault": {"code": "mail.MESSAGE_TOO_BIG", "reason": "Message of size 31457280 exceeded allowed size"}}},
        {"match": {"method": "POST", "contains": "BatchRequest"},
         "respond": {"fault": {"code": "service.FAILURE", "reason": "system failure: mailbox busy"}}}]})");
    Account(server);
    ASSERT_TRUE(Cycle.Comprobar());
    const std::string sToken = Session.sAuthToken;
    EXPECT_FALSE(Cycle.Comprobar());
    EXPECT_EQ(Session.sAuthToken, sToken);
    EXPECT_FALSE(Cycle.Comprobar());
    EXPECT_EQ(Session.sLastError, "system failure: mailbox busy");
    EXPECT_TRUE(Session.sAuthToken.empty());
    ASSERT_TRUE(Cycle.Comprobar()) << Session.sLastError; // logs in again
    EXPECT_TRUE(Has(server.Requests().back().sBody, "<AuthRequest"));
}

TEST_F(Checks, AFaultOfOneBatchRequestKeepsTheSession)
{
    FakeServer server("batch_fault");
    Account(server);
    ASSERT_TRUE(Cycle.Comprobar());
    const std::string sToken = Session.sAuthToken;
    EXPECT_TRUE(Cycle.Comprobar()) << Session.sLastError;
    EXPECT_EQ(Session.sAuthToken, sToken);
}

TEST_F(Checks, AServerThatStopsAndComesBackIsFoundAgain)
{
    const std::filesystem::path state =
        std::filesystem::temp_directory_path() / ("quorvel-state-" + std::to_string(getpid()));
    std::filesystem::create_directories(state);
    int nPort = 0;
    {
        FakeServer server({}, {"--state-dir", state.string()});
        Account(server);
        nPort = server.Port();
        ASSERT_TRUE(Cycle.Comprobar());
    }
    Cycle.CheckTimerProc();
    EXPECT_EQ(Timers.Armed.at(TimerId::Check), 10000);
    EXPECT_TRUE(Has(Session.sLastError, "Request to http://127.0.0.1:" + std::to_string(nPort)));
    EXPECT_FALSE(Session.sAuthToken.empty()); // an outage is no reason to log in again

    FakeServer again({}, {"--state-dir", state.string(), "--port", std::to_string(nPort)});
    ASSERT_TRUE(again.IsRunning());
    Cycle.CheckTimerProc(); // the old token still holds; the session was forgotten
    Cycle.CheckTimerProc();
    Cycle.CheckTimerProc();
    EXPECT_EQ(Timers.Armed.at(TimerId::Check), 300000) << Session.sLastError;
    EXPECT_FALSE(Session.sAuthToken.empty());
    std::filesystem::remove_all(state);
}

} // namespace
} // namespace qv
