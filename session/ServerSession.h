// The program's session with the server: where it is, who the server says we are, how far its notifications
// have been read, and the one SOAP exchange every request goes through.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <pugixml.hpp>
#include <string>

#include "platform/Clock.h"
#include "platform/MainView.h"
#include "platform/SoapTransport.h"
#include "platform/Tray.h"
#include "session/Envelope.h"
#include "session/XPath.h"

namespace qv
{

// One POST and the classification of its answer, changing nothing: sBody is empty unless the server answered
// with an envelope that is not a rejected login.
struct SoapExchange
{
    std::string sBody;
    std::string sError; // what to tell the user; empty also for an answer that is no envelope but a 200
    bool bRejected = false;
    bool bResetProbe = false; // the address answered, but not as a SOAP service: probe it again next time
};
SoapExchange ExchangeSoap(ISoapTransport& soap, const std::string& sUrl, const std::string& sHost,
                          const std::string& sEnvelope);

class ServerSession
{
public:
    // The account comes from the settings form's controls.
    ServerSession(ISoapTransport& soap, IClock& clock, IMainIcon& icon, const SettingsControls& controls);

    // The server refused the user or the password: the form forgets the password.
    std::function<void()> fnLoginRejected;

    [[nodiscard]] std::string SendSoapRequest(const std::string& sEnvelope);
    std::string SoapAddress() const;
    // A login of its own for the browser, to the configured server: the server spends the token it hands to the
    // browser, so the program's own must stay out of the address. Leaves every field of the session as it was
    // (hence const) and tells nobody of a failure: the caller falls back to the program's token.
    [[nodiscard]] std::optional<std::string> LoginForBrowser(const std::string& sPassword) const;
    // What an envelope sent within this session carries in its header.
    SessionHeader Header() const { return {sAuthToken, sSessionElement, sSessionId, sNotifySeq, sChangeToken}; }
    // Why the last request failed, as the user reads it: never an empty box.
    std::string LastErrorText() const;

    // The account in the boxes changed: the next request logs in again.
    void Forget();
    void ServerChanged(const std::string& sHost);
    // Token, session and sequence forgotten; a long silent icon goes back to normal.
    void EndSession();

    // The session's part of an answer: version, session id, login, referral. bDone: nothing else of the answer
    // is to be read, and the result is the check's. bLogin: the answer is a login's, with preferences.
    [[nodiscard]] bool ProcessSession(XPath& xp, const pugi::xml_node& root, bool& bDone, bool& bLogin);

    std::string sServerHost;
    std::string sServerVersion;
    std::string sAuthToken;
    std::string sSessionElement = "sessionId";
    std::string sSessionId;
    std::string sNotifySeq;
    std::string sChangeToken;
    bool bServerProbed = false;
    std::string sLastError;
    std::string sRequestSessionId; // the id the running request carried, to tell a replaced session
    bool bLoginRequest = false;    // the running request is a login
    int32_t nMailPollingShort = 10;
    std::optional<int64_t> dLastSuccess; // UTC milliseconds

private:
    void ResetStaleIcon();
    std::string NotAZimbraServerText() const;

    ISoapTransport& Soap;
    IClock& Clock;
    IMainIcon& Icon;
    const SettingsControls& Controls;
};

} // namespace qv
