// TCP streams over Winsock for the program's own HTTP client.
#pragma once

#include "platform/Sockets.h"

namespace qv::win32
{

class WinsockSockets final : public ISockets
{
public:
    std::string LookupIPv4(const std::string& sHost) override;
    std::unique_ptr<IConnection> Connect(const std::string& sAddress, uint16_t nPort, const SocketTimeouts& timeouts,
                                         SocketResult& failure) override;
};

} // namespace qv::win32
