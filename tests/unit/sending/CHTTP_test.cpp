// The HTTP client over a scripted network: its text helpers, the cookie table, answers read by their structure,
// the connection messages, and where the cookie may go.
#include "sending/CHTTP.h"

#include <gtest/gtest.h>

#include "platform/fake/FakeSockets.h"
#include "platform/fake/Fakes.h"

namespace qv
{
namespace
{

TEST(HttpText, HeaderWordsUtf8HtmlAndFileNames)
{
    // The "ñ" of the long name would straddle the 70th byte; a line break would start a header of its own.
    const std::string sLong = std::string(69, 'a') + "ñ" + "b";
    const std::pair<std::string (*)(std::string_view), std::vector<std::pair<std::string, std::string>>> cases[] = {
        {CHTTP::EncodeHeaderWord,
         {{"report.pdf", "report.pdf"},
          {CHTTP::Ansi2Utf8("Año 1.txt"), "=?utf-8?Q?A=C3=B1o_1=2Etxt?="},
          {"a\r\nX-Evil: 1.txt", "aX-Evil: 1.txt"},
          {"tab\there\x7f.txt", "tabhere.txt"},
          {"é\r\n", "=?utf-8?Q?=C3=A9?="},
          {sLong, std::string(69, 'a') + "=?utf-8?Q?=C3=B1b?="},
          {std::string(140, 'x'), std::string(140, 'x')}}},
        {CHTTP::Ansi2Utf8, {{"Año", "Año"}, {"A\xF1o", "Año"}, {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"}, {"", ""}}},
        {CHTTP::HtmlEscape, {{"a<b & c>", "a&lt;b &amp; c&gt;"}, {"&lt;", "&amp;lt;"}, {"\"q\" 'x'", "\"q\" 'x'"}}},
        {CHTTP::FileNameFromPath,
         {{"C:\\data\\a.txt", "a.txt"},
          {"C:\\data\\photos\\", "photos\\"},
          {"a.txt", "a.txt"},
          {"\\", "\\"},
          {"", ""}}}};
    for (const auto& [fnHelper, pairs] : cases)
        for (const auto& [sIn, sOut] : pairs)
            EXPECT_EQ(fnHelper(sIn), sOut) << sIn;
}

TEST(HttpAnswerText, StatusLineAndHeadersByStructure)
{
    // The answer; its status (0: not readable), Location and body.
    const std::tuple<std::string, int, std::string, std::string> cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Location: /x\r\n\r\n200,'null','a'", 200, "", "200,'null','a'"},
        {"HTTP/1.1 302 Found\r\nlocation:  http://h/p \r\n\r\n", 302, "http://h/p", ""},
        {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 303 See\r\nLocation: /a\r\n\r\nb", 303, "/a", "b"},
        {"HTTP/1.1 200 OK\r\nX: Location: /no\r\n\r\n", 200, "", ""},
        {"HTTP/1.0 301\r\nLocation: /a\r\n /b\r\n\r\n", 301, "/a /b", ""}, // a folded line continues the value
        {"HTTP/1.1 200 OK\r\nLocation: /a\r\n", 0, "", ""},                // no end of headers
        {"hello\r\nLocation: /a\r\n\r\n", 0, "", ""},
        {"HTTP/1.1 2000 OK\r\n\r\n", 0, "", ""},
        {"", 0, "", ""},
    };
    for (const auto& [sResponse, nStatus, sLocation, sBody] : cases)
    {
        const auto answer = ParseAnswer(sResponse);
        ASSERT_EQ(answer.has_value(), nStatus != 0) << sResponse;
        if (answer)
        {
            EXPECT_EQ(std::make_tuple(answer->nStatus, GetHeaderValue(answer->sHeaderBlock, "Location"), answer->sBody),
                      std::make_tuple(nStatus, sLocation, sBody));
        }
    }
    EXPECT_EQ(CompleteLength("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nab"), 41u);
    EXPECT_EQ(CompleteLength("HTTP/1.1 200 OK\r\nContent-Length: x\r\n\r\n"), std::nullopt);
    EXPECT_EQ(CompleteLength("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n"), std::nullopt);
}

class Client : public ::testing::Test
{
protected:
    fake::FakeSockets Net;
    fake::FakeTls Tls;
    fake::FakeFiles Files;
    fake::FakeDialogs Dialogs;
    CHTTP HTTP{Net, Tls, Files, Dialogs};
    std::vector<std::vector<int16_t>> Updates;

    void SetUp() override
    {
        HTTP.CookieUpdate = [this](const std::vector<int16_t>& changed) { Updates.push_back(changed); };
        Net.Names["mail.example.com"] = "127.0.0.1";
    }
    std::vector<std::string> Shown() const
    {
        std::vector<std::string> texts;
        for (const auto& message : Dialogs.Shown)
        {
            EXPECT_EQ(message.nStyle, nMbExclamation | nMbTopMost);
            EXPECT_EQ(message.sTitle, "Quorvel");
            texts.push_back(message.sText);
        }
        return texts;
    }
    static HttpRequest Post(const std::string& sHost, const std::string& sBody)
    {
        HttpRequest request;
        request.sHead = "POST /service/upload?fmt=raw HTTP/1.1\r\nHost: " + sHost +
                        "\r\nContent-Length: " + std::to_string(sBody.size()) +
                        "\r\nConnection: Close\r\nCookie: ZM_TEST=true; ZM_AUTH_TOKEN=tok\r\n\r\n";
        request.AddBytes(sBody);
        return request;
    }
};

TEST_F(Client, CookieTable)
{
    Net.Answer = {"HTTP/1.1 200 OK\r\nSet-Cookie: a=b=c; Path=/\r\nset-cookie: n=1\r\n"
                  "Set-Cookie: a=d; HttpOnly\r\n\r\nSet-Cookie: body=no; x"};
    ASSERT_TRUE(HTTP.GETWrapper("http://mail.example.com/x").Ok());
    // The empty entry 0 takes the first cookie; "a" again changes it; the body is no header.
    EXPECT_EQ(Updates, (std::vector<std::vector<int16_t>>{{0, 1, 0}}));
    EXPECT_EQ(HTTP.UBoundCookies(), 1);
    EXPECT_EQ(HTTP.CookieValue_GET(0), "d");
    EXPECT_EQ(HTTP.BuildCookieHeader(), "Cookie: a=d; n=1\r\n");
    EXPECT_NE(Net.sSent.find("\r\nConnection: Close\r\n\r\n"), std::string::npos) << Net.sSent; // no cookie yet

    Net.sSent.clear();
    Net.Answer = {"HTTP/1.1 200 OK\r\n\r\n"};
    ASSERT_TRUE(HTTP.GETWrapper("HTTP://mail.example.com:80/a?b=1", "http://r/").Ok());
    EXPECT_EQ(Net.sSent, "GET /a?b=1 HTTP/1.1\r\n"
                         "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
                         "Referer: http://r/\r\nAccept-Language: en-us\r\n"
                         "Content-Type: application/x-www-form-urlencoded\r\nAccept-Encoding: \r\n"
                         "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows XP)\r\nHost: mail.example.com:80\r\n"
                         "Connection: Close\r\nCookie: a=d; n=1\r\n\r\n");

    HTTP.CookieKey_SET(2, "z");
    EXPECT_EQ(HTTP.UBoundCookies(), 2);
    HTTP.RemoveCookie(0);
    EXPECT_EQ(HTTP.CookieKey_GET(0), "n");
    HTTP.CookieValue_SET(1, "v");
    HTTP.ClearCookies();
    EXPECT_EQ(Updates, (std::vector<std::vector<int16_t>>{{0, 1, 0}, {2}, {-1}, {1}, {-2, -1}}));
    EXPECT_EQ(HTTP.BuildCookieHeader(), "");
}

TEST_F(Client, ConnectionMessagesNameThePortUsed)
{
    using S = SocketError;
    using T = TransportError;
    using H = HttpFailure;
    const std::string sNowhere = "Problem resolving address nowhere.example", sAt = "Problem connecting to ";
    const std::string sMail = "mail.example.com", sHttp = "http://mail.example.com",
                      sHttps = "https://mail.example.com";
    // The address, whether a POST (a GET shows nothing), the socket's and the stack's failure; what is shown, and
    // the failure the caller sees.
    const std::tuple<std::string, bool, S, T, std::vector<std::string>, H> cases[] = {
        {"http://nowhere.example/p",
         true,
         S::None,
         T::None,
         {sNowhere, sAt + "nowhere.example at port 80"},
         H::NameNotResolved},
        {"http://nowhere.example/p", false, S::None, T::None, {sNowhere}, H::NameNotResolved},
        {sHttp + ":8080/p", true, S::CannotConnect, T::None, {sAt + sMail + " at port 8080"}, H::CannotConnect},
        {"http://10.0.0.1/p", true, S::TimedOut, T::None, {sAt + "10.0.0.1 at port 80"}, H::CannotConnect},
        {sHttp + ":99999/p", true, S::None, T::None, {sAt + sMail + " at port 99999"}, H::CannotConnect},
        {sHttp + "/p", true, S::NoSocket, T::None, {"Invalid socket"}, H::InvalidSocket},
        {sHttp + "/p", false, S::CannotConnect, T::None, {}, H::CannotConnect},
        {sHttp + "/p", true, S::NotStarted, T::None, {}, H::NotStarted},
        {sHttps + "/p", true, S::None, T::CannotConnect, {sAt + sMail + " at port 443"}, H::CannotConnect},
        {"https://nowhere.example:8443/p",
         true,
         S::None,
         T::NameNotResolved,
         {sNowhere, sAt + "nowhere.example at port 8443"},
         H::NameNotResolved},
        {sHttps + "/p", true, S::None, T::CertificateRejected, {}, H::CertificateRejected},
        {sHttps + "/p", true, S::None, T::TimedOut, {}, H::TimedOut},
    };
    for (const auto& [sUrl, bPost, nConnect, nTls, messages, nFailure] : cases)
    {
        SCOPED_TRACE(sUrl);
        Dialogs.Shown.clear();
        Net.nConnectError = nConnect;
        Tls.Reply = {};
        Tls.Reply.nError = nTls;
        Tls.Reply.sDescription = "stack's words";
        const HttpResult result = bPost ? HTTP.POSTWrapper(sUrl, Post(sMail, "x")) : HTTP.GETWrapper(sUrl);
        EXPECT_EQ(Shown(), messages);
        EXPECT_EQ(result.nFailure, nFailure);
        // Told once: by a message, or to the caller with words of its own.
        EXPECT_EQ(result.bShown, !messages.empty());
        EXPECT_FALSE(result.sDescription.empty());
    }
}

// An answer cut short is the caller's failure, told once, with what came kept; one complete by its length is no
// failure even if the connection stays open.
TEST_F(Client, EveryUnfinishedAnswerIsAFailureOnce)
{
    const std::string sOk = "HTTP/1.1 200 OK\r\n", sSized = sOk + "Content-Length: 4\r\n\r\n20";
    const std::tuple<std::deque<std::string>, SocketError, HttpFailure, std::string> cases[] = {
        {{sOk, "Content-Type: text/html\r\n"},
         SocketError::None,
         HttpFailure::NoHeaderEnd,
         sOk + "Content-Type: text/html\r\n"},
        {{}, SocketError::None, HttpFailure::NoHeaderEnd, ""},
        {{sOk}, SocketError::TimedOut, HttpFailure::TimedOut, sOk},
        {{sOk}, SocketError::Reset, HttpFailure::ReceiveFailed, sOk},
        {{sSized, std::string("0\0", 2)}, SocketError::TimedOut, HttpFailure::None, sSized + std::string("0\0", 2)},
    };
    for (const auto& [answer, nAfter, nFailure, sKept] : cases)
    {
        Net.Answer = answer;
        Net.nAfterAnswer = nAfter;
        const HttpResult result = HTTP.POSTWrapper("http://mail.example.com/p", Post("mail.example.com", "x"));
        EXPECT_EQ(result.nFailure, nFailure) << sKept;
        EXPECT_FALSE(result.bShown);
        EXPECT_EQ(result.Ok(), result.sDescription.empty()) << result.sDescription;
        EXPECT_EQ(result.sResponse, sKept);
    }
    EXPECT_TRUE(Dialogs.Shown.empty());
}

TEST_F(Client, TheCookieGoesOnlyToItsOwnHost)
{
    // The head goes out as written; only one sent elsewhere is written anew.
    const std::string sOwn =
        "POST /service/upload?fmt=raw HTTP/1.1\r\nHost: Mail.Example.com:8080\r\nX:y\r\n"
        "Content-Length: 5\r\nConnection: Close\r\nCookie: ZM_TEST=true; ZM_AUTH_TOKEN=tok\r\n\r\n";
    const std::string sElsewhere = "POST /service/upload?fmt=raw HTTP/1.1\r\nHost: other.example.com:81\r\nX: y\r\n"
                                   "Content-Length: 5\r\nConnection: Close\r\n\r\n";
    Net.Names["other.example.com"] = "127.0.0.2";
    HttpRequest request = Post("Mail.Example.com:8080", "he");
    request.sHead = sOwn;
    Files.Contents["C:\\a.txt"] = "llo";
    request.AddFile("C:\\a.txt", 3);
    const std::pair<std::string, std::string> cases[] = {
        {"http://mail.example.com:8080/x", sOwn + "hello"},
        {"http://other.example.com:81/x", sElsewhere + "hello"},
    };
    for (const auto& [sUrl, sWire] : cases)
    {
        Net.sSent.clear();
        Net.Answer = {"HTTP/1.1 200 OK\r\n\r\n"};
        EXPECT_TRUE(HTTP.POSTWrapper(sUrl, request).Ok());
        EXPECT_EQ(Net.sSent, sWire);
    }
    EXPECT_EQ(Net.sConnectedTo, "127.0.0.2:81");

    // Over TLS the same head and body, less what the stack writes itself; a redirect elsewhere has no cookie.
    Tls.Reply.nError = TransportError::None;
    Tls.Reply.sHead = "HTTP/1.1 200 OK\r\n\r\n";
    Tls.Reply.sBody = "200,'null','x'";
    const HttpResult result = HTTP.POSTWrapper("https://mail.example.com:8080/ignored", request);
    EXPECT_EQ(result.sResponse, "HTTP/1.1 200 OK\r\n\r\n200,'null','x'");
    EXPECT_EQ(std::tie(Tls.Last.sMethod, Tls.Last.sPath, Tls.Last.nPort, Tls.Last.nBodyLength, Tls.sBody),
              std::make_tuple("POST", "/service/upload?fmt=raw", 8080, 5u, "hello"));
    EXPECT_EQ(
        Tls.Last.Headers,
        (HeaderList{{"Host", "Mail.Example.com:8080"}, {"X", "y"}, {"Cookie", "ZM_TEST=true; ZM_AUTH_TOKEN=tok"}}));
    (void)HTTP.POSTWrapper("https://other.example.com/", request);
    EXPECT_EQ(Tls.Last.Headers, (HeaderList{{"Host", "other.example.com"}, {"X", "y"}}));
}

TEST_F(Client, AFileThatChangesWhileSentFailsTheRequest)
{
    for (const std::string sNow : {"ab", "abcd", ""})
    {
        HttpRequest request = Post("mail.example.com", "x");
        request.AddFile("C:\\f.bin", 3);
        Files.Contents["C:\\f.bin"] = sNow;
        if (sNow.empty())
            Files.Contents.erase("C:\\f.bin");
        Net.Answer = {"HTTP/1.1 200 OK\r\n\r\n"};
        const HttpResult result = HTTP.POSTWrapper("http://mail.example.com/x", request);
        EXPECT_EQ(result.nFailure, HttpFailure::BodyUnreadable) << sNow;
        EXPECT_NE(result.sDescription.find("C:\\f.bin"), std::string::npos) << result.sDescription;
    }
}

TEST(Environment, ExactNameThenEquals)
{
    fake::FakeFiles files;
    files.Entries = {"=C:=C:\\", "TEMPO=x", "temp=lower", "TEMP=C:\\T", "TEMP=second"};
    EXPECT_EQ(GetEnvironmentValue(files, "TEMP"), "C:\\T");
    EXPECT_EQ(GetEnvironmentValue(files, "TMP"), "");
    files.Contents["a"] = "";
    EXPECT_TRUE(FileExists(files, "a"));
    EXPECT_FALSE(FileExists(files, "b"));
}

} // namespace
} // namespace qv
