#include "session/Envelope.h"

#include <gtest/gtest.h>

namespace qv
{
namespace
{

TEST(LoginEnvelope, IsByteForByteTheKnownText)
{
    const std::string sExpected = "<Envelope xmlns=\"http://www.w3.org/2003/05/soap-envelope\">\r\n"
                                  "<Header>\r\n"
                                  "  <context xmlns=\"urn:zimbra\">\r\n"
                                  "    <session/>\r\n"
                                  "  </context>\r\n"
                                  "</Header>\r\n"
                                  "  <Body>\r\n"
                                  "    <AuthRequest xmlns=\"urn:zimbraAccount\">\r\n"
                                  "      <account by=\"name\">R&amp;D &lt;lab&gt;</account>\r\n"
                                  "      <password>p&amp;&lt;&gt;&quot;&apos;</password>\r\n"
                                  "      <prefs>\r\n"
                                  "        <pref name=\"zimbraPrefMailPollingInterval\" />\r\n"
                                  "        <pref name=\"zimbraPrefCalendarApptReminderWarningTime\" />\r\n"
                                  "        <pref name=\"zimbraPrefComposeFormat\" />\r\n"
                                  "      </prefs>\r\n"
                                  "    </AuthRequest>\r\n"
                                  "  </Body>\r\n"
                                  "</Envelope>";
    EXPECT_EQ(LoginEnvelope("R&D <lab>", "p&<>\"'"), sExpected);
}

TEST(SessionEnvelope, IsByteForByteTheKnownTextWithAndWithoutTheChangeLine)
{
    const std::string sHead = "<Envelope xmlns=\"http://www.w3.org/2003/05/soap-envelope\">\r\n"
                              "<Header>\r\n"
                              "  <context xmlns=\"urn:zimbra\">\r\n"
                              "    <authToken>0_ab</authToken>\r\n"
                              "    <session seq=\"3\" id=\"1842\">1842</session>\r\n"
                              "    <userAgent name=\"Quorvel\" version=\"5.0.1\"/>\r\n";
    const std::string sTail = "  </context>\r\n"
                              "</Header>\r\n"
                              "<Body>\r\n"
                              "  <Ping/>\r\n"
                              "</Body>\r\n"
                              "</Envelope>";
    const SessionHeader header{"0_ab", "session", "1842", "3", ""};
    EXPECT_EQ(SessionEnvelope(header, true, "  <Ping/>"), sHead + "    <change token=\"\"/>\r\n" + sTail);
    EXPECT_EQ(SessionEnvelope(header, false, "  <Ping/>"), sHead + sTail);
}

TEST(SessionEnvelope, HostileServerValuesCannotBreakTheEnvelope)
{
    const std::string sEnvelope = SessionEnvelope({"a<b", "session", "1\"2", "", "</x>"}, true, "");
    EXPECT_EQ(sEnvelope.find("a<b"), std::string::npos);
    EXPECT_NE(sEnvelope.find("id=\"1&quot;2\""), std::string::npos);
    EXPECT_NE(sEnvelope.find("<change token=\"&lt;/x&gt;\"/>"), std::string::npos);
}

TEST(CheckRequestBody, HasBothFormsByteForByte)
{
    const auto Search = [](const std::string& sPage) {
        return "  <BatchRequest xmlns=\"urn:zimbra\" onerror=\"continue\">\r\n"
               "    <SearchRequest xmlns=\"urn:zimbraMail\" types=\"appointment\" sortBy=\"dateAsc\" limit=\"1000\"" +
               sPage +
               " calExpandInstStart=\"1767225600000\" calExpandInstEnd=\"1767830400000\" >\r\n"
               "  <query>appt-start:&lt;+7day AND appt-end:&gt;-1day AND (is:local OR is:remote)</query>\r\n"
               "  </SearchRequest>\r\n"
               "  </BatchRequest>";
    };
    EXPECT_EQ(CheckRequestBody(false, 1767225600000, 1767830400000), Search(""));
    EXPECT_EQ(CheckRequestBody(false, 1767225600000, 1767830400000, 2000), Search(" offset=\"2000\""));
    EXPECT_EQ(CheckRequestBody(true, 1, 2), "  <BatchRequest xmlns=\"urn:zimbra\" onerror=\"continue\">\r\n"
                                            "    <GetApptSummariesRequest xmlns=\"urn:zimbraMail\" s=\"1\" e=\"2\" "
                                            "id=\"0\"/>\r\n"
                                            "  </BatchRequest>");
}

} // namespace
} // namespace qv
