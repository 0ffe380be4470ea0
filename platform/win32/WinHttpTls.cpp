#include "platform/win32/WinHttpTls.h"

#include "platform/win32/Win32.h"

#include <winhttp.h>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WinHttpErrors.h"
#include "platform/win32/Utf.h"

namespace qv::win32
{

namespace
{

constexpr size_t nMaxAnswerBytes = 16u << 20;
constexpr size_t nPiece = 64 * 1024;

TlsAnswer Failed(DWORD nCode)
{
    TlsAnswer answer;
    answer.nError = ClassifyWinHttpError(nCode);
    answer.nSystemCode = static_cast<long>(nCode);
    answer.sDescription = DescribeWinHttpError(nCode);
    return answer;
}

TlsAnswer FailedNow()
{
    return Failed(::GetLastError());
}

} // namespace

TlsAnswer WinHttpTls::Exchange(const TlsRequest& request, const SocketTimeouts& timeouts)
{
    if (request.nBodyLength > MAXDWORD)
    {
        TlsAnswer answer;
        answer.sDescription = "The request is too large";
        return answer;
    }
    const std::wstring sAgent = L"Quorvel/" + std::to_wstring(QUORVEL_VERSION_MAJOR) + L"." +
                                std::to_wstring(QUORVEL_VERSION_MINOR) + L"." +
                                std::to_wstring(QUORVEL_VERSION_REVISION);
    // Windows 8.1 and later find the user's proxy themselves; older systems take the machine's WinHTTP proxy.
    // FIXME: the SOAP transport's fallbacks (a typed proxy under Wine, per-request detection on older systems) are
    // not shared with this exchange yet.
    UniqueInternet hSession(::WinHttpOpen(sAgent.c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                          WINHTTP_NO_PROXY_BYPASS, 0));
    if (!hSession)
        hSession.reset(::WinHttpOpen(sAgent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                     WINHTTP_NO_PROXY_BYPASS, 0));
    if (!hSession)
        return FailedNow();
    ::WinHttpSetTimeouts(hSession.get(), 0, timeouts.nConnectMs, timeouts.nSendMs, timeouts.nReceiveMs);
    UniqueInternet hConnect(::WinHttpConnect(hSession.get(), Utf16(request.sHost).c_str(), request.nPort, 0));
    if (!hConnect)
        return FailedNow();
    UniqueInternet hRequest(::WinHttpOpenRequest(hConnect.get(), Utf16(request.sMethod).c_str(),
                                                 Utf16(request.sPath).c_str(), nullptr, WINHTTP_NO_REFERER,
                                                 WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
    if (!hRequest)
        return FailedNow();
    // A redirect is the caller's to follow: WinHTTP would take the cookie along to any host. No kept-alive
    // connection either (see the SOAP transport), and no cookie of WinHTTP's own.
    DWORD nFeatures = WINHTTP_DISABLE_KEEP_ALIVE | WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES;
    (void)::WinHttpSetOption(hRequest.get(), WINHTTP_OPTION_DISABLE_FEATURE, &nFeatures, sizeof nFeatures);
    DWORD nNever = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    (void)::WinHttpSetOption(hRequest.get(), WINHTTP_OPTION_REDIRECT_POLICY, &nNever, sizeof nNever);

    std::wstring sHeaders;
    for (const auto& [sName, sValue] : request.Headers)
        sHeaders += Utf16(sName) + L": " + Utf16(sValue) + L"\r\n";
    if (!sHeaders.empty() && !::WinHttpAddRequestHeaders(hRequest.get(), sHeaders.c_str(), static_cast<DWORD>(-1),
                                                         WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
        return FailedNow();
    if (!::WinHttpSendRequest(hRequest.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                              static_cast<DWORD>(request.nBodyLength), 0))
        return FailedNow();
    std::string sPiece(nPiece, '\0');
    for (;;)
    {
        const long long nRead = request.fnReadBody(sPiece.data(), sPiece.size());
        if (nRead < 0)
        {
            TlsAnswer answer; // the caller knows what could not be read
            answer.sDescription = "The request's body could not be read";
            return answer;
        }
        if (nRead == 0)
            break;
        DWORD nWritten = 0;
        if (!::WinHttpWriteData(hRequest.get(), sPiece.data(), static_cast<DWORD>(nRead), &nWritten))
            return FailedNow();
    }
    if (!::WinHttpReceiveResponse(hRequest.get(), nullptr))
        return FailedNow();

    TlsAnswer answer;
    DWORD nBytes = 0;
    ::WinHttpQueryHeaders(hRequest.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, nullptr,
                          &nBytes, WINHTTP_NO_HEADER_INDEX);
    std::wstring sHead(nBytes / sizeof(wchar_t) + 1, L'\0');
    if (nBytes == 0 ||
        !::WinHttpQueryHeaders(hRequest.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                               sHead.data(), &nBytes, WINHTTP_NO_HEADER_INDEX))
        return FailedNow();
    sHead.resize(nBytes / sizeof(wchar_t));
    answer.sHead = Utf8(sHead);
    for (;;)
    {
        DWORD nAvailable = 0;
        if (!::WinHttpQueryDataAvailable(hRequest.get(), &nAvailable))
            return FailedNow();
        if (nAvailable == 0)
            break;
        if (answer.sBody.size() + nAvailable > nMaxAnswerBytes)
        {
            TlsAnswer tooLarge;
            tooLarge.sDescription = "The server's answer is too large";
            return tooLarge;
        }
        const size_t nAt = answer.sBody.size();
        answer.sBody.resize(nAt + nAvailable);
        DWORD nRead = 0;
        if (!::WinHttpReadData(hRequest.get(), answer.sBody.data() + nAt, nAvailable, &nRead))
            return FailedNow();
        answer.sBody.resize(nAt + nRead);
    }
    answer.nError = TransportError::None;
    return answer;
}

} // namespace qv::win32
