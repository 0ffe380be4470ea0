// The HTTP client's secure exchange over libcurl, for the integration tests on Linux.
#pragma once

#include "platform/Sockets.h"

namespace qv
{

class CurlTls final : public ITlsHttp
{
public:
    CurlTls();
    ~CurlTls() override;
    CurlTls(const CurlTls&) = delete;
    CurlTls& operator=(const CurlTls&) = delete;

    TlsAnswer Exchange(const TlsRequest& request, const SocketTimeouts& timeouts) override;

    std::string sCaFile; // certificates to trust instead of the system's; tests name their own
};

} // namespace qv
