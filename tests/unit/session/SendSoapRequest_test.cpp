#include "../Answers.h"
#include "../FormFixture.h"
#include "session/Transport.h"

namespace qv
{
namespace
{

using namespace test;
using fake::FakeSoapTransport;

class SendSoap : public FormFixture
{
protected:
    void SetUp() override
    {
        Form.txtZimbraHost_Change("mail.example.com:8443");
        Form.txtUsuario_Change("alice");
        Form.txtPassword_Change("secret");
        Form.CommitPassword();
    }
    const std::string sTemplateStart = "Request to http://mail.example.com:8443/service/soap\r\n"
                                       "produced the following error\r\n";
    const std::string sTemplateEnd = "\r\nTry checking or unchecking 'Use Safe Connection'";
};

TEST_F(SendSoap, ProbesOnceThenPostsWithTheHostHeader)
{
    AnswerWith(LoginAnswer());
    M.Soap.Replies.push_back(FakeSoapTransport::Ok(LoginAnswer()));
    EXPECT_FALSE(Form.SendSoapRequest("<a/>").empty());
    EXPECT_FALSE(Form.SendSoapRequest("<b/>").empty());
    ASSERT_EQ(M.Soap.Requests.size(), 3u);
    EXPECT_EQ(M.Soap.Requests[0].sMethod, "OPTIONS");
    EXPECT_EQ(M.Soap.Requests[0].sBody, "");
    for (const fake::SentRequest& request : M.Soap.Requests)
    {
        EXPECT_EQ(request.sUrl, "http://mail.example.com:8443/service/soap");
        EXPECT_EQ(request.sHost, "mail.example.com:8443");
    }
    EXPECT_EQ(M.Soap.Requests[2].sBody, "<b/>");
    EXPECT_TRUE(Form.bServerProbed);
}

TEST_F(SendSoap, UsesHttpsWhenSafeConnectionIsTicked)
{
    Form.Controls.chkSSL = 1;
    AnswerWith(LoginAnswer());
    (void)Form.SendSoapRequest("<a/>");
    EXPECT_EQ(M.Soap.Requests[0].sUrl, "https://mail.example.com:8443/service/soap");
}

TEST_F(SendSoap, AProbeOtherThan200StopsBeforeThePost)
{
    M.Soap.Replies.push_back(FakeSoapTransport::Status(404, "Not Found"));
    EXPECT_EQ(Form.SendSoapRequest("<a/>"), "");
    EXPECT_EQ(M.Soap.Requests.size(), 1u);
    EXPECT_EQ(Form.sLastError, sTemplateStart + "Not Found" + sTemplateEnd);
    EXPECT_FALSE(Form.bServerProbed);
}

TEST_F(SendSoap, AnswersWithoutAnEnvelopeAreEmpty)
{
    AnswerWith("<html><body>Zimbra Web Client Sign In</body></html>");
    EXPECT_EQ(Form.SendSoapRequest("<a/>"), "");
    EXPECT_EQ(Form.sLastError, ""); // a 200 without envelope: nothing to tell
    EXPECT_TRUE(Form.bServerProbed);

    M.Soap.Replies.push_back(FakeSoapTransport::Status(502, "Bad Gateway", "<html>proxy</html>"));
    EXPECT_EQ(Form.SendSoapRequest("<a/>"), "");
    EXPECT_EQ(Form.sLastError, sTemplateStart + "Bad Gateway" + sTemplateEnd);
    EXPECT_FALSE(Form.bServerProbed);
}

TEST_F(SendSoap, AFaultAnswerWithStatus500IsStillReturnedForReading)
{
    AnswerWith({});
    M.Soap.Replies.back() = FakeSoapTransport::Status(
        500, "Internal Server Error", FaultAnswer("service.AUTH_EXPIRED", "auth credentials have expired"));
    EXPECT_NE(Form.SendSoapRequest("<a/>").find("AUTH_EXPIRED"), std::string::npos);
    EXPECT_EQ(Form.sLastError, "");
}

TEST_F(SendSoap, ARejectedLoginClearsThePasswordAndTheToken)
{
    Form.sAuthToken = "tok";
    AnswerWith({});
    M.Soap.Replies.back() = FakeSoapTransport::Status(500, "Internal Server Error",
                                                      FaultAnswer(sAuthFailed, "authentication failed for [alice]"));
    EXPECT_EQ(Form.SendSoapRequest("<a/>"), "");
    EXPECT_EQ(Form.sLastError, "Incorrect User or Password: alice");
    EXPECT_EQ(Form.sPassword, "");
    EXPECT_EQ(Form.Controls.txtPassword, "");
    EXPECT_EQ(Form.sAuthToken, "");
}

TEST_F(SendSoap, AMessageSubjectSayingAuthFailedIsJustMail)
{
    const std::string sNotify =
        "<notify seq=\"1\"><created><m id=\"713\" l=\"2\" f=\"u\"><e a=\"x@example.com\" t=\"f\"/>"
        "<su>AUTH_FAILED &lt;soap:Fault&gt; AUTH_FAILED</su></m></created></notify>";
    AnswerWith(CheckAnswer("1842", {}, sNotify));
    EXPECT_FALSE(Form.SendSoapRequest("<a/>").empty());
    EXPECT_EQ(Form.sPassword, "secret");
}

TEST_F(SendSoap, TransportFailuresBecomeTheirTexts)
{
    struct Case
    {
        TransportError nError;
        long nCode;
        std::string sExpected;
    };
    const Case cases[] = {
        {TransportError::NameNotResolved, 12007,
         sTemplateStart + "The server name or address could not be resolved" + sTemplateEnd},
        {TransportError::CannotConnect, 12029,
         sTemplateStart + "The server name or address could not be resolved" + sTemplateEnd},
        {TransportError::TimedOut, 12002,
         sTemplateStart + "The server name or address could not be resolved" + sTemplateEnd},
        {TransportError::CertificateRejected, 12175, "The server name or address could not be resolved"},
        {TransportError::Other, -2146697208,
         "Error -2146697208: The server name or address could not be resolved\r\nWinHTTP"},
    };
    for (const Case& c : cases)
    {
        Form.bServerProbed = true;
        M.Soap.Replies.push_back(
            FakeSoapTransport::Failure(c.nError, c.nCode, "The server name or address could not be resolved"));
        EXPECT_EQ(Form.SendSoapRequest("<a/>"), "");
        EXPECT_EQ(Form.sLastError, c.sExpected);
        EXPECT_TRUE(Form.bServerProbed); // a transport failure leaves the probe as it was
    }
}

TEST_F(SendSoap, AnInvalidStoredHostSendsNothing)
{
    Form.txtZimbraHost_Change("https://mail.example.com/zimbra");
    EXPECT_EQ(Form.SendSoapRequest("<a/>"), "");
    EXPECT_TRUE(M.Soap.Requests.empty());
    EXPECT_EQ(Form.sLastError, "Invalid server name: https://mail.example.com/zimbra");
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
        {"<soap:FaultyElement>AUTH_FAILED</soap:FaultyElement>", false},
        {"<soap:Fault>AUTH_FAILED", true}, // cut short: still a fault about the login
    };
    for (const auto& [sAnswer, bRejected] : cases)
        EXPECT_EQ(IsRejectedLogin(sAnswer), bRejected) << sAnswer;
}

} // namespace
} // namespace qv
