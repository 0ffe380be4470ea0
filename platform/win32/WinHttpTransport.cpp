#include "platform/win32/WinHttpTransport.h"

#include "platform/win32/Win32.h"

#include <winhttp.h>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Utf.h"

namespace qv::win32
{

namespace
{

constexpr size_t nMaxAnswerBytes = 64u << 20;
constexpr DWORD nTooLarge = 0xFFFF0001; // our own code: no WinHTTP error has it

TransportError Classify(DWORD nCode)
{
    switch (nCode)
    {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return TransportError::NameNotResolved;
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_CONNECTION_ERROR: return TransportError::CannotConnect;
    case ERROR_WINHTTP_TIMEOUT: return TransportError::TimedOut;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: // how Wine reports a certificate it does not trust
        return TransportError::CertificateRejected;
    default: return TransportError::Other;
    }
}

// The system's own words first; ours where it has none (Wine, a stripped system).
std::string Describe(DWORD nCode)
{
    if (nCode == nTooLarge)
        return "The server's answer is too large";
    wchar_t* pText = nullptr;
    const DWORD nChars =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
                             FORMAT_MESSAGE_IGNORE_INSERTS,
                         ::GetModuleHandleW(L"winhttp.dll"), nCode, 0, reinterpret_cast<wchar_t*>(&pText), 0, nullptr);
    std::wstring sText = nChars && pText ? std::wstring(pText, nChars) : std::wstring();
    if (pText)
        ::LocalFree(pText);
    while (!sText.empty() && (sText.back() == L'\r' || sText.back() == L'\n' || sText.back() == L' '))
        sText.pop_back();
    if (!sText.empty())
        return Utf8(sText);
    switch (nCode)
    {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return "The server name or address could not be resolved";
    case ERROR_WINHTTP_CANNOT_CONNECT: return "A connection with the server could not be established";
    case ERROR_WINHTTP_CONNECTION_ERROR: return "The connection with the server was reset";
    case ERROR_WINHTTP_TIMEOUT: return "The operation timed out";
    case ERROR_WINHTTP_INVALID_URL: return "The URL is invalid";
    case ERROR_WINHTTP_SECURE_FAILURE: return "A security error occurred: the server's certificate was not accepted";
    case ERROR_WINHTTP_SECURE_INVALID_CA:
        return "The server's certificate was issued by an authority that is not trusted";
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID: return "The server's certificate has expired or is not yet valid";
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID: return "The server's certificate was issued for another name";
    case ERROR_WINHTTP_SECURE_INVALID_CERT: return "The server's certificate is invalid";
    case ERROR_WINHTTP_SECURE_CERT_REVOKED: return "The server's certificate has been revoked";
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        return "A secure connection with the server could not be made: its certificate or its security settings "
               "were not accepted";
    default: return "Error " + std::to_string(nCode);
    }
}

HttpReply Failed(DWORD nCode, const char* sWhere)
{
    HttpReply reply;
    reply.nError = nCode == nTooLarge ? TransportError::Other : Classify(nCode);
    reply.nSystemCode = static_cast<long>(nCode);
    reply.sDescription = Describe(nCode);
    reply.sSource = std::string("WinHTTP ") + sWhere;
    return reply;
}

std::wstring QueryText(HINTERNET hRequest, DWORD nInfo)
{
    DWORD nBytes = 0;
    ::WinHttpQueryHeaders(hRequest, nInfo, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &nBytes, WINHTTP_NO_HEADER_INDEX);
    if (nBytes == 0)
        return {};
    std::wstring sText(nBytes / sizeof(wchar_t) + 1, L'\0');
    if (!::WinHttpQueryHeaders(hRequest, nInfo, WINHTTP_HEADER_NAME_BY_INDEX, sText.data(), &nBytes,
                               WINHTTP_NO_HEADER_INDEX))
        return {};
    sText.resize(nBytes / sizeof(wchar_t));
    return sText;
}

} // namespace

