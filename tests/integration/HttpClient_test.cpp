// The program's own HTTP client against the fake server over BSD sockets and libcurl's TLS: the request and the
// answer byte for byte, large bodies streamed to a slow reader, the ways the network can fail an exchange, and
// the certificate. Answers cut short and where the cookie may go are the unit tests' (the scripted network).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "ServerFixture.h"
#include "platform/fake/Fakes.h"
#include "platform/posix/CurlTls.h"
#include "platform/posix/PosixFiles.h"
#include "platform/posix/PosixSockets.h"
#include "sending/CHTTP.h"

namespace qv
{
namespace
{

using test::FakeServer;

constexpr uint64_t nLargeBytes = 24u << 20; // beyond every socket buffer on the way

class HttpClient : public ::testing::Test
{
protected:
    static std::string sFolder, sLargeFile;

    static void SetUpTestSuite()
    {
        sFolder = std::filesystem::temp_directory_path() / ("quorvel-http-" + std::to_string(getpid()));
        std::filesystem::create_directories(sFolder);
        sLargeFile = sFolder + "/large.bin";
        std::ofstream file(sLargeFile, std::ios::binary);
        std::string sBlock(1 << 20, '\0');
        for (uint64_t n = 0; n < nLargeBytes / sBlock.size(); ++n)
        {
            for (size_t i = 0; i < sBlock.size(); ++i)
                sBlock[i] = static_cast<char>((i * 31 + n * 7) & 0xFF);
            file.write(sBlock.data(), static_cast<std::streamsize>(sBlock.size()));
        }
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(sFolder); }

    PosixSockets Sockets;
    CurlTls Tls;
    PosixFiles Files;
    fake::FakeDialogs Dialogs;
    CHTTP HTTP{Sockets, Tls, Files, Dialogs};

    void SetUp() override { HTTP.Timeouts = {5000, 10000, 10000}; }

    static std::string Upload(const FakeServer& server, bool bSecure = false)
    {
        return std::string(bSecure ? "https://" : "http://") + server.HostAndPort() + "/service/upload?fmt=raw";
    }
    // An upload as the program writes it, with the body of the given pieces.
    static HttpRequest Request(const std::string& sHost, const std::string& sBytes, const std::string& sFile = {})
    {
        HttpRequest request;
        request.AddBytes(sBytes);
        if (!sFile.empty())
            request.AddFile(sFile, std::filesystem::file_size(sFile));
        const std::string sLength = std::to_string(request.BodyLength());
        request.sHead = "POST /service/upload?fmt=raw HTTP/1.1\r\n"
                        "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
                        "Content-Type: multipart/form-data; boundary=----QuorvelPostBoundary\r\n"
                        "Host: " +
                        sHost + "\r\nContent-Length: " + sLength +
                        "\r\nConnection: Close\r\n"
                        "Cookie: ZM_TEST=true; ZM_AUTH_TOKEN=tok\r\n\r\n";
        return request;
    }
    static std::string Raw(const std::string& sAnswer, const std::string& sMore = {})
    {
        return R"({"script": [{"match": {"path": "/service/upload"}, "respond": {"raw": ")" + sAnswer + "\"" + sMore +
               "}}]}";
    }
};

std::string HttpClient::sFolder, HttpClient::sLargeFile;

// A file of every byte value reaches a slow reader whole, the head as written; the answer comes back byte for
// byte, a zero and a byte that is no UTF-8 in it, and its announced length ends the wait although the server keeps
// the connection open.
TEST_F(HttpClient, ALargeFileReachesASlowReaderWholeAndItsAnswerByteForByte)
{
    FakeServer server(
        R"({"reader": {"piece": 262144, "pause": 0.002},)" +
        Raw(R"(HTTP/1.1 200 OK\r\nContent-Length: 18\r\n\r\n200,'null','a\u0000b\u00ff'\n)", R"(, "then": "keep_open")")
            .substr(1));
    ASSERT_TRUE(server.IsRunning());
    HTTP.Timeouts = {5000, 2000, 2000};
    const HttpRequest request = Request(server.HostAndPort(), "", sLargeFile);
    const HttpResult result = HTTP.POSTWrapper(Upload(server), request);
    ASSERT_TRUE(result.Ok()) << result.sDescription;
    EXPECT_EQ(result.sResponse,
              "HTTP/1.1 200 OK\r\nContent-Length: 18\r\n\r\n" + std::string("200,'null','a\0b\xFF'\n", 18));
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].sMethod, "POST");
    EXPECT_EQ(requests[0].sPath, "/service/upload?fmt=raw");
    EXPECT_EQ(requests[0].Headers, ParseHeaders(request.sHead));
    EXPECT_EQ(requests[0].nBodyLength, nLargeBytes);
    EXPECT_EQ(requests[0].sBodySha256, test::Output("sha256sum '" + sLargeFile + "'").substr(0, 64));
}

