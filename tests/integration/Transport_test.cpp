// The core's SOAP client against the fake server through a real HTTP stack: what goes on the wire, byte for byte,
// and how each kind of answer is classified.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "ServerFixture.h"
#include "session/Envelope.h"

namespace qv
{
namespace
{

using test::FakeServer;

class Transport : public test::ServerFixture
{
};

TEST_F(Transport, ALoginProbesThenPostsTheExactEnvelope)
{
    FakeServer server(R"({"account": {"name": "alice", "password": "p&ss<word>"}})");
    Account(server, "p&ss<word>");
    const std::string sEnvelope = LoginEnvelope("alice", "p&ss<word>");
    const std::string sAnswer = Session.SendSoapRequest(sEnvelope);
    ASSERT_FALSE(sAnswer.empty()) << Session.sLastError;
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].sMethod, "OPTIONS");
    EXPECT_EQ(requests[0].sPath, "/service/soap");
    EXPECT_EQ(requests[0].sBody, "");
    EXPECT_EQ(requests[1].sMethod, "POST");
    EXPECT_EQ(requests[1].sHost, server.HostAndPort());
    EXPECT_EQ(requests[1].sBody, sEnvelope);
}

// How each kind of answer ends a check: a refused probe sends no POST, a fault that comes with status 500 is still
// read as a fault, a server that never answers times out, a 5 MB answer is read whole, and a name that does not
// resolve or a closed port gives the template.
TEST_F(Transport, EachKindOfAnswerEndsTheCheckAsItShould)
{
    struct Case
    {
        const char* sScenario;
        bool bChecked;
        size_t nRequests;
        bool bTemplate;     // the error begins with the template
        const char* sError; // then (or alone) this
        bool bProbed;
    };
    const Case cases[] = {
        {"probe_404", false, 1, true, "Not Found\r\nTry checking or unchecking 'Use Safe Connection'", false},
        {"soap_500", false, 2, false, "system failure", true},
        {"hang", false, 2, true, "", true},
        {"huge_answer", true, 2, false, "", true},
    };
    const auto Template = [](const std::string& sHost) {
        return "Request to http://" + sHost + "/service/soap\r\nproduced the following error\r\n";
    };
    Soap.nReceiveTimeoutSeconds = 2;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.sScenario);
        FakeServer server(c.sScenario);
        Account(server);
        EXPECT_EQ(Cycle.Comprobar(), c.bChecked);
        EXPECT_EQ(server.Requests().size(), c.nRequests);
        const std::string sError = (c.bTemplate ? Template(server.HostAndPort()) : std::string()) + c.sError;
        EXPECT_EQ(Session.sLastError.rfind(sError, 0), 0u) << Session.sLastError;
        EXPECT_EQ(Session.bServerProbed, c.bProbed);
        EXPECT_EQ(Session.sAuthToken.empty(), !c.bChecked);
    }
    for (const std::string sHost : {"nonexistent.invalid", "127.0.0.1:1"})
    {
        Account(sHost);
        EXPECT_EQ(Session.SendSoapRequest("<x/>"), "");
        EXPECT_EQ(Session.sLastError.rfind(Template(sHost), 0), 0u) << Session.sLastError;
    }
}

// A server whose certificate nobody vouches for: the user is told what the check of the certificate said.
TEST_F(Transport, AnUntrustedCertificateIsReportedByItsDescription)
{
    const std::string sFolder = std::filesystem::temp_directory_path() / ("quorvel-tls-" + std::to_string(getpid()));
    std::filesystem::create_directories(sFolder);
    const std::string sCommand = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -keyout '" +
                                 sFolder + "/key.pem' -out '" + sFolder + "/cert.pem' >/dev/null 2>&1";
    ASSERT_EQ(std::system(sCommand.c_str()), 0);
    FakeServer server({}, {"--tls-cert", sFolder + "/cert.pem", "--tls-key", sFolder + "/key.pem"});
    Account(server);
    Controls.chkSSL = 1;
    EXPECT_EQ(Session.SendSoapRequest("<x/>"), "");
    EXPECT_FALSE(Session.sLastError.empty());
    EXPECT_FALSE(Has(Session.sLastError, "Request to") || Has(Session.sLastError, "Error ")) << Session.sLastError;
    EXPECT_TRUE(server.Requests().empty());
    std::filesystem::remove_all(sFolder);
}

} // namespace
} // namespace qv
