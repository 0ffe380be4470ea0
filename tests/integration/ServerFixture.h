// The check's parts talking to the fake server through libcurl; everything else of the machine is fake.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "fakezimbra/client/FakeServer.h"
#include "platform/posix/CurlTransport.h"
#include "unit/SessionParts.h"

namespace qv::test
{

class ServerFixture : public ::testing::Test, public SessionParts<CurlTransport>
{
protected:
    using SessionParts::Account;
    void Account(const FakeServer& server, const std::string& sPass = "secret")
    {
        ASSERT_TRUE(server.IsRunning());
        Account(server.HostAndPort(), "alice", sPass);
    }
    static bool Has(const std::string& sText, const std::string& sPart)
    {
        return sText.find(sPart) != std::string::npos;
    }
    // Logged in by a first check.
    void SignIn(const FakeServer& server)
    {
        Account(server);
        ASSERT_TRUE(Cycle.Comprobar()) << Session.sLastError;
    }
};

// What a shell command writes to its standard output.
inline std::string Output(const std::string& sCommand)
{
    std::string sOut;
    FILE* pPipe = ::popen(sCommand.c_str(), "r");
    char buffer[4096];
    for (size_t n; pPipe && (n = std::fread(buffer, 1, sizeof buffer, pPipe)) > 0;)
        sOut.append(buffer, n);
    if (pPipe)
        ::pclose(pPipe);
    return sOut;
}

// A certificate for 127.0.0.1 that nobody vouches for, as cert.pem and key.pem in the folder.
inline void MakeCertificate(const std::string& sFolder)
{
    const std::string sCommand = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
                                 "-addext subjectAltName=IP:127.0.0.1 -keyout '" +
                                 sFolder + "/key.pem' -out '" + sFolder + "/cert.pem' >/dev/null 2>&1";
    ASSERT_EQ(std::system(sCommand.c_str()), 0);
}

} // namespace qv::test