TEST_F(HttpClient, EveryFailureReachesTheCallerOnce)
{
    // What the server does, whether the large file is sent, and the failure.
    const std::tuple<const char*, std::string, bool, HttpFailure> cases[] = {
        {"never answers", R"({"script": [{"match": {"path": "/service/upload"}, "respond": {"hang": true}}]})", false,
         HttpFailure::TimedOut},
        {"stops reading", R"({"reader": {"stop_after": 1048576, "then": "hang"}})", true, HttpFailure::TimedOut},
        {"closes while the body comes", R"({"reader": {"stop_after": 65536, "then": "close"}})", true,
         HttpFailure::SendFailed},
    };
    HTTP.Timeouts = {5000, 1000, 1000};
    for (const auto& [sWhat, sScenario, bLarge, nFailure] : cases)
    {
        SCOPED_TRACE(sWhat);
        FakeServer server(sScenario);
        ASSERT_TRUE(server.IsRunning());
        const HttpResult result =
            HTTP.POSTWrapper(Upload(server), Request(server.HostAndPort(), "x", bLarge ? sLargeFile : ""));
        EXPECT_EQ(result.nFailure, nFailure) << result.sDescription;
        EXPECT_FALSE(result.bShown);
        EXPECT_FALSE(result.sDescription.empty());
    }
    EXPECT_TRUE(Dialogs.Shown.empty());

    // A closed port is told by the connection message alone.
    const HttpResult refused = HTTP.POSTWrapper("http://127.0.0.1:1/service/upload?fmt=raw", Request("h", "x"));
    EXPECT_EQ(refused.nFailure, HttpFailure::CannotConnect);
    EXPECT_TRUE(refused.bShown);
    ASSERT_EQ(Dialogs.Shown.size(), 1u);
    EXPECT_EQ(Dialogs.Shown[0].sText, "Problem connecting to 127.0.0.1 at port 1");
}

// Over TLS: the same request to a certificate the test trusts, which never follows a redirect, and nothing at all
// to one it does not trust.
TEST_F(HttpClient, SafeConnectionChecksTheCertificate)
{
    test::MakeCertificate(sFolder);
    FakeServer server(Raw(R"(HTTP/1.1 302 Found\r\nLocation: http://localhost/elsewhere\r\nContent-Length: 0\r\n\r\n)"),
                      {"--tls-cert", sFolder + "/cert.pem", "--tls-key", sFolder + "/key.pem"});
    ASSERT_TRUE(server.IsRunning());
    const HttpRequest request = Request(server.HostAndPort(), "--B\r\n", sLargeFile);

    const HttpResult untrusted = HTTP.POSTWrapper(Upload(server, true), request);
    EXPECT_EQ(untrusted.nFailure, HttpFailure::CertificateRejected) << untrusted.sDescription;
    EXPECT_FALSE(untrusted.bShown);
    EXPECT_TRUE(server.Requests().empty());

    Tls.sCaFile = sFolder + "/cert.pem";
    const HttpResult trusted = HTTP.POSTWrapper(Upload(server, true), request);
    ASSERT_TRUE(trusted.Ok()) << trusted.sDescription;
    EXPECT_EQ(trusted.sResponse.rfind("HTTP/1.1 302 Found\r\nLocation: http://localhost/elsewhere\r\n", 0), 0u);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].nBodyLength, 5 + nLargeBytes);
    EXPECT_EQ(requests[0].sHost, server.HostAndPort());
    EXPECT_NE(std::find(requests[0].Headers.begin(), requests[0].Headers.end(),
                        std::pair<std::string, std::string>("Cookie", "ZM_TEST=true; ZM_AUTH_TOKEN=tok")),
              requests[0].Headers.end());
    EXPECT_TRUE(Dialogs.Shown.empty());
}

} // namespace
} // namespace qv
