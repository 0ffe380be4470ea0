#include "session/Draft.h"

#include <gtest/gtest.h>

namespace qv
{
namespace
{

TEST(DraftRequest, FilesFromSendToBecomeADraftWithTheirAttachment)
{
    EXPECT_EQ(DraftRequestBody({"0c1d:9a", "Sending: a.txt", "", "", "", ""}, "html"),
              "    <SaveDraftRequest xmlns=\"urn:zimbraMail\" onerror=\"continue\">\r\n"
              "      <m f=\"ad\">\r\n"
              "        <su>Sending: a.txt</su>\r\n"
              "        <mp body=\"1\" ct=\"text/html\">\r\n"
              "          <content></content>\r\n"
              "        </mp>\r\n"
              "        <attach aid=\"0c1d:9a\">\r\n"
              "        </attach>\r\n"
              "      </m>\r\n"
              "    </SaveDraftRequest>");
}

// Each case: the fields, the account's compose format, and lines the request must hold.
TEST(DraftRequest, RecipientsBodiesAndEscaping)
{
    struct Case
    {
        const char* sWhat;
        DraftFields fields;
        const char* sFormat;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"recipients, a subject and a body: sent at once, the prefix gone, a trailing bar dropped",
         {"", "Hi", "me@x.org", "Me", "Ann|SMTP:ann@x.org|Bob|", "a < b"},
         "html",
         {"    <SendMsgRequest xmlns=\"urn:zimbraMail\" onerror=\"continue\">", "      <m f=\"\">",
          "        <e t=\"f\" a=\"me@x.org\" p=\"Me\"/>", "        <e t=\"t\" p=\"Ann\" a=\"ann@x.org\" />",
          "        <e t=\"t\" p=\"Bob\" a=\"\" />", "        <mp body=\"1\">", "          <content>a &lt; b</content>",
          "    </SendMsgRequest>"}},
        {"a plain draft for an html account is wrapped, then escaped once more",
         {"", "S", "", "", "", " a < \"b\" "},
         "HTML",
         {"        <mp body=\"1\" ct=\"text/html\">",
          "          <content>&lt;HTML&gt;\r\n&lt;BODY&gt;\r\n&lt;PRE&gt;a &amp;lt; &amp;quot;b&amp;quot;&lt;/PRE&gt;"
          "\r\n&lt;/BODY&gt;\r\n&lt;/HTML&gt;</content>"}},
        {"a plain draft for a text account stays as it is", {"", "S", "", "", "", "a < b"}, "text",
         {"        <mp body=\"1\">", "          <content>a &lt; b</content>"}},
        {"an html body is not wrapped again", {"", "S", "", "", "", "<p>x</P></HTML>"}, "html",
         {"        <mp body=\"1\" ct=\"text/html\">", "          <content>&lt;p&gt;x&lt;/P&gt;&lt;/HTML&gt;</content>"}},
        {"quotes in names and the subject cannot end their attribute",
         {"a\"id", "Q&A <\"1\">", "o'k@x.org", "O \"K\"", "Ann \"A\"|ann@x.org", ""},
         "text",
         {"      <m f=\"a\">", "        <e t=\"f\" a=\"o&apos;k@x.org\" p=\"O &quot;K&quot;\"/>",
          "        <e t=\"t\" p=\"Ann &quot;A&quot;\" a=\"ann@x.org\" />", "        <su>Q&amp;A &lt;&quot;1&quot;&gt;</su>",
          "        <attach aid=\"a&quot;id\">"}},
        {"a subject without recipients stays a draft", {"", "S", "", "", "  |", "Body"}, "text",
         {"    <SaveDraftRequest xmlns=\"urn:zimbraMail\" onerror=\"continue\">", "      <m f=\"d\">"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.sWhat);
        const std::string sText = "\r\n" + DraftRequestBody(c.fields, c.sFormat) + "\r\n";
        for (const std::string& sLine : c.lines)
            EXPECT_NE(sText.find("\r\n" + sLine + "\r\n"), std::string::npos) << sLine << "\nin:" << sText;
    }
}

} // namespace
} // namespace qv
