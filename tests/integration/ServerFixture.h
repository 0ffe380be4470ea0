// The check's parts talking to the fake server through libcurl; everything else of the machine is fake.
#pragma once

#include <gtest/gtest.h>

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
};

} // namespace qv::test
