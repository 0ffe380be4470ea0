#include "../Answers.h"
#include "../FormFixture.h"
#include "../SessionParts.h"
#include "session/Envelope.h"

namespace qv
{
namespace
{

constexpr int nYes = 6, nNo = 7;

class Calendar : public test::FormFixture
{
protected:
    Calendar()
    {
        Form.Settings.Controls.txtZimbraHost = "mail.example.com";
        Form.Session.ServerChanged("mail.example.com");
        test::LoggedIn(Form.Session);
    }
    Icontify& Item(const std::string& sName, const char* sOrganizer = "1")
    {
        Icontify& item = Form.Items.AddCalItem();
        item.id = "301";
        item.invId = "301-300";
        item.name = sName;
        item.sCuando = "10:00 - 10:30";
        item.isOrg = sOrganizer;
        item.Iconizar(sName + "\r\nWhen: " + item.sCuando);
        return item;
    }
    // A right click on the item's icon, and the entry chosen in its menu.
    void Choose(int nTag, MenuCommand nChoice)
    {
        M.Tray.nChoice = nChoice;
        Form.OnItemTrayEvent(nTag, {TrayEventKind::MouseUp, 2});
    }
    std::vector<std::string> Posted() const
    {
        std::vector<std::string> bodies;
        for (const auto& request : M.Soap.Requests)
            if (request.sMethod == "POST")
                bodies.push_back(request.sBody);
        return bodies;
    }
};

TEST_F(Calendar, TheMenuShowsTheItemAndItsStates)
{
    struct Case
    {
        std::string sName;
        const char* sOrganizer;
        bool bNotificar;
        const char* sCaption;
    };
    const Case cases[] = {
        {"Quarterly planning with the whole sales team", "1", true, "Quarterly planning with the wh..."},
        {"Lunch", "0", false, "Lunch..."},
        {"Reunião de orçamento e previsões do trimestre", "1", true, "Reunião de orçamento e previsõ..."},
    };
    for (const Case& c : cases)
    {
        Icontify& item = Item(c.sName, c.sOrganizer);
        item.bNotificar = c.bNotificar;
        Choose(item.GetTag(), MenuCommand::None);
        const PopupMenu& menu = M.Tray.Menus.back();
        EXPECT_EQ(Texts(menu), (std::vector<std::string>{c.sCaption, "When: 10:00 - 10:30", "", "Open Zimbra", "Delete",
                                                         "Notify this appointment"}));
        EXPECT_EQ(menu[4].bEnabled, std::string(c.sOrganizer) == "1");
        EXPECT_EQ(menu[5].bChecked, c.bNotificar);
    }
    const size_t nMenus = M.Tray.Menus.size();
    Form.OnItemTrayEvent(99, {TrayEventKind::MouseUp, 2}); // an empty slot
    Form.OnItemTrayEvent(1, {TrayEventKind::BalloonClick});
    EXPECT_EQ(M.Tray.Menus.size(), nMenus + 1);
}

TEST_F(Calendar, SwitchingNotificationOffRemovesTheIconAtOnce)
{
    Icontify& item = Item("Review");
    item.bPendienteDeMostrar = true;
    Choose(item.GetTag(), MenuCommand::mnuCalNotificar);
    EXPECT_FALSE(item.bNotificar);
    EXPECT_FALSE(item.bTieneIcono);
    EXPECT_EQ(M.ItemIcons.nAlive, 0);
    Choose(item.GetTag(), MenuCommand::mnuCalNotificar);
    EXPECT_TRUE(item.bNotificar);
    EXPECT_FALSE(item.bPendienteDeMostrar); // the next check may show it again
}

// The server's refusal and a series' instance are the integration test's; here the question, the user's No and
// an answer that confirms nothing.
TEST_F(Calendar, DeletingSendsTheCancellationAndLetsTheItemGoOnlyWhenTheServerConfirms)
{
    struct Case
    {
        int nAnswer;
        std::string sReply;
        const char* sMessage; // empty: none, and the item is gone
    };
    const Case cases[] = {
        {nYes, test::CheckAnswer("1842", "<CancelAppointmentResponse xmlns=\"urn:zimbraMail\"/>"), ""},
        {nNo, "", ""},
        {nYes, test::CheckAnswer("1842", "<NoOpResponse/>"),
         "The server did not confirm the deletion; the appointment stays."},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.sReply);
        const int nTag = Item("Review").GetTag();
        M.Dialogs.Shown.clear();
        M.Soap.Requests.clear();
        M.Dialogs.nAnswer = c.nAnswer;
        if (!c.sReply.empty())
            AnswerWith(c.sReply, !Form.Session.bServerProbed);
        Choose(nTag, MenuCommand::mnuCalEliminar);
        ASSERT_FALSE(M.Dialogs.Shown.empty());
        const std::string sQuestion = "Delete this appointment from the Zimbra Calendar ?";
        EXPECT_EQ(M.Dialogs.Shown[0].sText, sQuestion);
        EXPECT_EQ(M.Dialogs.Shown[0].nStyle, 36 | nMbTopMost);
        const bool bGone = c.nAnswer == nYes && !*c.sMessage;
        EXPECT_EQ(Form.Items.CalItem(nTag) == nullptr, bGone);
        ASSERT_EQ(M.Dialogs.Shown.size(), *c.sMessage ? 2u : 1u) << M.Dialogs.Shown.back().sText;
        EXPECT_EQ(M.Dialogs.Shown.back().sText, *c.sMessage ? c.sMessage : sQuestion);
        if (c.nAnswer == nNo)
        {
            EXPECT_TRUE(M.Soap.Requests.empty());
            continue;
        }
        EXPECT_EQ(Posted(), std::vector<std::string>{SessionEnvelope(
                                {"0_ab", "session", "1842", "7", ""}, false,
                                "  <BatchRequest xmlns=\"urn:zimbra\" onerror=\"continue\">\r\n"
                                "   <CancelAppointmentRequest xmlns=\"urn:zimbraMail\" id=\"301-300\" comp=\"0\">\r\n"
                                "   </CancelAppointmentRequest>\r\n  </BatchRequest>")});
        if (bGone)
        {
            EXPECT_EQ(M.ItemIcons.Log.back().nCommand, ShellCommand::Delete);
        }
    }
}

TEST_F(Calendar, NothingIsDeletedThatIsGoneOrBusyOrWithoutASession)
{
    M.Dialogs.nAnswer = nYes;
    // The item let go while its menu is open (a check's prune): no question, no request.
    Icontify& first = Item("Review");
    M.Tray.OnMenu = [&] { Form.ReleaseCalItem(first.GetTag()); };
    Choose(first.GetTag(), MenuCommand::mnuCalEliminar);
    M.Tray.OnMenu = nullptr;
    EXPECT_TRUE(M.Dialogs.Shown.empty());

    // Let go while the question is open.
    const int nSecond = Item("Review").GetTag();
    M.Dialogs.OnShow = [&] { Form.ReleaseCalItem(nSecond); };
    Choose(nSecond, MenuCommand::mnuCalEliminar);
    M.Dialogs.OnShow = nullptr;
    EXPECT_TRUE(M.Soap.Requests.empty());

    // No session: the message, nothing sent; and a second deletion asked for meanwhile is refused, not faked.
    Form.Session.sSessionId.clear();
    const int nThird = Item("Review").GetTag(), nFourth = Item("Other").GetTag();
    M.Dialogs.Shown.clear();
    M.Dialogs.OnShow = [&] {
        if (M.Dialogs.Shown.size() == 2) // the first one's "Sesión expirada" is up
            Choose(nFourth, MenuCommand::mnuCalEliminar);
    };
    Choose(nThird, MenuCommand::mnuCalEliminar);
    M.Dialogs.OnShow = nullptr;
    ASSERT_EQ(M.Dialogs.Shown.size(), 4u);
    EXPECT_EQ(M.Dialogs.Shown[1].sText, "Sesión expirada");
    EXPECT_EQ(M.Dialogs.Shown[1].nStyle, 48 | nMbTopMost);
    EXPECT_EQ(M.Dialogs.Shown[3].sText, "Another appointment is being deleted. Try again when it is done.");
    EXPECT_NE(Form.Items.CalItem(nThird), nullptr);
    EXPECT_NE(Form.Items.CalItem(nFourth), nullptr);
    EXPECT_TRUE(M.Soap.Requests.empty());
}

} // namespace
} // namespace qv
