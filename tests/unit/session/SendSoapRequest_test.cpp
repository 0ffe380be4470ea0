#include "../Answers.h"
#include "../SessionFixture.h"
#include "session/Transport.h"

namespace qv
{
namespace
{

using namespace test;
using fake::FakeSoapTransport;

class SendSoap : public SessionFixture
{
protected:
    void SetUp() override { Account("mail.example.com:8443"); }
    const std::string sTemplateStart = "Request to http://mail.example.com:8443/service/soap\r\n"
                                       "produced the following error\r\n";
    const std::string sTemplateEnd = "\r\nTry checking or unchecking 'Use Safe Connection'";
};

TEST_F(SendSoap, ProbesOnceThenPostsWithTheHostHeader)
{
    AnswerWith(LoginAnswer());
    Soap.Replies.push_back(FakeSoapTransport::Ok(LoginAnswer()));
    EXPECT_FALSE(Session.SendSoapRequest("<a/>").empty());
    EXPECT_FALSE(Session.SendSoapRequest("<b/>").empty());
    ASSERT_EQ(Soap.Requests.size(), 3u);
    EXPECT_EQ(Soap.Requests[0].sMethod, "OPTIONS");
    EXPECT_EQ(Soap.Requests[0].sBody, "");
    for (const fake::SentRequest& request : Soap.Requests)
    {
        EXPECT_EQ(request.sUrl, "http://mail.example.com:8443/service/soap");
        EXPECT_EQ(request.sHost, "mail.example.com:8443");
    }
    EXPECT_EQ(Soap.Requests[2].sBody, "<b/>");
    EXPECT_TRUE(Session.bServerProbed);
}

// What each reply to the POST leaves: the error shown, whether the probe stands and whether the login does.
TEST_F(SendSoap, EachReplyBecomesItsErrorText)
{
    struct Case
    {
        HttpReply reply;
        std::string sError;
        bool bProbed;
    };
    const std::string sWhy = "The server name or address could not be resolved";
    const auto Failure = [&](TransportError nError, long nCode) {
        return FakeSoapTransport::Failure(nError, nCode, sWhy);
    };
    const std::string sRejected = "Incorrect User or Password: alice";
    const Case cases[] = {
        // A 200 without an envelope (the web client's sign-in page): nothing to tell.
        {FakeSoapTransport::Ok("<html><body>Zimbra Web Client Sign In</body></html>"), "", true},
        {FakeSoapTransport::Status(502, "Bad Gateway", "<html>proxy</html>"),
         sTemplateStart + "Bad Gateway" + sTemplateEnd, false},
        {FakeSoapTransport::Status(500, "Internal Server Error",
                                   FaultAnswer(sAuthFailed, "authentication failed for [alice]")),
         sRejected, true},
        // A transport failure leaves the probe as it was.
        {Failure(TransportError::NameNotResolved, 12007), sTemplateStart + sWhy + sTemplateEnd, true},
        {Failure(TransportError::CannotConnect, 12029), sTemplateStart + sWhy + sTemplateEnd, true},
        {Failure(TransportError::TimedOut, 12002), sTemplateStart + sWhy + sTemplateEnd, true},
        {Failure(TransportError::CertificateRejected, 12175), sWhy, true},
        {Failure(TransportError::Other, -2146697208), "Error -2146697208: " + sWhy + "\r\nWinHTTP", true},
    };
    for (const Case& c : cases)
    {
        Session.bServerProbed = true;
        Session.sAuthToken = "tok";
        Soap.Replies.push_back(c.reply);
        EXPECT_EQ(Session.SendSoapRequest("<a/>"), "");
        EXPECT_EQ(Session.sLastError, c.sError);
        EXPECT_EQ(Session.bServerProbed, c.bProbed) << c.sError;
        EXPECT_EQ(Session.sAuthToken.empty(), c.sError == sRejected) << c.sError; // only a rejection ends the login
    }
}

TEST_F(SendSoap, AnInvalidStoredHostSendsNothing)
{
    Account("https://mail.example.com/zimbra");
    EXPECT_EQ(Session.SendSoapRequest("<a/>"), "");
    EXPECT_TRUE(Soap.Requests.empty());
    EXPECT_EQ(Session.sLastError, "Invalid server name: https://mail.example.com/zimbra");
}

TEST(IsRejectedLogin, LooksOnlyInsideFaults)
{
    const std::pair<std::string, bool> cases[] = {
        {FaultAnswer(sAuthFailed, "authentication failed for [a]"), true},
        {FaultAnswer("service.FAILURE", "system failure: AUTH_FAILED upstream"), true},
        {CheckAnswer("1", "<SearchResponse><appt name=\"AUTH_FAILED\"/></SearchResponse>"), false},
        {CheckAnswer("1", Fault("service.PERM_DENIED", "permission denied: x")), false},
        // A fault about something else beside a message that speaks of the word: still no rejected login.
        {CheckAnswer("1", Fault("service.PERM_DENIED", "x") + "<SearchResponse><appt name=\"AUTH_FAILED\"/>"
                                                              "</SearchResponse>"),
         false},
        {"<soap:FaultyElement>AUTH_FAILED</soap:FaultyElement>", false},
        {"<soap:Fault>AUTH_FAILED", true}, // cut short: still a fault about the login
    };
    for (const auto& [sAnswer, bRejected] : cases)
        EXPECT_EQ(IsRejectedLogin(sAnswer), bRejected) << sAnswer;
}

} // namespace
} // namespace qv
