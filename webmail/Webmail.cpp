#include "webmail/Webmail.h"

#include "platform/Text.h"
#include "webmail/BrowserWindows.h"

namespace qv
{

namespace
{

// Exactly these nine characters, '%' first so that the escapes made later are not escaped again.
std::string EncodeRecipient(std::string sTo)
{
    const std::pair<const char*, const char*> replacements[] = {
        {"%", "%25"}, {"#", "%23"}, {"?", "%3F"},  {"&", "%26"}, {" ", "%20"},
        {"/", "%2F"}, {":", "%3A"}, {"\\", "%5C"}, {"+", "%2B"},
    };
    for (const auto& [sFrom, sTo2] : replacements)
        sTo = ReplaceAll(std::move(sTo), sFrom, sTo2);
    return sTo;
}

constexpr int64_t nDoubleOpenMs = 3000;

} // namespace

std::string WebmailAddress(const WebmailAccount& account, const std::string& sTo)
{
    const std::string sScheme = account.bSsl ? "https://" : "http://";
    const bool bLogin = account.bLogin;
    std::string sPath;
    if (bLogin && account.sServerVersion.substr(0, 13) == "7.1.4_GA_2555")
        sPath = "/service/preauth?isredirect=1&authtoken=" + account.sAuthToken + "&redirectURL=/zimbra/mail";
    else if (bLogin)
        sPath = "/service/preauth?isredirect=1&authtoken=" + account.sAuthToken + "&redirectURL=" + sScheme +
                account.sHost + "/zimbra/mail";
    else
        sPath = "/zimbra/mail";
    std::string sAddress = sScheme + account.sHost + sPath;
    if (!sTo.empty())
        sAddress += bLogin ? "%3Fview=compose%26to=" + EncodeRecipient(sTo) : "?view=compose&to=" + sTo;
    return sAddress;
}

bool Webmail::AbreZimbra(const WebmailAccount& account, const std::string& sTo)
{
    if (account.sAuthToken.empty())
        return false;
    const int64_t nNow = Clock.MonotonicMs(); // a clock set back must not block every opening until it catches up
    if (dUltimaApertura && (nNow - *dUltimaApertura) / 1000 < nDoubleOpenMs / 1000)
        return true; // a double click's second opening
    const std::string sAddress = WebmailAddress(account, sTo);
    dUltimaApertura = nNow;
    const WindowId nOpen = FindWebmailWindow(Windows);
    if (nOpen != 0 && !ContainsNoCase(sAddress, "compose"))
    {
        Windows.Activate(nOpen);
        return true;
    }
    Shell.OpenUrl(sAddress);
    Timers.Start(TimerId::Browser, nBrowserForegroundMs);
    return true;
}

void Webmail::BrowserForegroundTimer(const std::string& sOpenCommand)
{
    Timers.Stop(TimerId::Browser);
    if (const WindowId nBrowser = FindBrowserWindow(Windows, DefaultBrowserClasses(sOpenCommand)))
        Windows.Activate(nBrowser);
}

} // namespace qv
