#include "../Answers.h"
#include "../SessionFixture.h"
#include "session/Envelope.h"

namespace qv
{
namespace
{

using namespace test;
using fake::FakeSoapTransport;

// The browser's login must not disturb the program's session, whatever the server answers.
TEST(BrowserLogin, LeavesTheProgramsSessionAsItWas)
{
    struct Case
    {
        const char* sWhat;
        std::optional<HttpReply> reply; // none: no request may be sent
        const char* sPassword;
        std::optional<std::string> sToken;
    };
    const Case cases[] = {
        {"a token of its own", FakeSoapTransport::Ok(LoginAnswer()), "secret", "0_56393c24f4ab_69643d33"},
        {"a rejected password", FakeSoapTransport::Ok(FaultAnswer(sAuthFailed, "authentication failed for [alice]")),
         "secret", std::nullopt},
        {"no server", FakeSoapTransport::Failure(TransportError::CannotConnect, 12029, "Cannot connect"), "secret",
         std::nullopt},
        {"an answer without a token", FakeSoapTransport::Ok(CheckAnswer("1842")), "secret", std::nullopt},
        {"a login page", FakeSoapTransport::Status(200, "OK", "<html>Sign in</html>"), "secret", std::nullopt},
        {"no password kept", std::nullopt, "", std::nullopt},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.sWhat);
        SessionParts<FakeSoapTransport> parts;
        parts.Account("mail.example.com:8443");
        ServerSession& session = parts.Session;
        LoggedIn(session);
        session.sLastError = "the last check's";
        session.sServerHost = "mbs2.example.com"; // where a referral sent the program's own requests
        const auto State = [&] {
            return std::tuple(session.sAuthToken, session.sSessionId, session.sNotifySeq, session.sChangeToken,
                              session.bServerProbed, session.sLastError, session.sServerHost, parts.sPassword);
        };
        const auto before = State(); // the password too: a rejection here forgets nothing
        if (c.reply)
            parts.Soap.Replies.push_back(*c.reply);

        EXPECT_EQ(session.LoginForBrowser(c.sPassword), c.sToken);

        ASSERT_EQ(parts.Soap.Requests.size(), c.reply ? 1u : 0u);
        if (c.reply)
        {
            // To the server the user configured, with no probe, no session and no preferences.
            EXPECT_EQ(parts.Soap.Requests[0].sUrl, "http://mail.example.com:8443/service/soap");
            EXPECT_EQ(parts.Soap.Requests[0].sBody, LoginEnvelope("alice", "secret", LoginFor::Browser));
            EXPECT_EQ(parts.Soap.Requests[0].sBody.find("<session"), std::string::npos);
        }
        EXPECT_EQ(State(), before);
        EXPECT_TRUE(parts.Dialogs.Shown.empty());
    }
}

} // namespace
} // namespace qv
