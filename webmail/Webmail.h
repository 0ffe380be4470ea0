// Opening the account's web mail, logged in through the server's pre-authentication redirect when the user
// asked for it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "platform/Shell.h"
#include "platform/WindowTree.h"

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

// The web mail's address with the program's own token; with sTo, a new message to that address.
std::string WebmailAddress(const WebmailAccount& account, const std::string& sTo);
// The same with a token of the browser's own. No redirect target: newer servers strip its host or refuse it
// unless it is on their list, while the default target with the compose fields appended works on all of them.
std::string SingleSignOnAddress(const WebmailAccount& account, const std::string& sBrowserToken,
                                const std::string& sTo);

class Webmail
{
public:
    Webmail(IShell& shell, IClock& clock, IWindowTree& windows, ITimers& timers)
        : Shell(shell), Clock(clock), Windows(windows), Timers(timers)
    {
    }

    // False when not logged in: the settings are what the user needs then. A plain opening brings an open
    // web-mail window forward; anything else opens the address and, half a second later, the browser forward.
    [[nodiscard]] bool AbreZimbra(const WebmailAccount& account, const std::string& sTo);
    // The shell's "open" on an address; a shell that cannot even try is told to the user.
    bool AbreURL(const std::string& sURL);
    // sOpenCommand: the default browser's open command, as the user's settings name it.
    void BrowserForegroundTimer(const std::string& sOpenCommand);
    static constexpr int64_t nBrowserForegroundMs = 500;

    // A token for the browser alone, from a login of its own; none: the program's own token goes instead.
    std::function<std::optional<std::string>()> fnBrowserToken;
    std::function<void(const std::string&)> fnShowError;
    std::optional<int64_t> dUltimaApertura; // the monotonic clock at the last opening

private:
    IShell& Shell;
    IClock& Clock;
    IWindowTree& Windows;
    ITimers& Timers;
};

} // namespace qv
