// TCP streams over BSD sockets, for the integration tests on Linux.
#pragma once

#include "platform/Sockets.h"

namespace qv
{

class PosixSockets final : public ISockets
{
public:
    std::string LookupIPv4(const std::string& sHost) override;
    std::unique_ptr<IConnection> Connect(const std::string& sAddress, uint16_t nPort, const SocketTimeouts& timeouts,
                                         SocketResult& failure) override;
};

} // namespace qv
