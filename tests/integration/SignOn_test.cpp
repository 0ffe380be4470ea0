// The browser's sign-on address against each generation of the server's redirect rules: the address the program
// opens must be one the server accepts.
#include "ServerFixture.h"
#include "webmail/Webmail.h"

namespace qv
{
namespace
{

using test::FakeServer;

using SignOn = test::ServerFixture;

TEST_F(SignOn, EveryGenerationOfServerAcceptsTheAddressWithoutARedirectTarget)
{
    struct Case
    {
        const char* sRedirectRule; // how the server treats the target's host
        bool bOwnToken;            // the browser's own login, or the program's token in the older form
        long nStatus;
    };
    const Case cases[] = {
        {"verbatim", true, 302}, {"strip", true, 302}, {"allowlist", true, 302},
        // The older form names a target, which a server with a list of allowed targets refuses by default.
        {"verbatim", false, 302}, {"strip", false, 302}, {"allowlist", false, 400},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.sRedirectRule) + (c.bOwnToken ? ", own token" : ", program's token"));
        FakeServer server(std::string(R"({"preauth_redirect": ")") + c.sRedirectRule + R"("})");
        Account(server);
        const std::optional<std::string> sToken = Session.LoginForBrowser(sPassword);
        ASSERT_TRUE(sToken);
        WebmailAccount account{false, true, server.HostAndPort(), *sToken, "8.8.15_GA_4484"};
        const std::string sTo = "bob@example.com&subject=Hi there";
        const std::string sAddress =
            c.bOwnToken ? SingleSignOnAddress(account, *sToken, sTo) : WebmailAddress(account, sTo);
        const HttpReply reply = Soap.Send("GET", sAddress, server.HostAndPort(), {});
        EXPECT_EQ(reply.nStatus, c.nStatus) << sAddress;
        // Once only: the redirect spends the token it was given.
        EXPECT_EQ(Soap.Send("GET", sAddress, server.HostAndPort(), {}).nStatus, 400);
    }
}

} // namespace
} // namespace qv
