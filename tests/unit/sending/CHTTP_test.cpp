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

TEST(HttpText, EncodeHeaderWord)
{
    const std::string sLong = std::string(69, 'a') + "ñ" + "b"; // the "ñ" would straddle the 70th byte
    const std::pair<std::string, std::string> cases[] = {
        {"report.pdf", "report.pdf"},
        {CHTTP::Ansi2Utf8("Año 1.txt"), "=?utf-8?Q?A=C3=B1o_1=2Etxt?="},
        {"a\r\nX-Evil: 1.txt", "aX-Evil: 1.txt"}, // no header of its own
        {"tab\there\x7f.txt", "tabhere.txt"},
        {"é\r\n", "=?utf-8?Q?=C3=A9?="},
        {sLong, std::string(69, 'a') + "=?utf-8?Q?=C3=B1b?="},
        {std::string(140, 'x'), std::string(140, 'x')},
    };
    for (const auto& [sIn, sOut] : cases)
        EXPECT_EQ(CHTTP::EncodeHeaderWord(sIn), sOut) << sIn;
}

TEST(HttpText, Ansi2Utf8HtmlEscapeFileNameFromPath)
{
    const std::pair<std::string, std::string> utf8[] = {
        {"Año", "Año"}, {"A\xF1o", "Año"}, {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"}, {"", ""}};
    for (const auto& [sIn, sOut] : utf8)
        EXPECT_EQ(CHTTP::Ansi2Utf8(sIn), sOut) << sIn;
    const std::pair<std::string, std::string> html[] = {
        {"a<b & c>", "a&lt;b &amp; c&gt;"}, {"&lt;", "&amp;lt;"}, {"\"q\" 'x'", "\"q\" 'x'"}};
    for (const auto& [sIn, sOut] : html)
        EXPECT_EQ(CHTTP::HtmlEscape(sIn), sOut) << sIn;
    const std::pair<std::string, std::string> names[] = {
        {"C:\\data\\a.txt", "a.txt"}, {"C:\\data\\photos\\", "photos\\"}, {"a.txt", "a.txt"}, {"\\", "\\"},
        {"", ""}};
    for (const auto& [sIn, sOut] : names)
        EXPECT_EQ(CHTTP::FileNameFromPath(sIn), sOut) << sIn;
}

TEST(HttpAnswerText, StatusLineAndHeadersByStructure)
{
    struct Case
    {
        std::string sResponse;
        int nStatus; // 0: not readable
        std::string sLocation, sBody;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Location: /x\r\n\r\n200,'null','a'", 200, "", "200,'null','a'"},
        {"HTTP/1.1 302 Found\r\nlocation:  http://h/p \r\n\r\n", 302, "http://h/p", ""},
        {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 303 See\r\nLocation: /a\r\n\r\nb", 303, "/a", "b"},
        {"HTTP/1.1 200 OK\r\nX: Location: /no\r\n\r\n", 200, "", ""},
        {"HTTP/1.0 301\r\nLocation: /a\r\n /b\r\n\r\n", 301, "/a /b", ""}, // a folded line continues the value
        {"HTTP/1.1 200 OK\r\nLocation: /a\r\n", 0, "", ""},                 // no end of headers
        {"hello\r\nLocation: /a\r\n\r\n", 0, "", ""},
        {"HTTP/1.1 2000 OK\r\n\r\n", 0, "", ""},
        {"", 0, "", ""},
    };
    for (const Case& c : cases)
    {
        const auto answer = ParseAnswer(c.sResponse);
        ASSERT_EQ(answer.has_value(), c.nStatus != 0) << c.sResponse;
        if (!answer)
            continue;
        EXPECT_EQ(answer->nStatus, c.nStatus);
        EXPECT_EQ(GetHeaderValue(answer->sHeaderBlock, "Location"), c.sLocation) << c.sResponse;
        EXPECT_EQ(answer->sBody, c.sBody);
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
    struct Case
    {
        std::string sUrl;
        bool bPost;
        SocketError nConnect;
        TransportError nTls;
        std::vector<std::string> Messages;
        HttpFailure nFailure;
    };
    const Case cases[] = {
        {"http://nowhere.example/p", true, SocketError::None, TransportError::None,
         {"Problem resolving address nowhere.example", "Problem connecting to nowhere.example at port 80"},
         HttpFailure::NameNotResolved},
        {"http://nowhere.example/p", false, SocketError::None, TransportError::None,
         {"Problem resolving address nowhere.example"}, HttpFailure::NameNotResolved},
        {"http://mail.example.com:8080/p", true, SocketError::CannotConnect, TransportError::None,
         {"Problem connecting to mail.example.com at port 8080"}, HttpFailure::CannotConnect},
        {"http://10.0.0.1/p", true, SocketError::TimedOut, TransportError::None,
         {"Problem connecting to 10.0.0.1 at port 80"}, HttpFailure::CannotConnect},
        {"http://mail.example.com:99999/p", true, SocketError::None, TransportError::None,
         {"Problem connecting to mail.example.com at port 99999"}, HttpFailure::CannotConnect},
        {"http://mail.example.com/p", true, SocketError::NoSocket, TransportError::None, {"Invalid socket"},
         HttpFailure::InvalidSocket},
        {"http://mail.example.com/p", false, SocketError::CannotConnect, TransportError::None, {},
         HttpFailure::CannotConnect},
        {"http://mail.example.com/p", true, SocketError::NotStarted, TransportError::None, {},
         HttpFailure::NotStarted},
        {"https://mail.example.com/p", true, SocketError::None, TransportError::CannotConnect,
         {"Problem connecting to mail.example.com at port 443"}, HttpFailure::CannotConnect},
        {"https://nowhere.example:8443/p", true, SocketError::None, TransportError::NameNotResolved,
         {"Problem resolving address nowhere.example", "Problem connecting to nowhere.example at port 8443"},
         HttpFailure::NameNotResolved},
        {"https://mail.example.com/p", true, SocketError::None, TransportError::CertificateRejected, {},
         HttpFailure::CertificateRejected},
        {"https://mail.example.com/p", true, SocketError::None, TransportError::TimedOut, {}, HttpFailure::TimedOut},
    };
    for (const Case& c : cases)
    {
        Dialogs.Shown.clear();
        Net.nConnectError = c.nConnect;
        Tls.Reply = {};
        Tls.Reply.nError = c.nTls;
        Tls.Reply.sDescription = "stack's words";
        const HttpResult result = c.bPost ? HTTP.POSTWrapper(c.sUrl, Post("mail.example.com", "x"))
                                          : HTTP.GETWrapper(c.sUrl);
        EXPECT_EQ(Shown(), c.Messages) << c.sUrl;
        EXPECT_EQ(result.nFailure, c.nFailure) << c.sUrl;
        // Told once: by a message, or to the caller with words of its own.
        EXPECT_EQ(result.bShown, !c.Messages.empty()) << c.sUrl;
        EXPECT_FALSE(result.sDescription.empty()) << c.sUrl;
    }
}

TEST_F(Client, EveryUnfinishedAnswerIsAFailureOnce)
{
    struct Case
    {
        std::deque<std::string> Answer;
        SocketError nAfter;
        HttpFailure nFailure;
        std::string sKept;
    };
    const Case cases[] = {
        {{"HTTP/1.1 200 OK\r\n", "Content-Type: text/html\r\n"}, SocketError::None, HttpFailure::NoHeaderEnd,
         "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"},
        {{}, SocketError::None, HttpFailure::NoHeaderEnd, ""},
        {{"HTTP/1.1 200 OK\r\n"}, SocketError::TimedOut, HttpFailure::TimedOut, "HTTP/1.1 200 OK\r\n"},
        {{"HTTP/1.1 200 OK\r\n"}, SocketError::Reset, HttpFailure::ReceiveFailed, "HTTP/1.1 200 OK\r\n"},
        // Complete by its length: the connection left open is not waited for.
        {{"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n20", std::string("0\0", 2)}, SocketError::TimedOut,
         HttpFailure::None, std::string("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n200\0", 42)},
    };
    for (const Case& c : cases)
    {
        Net.Answer = c.Answer;
        Net.nAfterAnswer = c.nAfter;
        const HttpResult result = HTTP.POSTWrapper("http://mail.example.com/p", Post("mail.example.com", "x"));
        EXPECT_EQ(result.nFailure, c.nFailure) << c.sKept;
        EXPECT_FALSE(result.bShown);
        EXPECT_EQ(result.Ok(), result.sDescription.empty()) << result.sDescription;
        EXPECT_EQ(result.sResponse, c.sKept);
    }
    EXPECT_TRUE(Dialogs.Shown.empty());
}

TEST_F(Client, TheCookieGoesOnlyToItsOwnHost)
{
    // The head goes out as written; only one sent elsewhere is written anew.
    const std::string sOwn = "POST /service/upload?fmt=raw HTTP/1.1\r\nHost: Mail.Example.com:8080\r\nX:y\r\n"
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
    EXPECT_EQ(Tls.Last.sMethod, "POST");
    EXPECT_EQ(Tls.Last.sPath, "/service/upload?fmt=raw");
    EXPECT_EQ(Tls.Last.nPort, 8080);
    EXPECT_EQ(Tls.Last.nBodyLength, 5u);
    EXPECT_EQ(Tls.sBody, "hello");
    EXPECT_EQ(Tls.Last.Headers, (HeaderList{{"Host", "Mail.Example.com:8080"},
                                            {"X", "y"},
                                            {"Cookie", "ZM_TEST=true; ZM_AUTH_TOKEN=tok"}}));
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
