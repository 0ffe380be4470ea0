#include "../Answers.h"
#include "../SessionFixture.h"

namespace qv
{
namespace
{

using namespace test;

using Response = SessionFixture;

TEST_F(Response, ALoginAnswerStartsTheSession)
{
    ASSERT_TRUE(Reader.ProcessResponse(LoginAnswer("2m", "77")));
    EXPECT_EQ(Session.sAuthToken, "0_56393c24f4ab_69643d33");
    EXPECT_EQ(Session.sSessionId, "77");
    EXPECT_EQ(Session.sChangeToken, "4271");
    EXPECT_EQ(Session.sSessionElement, "session");
    EXPECT_EQ(Session.sServerVersion.substr(0, 7), "8.8.15_");
    EXPECT_EQ(Reader.sComposeFormat, "html");
    EXPECT_EQ(Reader.nMailPollingInterval, 120);
    EXPECT_EQ(Reader.nReminderMinutes, 5);
}

TEST_F(Response, EveryCutOfAGoodAnswerFailsAndLeavesTheSessionAlone)
{
    const std::string sAnswer = LoginAnswer();
    const size_t nLastTag = sAnswer.rfind('>');
    for (size_t nCut = 0; nCut < nLastTag; ++nCut)
    {
        LoggedIn(Session);
        ASSERT_FALSE(Reader.ProcessResponse(sAnswer.substr(0, nCut))) << nCut;
        EXPECT_EQ(Session.sLastError.rfind("Zimbra server reports an error:\r\n", 0), 0u) << nCut;
        EXPECT_EQ(Session.sAuthToken, "0_ab");
        EXPECT_EQ(Session.sSessionId, "1842");
        EXPECT_EQ(Session.sNotifySeq, "7");
    }
}

TEST_F(Response, AParseErrorQuotesOnlyTheNeighbourhoodOfTheFault)
{
    std::string sHuge = CheckAnswer("1842");
    sHuge.insert(sHuge.find("<change"), std::string(5 << 20, ' ') + "<bad attr=>");
    EXPECT_FALSE(Reader.ProcessResponse(sHuge));
    EXPECT_LT(Session.sLastError.size(), 400u);
    EXPECT_NE(Session.sLastError.find("<bad attr=>"), std::string::npos);
}

// A fault of the whole answer always fails it, and ends the session unless only the message was too big; one
// inside the batch fails it only when it is about the session.
TEST_F(Response, AFaultEndsTheSessionOnlyWhenItIsAboutTheSession)
{
    const std::string sTooBig = "Message of size 99 exceeded allowed size";
    const std::tuple<std::string, std::string, bool, bool> cases[] = {
        {FaultAnswer("mail.MESSAGE_TOO_BIG", sTooBig), sTooBig, false, false},
        {FaultAnswer("service.AUTH_EXPIRED", "auth expired"), "auth expired", false, true},
        {CheckAnswer("1842", Fault("service.AUTH_REQUIRED", "r")), "r", false, true},
        {CheckAnswer("1842", Fault("service.AUTH_EXPIRED", "r")), "r", false, true},
        {CheckAnswer("1842", Fault("account.ACCOUNT_INACTIVE", "r")), "r", false, true},
        {CheckAnswer("1842", Fault("mail.QUERY_PARSE_ERROR", "r")), "r", true, false},
        {CheckAnswer("1842", Fault("service.FAILURE", sTooBig)), sTooBig, true, false},
    };
    for (const auto& [sAnswer, sReason, bResult, bEnds] : cases)
    {
        SCOPED_TRACE(sAnswer);
        LoggedIn(Session);
        Session.sLastError.clear();
        EXPECT_EQ(Reader.ProcessResponse(sAnswer), bResult);
        EXPECT_EQ(Session.sLastError, sReason);
        EXPECT_EQ(Session.sAuthToken.empty(), bEnds);
        EXPECT_EQ(Session.sSessionId.empty(), bEnds);
        EXPECT_EQ(Session.sNotifySeq.empty(), bEnds);
    }
}

TEST_F(Response, AnAnswerFromAnotherSessionEndsOursAndTheSameSessionGoesOn)
{
    Account("mail.example.com");
    for (const auto& [sAnswered, bEnds] : {std::pair{"1999", true}, std::pair{"1842", false}})
    {
        LoggedIn(Session);
        AnswerWith(CheckAnswer(sAnswered), false);
        EXPECT_TRUE(Cycle.Comprobar());
        EXPECT_EQ(Session.sAuthToken.empty(), bEnds) << sAnswered;
        EXPECT_EQ(Session.sSessionId.empty(), bEnds) << sAnswered;
        EXPECT_EQ(Session.sNotifySeq.empty(), bEnds) << sAnswered;
        // The request carried the old id and the old sequence.
        EXPECT_NE(Soap.Requests.back().sBody.find("<session seq=\"7\" id=\"1842\">1842</session>"), std::string::npos);
    }
}

TEST_F(Response, AStaleIconIsResetWhenTheSessionFails)
{
    ASSERT_TRUE(Reader.ProcessResponse(LoginAnswer()));
    Clock.Advance(15 * 60000 + 59000); // 15 whole minutes: not stale yet
    EXPECT_FALSE(Reader.ProcessResponse(FaultAnswer("service.AUTH_EXPIRED", "x")));
    EXPECT_EQ(Icon.nResets, 0);
    Clock.Advance(1000);
    EXPECT_FALSE(Reader.ProcessResponse(FaultAnswer("service.AUTH_EXPIRED", "x")));
    EXPECT_EQ(Icon.nResets, 1);
}

} // namespace
} // namespace qv
