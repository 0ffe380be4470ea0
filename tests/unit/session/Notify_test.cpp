#include "../Answers.h"
#include "../SessionFixture.h"

namespace qv
{
namespace
{

using namespace test;

std::string Message(const std::string& sId, const std::string& sFolder, const std::string& sFlags,
                    const std::string& sFrom, const std::string& sSubject)
{
    return "<m s=\"2954\" d=\"1709553912000\" l=\"" + sFolder + "\" cid=\"-" + sId + "\" f=\"" + sFlags +
           "\" rev=\"713\" id=\"" + sId + "\"><e a=\"alice@example.com\" d=\"Alice\" t=\"t\"/>" + sFrom + "<su>" +
           sSubject + "</su><fr>Hola…</fr></m>";
}

const std::string sFromBoth = "<e a=\"jose@example.es\" d=\"José\" p=\"José Núñez\" t=\"f\"/>";
const std::string sFromAddress = "<e a=\"bob@example.com\" t=\"f\"/>";

class Notify : public SessionFixture
{
protected:
    void SetUp() override
    {
        Session.sAuthToken = "tok";
        Session.sSessionId = "1842";
        Session.sSessionElement = "session";
    }
    // The first answer of a session: the refresh block with the account's folders and tags.
    std::string RefreshAnswer(const std::string& sInner)
    {
        return Envelope("<context xmlns=\"urn:zimbra\"><session id=\"1842\">1842</session><refresh>"
                        "<version>8.8.15_GA</version>" +
                            sInner + "</refresh><change token=\"4271\"/></context>",
                        "<BatchResponse xmlns=\"urn:zimbra\"/>");
    }
    std::string NotifyAnswer(const std::string& sBlocks) { return CheckAnswer("1842", {}, sBlocks); }
    static std::string Created(int nSeq, const std::string& sItems)
    {
        return "<notify seq=\"" + std::to_string(nSeq) + "\"><created>" + sItems + "</created></notify>";
    }
    void KnowFolders()
    {
        ASSERT_TRUE(Reader.ProcessResponse(RefreshAnswer(
            "<folder id=\"1\" name=\"USER_ROOT\"><folder id=\"2\" name=\"Inbox\"/><folder id=\"4\" name=\"Junk\"/>"
            "<folder id=\"257\" name=\"Work\"/></folder>")));
        Icon.Announced.clear();
    }
};

TEST_F(Notify, TheFirstRefreshSummarisesTheUnreadFoldersAndTagsInOrder)
{
    ASSERT_TRUE(Reader.ProcessResponse(RefreshAnswer(
        "<tags><tag id=\"258\" name=\"Urgent\" color=\"5\" u=\"4\" n=\"9\"/></tags>"
        "<folder id=\"1\" name=\"USER_ROOT\"><folder id=\"2\" name=\"Inbox\" u=\"3\"/>"
        "<folder id=\"3\" name=\"Trash\" u=\"2\"/><folder id=\"4\" name=\"Junk\" u=\"6\"/>"
        "<folder id=\"257\" name=\"Work\" u=\"1\"><folder id=\"263\" name=\"Projects\"/></folder>"
        "<link id=\"300\" name=\"Boss calendar\" view=\"appointment\" zid=\"b0\" rid=\"10\" u=\"0\"/></folder>")));
    ASSERT_EQ(Icon.Announced.size(), 1u);
    EXPECT_EQ(Icon.Announced[0].nSinLeer, 8);
    EXPECT_EQ(Icon.Announced[0].sMensaje,
              "You have unread e-mail messages\r\nInbox (3)\r\nWork (1)\r\nTag: Urgent (4)");
    EXPECT_NE(Reader.Lists.FindFolder("b0:10"), -1);
    EXPECT_NE(Reader.Lists.FindFolder("263"), -1);
}

TEST_F(Notify, NewUnreadMailInAdmittedFoldersIsAnnouncedWithSoundAndWindowAsTicked)
{
    KnowFolders();
    ASSERT_TRUE(Reader.ProcessResponse(NotifyAnswer(Created(
        3, Message("713", "2", "u", sFromBoth, "Presupuesto &amp; plazos") +
               Message("714", "2", "", sFromAddress, "already read") + Message("715", "4", "u", sFromAddress, "junk") +
               Message("716", "257", "au", sFromAddress, "work")))));
    EXPECT_EQ(Session.sNotifySeq, "3");
    ASSERT_EQ(Icon.Announced.size(), 1u);
    EXPECT_EQ(Icon.Announced[0].nSinLeer, 2);
    EXPECT_EQ(Icon.Announced[0].sMensaje, "You have unread e-mail messages\r\n"
                                          "From: José Núñez <jose@example.es>\r\nSubject: Presupuesto & plazos\r\n\r\n"
                                          "From: bob@example.com\r\nSubject: work");
    EXPECT_EQ(System.nSounds, 0);
    EXPECT_TRUE(Dialogs.Shown.empty());
    // A long subject reaches the window cut.
    Controls.chkSonido = 1;
    Controls.chkVentana = 1;
    ASSERT_TRUE(Reader.ProcessResponse(
        NotifyAnswer(Created(4, Message("730", "2", "u", sFromAddress, std::string(100000, 's'))))));
    EXPECT_EQ(System.nSounds, 1);
    ASSERT_EQ(Dialogs.Shown.size(), 1u);
    EXPECT_EQ(Dialogs.Shown[0].sText, Icon.Announced.back().sMensaje);
    EXPECT_EQ(Dialogs.Shown[0].nStyle, 64 | 0x40000);
    EXPECT_LT(Dialogs.Shown[0].sText.size(), 400u);
    EXPECT_NE(Dialogs.Shown[0].sText.find(std::string(299, 's') + "\xE2\x80\xA6"), std::string::npos);
}

TEST_F(Notify, BlocksDifferingOnlyInTheirSequenceAreOneRepeatedAndOthersAreNot)
{
    KnowFolders();
    const std::string sMessage = Message("713", "2", "u", sFromAddress, "once");
    ASSERT_TRUE(Reader.ProcessResponse(NotifyAnswer(Created(3, sMessage) + Created(4, sMessage))));
    EXPECT_EQ(Session.sNotifySeq, "4");
    EXPECT_EQ(Icon.Announced.at(0).nSinLeer, 1);

    // The same messages with one attribute changed are another block.
    std::string sChanged = sMessage;
    sChanged.replace(sChanged.find("rev=\"713\""), 9, "rev=\"714\"");
    ASSERT_TRUE(Reader.ProcessResponse(NotifyAnswer(Created(5, sMessage) + Created(6, sChanged))));
    EXPECT_EQ(Icon.Announced.at(1).nSinLeer, 2);
}

TEST_F(Notify, ANestedBlockIsReadOnceAndDeepNestingIsReadWhole)
{
    KnowFolders();
    // A block inside another's "created": its message belongs to it alone.
    ASSERT_TRUE(Reader.ProcessResponse(
        NotifyAnswer("<notify seq=\"3\"><created>" + Message("713", "2", "u", sFromAddress, "outer") +
                     "<notify seq=\"4\"><created>" + Message("714", "2", "u", sFromAddress, "inner") +
                     "</created></notify></created></notify>")));
    EXPECT_EQ(Icon.Announced.at(0).nSinLeer, 2);
    EXPECT_EQ(Session.sNotifySeq, "4");

    // Thousands of levels: no recursion to run out of stack, every level's message counted once.
    constexpr int nDepth = 20000;
    std::string sNested;
    for (int i = 0; i < nDepth; ++i)
        sNested += "<notify seq=\"" + std::to_string(10 + i) + "\"><created><m id=\"" + std::to_string(i) +
                   "\" l=\"2\" f=\"u\"/></created>";
    for (int i = 0; i < nDepth; ++i)
        sNested += "</notify>";
    ASSERT_TRUE(Reader.ProcessResponse(NotifyAnswer(sNested)));
    EXPECT_EQ(Icon.Announced.at(1).nSinLeer, nDepth);
    EXPECT_EQ(Session.sNotifySeq, std::to_string(10 + nDepth - 1));
}

TEST_F(Notify, UnreadCountsAddUpWithoutOverflow)
{
    ASSERT_TRUE(Reader.ProcessResponse(
        RefreshAnswer("<folder id=\"1\" name=\"USER_ROOT\"><folder id=\"300\" name=\"A\" u=\"9223372036854775807\"/>"
                      "<folder id=\"301\" name=\"B\" u=\"9223372036854775807\"/></folder>")));
    EXPECT_EQ(Icon.Announced.at(0).nSinLeer, INT64_MAX); // held at the most, never wrapped to a negative count
}

// A fault in place of the search fails only that request (ProcessResponse_test): the header is still read.
TEST_F(Notify, ABatchFaultLeavesTheRestOfTheAnswerToBeRead)
{
    EXPECT_TRUE(Reader.ProcessResponse(CheckAnswer(
        "1842", Fault("mail.QUERY_PARSE_ERROR", "query parse error"),
        "<refresh><folder id=\"1\" name=\"USER_ROOT\"><folder id=\"2\" name=\"Inbox\" u=\"2\"/></folder></refresh>" +
            Created(7, Message("713", "2", "u", sFromAddress, "still read")))));
    EXPECT_EQ(Session.sNotifySeq, "7");
    ASSERT_EQ(Icon.Announced.size(), 1u);
    EXPECT_EQ(Icon.Announced[0].nSinLeer, 3);
    EXPECT_NE(Icon.Announced[0].sMensaje.find("Subject: still read"), std::string::npos);
}

TEST_F(Notify, ModifiedOrDeletedMailResetsTheIconOnlyWhenNothingIsNew)
{
    KnowFolders();
    ASSERT_TRUE(
        Reader.ProcessResponse(NotifyAnswer("<notify seq=\"4\"><modified><m f=\"\" id=\"701\"/></modified></notify>")));
    EXPECT_EQ(Icon.nResets, 1);
    EXPECT_TRUE(Icon.Announced.empty());

    ASSERT_TRUE(Reader.ProcessResponse(NotifyAnswer("<notify seq=\"5\"><created>" +
                                                    Message("720", "2", "u", sFromAddress, "new") +
                                                    "</created><modified><m f=\"\" id=\"701\"/></modified></notify>")));
    EXPECT_EQ(Icon.nResets, 1);
    EXPECT_EQ(Icon.Announced.at(0).nSinLeer, 1);
}

TEST_F(Notify, CreatedRenamedAndDeletedFoldersAndTagsFollowTheLists)
{
    KnowFolders();
    ASSERT_TRUE(Reader.ProcessResponse(NotifyAnswer(
        "<notify seq=\"6\"><created><tag id=\"266\" name=\"Proveedores\" color=\"2\"/>"
        "<folder id=\"270\" name=\"Clients\" l=\"1\"/></created>"
        "<modified><folder id=\"257\" name=\"Work done\"/><folder id=\"2\" u=\"4\"/></modified></notify>")));
    EXPECT_NE(Reader.Lists.FindTag("266"), -1);
    EXPECT_NE(Reader.Lists.FindFolder("270"), -1);
    EXPECT_EQ(Reader.Lists.Folders[static_cast<size_t>(Reader.Lists.FindFolder("257"))]->sNombre, "Work done");
    EXPECT_EQ(Reader.Lists.Folders[static_cast<size_t>(Reader.Lists.FindFolder("2"))]->sNombre, "Inbox");
    // Blanks and empty entries in a list, and two lists in one block.
    ASSERT_TRUE(Reader.ProcessResponse(
        NotifyAnswer("<notify seq=\"7\"><deleted id=\"612, 257,,\"/><deleted id=\"266\"/></notify>")));
    EXPECT_EQ(Reader.Lists.FindTag("266"), -1);
    EXPECT_EQ(Reader.Lists.FindFolder("257"), -1);
    EXPECT_NE(Reader.Lists.FindFolder("270"), -1);
}

} // namespace
} // namespace qv
