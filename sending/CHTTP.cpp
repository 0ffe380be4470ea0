#include "sending/CHTTP.h"

#include <algorithm>
#include <charconv>

#include "platform/Product.h"
#include "platform/Text.h"

namespace qv
{

namespace
{

constexpr size_t nReceiveBlock = 16 * 1024;
constexpr size_t nSendBlock = 64 * 1024;
constexpr size_t nMaxHeadBytes = 64 * 1024; // beyond it the answer is read to its end without looking for its length
constexpr size_t nMaxWordInput = 70;

// Four decimal numbers from 0 to 255 joined by ".".
bool IsDottedIPv4(std::string_view sText)
{
    int nParts = 0;
    while (true)
    {
        const size_t nDot = sText.find('.');
        const std::string_view sPart = sText.substr(0, nDot);
        unsigned nValue = 0;
        const auto [pEnd, nError] = std::from_chars(sPart.data(), sPart.data() + sPart.size(), nValue);
        if (sPart.empty() || sPart.size() > 3 || nError != std::errc() || pEnd != sPart.data() + sPart.size() ||
            nValue > 255)
            return false;
        ++nParts;
        if (nDot == std::string_view::npos)
            return nParts == 4;
        sText.remove_prefix(nDot + 1);
    }
}

std::string HostOnly(std::string_view sAuthority)
{
    const size_t nColon = sAuthority.rfind(':');
    return AsciiLower(nColon == std::string_view::npos ? sAuthority : sAuthority.substr(0, nColon));
}

// The request line and headers of a head, with the cookie kept for the request's own host: a request sent
// elsewhere (a redirect's address) names that host and carries no Cookie line.
struct Head
{
    std::string sRequestLine;
    HeaderList Headers;
    bool bElsewhere = false;
};

Head HeadFor(std::string_view sHead, const HttpTarget& target)
{
    Head head;
    head.sRequestLine = std::string(sHead.substr(0, sHead.find("\r\n")));
    head.Headers = ParseHeaders(sHead);
    const auto bIsHost = [](const auto& header) { return AsciiLower(header.first) == "host"; };
    const auto host = std::find_if(head.Headers.begin(), head.Headers.end(), bIsHost);
    if (host != head.Headers.end() && HostOnly(host->second) == AsciiLower(target.sHost))
        return head;
    head.bElsewhere = true;
    std::erase_if(head.Headers, [](const auto& header) { return AsciiLower(header.first) == "cookie"; });
    if (host != head.Headers.end())
        host->second = target.sAuthority;
    return head;
}

// The head as the caller wrote it, byte for byte, unless it goes to another host.
std::string WireHead(std::string_view sHead, const HttpTarget& target)
{
    const Head head = HeadFor(sHead, target);
    if (!head.bElsewhere)
        return std::string(sHead);
    std::string sText = head.sRequestLine + "\r\n";
    for (const auto& [sName, sValue] : head.Headers)
        sText += sName + ": " + sValue + "\r\n";
    return sText + "\r\n";
}

HttpResult Failure(HttpFailure nFailure, std::string sDescription, long nCode = 0, bool bShown = false)
{
    HttpResult result;
    result.nFailure = nFailure;
    result.sDescription = std::move(sDescription);
    result.nSystemCode = nCode;
    result.bShown = bShown;
    return result;
}

} // namespace

HttpTarget SplitUrl(std::string_view sUrl)
{
    HttpTarget target;
    if (StartsWithNoCase(sUrl, "http://"))
        sUrl.remove_prefix(7);
    else if (StartsWithNoCase(sUrl, "https://"))
    {
        sUrl.remove_prefix(8);
        target.bSecure = true;
        target.nPort = 443;
        target.sPortText = "443";
    }
    const size_t nSlash = sUrl.find('/');
    const std::string_view sAuthority = sUrl.substr(0, nSlash);
    target.sAuthority = std::string(sAuthority);
    if (nSlash != std::string_view::npos)
        target.sPath = std::string(sUrl.substr(nSlash));
    const size_t nColon = sAuthority.rfind(':');
    target.sHost = std::string(sAuthority.substr(0, nColon));
    if (nColon != std::string_view::npos)
    {
        const std::string_view sPort = sAuthority.substr(nColon + 1);
        target.sPortText = std::string(sPort);
        unsigned nPort = 0;
        const auto [pEnd, nError] = std::from_chars(sPort.data(), sPort.data() + sPort.size(), nPort);
        target.bValid = !sPort.empty() && nError == std::errc() && pEnd == sPort.data() + sPort.size() && nPort >= 1 &&
                        nPort <= 65535;
        target.nPort = target.bValid ? static_cast<uint16_t>(nPort) : 0;
    }
    return target;
}

CHTTP::CHTTP(ISockets& sockets, ITlsHttp& tls, IFiles& files, IDialogs& dialogs)
    : Sockets(sockets)
    , Tls(tls)
    , Files(files)
    , Dialogs(dialogs)
{
}

void CHTTP::Proxy(std::string_view strProxy)
{
    sProxy = Trim(strProxy);
}

void CHTTP::URL(std::string_view strURL)
{
    sUrl = Trim(strURL);
}

void CHTTP::ResetTransfer()
{
    sHeaderBuffer.clear();
    nHeadersParsed = 0;
    nFileSize = 0;
}

std::string CHTTP::Ansi2Utf8(std::string_view sCadena)
{
    return EncodeUtf8(DecodeUtf8(sCadena));
}

std::string CHTTP::HtmlEscape(std::string_view sCadena)
{
    return ReplaceAll(ReplaceAll(ReplaceAll(std::string(sCadena), "&", "&amp;"), "<", "&lt;"), ">", "&gt;");
}

std::string CHTTP::EncodeHeaderWord(std::string_view sBytes)
{
    // A control character would end the header line (CR, LF) or corrupt it: a name never needs one.
    std::string sText;
    for (const char c : sBytes)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            sText += c;
    if (sText.size() > nMaxWordInput)
    {
        // Each word holds whole characters; text that is no UTF-8 is cut at the limit.
        size_t nCut = nMaxWordInput;
        while (nCut > nMaxWordInput - 3 && (static_cast<unsigned char>(sText[nCut]) & 0xC0) == 0x80)
            --nCut;
        if ((static_cast<unsigned char>(sText[nCut]) & 0xC0) == 0x80)
            nCut = nMaxWordInput;
        return EncodeHeaderWord(sText.substr(0, nCut)) + EncodeHeaderWord(sText.substr(nCut));
    }
    if (std::none_of(sText.begin(), sText.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
        return sText;
    static constexpr char sHex[] = "0123456789ABCDEF";
    std::string sWord = "=?utf-8?Q?";
    for (const char c : sText)
    {
        const auto n = static_cast<unsigned char>(c);
        if (c == ' ')
            sWord += '_';
        else if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
            sWord += c;
        else
            sWord += {'=', sHex[n >> 4], sHex[n & 15]};
    }
    return sWord + "?=";
}

std::string CHTTP::FileNameFromPath(std::string_view sPath)
{
    if (sPath.size() < 2)
        return std::string(sPath);
    const size_t nSlash = sPath.rfind('\\', sPath.size() - 2);
    return std::string(nSlash == std::string_view::npos ? sPath : sPath.substr(nSlash + 1));
}

void CHTTP::Changed(std::vector<int16_t> changed)
{
    if (!changed.empty() && CookieUpdate)
        CookieUpdate(changed);
}

void CHTTP::ClearCookies()
{
    std::vector<int16_t> removed;
    for (int i = static_cast<int>(Cookies.size()) - 1; i >= 0; --i)
        removed.push_back(static_cast<int16_t>(-i - 1));
    Cookies.assign(1, CookieEntry{});
    nUBoundCookies = 0;
    Changed(std::move(removed));
}

std::string CHTTP::CookieKey_GET(int16_t CIndex) const
{
    return CIndex >= 0 && static_cast<size_t>(CIndex) < Cookies.size() ? Cookies[CIndex].sKey : std::string();
}

std::string CHTTP::CookieValue_GET(int16_t CIndex) const
{
    return CIndex >= 0 && static_cast<size_t>(CIndex) < Cookies.size() ? Cookies[CIndex].sValue : std::string();
}

void CHTTP::CookieKey_SET(int16_t CIndex, const std::string& CookieKey)
{
    if (CIndex < 0)
        return;
    if (static_cast<size_t>(CIndex) >= Cookies.size())
    {
        Cookies.resize(static_cast<size_t>(CIndex) + 1);
        nUBoundCookies = CIndex;
    }
    Cookies[CIndex].sKey = CookieKey;
    Changed({CIndex});
}

void CHTTP::CookieValue_SET(int16_t CIndex, const std::string& CookieValue)
{
    if (CIndex < 0)
        return;
    if (static_cast<size_t>(CIndex) >= Cookies.size())
    {
        Cookies.resize(static_cast<size_t>(CIndex) + 1);
        nUBoundCookies = CIndex;
    }
    Cookies[CIndex].sValue = CookieValue;
    Changed({CIndex});
}

void CHTTP::RemoveCookie(int16_t CIndex)
{
    if (CIndex < 0 || static_cast<size_t>(CIndex) >= Cookies.size())
        return;
    Cookies.erase(Cookies.begin() + CIndex);
    if (Cookies.empty()) // the table keeps its one entry
        Cookies.emplace_back();
    nUBoundCookies = static_cast<int16_t>(Cookies.size() - 1);
    Changed({static_cast<int16_t>(-CIndex - 1)});
}

std::string CHTTP::BuildCookieHeader() const
{
    if (Cookies.size() == 1)
        return {};
    std::string sPairs;
    for (const CookieEntry& cookie : Cookies)
        sPairs += cookie.sKey + "=" + cookie.sValue + "; ";
    sPairs.resize(sPairs.size() - 2);
    return sPairs.empty() ? std::string() : "Cookie: " + sPairs + "\r\n";
}

void CHTTP::ParseSetCookies(std::string_view sResponse)
{
    std::vector<int16_t> changed;
    const auto answer = ParseAnswer(sResponse);
    for (const auto& [sName, sValue] : answer ? answer->Headers : HeaderList())
    {
        if (AsciiLower(sName) != "set-cookie")
            continue;
        // The pair ends at the first ";" or with the line; the value keeps any "=" of its own (base64 padding).
        const std::string sPair = Trim(std::string_view(sValue).substr(0, sValue.find(';')));
        const size_t nEquals = sPair.find('=');
        if (nEquals == std::string::npos || nEquals == 0)
            continue;
        const std::string sKey = sPair.substr(0, nEquals), sCookieValue = sPair.substr(nEquals + 1);
        bool bFound = false;
        for (size_t i = 0; i < Cookies.size(); ++i)
            if (Cookies[i].sKey == sKey)
            {
                Cookies[i].sValue = sCookieValue;
                changed.push_back(static_cast<int16_t>(i));
                bFound = true;
            }
        if (bFound)
            continue;
        if (!Cookies.back().sKey.empty())
            Cookies.emplace_back();
        Cookies.back() = {sKey, sCookieValue};
        changed.push_back(static_cast<int16_t>(Cookies.size() - 1));
    }
    nUBoundCookies = static_cast<int16_t>(Cookies.size() - 1);
    Changed(std::move(changed));
}

std::string CHTTP::BuildGetRequest(const std::string& sPath, const std::string& sHostName,
                                   const std::string& sRefererLine) const
{
    return "GET " + sPath + " HTTP/1.1\r\n" + "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n" +
           sRefererLine + "Accept-Language: en-us\r\n" + "Content-Type: application/x-www-form-urlencoded\r\n" +
           "Accept-Encoding: \r\n" + "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows XP)\r\n" +
           "Host: " + sHostName + "\r\n" + "Connection: Close\r\n" + BuildCookieHeader() + "\r\n";
}

HttpResult CHTTP::GETWrapper(const std::string& sURL, const std::string& sReferer)
{
    const HttpTarget target = SplitUrl(sURL);
    HttpRequest request;
    request.sHead = BuildGetRequest(target.sPath, target.sAuthority,
                                    sReferer.empty() ? std::string() : "Referer: " + sReferer + "\r\n");
    HttpResult result = Exchange(sURL, request, false);
    ParseSetCookies(result.sResponse);
    return result;
}

HttpResult CHTTP::POSTWrapper(const std::string& sURL, const HttpRequest& Datastring, const std::string&)
{
    return Exchange(sURL, Datastring, true);
}

void CHTTP::ShowConnectionMessage(const std::string& sText)
{
    Dialogs.ShowMessageBox(sText, nMbExclamation | nMbTopMost, std::string(sProductTitle));
}

std::string CHTTP::ResolveHostAddress(const std::string& sHostName)
{
    if (IsDottedIPv4(sHostName))
        return sHostName;
    std::string sAddress = Sockets.LookupIPv4(sHostName);
    if (sAddress.empty())
        ShowConnectionMessage("Problem resolving address " + sHostName);
    return sAddress;
}

HttpResult CHTTP::Exchange(const std::string& sURL, const HttpRequest& request, bool bPost)
{
    const HttpTarget target = SplitUrl(sURL);
    HttpResult result;
    if (!target.bValid)
    {
        if (bPost)
            ShowConnectionMessage("Problem connecting to " + target.sHost + " at port " + target.sPortText);
        result = Failure(HttpFailure::CannotConnect, "The port " + target.sPortText + " is not valid", 0, bPost);
    }
    else
        result = target.bSecure ? SecureExchange(target, request, bPost) : SocketExchange(target, request, bPost);
    if (result.Ok() && !ParseAnswer(result.sResponse))
    {
        result.nFailure = HttpFailure::NoHeaderEnd;
        result.sDescription = result.sResponse.empty() ? "The server closed the connection without answering"
                              : result.sResponse.find("\r\n\r\n") == std::string::npos
                                  ? "The server's answer ended before the end of its headers"
                                  : "The server's answer is not HTTP";
    }
    return result;
}

HttpResult CHTTP::SocketExchange(const HttpTarget& target, const HttpRequest& request, bool bPost)
{
    const std::string sConnectText = "Problem connecting to " + target.sHost + " at port " + target.sPortText;
    const std::string sAddress = ResolveHostAddress(target.sHost);
    if (sAddress.empty())
    {
        if (bPost)
            ShowConnectionMessage(sConnectText);
        return Failure(HttpFailure::NameNotResolved, "The name " + target.sHost + " could not be resolved", 0, true);
    }
    SocketResult failure;
    const auto connection = Sockets.Connect(sAddress, target.nPort, Timeouts, failure);
    if (!connection)
    {
        switch (failure.nError)
        {
        case SocketError::NotStarted:
            return Failure(HttpFailure::NotStarted, "The network could not be started", failure.nSystemCode);
        case SocketError::NoSocket:
            if (bPost)
                ShowConnectionMessage("Invalid socket");
            return Failure(HttpFailure::InvalidSocket, "Invalid socket", failure.nSystemCode, bPost);
        default:
            if (bPost)
                ShowConnectionMessage(sConnectText);
            return Failure(HttpFailure::CannotConnect, sConnectText, failure.nSystemCode, bPost);
        }
    }

    const auto sendFailure = [](const SocketResult& sent) {
        return sent.nError == SocketError::TimedOut
                   ? Failure(HttpFailure::TimedOut, "The server stopped taking the request", sent.nSystemCode)
                   : Failure(HttpFailure::SendFailed, "The connection broke while the request was sent",
                             sent.nSystemCode);
    };
    if (const SocketResult sent = connection->SendAll(WireHead(request.sHead, target));
        sent.nError != SocketError::None)
        return sendFailure(sent);
    BodyReader body(request.Body, Files);
    std::string sBlock(nSendBlock, '\0');
    for (;;)
    {
        const long long nRead = body.Read(sBlock.data(), sBlock.size());
        if (nRead < 0)
            return Failure(HttpFailure::BodyUnreadable, body.sFailure);
        if (nRead == 0)
            break;
        const SocketResult sent = connection->SendAll(std::string_view(sBlock.data(), static_cast<size_t>(nRead)));
        if (sent.nError != SocketError::None)
            return sendFailure(sent);
    }

    // Until the server closes the connection, or the length it announced has come: a server that keeps the
    // connection open after its answer must not hold the program until the time-out.
    HttpResult result;
    std::optional<size_t> nComplete;
    std::string sReceived(nReceiveBlock, '\0');
    for (;;)
    {
        const SocketResult received = connection->Receive(sReceived.data(), sReceived.size());
        if (received.nError != SocketError::None)
        {
            HttpResult failed =
                received.nError == SocketError::TimedOut
                    ? Failure(HttpFailure::TimedOut, "The server did not answer in time", received.nSystemCode)
                    : Failure(HttpFailure::ReceiveFailed, "The connection broke while the answer was read",
                              received.nSystemCode);
            failed.sResponse = std::move(result.sResponse);
            return failed;
        }
        if (received.nBytes == 0)
            break;
        result.sResponse.append(sReceived.data(), received.nBytes);
        if (result.sResponse.size() > nMaxAnswerBytes)
            return Failure(HttpFailure::TooLarge, "The server's answer is too large");
        if (!nComplete && result.sResponse.size() <= nMaxHeadBytes)
            nComplete = CompleteLength(result.sResponse);
        if (nComplete && result.sResponse.size() >= *nComplete)
            break;
    }
    return result;
}

HttpResult CHTTP::SecureExchange(const HttpTarget& target, const HttpRequest& request, bool bPost)
{
    const Head head = HeadFor(request.sHead, target);
    TlsRequest secure;
    const size_t nBlank = head.sRequestLine.find(' ');
    secure.sMethod = head.sRequestLine.substr(0, nBlank);
    const size_t nPathEnd = head.sRequestLine.find(' ', nBlank + 1);
    secure.sPath =
        nBlank == std::string::npos ? target.sPath : head.sRequestLine.substr(nBlank + 1, nPathEnd - nBlank - 1);
    secure.sHost = target.sHost;
    secure.nPort = target.nPort;
    for (const auto& header : head.Headers)
    {
        const std::string sName = AsciiLower(header.first);
        if (sName != "content-length" && sName != "connection") // the stack writes these itself
            secure.Headers.push_back(header);
    }
    secure.nBodyLength = request.BodyLength();
    BodyReader body(request.Body, Files);
    secure.fnReadBody = [&body](char* pBuffer, size_t nMax) { return body.Read(pBuffer, nMax); };

    const TlsAnswer answer = Tls.Exchange(secure, Timeouts);
    if (!body.sFailure.empty())
        return Failure(HttpFailure::BodyUnreadable, body.sFailure);
    const std::string sConnectText = "Problem connecting to " + target.sHost + " at port " + target.sPortText;
    switch (answer.nError)
    {
    case TransportError::None: break;
    case TransportError::NameNotResolved:
        ShowConnectionMessage("Problem resolving address " + target.sHost);
        if (bPost)
            ShowConnectionMessage(sConnectText);
        return Failure(HttpFailure::NameNotResolved, answer.sDescription, answer.nSystemCode, true);
    case TransportError::CannotConnect:
        if (bPost)
            ShowConnectionMessage(sConnectText);
        return Failure(HttpFailure::CannotConnect, answer.sDescription, answer.nSystemCode, bPost);
    case TransportError::CertificateRejected:
        return Failure(HttpFailure::CertificateRejected, answer.sDescription, answer.nSystemCode);
    case TransportError::TimedOut: return Failure(HttpFailure::TimedOut, answer.sDescription, answer.nSystemCode);
    default: return Failure(HttpFailure::Other, answer.sDescription, answer.nSystemCode);
    }
    HttpResult result;
    result.sResponse = answer.sHead + answer.sBody;
    if (result.sResponse.size() > nMaxAnswerBytes)
        return Failure(HttpFailure::TooLarge, "The server's answer is too large");
    return result;
}

} // namespace qv
