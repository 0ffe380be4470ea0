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

class Session : public test::ServerFixture
{
};

TEST_F(Session, ChecksCarryTheSequenceAndChangeTokenAndAnnounceNewMailOnce)
{
    FakeServer server("new_mail");
    Account(server);
    ASSERT_TRUE(Form.Comprobar()) << Form.sLastError;
    const std::string sSession = Form.sSessionId;
    ASSERT_FALSE(Form.sChangeToken.empty());
    M.Tray.Announced.clear();

    ASSERT_TRUE(Form.Comprobar()) << Form.sLastError;
    ASSERT_EQ(M.Tray.Announced.size(), 1u);
    EXPECT_TRUE(Has(M.Tray.Announced[0].sMensaje, "Subject: Quarterly figures & plans"));
    EXPECT_EQ(M.Tray.Announced[0].nSinLeer, 1);
    ASSERT_FALSE(Form.sNotifySeq.empty());

    // What the third check must send, byte for byte: the sequence just read and the login's change token.
    const int64_t nStart = M.Clock.NowUtcMs() / 1000 * 1000;
    const std::string sExpected =
        SessionEnvelope({Form.sAuthToken, "session", sSession, Form.sNotifySeq, Form.sChangeToken}, true,
                        CheckRequestBody(false, nStart, nStart + 7 * 86400000LL));
    ASSERT_TRUE(Form.Comprobar()) << Form.sLastError;
    EXPECT_EQ(M.Tray.Announced.size(), 1u); // acknowledged: not sent again
    EXPECT_EQ(server.Requests().back().sBody, sExpected);
    EXPECT_EQ(Form.sSessionId, sSession);
}

TEST_F(Session, AReplacedSessionIsDroppedAndTheNextCheckLogsIn)
{
    FakeServer server("session_replaced");
    Account(server);
    ASSERT_TRUE(Form.Comprobar());
    ASSERT_TRUE(Form.Comprobar());
    EXPECT_FALSE(Form.sAuthToken.empty());
    ASSERT_TRUE(Form.Comprobar()); // the server answers with a new session
    EXPECT_TRUE(Form.sAuthToken.empty());
    EXPECT_TRUE(Form.sNotifySeq.empty());
    ASSERT_TRUE(Form.Comprobar());
    EXPECT_TRUE(Has(server.Requests().back().sBody, "<AuthRequest"));
}

TEST_F(Session, AReferralSendsTheNextLoginToTheReferredServer)
{
    FakeServer mailbox;
    ASSERT_TRUE(mailbox.IsRunning());
    FakeServer proxy(R"({"script": [{"match": {"method": "POST", "contains": "AuthRequest"},
                                      "respond": {"emulate": true, "refer": ")" +
                     mailbox.HostAndPort() + R"("}}]})");
    Account(proxy);
    Form.CheckTimerProc();
    EXPECT_EQ(M.Timers.Armed.at(TimerId::Check), 3000);
    EXPECT_EQ(Form.sServerHost, mailbox.HostAndPort());
    Form.CheckTimerProc();
    EXPECT_FALSE(Form.sAuthToken.empty()) << Form.sLastError;
    const auto requests = mailbox.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].sMethod, "OPTIONS");
    EXPECT_TRUE(Has(requests[1].sBody, "<AuthRequest"));
    EXPECT_EQ(requests[1].sHost, mailbox.HostAndPort());
    EXPECT_EQ(Form.Controls.txtZimbraHost, proxy.HostAndPort());
}

TEST_F(Session, AnExpiredTokenEndsTheSessionAndTheNextCheckLogsIn)
{
    FakeServer server("auth_expired");
    Account(server);
    ASSERT_TRUE(Form.Comprobar());
    EXPECT_FALSE(Form.Comprobar());
    EXPECT_EQ(Form.sLastError, "auth credentials have expired");
    EXPECT_TRUE(Form.sAuthToken.empty());
    ASSERT_TRUE(Form.Comprobar()) << Form.sLastError;
    ASSERT_TRUE(Form.Comprobar()) << Form.sLastError;
    EXPECT_FALSE(Form.sAuthToken.empty());
}

TEST_F(Session, AnAnswerTooBigKeepsTheSessionAndOtherFaultsEndIt)
{
    FakeServer server(R"({"script": [
        {"match": {"method": "POST", "contains": "BatchRequest"},
         "respond": {"fault": {"code": "mail.MESSAGE_TOO_BIG", "reason": "Message of size 31457280 exceeded allowed size"}}},
        {"match": {"method": "POST", "contains": "BatchRequest"},
         "respond": {"fault": {"code": "service.FAILURE", "reason": "system failure: mailbox busy"}}}]})");
    Account(server);
    ASSERT_TRUE(Form.Comprobar());
    const std::string sToken = Form.sAuthToken;
    EXPECT_FALSE(Form.Comprobar());
    EXPECT_EQ(Form.sAuthToken, sToken);
    EXPECT_FALSE(Form.Comprobar());
    EXPECT_EQ(Form.sLastError, "system failure: mailbox busy");
    EXPECT_TRUE(Form.sAuthToken.empty());
    ASSERT_TRUE(Form.Comprobar()) << Form.sLastError; // logs in again
    EXPECT_TRUE(Has(server.Requests().back().sBody, "<AuthRequest"));
}

TEST_F(Session, AFaultOfOneBatchRequestKeepsTheSession)
{
    FakeServer server("batch_fault");
    Account(server);
    ASSERT_TRUE(Form.Comprobar());
    const std::string sToken = Form.sAuthToken;
    EXPECT_TRUE(Form.Comprobar()) << Form.sLastError;
    EXPECT_EQ(Form.sAuthToken, sToken);
}

TEST_F(Session, AServerThatStopsAndComesBackIsFoundAgain)
{
    const std::filesystem::path state =
        std::filesystem::temp_directory_path() / ("quorvel-state-" + std::to_string(getpid()));
    std::filesystem::create_directories(state);
    int nPort = 0;
    {
        FakeServer server({}, {"--state-dir", state.string()});
        Account(server);
        nPort = server.Port();
        ASSERT_TRUE(Form.Comprobar());
    }
    Form.CheckTimerProc();
    EXPECT_EQ(M.Timers.Armed.at(TimerId::Check), 10000);
    EXPECT_TRUE(Has(Form.sLastError, "Request to http://127.0.0.1:" + std::to_string(nPort)));
    EXPECT_FALSE(Form.sAuthToken.empty()); // an outage is no reason to log in again

    FakeServer again({}, {"--state-dir", state.string(), "--port", std::to_string(nPort)});
    ASSERT_TRUE(again.IsRunning());
    Form.CheckTimerProc(); // the old token still holds; the session was forgotten
    Form.CheckTimerProc();
    Form.CheckTimerProc();
    EXPECT_EQ(M.Timers.Armed.at(TimerId::Check), 300000) << Form.sLastError;
    EXPECT_FALSE(Form.sAuthToken.empty());
    std::filesystem::remove_all(state);
}

} // namespace
} // namespace qv
