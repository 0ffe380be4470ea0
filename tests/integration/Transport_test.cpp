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
protected:
    std::string SoapUrl(const FakeServer& server) const { return "http://" + server.HostAndPort() + "/service/soap"; }
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

TEST_F(Transport, AProbeThatIsRefusedStopsBeforeThePost)
{
    FakeServer server("probe_404");
    Account(server);
    EXPECT_FALSE(Cycle.Comprobar());
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(Session.sLastError, "Request to " + SoapUrl(server) +
                                      "\r\nproduced the following error\r\nNot Found\r\n"
                                      "Try checking or unchecking 'Use Safe Connection'");
    EXPECT_FALSE(Session.bServerProbed);
}

TEST_F(Transport, AServerFaultWithStatus500IsReadAsAFault)
{
    FakeServer server("soap_500");
    Account(server);
    EXPECT_FALSE(Cycle.Comprobar());
    EXPECT_NE(Session.sLastError.find("system failure"), std::string::npos) << Session.sLastError;
    EXPECT_TRUE(Session.bServerProbed);
}

TEST_F(Transport, AServerThatNeverAnswersTimesOut)
{
    FakeServer server("hang");
    Account(server);
    Soap.nReceiveTimeoutSeconds = 2;
    EXPECT_FALSE(Cycle.Comprobar());
    EXPECT_EQ(Session.sLastError.rfind("Request to " + SoapUrl(server) + "\r\n", 0), 0u) << Session.sLastError;
}

TEST_F(Transport, ANameThatDoesNotResolveAndAClosedPortGiveTheTemplate)
{
    for (const std::string sHost : {"nonexistent.invalid", "127.0.0.1:1"})
    {
        Account(sHost);
        EXPECT_EQ(Session.SendSoapRequest("<x/>"), "");
        EXPECT_EQ(Session.sLastError.rfind("Request to http://" + sHost + "/service/soap\r\nproduced", 0), 0u)
            << Session.sLastError;
    }
}

TEST_F(Transport, AFiveMegabyteAnswerIsRead)
{
    FakeServer server("huge_answer");
    Account(server);
    ASSERT_TRUE(Cycle.Comprobar()) << Session.sLastError;
    EXPECT_FALSE(Session.sAuthToken.empty());
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
    EXPECT_EQ(Session.sLastError.find("Request to"), std::string::npos) << Session.sLastError;
    EXPECT_EQ(Session.sLastError.find("Error "), std::string::npos) << Session.sLastError;
    EXPECT_TRUE(server.Requests().empty());
    std::filesystem::remove_all(sFolder);
}

} // namespace
} // namespace qv