HttpReply WinHttpTransport::Send(const std::string& sMethod, const std::string& sUrl, const std::string& sHost,
                                 const std::string& sBody)
{
    const std::wstring sWideUrl = Utf16(sUrl);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!::WinHttpCrackUrl(sWideUrl.c_str(), 0, 0, &parts))
        return Failed(::GetLastError(), "address");
    const std::wstring sHostName(parts.lpszHostName, parts.dwHostNameLength);
    const std::wstring sPath = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                               std::wstring(parts.lpszExtraInfo ? parts.lpszExtraInfo : L"", parts.dwExtraInfoLength);
    const bool bSecure = parts.nScheme == INTERNET_SCHEME_HTTPS;

    const std::wstring sAgent = L"Quorvel/" + std::to_wstring(QUORVEL_VERSION_MAJOR) + L"." +
                                std::to_wstring(QUORVEL_VERSION_MINOR) + L"." +
                                std::to_wstring(QUORVEL_VERSION_REVISION);
    UniqueInternet hSession(::WinHttpOpen(sAgent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                          WINHTTP_NO_PROXY_BYPASS, 0));
    if (!hSession)
        return Failed(::GetLastError(), "open");
    // A server that never answers must not hold the program: 15 s to connect, 60 s to send and to receive.
    ::WinHttpSetTimeouts(hSession.get(), nConnectTimeoutSeconds * 1000, nConnectTimeoutSeconds * 1000,
                         nSendReceiveTimeoutSeconds * 1000, nSendReceiveTimeoutSeconds * 1000);

    UniqueInternet hConnect(::WinHttpConnect(hSession.get(), sHostName.c_str(), parts.nPort, 0));
    if (!hConnect)
        return Failed(::GetLastError(), "connect");
    UniqueInternet hRequest(::WinHttpOpenRequest(hConnect.get(), Utf16(sMethod).c_str(), sPath.c_str(), nullptr,
                                                 WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                 bSecure ? WINHTTP_FLAG_SECURE : 0));
    if (!hRequest)
        return Failed(::GetLastError(), "request");
    if (sMethod == "POST")
    {
        const std::wstring sHeader = L"Host: " + Utf16(sHost);
        ::WinHttpAddRequestHeaders(hRequest.get(), sHeader.c_str(), static_cast<DWORD>(-1),
                                   WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
    }
    if (!::WinHttpSendRequest(hRequest.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                              sBody.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(sBody.data()),
                              static_cast<DWORD>(sBody.size()), static_cast<DWORD>(sBody.size()), 0))
        return Failed(::GetLastError(), "send");
    if (!::WinHttpReceiveResponse(hRequest.get(), nullptr))
        return Failed(::GetLastError(), "receive");

    HttpReply reply;
    reply.nError = TransportError::None;
    DWORD nStatus = 0, nStatusBytes = sizeof nStatus;
    ::WinHttpQueryHeaders(hRequest.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &nStatus, &nStatusBytes, WINHTTP_NO_HEADER_INDEX);
    reply.nStatus = static_cast<long>(nStatus);
    reply.sStatusText = Utf8(QueryText(hRequest.get(), WINHTTP_QUERY_STATUS_TEXT));

    for (;;)
    {
        DWORD nAvailable = 0;
        if (!::WinHttpQueryDataAvailable(hRequest.get(), &nAvailable))
            return Failed(::GetLastError(), "receive");
        if (nAvailable == 0)
            break;
        if (reply.sBody.size() + nAvailable > nMaxAnswerBytes)
            return Failed(nTooLarge, "receive");
        const size_t nAt = reply.sBody.size();
        reply.sBody.resize(nAt + nAvailable);
        DWORD nRead = 0;
        if (!::WinHttpReadData(hRequest.get(), reply.sBody.data() + nAt, nAvailable, &nRead))
            return Failed(::GetLastError(), "receive");
        reply.sBody.resize(nAt + nRead);
    }
    return reply;
}

} // namespace qv::win32
