// The SOAP transport over libcurl, for the integration tests on Linux.
#pragma once

#include "platform/SoapTransport.h"

namespace qv
{

class CurlTransport final : public ISoapTransport
{
public:
    CurlTransport();
    ~CurlTransport() override;
    CurlTransport(const CurlTransport&) = delete;
    CurlTransport& operator=(const CurlTransport&) = delete;

    HttpReply Send(const std::string& sMethod, const std::string& sUrl, const std::string& sHost,
                   const std::string& sBody) override;

    long nReceiveTimeoutSeconds = nSendReceiveTimeoutSeconds; // tests shorten it
};

} // namespace qv
