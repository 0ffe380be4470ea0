#include "platform/win32/WinHttpTransport.h"

#include "platform/win32/Win32.h"

#include <winhttp.h>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WinHttpErrors.h"
#include "platform/win32/Utf.h"

namespace qv::win32
{

namespace
{

constexpr size_t nMaxAnswerBytes = 64u << 20;
constexpr DWORD nTooLarge = 0xFFFF0001; // our own code: no WinHTTP error has it

HttpReply Failed(DWORD nCode, const char* sWhere)
{
    HttpReply reply;
    reply.nError = nCode == nTooLarge ? TransportError::Other : ClassifyWinHttpError(nCode);
    reply.nSystemCode = static_cast<long>(nCode);
    reply.sDescription = nCode == nTooLarge ? "The server's answer is too large" : DescribeWinHttpError(nCode);
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

// What the user chose in the Internet settings. A value that cannot be read looks like no proxy at all.
struct ProxySettings
{
    bool bAutoDetect = false;
    std::wstring sAutoConfigUrl, sProxy, sBypass;
};

namespace
{

std::wstring TakeGlobal(LPWSTR pText)
{
    std::wstring sText = pText ? pText : L"";
    if (pText)
        ::GlobalFree(pText);
    return sText;
}

ProxySettings UserProxySettings()
{
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    ProxySettings settings;
    if (!::WinHttpGetIEProxyConfigForCurrentUser(&config))
        return settings;
    settings.bAutoDetect = config.fAutoDetect != FALSE;
    settings.sAutoConfigUrl = TakeGlobal(config.lpszAutoConfigUrl);
    settings.sProxy = TakeGlobal(config.lpszProxy);
    settings.sBypass = TakeGlobal(config.lpszProxyBypass);
    return settings;
}

} // namespace

UniqueInternet WinHttpTransport::OpenSession(const std::wstring& sAgent, const ProxySettings& proxy)
{
    bPerRequestProxy = false;
    // A proxy typed by hand, with nothing to detect, is the same on every system: the named proxy and its
    // bypass list. (Wine accepts the automatic access type below but goes direct with it.)
    if (!proxy.sProxy.empty() && !proxy.bAutoDetect && proxy.sAutoConfigUrl.empty())
        return UniqueInternet(::WinHttpOpen(sAgent.c_str(), WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.sProxy.c_str(),
                                            proxy.sBypass.empty() ? WINHTTP_NO_PROXY_BYPASS : proxy.sBypass.c_str(),
                                            0));
    // Windows 8.1 and later resolve detection, scripts and the user's settings themselves.
    UniqueInternet hSession(::WinHttpOpen(sAgent.c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                          WINHTTP_NO_PROXY_BYPASS, 0));
    if (hSession)
        return hSession;
    // Older systems refuse it: the machine's WinHTTP proxy, and each request asks the user's settings.
    hSession.reset(::WinHttpOpen(sAgent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0));
    bPerRequestProxy = hSession && (proxy.bAutoDetect || !proxy.sAutoConfigUrl.empty() || !proxy.sProxy.empty());
    return hSession;
}

void WinHttpTransport::ApplyAutoProxy(HINTERNET hSession, HINTERNET hRequest, const std::wstring& sUrl,
                                      const ProxySettings& proxy)
{
    const ULONGLONG nNow = ::GetTickCount64();
    const bool bDetect = proxy.bAutoDetect && nNow >= nNextDetection;
    if (bDetect || !proxy.sAutoConfigUrl.empty())
    {
        WINHTTP_AUTOPROXY_OPTIONS options{};
        if (bDetect)
        {
            options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
            options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        }
        if (!proxy.sAutoConfigUrl.empty())
        {
            options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
            options.lpszAutoConfigUrl = proxy.sAutoConfigUrl.c_str();
        }
        options.fAutoLogonIfChallenged = TRUE;
        WINHTTP_PROXY_INFO info{};
        if (::WinHttpGetProxyForUrl(hSession, sUrl.c_str(), &options, &info))
        {
            (void)::WinHttpSetOption(hRequest, WINHTTP_OPTION_PROXY, &info, sizeof info); // else it goes direct
            (void)TakeGlobal(info.lpszProxy);
            (void)TakeGlobal(info.lpszProxyBypass);
            return;
        }
        // Detection waits for DHCP and DNS each time it finds nothing: a network without it is asked again later.
        if (bDetect && ::GetLastError() == ERROR_WINHTTP_AUTODETECTION_FAILED)
            nNextDetection = nNow + nDetectionRetryMs;
    }
    if (proxy.sProxy.empty())
        return;
    WINHTTP_PROXY_INFO info{};
    info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    std::wstring sProxy = proxy.sProxy, sBypass = proxy.sBypass;
    info.lpszProxy = sProxy.data();
    info.lpszProxyBypass = sBypass.empty() ? nullptr : sBypass.data();
    (void)::WinHttpSetOption(hRequest, WINHTTP_OPTION_PROXY, &info, sizeof info);
}

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
    const ProxySettings proxy = UserProxySettings();
    UniqueInternet hSession = OpenSession(sAgent, proxy);
    if (!hSession)
        return Failed(::GetLastError(), "open");
    // A server that never answers must not hold the program: 15 s to connect, 60 s to send and to receive. The name
    // lookup keeps Windows' default (none of WinHTTP's own; the system resolver gives up by itself): with a time-out
    // Wine resolves on a pool thread, which then stays for good with a megabyte of stack.
    ::WinHttpSetTimeouts(hSession.get(), 0, nConnectTimeoutSeconds * 1000,
                         nSendReceiveTimeoutSeconds * 1000, nSendReceiveTimeoutSeconds * 1000);

    UniqueInternet hConnect(::WinHttpConnect(hSession.get(), sHostName.c_str(), parts.nPort, 0));
    if (!hConnect)
        return Failed(::GetLastError(), "connect");
    UniqueInternet hRequest(::WinHttpOpenRequest(hConnect.get(), Utf16(sMethod).c_str(), sPath.c_str(), nullptr,
                                                 WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                 bSecure ? WINHTTP_FLAG_SECURE : 0));
    if (!hRequest)
        return Failed(::GetLastError(), "request");
    // Every request opens its own session, so a kept-alive connection is never reused; under Wine a cached
    // connection (like a lookup with a time-out) keeps a pool thread, and its megabyte of stack, alive for good.
    DWORD nNoKeepAlive = WINHTTP_DISABLE_KEEP_ALIVE;
    (void)::WinHttpSetOption(hRequest.get(), WINHTTP_OPTION_DISABLE_FEATURE, &nNoKeepAlive, sizeof nNoKeepAlive);
    if (bPerRequestProxy)
        ApplyAutoProxy(hSession.get(), hRequest.get(), sWideUrl, proxy);
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
