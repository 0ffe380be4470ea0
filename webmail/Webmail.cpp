#include "webmail/Webmail.h"

#include <array>

#include "platform/Text.h"
#include "webmail/BrowserWindows.h"

namespace qv
{

namespace
{

// A control character cannot be part of an address, and a double quote would end the browser's argument on
// its command line: neither may come through from a link or an answer.
std::string Sanitised(const std::string& sText)
{
    std::string sOut;
    sOut.reserve(sText.size());
    for (const char c : sText)
    {
        if (c == '"')
            sOut += "%22";
        else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            sOut += c;
    }
    return sOut;
}

// Exactly these nine characters, '%' first so that the escapes made later are not escaped again.
std::string EncodeRecipient(std::string sTo)
{
    const std::pair<const char*, const char*> replacements[] = {
        {"%", "%25"}, {"#", "%23"}, {"?", "%3F"},  {"&", "%26"}, {" ", "%20"},
        {"/", "%2F"}, {":", "%3A"}, {"\\", "%5C"}, {"+", "%2B"},
    };
    for (const auto& [sFrom, sTo2] : replacements)
        sTo = ReplaceAll(std::move(sTo), sFrom, sTo2);
    return Sanitised(sTo);
}

// Every byte but the unreserved ones escaped: a value can then never end its parameter or start another.
std::string EncodeFully(std::string_view sText)
{
    static constexpr char sHex[] = "0123456789ABCDEF";
    std::string sOut;
    sOut.reserve(sText.size() * 3);
    for (const char c : sText)
    {
        const auto n = static_cast<unsigned char>(c);
        if ((n >= 'A' && n <= 'Z') || (n >= 'a' && n <= 'z') || (n >= '0' && n <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~')
            sOut += c;
        else
            sOut.append({'%', sHex[n >> 4], sHex[n & 15]});
    }
    return sOut;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The link's own escapes undone before the value is escaped as a whole; a zero byte is dropped.
std::string DecodePercent(std::string_view sText)
{
    std::string sOut;
    for (size_t i = 0; i < sText.size(); ++i)
    {
        char c = sText[i];
        if (c == '%' && i + 2 < sText.size() && HexValue(sText[i + 1]) >= 0 && HexValue(sText[i + 2]) >= 0)
        {
            c = static_cast<char>(HexValue(sText[i + 1]) * 16 + HexValue(sText[i + 2]));
            i += 2;
        }
        if (c != '\0')
            sOut += c;
    }
    return sOut;
}

// The fields a link may fill in, in the order they are passed on; anything else in the text is dropped.
constexpr std::array<std::string_view, 5> sComposeFields = {"to", "cc", "bcc", "subject", "body"};

// The recipient text as the second copy hands it over: the link's address, then its header fields joined
// with "&". Recipients named twice are joined; a subject or body named twice keeps the first.
std::string ComposeQuery(const std::string& sTo)
{
    std::array<std::string, sComposeFields.size()> sValues;
    std::array<bool, sComposeFields.size()> bSeen{};
    size_t nStart = 0;
    for (bool bFirst = true; nStart <= sTo.size(); bFirst = false)
    {
        const size_t nEnd = std::min(sTo.find('&', nStart), sTo.size());
        const std::string_view sPart = std::string_view(sTo).substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        std::string_view sName = "to", sValue = sPart;
        if (!bFirst)
        {
            const size_t nEquals = sPart.find('=');
            if (nEquals == std::string_view::npos)
                continue;
            sName = sPart.substr(0, nEquals);
            sValue = sPart.substr(nEquals + 1);
        }
        const std::string sLower = AsciiLower(sName);
        for (size_t i = 0; i < sComposeFields.size(); ++i)
        {
            if (sLower != sComposeFields[i] || sValue.empty() || (i >= 3 && bSeen[i]))
                continue;
            if (bSeen[i])
                sValues[i] += ',';
            sValues[i] += DecodePercent(sValue);
            bSeen[i] = true;
        }
    }
    std::string sQuery = "&view=compose";
    for (size_t i = 0; i < sComposeFields.size(); ++i)
    {
        if (bSeen[i])
        {
            sQuery.append("&").append(sComposeFields[i]).append("=");
            sQuery += EncodeFully(sValues[i]);
        }
    }
    return sQuery;
}

constexpr int64_t nDoubleOpenMs = 3000;

} // namespace

std::string WebmailAddress(const WebmailAccount& account, const std::string& sTo)
{
    const std::string sScheme = account.bSsl ? "https://" : "http://";
    const bool bLogin = account.bLogin;
    std::string sPath;
    if (bLogin && account.sServerVersion.substr(0, 13) == "7.1.4_GA_2555")
        sPath = "/service/preauth?isredirect=1&authtoken=" + EncodeFully(account.sAuthToken) +
                "&redirectURL=/zimbra/mail";
    else if (bLogin)
        sPath = "/service/preauth?isredirect=1&authtoken=" + EncodeFully(account.sAuthToken) + "&redirectURL=" +
                sScheme + account.sHost + "/zimbra/mail";
    else
        sPath = "/zimbra/mail";
    std::string sAddress = sScheme + account.sHost + sPath;
    if (!sTo.empty())
        sAddress += bLogin ? "%3Fview=compose%26to=" + EncodeRecipient(sTo) : "?view=compose&to=" + Sanitised(sTo);
    return sAddress;
}

std::string SingleSignOnAddress(const WebmailAccount& account, const std::string& sBrowserToken,
                                const std::string& sTo)
{
    std::string sAddress = std::string(account.bSsl ? "https://" : "http://") + account.sHost +
                           "/service/preauth?isredirect=1&authtoken=" + EncodeFully(sBrowserToken);
    if (!sTo.empty())
        sAddress += ComposeQuery(sTo);
    return sAddress;
}

bool Webmail::AbreZimbra(const WebmailAccount& account, const std::string& sTo)
{
    if (account.sAuthToken.empty())
        return false;
    const int64_t nNow = Clock.MonotonicMs(); // a clock set back must not block every opening until it catches up
    if (dUltimaApertura && (nNow - *dUltimaApertura) / 1000 < nDoubleOpenMs / 1000)
        return true; // a double click's second opening
    // Set before the browser's login, which may take a while: a second click meanwhile is still the same opening.
    dUltimaApertura = nNow;
    std::string sAddress = WebmailAddress(account, sTo);
    const WindowId nOpen = FindWebmailWindow(Windows);
    if (nOpen != 0 && !ContainsNoCase(sAddress, "compose"))
    {
        Windows.Activate(nOpen);
        return true;
    }
    if (account.bLogin && fnBrowserToken)
    {
        if (const std::optional<std::string> sToken = fnBrowserToken())
            sAddress = SingleSignOnAddress(account, *sToken, sTo);
    }
    if (AbreURL(sAddress))
        Timers.Start(TimerId::Browser, nBrowserForegroundMs);
    return true;
}

bool Webmail::AbreURL(const std::string& sURL)
{
    const std::optional<std::string> sFailure = Shell.OpenUrl(sURL);
    if (sFailure && fnShowError)
        fnShowError("Error 1001: " + *sFailure + "\r\nEntrada:vbShellExecute");
    return !sFailure;
}

void Webmail::BrowserForegroundTimer(const std::string& sOpenCommand)
{
    Timers.Stop(TimerId::Browser);
    if (const WindowId nBrowser = FindBrowserWindow(Windows, DefaultBrowserClasses(sOpenCommand)))
        Windows.Activate(nBrowser);
}

} // namespace qv
