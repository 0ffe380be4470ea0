#include "../Answers.h"
#include "../FormFixture.h"

namespace qv
{
namespace
{

using namespace test;

class Response : public FormFixture
{
protected:
    void LoggedIn()
    {
        Form.sAuthToken = "tok";
        Form.sSessionId = "1842";
        Form.sNotifySeq = "4";
        Form.sChangeToken = "4271";
    }
};

TEST_F(Response, ALoginAnswerStartsTheSession)
{
    ASSERT_TRUE(Form.ProcessResponse(LoginAnswer("2m", "77")));
    EXPECT_EQ(Form.sAuthToken, "0_56393c24f4ab_69643d33");
    EXPECT_EQ(Form.sSessionId, "77");
    EXPECT_EQ(Form.sChangeToken, "4271");
    EXPECT_EQ(Form.sSessionElement, "session");
    EXPECT_EQ(Form.sServerVersion.substr(0, 7), "8.8.15_");
    EXPECT_EQ(Form.sComposeFormat, "html");
    EXPECT_EQ(Form.nMailPollingInterval, 120);
    EXPECT_EQ(Form.nReminderMinutes, 5);
    EXPECT_TRUE(Form.dLastSuccess.has_value());
    EXPECT_TRUE(M.Dialogs.Shown.empty());
}

TEST_F(Response, AnOldServerKeepsTheOldSessionElement)
{
    ASSERT_TRUE(Form.ProcessResponse(LoginAnswer("5m", "9", "5.0.18_GA_3011.RHEL5 20090707151621")));
    EXPECT_EQ(Form.sSessionElement, "sessionId");
}

TEST_F(Response, EveryCutOfAGoodAnswerFailsAndLeavesTheSessionAlone)
{
    const std::string sAnswer = LoginAnswer();
    const size_t nLastTag = sAnswer.rfind('>');
    for (size_t nCut = 0; nCut < nLastTag; ++nCut)
    {
        LoggedIn();
        ASSERT_FALSE(Form.ProcessResponse(sAnswer.substr(0, nCut))) << nCut;
        EXPECT_EQ(Form.sLastError.rfind("Zimbra server reports an error:\r\n", 0), 0u) << nCut;
        EXPECT_EQ(Form.sAuthToken, "tok");
        EXPECT_EQ(Form.sSessionId, "1842");
        EXPECT_EQ(Form.sNotifySeq, "4");
    }
}

TEST_F(Response, AParseErrorQuotesOnlyTheNeighbourhoodOfTheFault)
{
    std::string sHuge = CheckAnswer("1842");
    sHuge.insert(sHuge.find("<change"), std::string(5 << 20, ' ') + "<bad attr=>");
    EXPECT_FALSE(Form.ProcessResponse(sHuge));
    EXPECT_LT(Form.sLastError.size(), 400u);
    EXPECT_NE(Form.sLastError.find("<bad attr=>"), std::string::npos);
}

TEST_F(Response, AFaultEndsTheSessionUnlessTheMessageWasTooBig)
{
    LoggedIn();
    EXPECT_FALSE(Form.ProcessResponse(FaultAnswer("mail.MESSAGE_TOO_BIG", "Message of size 99 exceeded allowed size")));
    EXPECT_EQ(Form.sLastError, "Message of size 99 exceeded allowed size");
    EXPECT_EQ(Form.sAuthToken, "tok");

    EXPECT_FALSE(Form.ProcessResponse(FaultAnswer("service.AUTH_EXPIRED", "auth credentials have expired")));
    EXPECT_EQ(Form.sLastError, "auth credentials have expired");
    EXPECT_EQ(Form.sAuthToken, "");
    EXPECT_EQ(Form.sSessionId, "");
    EXPECT_EQ(Form.sNotifySeq, "");
}

TEST_F(Response, AFaultInsideTheBatchEndsTheSessionOnlyWhenItIsAboutTheSession)
{
    const std::pair<const char*, bool> cases[] = {
        {"service.AUTH_REQUIRED", true},   {"service.AUTH_EXPIRED", true}, {"account.ACCOUNT_INACTIVE", true},
        {"mail.QUERY_PARSE_ERROR", false}, {"service.PERM_DENIED", false}, {"service.FAILURE", false},
    };
    for (const auto& [sCode, bEnds] : cases)
    {
        LoggedIn();
        Form.sLastError.clear();
        const bool bResult = Form.ProcessResponse(CheckAnswer("1842", Fault(sCode, std::string("reason of ") + sCode)));
        EXPECT_EQ(bResult, !bEnds) << sCode;
        EXPECT_EQ(Form.sAuthToken.empty(), bEnds) << sCode;
        EXPECT_EQ(Form.sLastError, std::string("reason of ") + sCode);
    }
}

TEST_F(Response, AReplacedSessionIsSeenAndItsOldSequenceDropped)
{
    LoggedIn();
    Form.sSessionElement = "session";
    AnswerWith(CheckAnswer("1999"));
    Form.bServerProbed = false;
    Form.sServerVersion = "8.8.15";
    Form.txtZimbraHost_Change("mail.example.com");
    Form.sAuthToken = "tok";
    Form.sSessionId = "1842";
    Form.txtUsuario_Change("alice");
    Form.sAuthToken = "tok";
    Form.sSessionId = "1842";
    Form.sPassword = "secret";
    EXPECT_TRUE(Form.Comprobar());
    EXPECT_EQ(Form.sAuthToken, "");
    EXPECT_EQ(Form.sSessionId, "");
    EXPECT_EQ(Form.sNotifySeq, "");
    // The request carried the old id and the old sequence.
    EXPECT_NE(M.Soap.Requests.back().sBody.find("<session seq=\"4\" id=\"1842\">1842</session>"), std::string::npos);
}

TEST_F(Response, TheSameSessionGoesOn)
{
    LoggedIn();
    Form.sSessionElement = "session";
    Form.sServerVersion = "8.8.15";
    Form.sServerHost = "mail.example.com";
    Form.Controls.txtUsuario = "alice";
    Form.sPassword = "secret";
    AnswerWith(CheckAnswer("1842"));
    EXPECT_TRUE(Form.Comprobar());
    EXPECT_EQ(Form.sAuthToken, "tok");
    EXPECT_EQ(Form.sSessionId, "1842");
}

TEST_F(Response, AReferralWithoutSessionSendsTheNextLoginToTheReferredHost)
{
    Form.sServerHost = "proxy.example.com";
    Form.bServerProbed = true;
    const std::string sAnswer =
        Envelope("<context xmlns=\"urn:zimbra\"/>",
                 "<AuthResponse xmlns=\"urn:zimbraAccount\"><authToken>0_9d</authToken><lifetime>172799999</lifetime>"
                 "<refer>mbs2.example.com</refer><prefs><pref name=\"zimbraPrefMailPollingInterval\">2m</pref></prefs>"
                 "</AuthResponse>");
    EXPECT_FALSE(Form.ProcessResponse(sAnswer));
    EXPECT_EQ(Form.sServerHost, "mbs2.example.com");
    EXPECT_EQ(Form.sAuthToken, "");
    EXPECT_FALSE(Form.bServerProbed);
    EXPECT_EQ(Form.nMailPollingShort, 3);
    EXPECT_EQ(Form.Controls.txtZimbraHost, ""); // the box and the stored host stay as typed
}

TEST_F(Response, AStaleIconIsResetWhenTheSessionFails)
{
    ASSERT_TRUE(Form.ProcessResponse(LoginAnswer()));
    M.Clock.Advance(15 * 60000 + 59000); // 15 whole minutes: not stale yet
    EXPECT_FALSE(Form.ProcessResponse(FaultAnswer("service.AUTH_EXPIRED", "x")));
    EXPECT_EQ(M.Tray.nResets, 0);
    M.Clock.Advance(1000);
    EXPECT_FALSE(Form.ProcessResponse(FaultAnswer("service.AUTH_EXPIRED", "x")));
    EXPECT_EQ(M.Tray.nResets, 1);
}

} // namespace
} // namespace qv
