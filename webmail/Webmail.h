// Opening the account's web mail, logged in through the server's pre-authentication redirect when the user
// asked for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "platform/Shell.h"

namespace qv
{

// What the address is made of, from the settings and the session.
struct WebmailAccount
{
    bool bSsl = false;
    bool bLogin = true; // "Webmail Login"
    std::string sHost;  // the server box's text
    std::string sAuthToken;
    std::string sServerVersion;
};

// The web mail's address; with sTo, a new message to that address.
std::string WebmailAddress(const WebmailAccount& account, const std::string& sTo);

class Webmail
{
public:
    Webmail(IShell& shell, IClock& clock) : Shell(shell), Clock(clock) {}

    // False when not logged in: the settings are what the user needs then.
    [[nodiscard]] bool AbreZimbra(const WebmailAccount& account, const std::string& sTo);

    std::optional<int64_t> dUltimaApertura; // the monotonic clock at the last opening

private:
    IShell& Shell;
    IClock& Clock;
};

} // namespace qv
