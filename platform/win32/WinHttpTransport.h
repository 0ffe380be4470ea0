// The SOAP transport over WinHTTP: synchronous, TLS for https, with time limits, through the user's proxy.
#pragma once

#include "platform/SoapTransport.h"
#include "platform/win32/UniqueHandle.h"

namespace qv::win32
{

struct ProxySettings;

class WinHttpTransport final : public ISoapTransport
{
public:
    HttpReply Send(const std::string& sMethod, const std::string& sUrl, const std::string& sHost,
                   const std::string& sBody) override;

private:
    UniqueInternet OpenSession(const std::wstring& sAgent, const ProxySettings& proxy);
    void ApplyAutoProxy(HINTERNET hSession, HINTERNET hRequest, const std::wstring& sUrl, const ProxySettings& proxy);

    static constexpr ULONGLONG nDetectionRetryMs = 15 * 60 * 1000;
    bool bPerRequestProxy = false; // the session could not resolve the user's proxy itself
    ULONGLONG nNextDetection = 0;  // when automatic detection may be tried again after it found nothing
};

} // namespace qv::win32
