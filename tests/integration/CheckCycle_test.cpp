// Whole checks against the fake server: what a check carries on the wire after a login and a notification.
#include "ServerFixture.h"
#include "session/Envelope.h"

namespace qv
{
namespace
{

using test::FakeServer;

using Checks = test::ServerFixture;

TEST_F(Checks, ChecksCarryTheSequenceAndChangeTokenAndAnnounceNewMailOnce)
{
    FakeServer server("new_mail");
    SignIn(server);
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

} // namespace
} // namespace qv
