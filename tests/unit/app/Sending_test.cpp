#include "../Answers.h"
#include "../FormFixture.h"

namespace qv
{
namespace
{

using namespace test;

class Sending : public FormFixture
{
protected:
    void SignIn()
    {
        StoreAccount();
        AnswerWith(LoginAnswer("5m"));
        Form.Form_Load();
        ASSERT_FALSE(Form.Session.sAuthToken.empty());
        M.Soap.Requests.clear();
    }
    void HandOver(const std::string& sText)
    {
        TrayEvent event;
        event.nKind = TrayEventKind::MapiMensaje;
        event.sCommandLine = sText;
        Form.OnTrayEvent(event);
    }
    static std::string Answer(const std::string& sBody)
    {
        return Envelope("<context xmlns=\"urn:zimbra\"><session id=\"1842\">1842</session></context>", sBody);
    }
};

// A mail client's message: a draft the web mail opens, a message sent at once, or a refusal the user reads.
TEST_F(Sending, AHandedOverMessageEndsInADraftASentMessageOrTheServersReason)
{
    struct Case
    {
        const char* sWhat;
        const char* sText;
        std::string sAnswer;
        const char* sRequest;
        bool bOpened;
        const char* sShown;
    };
    const Case cases[] = {
        {"a subject alone is saved as a draft and opened", "|@|5|@|Report",
         Answer("<SaveDraftResponse xmlns=\"urn:zimbraMail\"><m id=\"301\" f=\"sd\"/></SaveDraftResponse>"),
         "<SaveDraftRequest", true, ""},
        {"recipients, subject and body are sent", "|@|3|@|Bob|smtp:bob@x.org|@|5|@|Hi|@|6|@|Text",
         Answer("<SendMsgResponse xmlns=\"urn:zimbraMail\"><m id=\"302\"/></SendMsgResponse>"), "<SendMsgRequest",
         false, ""},
        {"a refusal for size is told, and the session stays", "|@|3|@|Bob|bob@x.org|@|5|@|Hi|@|6|@|Text",
         FaultAnswer("mail.MESSAGE_TOO_BIG", "Message of size 20000000 exceeded allowed size"), "<SendMsgRequest",
         false, "Message of size 20000000 exceeded allowed size"},
    };
    SignIn();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.sWhat);
        M.Shell.Opened.clear();
        M.Dialogs.Shown.clear();
        M.Soap.Requests.clear();
        M.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(c.sAnswer));
        HandOver(c.sText);
        ASSERT_FALSE(M.Soap.Requests.empty());
        EXPECT_NE(M.Soap.Requests[0].sBody.find(c.sRequest), std::string::npos) << M.Soap.Requests[0].sBody;
        EXPECT_NE(M.Soap.Requests[0].sBody.find("<change token=\"4271\"/>"), std::string::npos);
        EXPECT_EQ(M.Shell.Opened.size(), c.bOpened ? 1u : 0u);
        EXPECT_EQ(M.Dialogs.Shown.empty() ? "" : M.Dialogs.Shown[0].sText, c.sShown);
        EXPECT_FALSE(Form.Session.sAuthToken.empty());
        EXPECT_EQ(M.Timers.Armed.at(TimerId::Check), 300000);
        EXPECT_FALSE(M.View.bLocked);
    }
}

TEST_F(Sending, WithoutASessionNothingIsSentAndTheSettingsComeUp)
{
    Store("ZimbraHost", "mail.example.com");
    Form.Form_Load();
    M.View.bVisible = false;
    HandOver("|@|5|@|Report");
    EXPECT_TRUE(M.Soap.Requests.empty());
    EXPECT_TRUE(M.View.bVisible);
}

} // namespace
} // namespace qv
