// The program's own small HTTP client for the upload: one request per connection, read until the server closes
// it or the announced length has come; over TLS when the address says https. Beside it the cookie table and the
// text helpers that the upload and the drafts need.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/Sockets.h"
#include "sending/HttpMessage.h"

namespace qv
{

enum class HttpFailure {
    None,
    NotStarted,
    InvalidSocket,
    NameNotResolved,
    CannotConnect,
    TimedOut,
    SendFailed,
    ReceiveFailed,
    BodyUnreadable,
    NoHeaderEnd,
    CertificateRejected,
    TooLarge,
    Other
};

// Every failed request comes back once as a failure; bShown says the client's own connection message has already
// told the user, so that the caller does not tell it again.
struct HttpResult
{
    HttpFailure nFailure = HttpFailure::None;
    long nSystemCode = 0;
    std::string sDescription;
    bool bShown = false;
    std::string sResponse; // status line, headers, empty line and body as received; a part of it after a failure
    bool Ok() const { return nFailure == HttpFailure::None; }
};

struct CookieEntry
{
    std::string sKey;
    std::string sValue;
};

// Where a request goes: the host and port of the address (the port written there, else the scheme's own).
struct HttpTarget
{
    bool bSecure = false;
    std::string sAuthority; // host and port as written
    std::string sHost;
    uint16_t nPort = 80;
    std::string sPortText = "80"; // as written, for the messages
    std::string sPath = "/";
    bool bValid = true; // false for a port that is not a number from 1 to 65535
};
HttpTarget SplitUrl(std::string_view sUrl);

class CHTTP
{
public:
    CHTTP(ISockets& sockets, ITlsHttp& tls, IFiles& files, IDialogs& dialogs);

    // The upload job, filled by the main window and read back by the draft composition.
    std::string sAuthToken, sFilePaths, sFileNames, sHost, sAttachId, sSubject, sFromAddress, sFromName, sToName, sBody;

    // Events.
    std::function<void(const std::string& Header, int32_t bytesTotal)> Starting;
    std::function<void(int32_t Number, const std::string& Description)> CodErrorSubida;
    std::function<void()> Completed;
    std::function<void(const std::string& sChunk)> ErrorDeSubida;
    // Indexes added or changed; a removed index i as its complement, -i-1.
    std::function<void(const std::vector<int16_t>& ChangedCookies)> CookieUpdate;

    // GET of the address; Set-Cookie headers of the answer update the table. Shows no connection message but the
    // one about a name that cannot be resolved.
    HttpResult GETWrapper(const std::string& sURL, const std::string& sReferer = {});
    // Sends the request as it is to the host of the address, the body streamed; a host other than the request's
    // own Host never receives its Cookie line. Connection failures are shown as messages.
    HttpResult POSTWrapper(const std::string& sURL, const HttpRequest& Datastring, const std::string& sReferer = {});

    void ClearCookies();
    std::string CookieKey_GET(int16_t CIndex) const;
    std::string CookieValue_GET(int16_t CIndex) const;
    void CookieKey_SET(int16_t CIndex, const std::string& CookieKey);
    void CookieValue_SET(int16_t CIndex, const std::string& CookieValue);
    void RemoveCookie(int16_t CIndex);
    int16_t UBoundCookies() const { return nUBoundCookies; }
    void UBoundCookies(int16_t PropVal) { nUBoundCookies = PropVal; }

    std::string Proxy() const { return sProxy; }
    void Proxy(std::string_view strProxy);
    std::string URL() const { return sUrl; }
    void URL(std::string_view strURL);
    int32_t ProxyPort() const { return nProxyPort; }
    void ProxyPort(int32_t lngProxyPort) { nProxyPort = lngProxyPort; }
    int32_t AccessType() const { return nAccessType; }
    void AccessType(int32_t acAccess) { nAccessType = acAccess; }
    int32_t FileSize() const { return nFileSize; }

    void Cancel() { ResetTransfer(); }
    void ResetTransfer();

    // UTF-8 bytes ready to be sent; a byte that is no part of a UTF-8 character is taken as the code page's
    // character of that value.
    static std::string Ansi2Utf8(std::string_view sCadena);
    static std::string HtmlEscape(std::string_view sCadena);
    // An RFC 2047 "Q" word for a header parameter, in words of at most 70 bytes that never split a character.
    static std::string EncodeHeaderWord(std::string_view sBytes);
    static std::string FileNameFromPath(std::string_view sPath);

    // The GET request's text, cookies included.
    std::string BuildGetRequest(const std::string& sPath, const std::string& sHostName,
                                const std::string& sRefererLine) const;
    std::string BuildCookieHeader() const;
    // Reads the Set-Cookie headers of an answer into the table.
    void ParseSetCookies(std::string_view sResponse);

    SocketTimeouts Timeouts; // tests shorten them

    static constexpr size_t nMaxAnswerBytes = 16u << 20;

private:
    HttpResult Exchange(const std::string& sURL, const HttpRequest& request, bool bPost);
    HttpResult SocketExchange(const HttpTarget& target, const HttpRequest& request, bool bPost);
    HttpResult SecureExchange(const HttpTarget& target, const HttpRequest& request, bool bPost);
    std::string ResolveHostAddress(const std::string& sHostName);
    void ShowConnectionMessage(const std::string& sText);
    void Changed(std::vector<int16_t> changed);

    ISockets& Sockets;
    ITlsHttp& Tls;
    IFiles& Files;
    IDialogs& Dialogs;

    int32_t nAccessType = 0;
    std::string sProxy;
    std::string sUrl;
    int32_t nProxyPort = 0;
    std::string sHeaderBuffer;
    int16_t nHeadersParsed = 0;
    int32_t nFileSize = 0;
    std::vector<CookieEntry> Cookies{CookieEntry{}};
    int16_t nUBoundCookies = 0;
};

} // namespace qv
