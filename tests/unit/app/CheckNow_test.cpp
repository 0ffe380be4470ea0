#include "../Answers.h"
#include "../FormFixture.h"

namespace qv
{
namespace
{

using namespace test;

class CheckNow : public FormFixture
{
protected:
    void SetUp() override
    {
        StoreAccount();
        Form.LoadSettings();
    }
    void LogIn()
    {
        AnswerWith(LoginAnswer("30s"));
        ASSERT_TRUE(Form.Cycle.Comprobar());
        Form.Cycle.StartCheckTimer(Form.Reader.nMailPollingInterval);
    }
};

TEST_F(CheckNow, CheckNowDuringAModalBoxSendsNoSecondRequest)
{
    LogIn();
    Form.Settings.Controls.chkVentana = 1; // the new mail opens a message box inside the check
    M.Soap.Replies.push_back(
        fake::FakeSoapTransport::Ok(CheckAnswer("1842", {},
                                                "<notify seq=\"1\"><created><m id=\"9\" l=\"2\" f=\"u\"><e a=\"b@x\" "
                                                "t=\"f\"/><su>s</su></m></created></notify>")));
    size_t nDuringBox = 0;
    M.Dialogs.OnShow = [&] {
        Form.mnuPopComprobar_Click(); // the tray menu still works behind a modal box
        nDuringBox = M.Soap.Requests.size();
    };
    const size_t nBefore = M.Soap.Requests.size();
    Form.Cycle.CheckTimerProc();
    EXPECT_EQ(nDuringBox, nBefore + 1);
    EXPECT_EQ(M.Soap.Requests.size(), nBefore + 1);
}

TEST_F(CheckNow, CheckNowAsksForMissingFieldsAndShowsFailures)
{
    Form.txtUsuario_Change("");
    Form.mnuPopComprobar_Click();
    EXPECT_TRUE(M.View.bVisible);
    EXPECT_EQ(M.Dialogs.Shown.at(0).sText, "Enter required fields");
    EXPECT_TRUE(M.Soap.Requests.empty());

    Form.txtUsuario_Change("alice");
    M.View.bVisible = false;
    Form.mnuPopComprobar_Click(); // nothing answers
    EXPECT_TRUE(M.View.bVisible);
    EXPECT_EQ(M.Dialogs.Shown.at(1).sText, Form.Session.sLastError);
    EXPECT_EQ(M.Dialogs.Shown.at(1).nStyle, 48 | 0x40000);
    EXPECT_EQ(M.Dialogs.Shown.at(1).sTitle, "Quorvel v5.0.1");
    EXPECT_FALSE(M.Timers.IsArmed(TimerId::Check)); // no timed check until the user acts

    AnswerWith("<html>Sign in</html>"); // a failure without a reason still says something
    Form.mnuPopComprobar_Click();
    EXPECT_EQ(M.Dialogs.Shown.at(2).sText,
              "The server at http://mail.example.com/service/soap did not answer as a Zimbra server.");
}

} // namespace
} // namespace qv
