// The HTTP client's secure exchange over WinHTTP: certificates checked, the body written in pieces, no redirect
// followed.
#pragma once

#include "platform/Sockets.h"

namespace qv::win32
{

class WinHttpTls final : public ITlsHttp
{
public:
    TlsAnswer Exchange(const TlsRequest& request, const SocketTimeouts& timeouts) override;
};

} // namespace qv::win32
