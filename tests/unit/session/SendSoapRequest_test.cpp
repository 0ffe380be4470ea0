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

TEST_F(SendSoap, AnswersWithoutAnEnvelopeAreEmpty)
{
    AnswerWith("<html><body>Zimbra Web Client Sign In</body></html>");
    EXPECT_EQ(Session.SendSoapRequest("<a/>"), "");
    EXPECT_EQ(Session.sLastError, ""); // a 200 without envelope: nothing to tell
    EXPECT_TRUE(Session.bServerProbed);

    Soap.Replies.push_back(FakeSoapTransport::Status(502, "Bad Gateway", "<html>proxy</html>"));
    EXPECT_EQ(Session.SendSoapRequest("<a/>"), "");
    EXPECT_EQ(Session.sLastError, sTemplateStart + "Bad Gateway" + sTemplateEnd);
    EXPECT_FALSE(Session.bServerProbed);
}

TEST_F(SendSoap, ARejectedLoginEndsTheSession)
{
    Session.sAuthToken = "tok";
    AnswerWith({});
    Soap.Replies.back() = FakeSoapTransport::Status(500, "Internal Server Error",
                                                    FaultAnswer(sAuthFailed, "authentication failed for [alice]"));
    EXPECT_EQ(Session.SendSoapRequest("<a/>"), "");
    EXPECT_EQ(Session.sLastError, "Incorrect User or Password: alice");
    EXPECT_EQ(Session.sAuthToken, "");
}

TEST_F(SendSoap, TransportFailuresBecomeTheirTexts)
{
    struct Case
    {
        TransportError nError;
        long nCode;
        std::string sExpected;
    };
    const std::string sWhy = "The server name or address could not be resolved";
    const Case cases[] = {
        {TransportError::NameNotResolved, 12007, sTemplateStart + sWhy + sTemplateEnd},
        {TransportError::CannotConnect, 12029, sTemplateStart + sWhy + sTemplateEnd},
        {TransportError::TimedOut, 12002, sTemplateStart + sWhy + sTemplateEnd},
        {TransportError::CertificateRejected, 12175, sWhy},
        {TransportError::Other, -2146697208, "Error -2146697208: " + sWhy + "\r\nWinHTTP"},
    };
    for (const Case& c : cases)
    {
        Session.bServerProbed = true;
        Soap.Replies.push_back(FakeSoapTransport::Failure(c.nError, c.nCode, sWhy));
        EXPECT_EQ(Session.SendSoapRequest("<a/>"), "");
        EXPECT_EQ(Session.sLastError, c.sExpected);
        EXPECT_TRUE(Session.bServerProbed); // a transport failure leaves the probe as it was
    }
}

TEST_F(SendSoap, AnInvalidStoredHostSendsNothing)
{
    Account("https://mail.example.com/zimbra");
    EXPECT_EQ(Session.SendSoapRequest("<a/>"), "");
    EXPECT_TRUE(Soap.Requests.empty());
    EXPECT_EQ(Session.sLastError, "Invalid server name: https://mail.example.com/zimbra");
}

TEST(ErrorTemplate, ReplacesTheAddressBeforeTheError)
{
    EXPECT_EQ(ErrorTemplate("http://h/service/soap", "a %URL b"),
              "Request to http://h/service/soap\r\nproduced the following error\r\na %URL b\r\n"
              "Try checking or unchecking 'Use Safe Connection'");
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
