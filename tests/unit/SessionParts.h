// The check's parts on their own: the server session, the answer reader and the check cycle, over a transport
// of the test's choice and fakes for the rest of the machine.
#pragma once

#include <string>

#include "platform/Dialogs.h"
#include "platform/Product.h"
#include "platform/fake/Fakes.h"
#include "presentation/ApptItems.h"
#include "session/AnswerReader.h"
#include "session/CheckCycle.h"
#include "session/ServerSession.h"

namespace qv::test
{

// A session as a login on a current server leaves it.
inline void LoggedIn(ServerSession& session)
{
    session.sAuthToken = "0_ab";
    session.sSessionId = "1842";
    session.sSessionElement = "session";
    session.sNotifySeq = "7";
    session.sChangeToken = "4271";
    session.sServerVersion = "8.8.15_GA";
    session.bServerProbed = true;
}

template <typename Transport>
class SessionParts
{
public:
    SessionParts()
    {
        // What the settings form does when the server refuses the password.
        Session.fnLoginRejected = [this] {
            sPassword.clear();
            Controls.txtPassword.clear();
        };
        Reader.fnPreferencesRead = [this] {
            Controls.lblMailPollInterval = std::to_string(Reader.nMailPollingInterval);
        };
    }

    void Account(const std::string& sHost, const std::string& sUser = "alice", const std::string& sPass = "secret")
    {
        Controls.txtZimbraHost = sHost;
        Controls.txtUsuario = sUser;
        sPassword = sPass;
        Session.ServerChanged(sHost);
    }

    Transport Soap;
    fake::FakeClock Clock;
    fake::FakeTimers Timers;
    fake::FakeView View;
    fake::FakeSystem System;
    fake::FakeMainIcon Icon;
    fake::FakeDialogs Dialogs;
    SettingsControls Controls;
    std::string sPassword;
    ServerSession Session{Soap, Clock, Icon, Controls};
    fake::FakeLocale Locale;
    fake::FakeItemIcons ItemIcons;
    ApptItems Items{ItemIcons};
    AnswerReader Reader{Session, Icon, System, Clock, Locale, Items, Controls,
                        [this](const std::string& sText, int nStyle) {
                            return Dialogs.ShowMessageBox(sText, nStyle | nMbTopMost, ProductCaption());
                        }};
    CheckCycle Cycle{Session, Reader, Clock, Timers, View, System, Controls, sPassword};
};

} // namespace qv::test
