// The core's SOAP client against the fake server through a real HTTP stack: how each kind of answer is classified.
// What a check sends, byte for byte, is the check cycle's integration test.
#include <unistd.h>

#include <filesystem>

#include "ServerFixture.h"

namespace qv
{
namespace
{

using test::FakeServer;

using Transport = test::ServerFixture;

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
    test::MakeCertificate(sFolder);
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
