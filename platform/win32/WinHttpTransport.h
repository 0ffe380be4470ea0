// The SOAP transport over WinHTTP: synchronous, TLS for https, with time limits.
#pragma once

#include "platform/SoapTransport.h"

namespace qv::win32
{

class WinHttpTransport final : public ISoapTransport
{
public:
    HttpReply Send(const std::string& sMethod, const std::string& sUrl, const std::string& sHost,
                   const std::string& sBody) override;
};

} // namespace qv::win32
