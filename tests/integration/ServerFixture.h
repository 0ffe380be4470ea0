// A frmMain that talks to the fake server through libcurl; everything else of the machine is fake.
#pragma once

#include <gtest/gtest.h>

#include "FakeServer.h"
#include "app/frmMain.h"
#include "platform/fake/Fakes.h"
#include "platform/posix/CurlTransport.h"

namespace qv::test
{

class ServerFixture : public ::testing::Test
{
protected:
    fake::FakeMachine M;
    CurlTransport Curl;
    Platform P{M.Registry, Curl,          M.Dialogs, M.Clock, M.Timers,   M.View,
               M.Tray,     M.Integration, M.System,  M.Shell, M.ItemIcons};
    frmMain Form{P};

    void Account(const FakeServer& server, const std::string& sPassword = "secret")
    {
        ASSERT_TRUE(server.IsRunning());
        Form.txtZimbraHost_Change(server.HostAndPort());
        Form.txtUsuario_Change("alice");
        Form.txtPassword_Change(sPassword);
        Form.CommitPassword();
    }
    static bool Has(const std::string& sText, const std::string& sPart)
    {
        return sText.find(sPart) != std::string::npos;
    }
};

} // namespace qv::test
