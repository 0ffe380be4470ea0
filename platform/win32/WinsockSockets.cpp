#include "platform/win32/WinsockSockets.h"

#include "platform/win32/Win32.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <climits>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Utf.h"

namespace qv::win32
{

namespace
{

// Winsock 2.2 for as long as one lookup or connection needs it.
class WinsockStarted
{
public:
    WinsockStarted()
    {
        WSADATA data{};
        bStarted = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    WinsockStarted(const WinsockStarted&) = delete;
    WinsockStarted& operator=(const WinsockStarted&) = delete;
    ~WinsockStarted()
    {
        if (bStarted)
            ::WSACleanup();
    }
    explicit operator bool() const { return bStarted; }

private:
    bool bStarted = false;
};

SocketResult Failed(SocketError nError)
{
    return {nError, static_cast<long>(::WSAGetLastError()), 0};
}

SocketResult FailedNow()
{
    const int nCode = ::WSAGetLastError();
    switch (nCode)
    {
    case WSAETIMEDOUT: return {SocketError::TimedOut, nCode, 0};
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAESHUTDOWN: return {SocketError::Reset, nCode, 0};
    default: return {SocketError::Other, nCode, 0};
    }
}

class WinsockConnection final : public IConnection
{
public:
    WinsockConnection(std::unique_ptr<WinsockStarted> started, UniqueSocket socket)
        : Started(std::move(started))
        , Socket(std::move(socket))
    {
    }

    SocketResult SendAll(std::string_view sData) override
    {
        while (!sData.empty())
        {
            const int nSent =
                ::send(Socket.get(), sData.data(), static_cast<int>(std::min<size_t>(sData.size(), INT_MAX)), 0);
            if (nSent == SOCKET_ERROR)
                return FailedNow();
            sData.remove_prefix(static_cast<size_t>(nSent));
        }
        return {};
    }

    SocketResult Receive(char* pBuffer, size_t nMax) override
    {
        const int nReceived = ::recv(Socket.get(), pBuffer, static_cast<int>(std::min<size_t>(nMax, INT_MAX)), 0);
        if (nReceived == SOCKET_ERROR)
            return FailedNow();
        return {SocketError::None, 0, static_cast<size_t>(nReceived)};
    }

private:
    std::unique_ptr<WinsockStarted> Started; // released after the socket
    UniqueSocket Socket;
};

} // namespace

std::string WinsockSockets::LookupIPv4(const std::string& sHost)
{
    WinsockStarted started;
    if (!started)
        return {};
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* pFound = nullptr;
    if (::GetAddrInfoW(Utf16(sHost).c_str(), nullptr, &hints, &pFound) != 0 || !pFound)
        return {};
    const auto* pBytes =
        reinterpret_cast<const unsigned char*>(&reinterpret_cast<const sockaddr_in*>(pFound->ai_addr)->sin_addr);
    std::string sAddress = std::to_string(pBytes[0]) + "." + std::to_string(pBytes[1]) + "." +
                           std::to_string(pBytes[2]) + "." + std::to_string(pBytes[3]);
    ::FreeAddrInfoW(pFound);
    return sAddress;
}

std::unique_ptr<IConnection> WinsockSockets::Connect(const std::string& sAddress, uint16_t nPort,
                                                     const SocketTimeouts& timeouts, SocketResult& failure)
{
    auto started = std::make_unique<WinsockStarted>();
    if (!*started)
    {
        failure = {SocketError::NotStarted, 0, 0};
        return nullptr;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(nPort);
    if (::InetPtonW(AF_INET, Utf16(sAddress).c_str(), &address.sin_addr) != 1)
    {
        failure = {SocketError::CannotConnect, WSAEINVAL, 0};
        return nullptr;
    }
    UniqueSocket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!socket)
    {
        failure = Failed(SocketError::NoSocket);
        return nullptr;
    }
    // Connect without blocking, to wait no longer than the connect time-out.
    u_long nNonBlocking = 1;
    ::ioctlsocket(socket.get(), FIONBIO, &nNonBlocking);
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR)
    {
        if (::WSAGetLastError() != WSAEWOULDBLOCK)
        {
            failure = Failed(SocketError::CannotConnect);
            return nullptr;
        }
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(socket.get(), &writable);
        FD_SET(socket.get(), &failed);
        timeval limit{timeouts.nConnectMs / 1000, (timeouts.nConnectMs % 1000) * 1000};
        const int nReady = ::select(0, nullptr, &writable, &failed, &limit);
        if (nReady == 0)
        {
            failure = {SocketError::TimedOut, WSAETIMEDOUT, 0};
            return nullptr;
        }
        if (nReady == SOCKET_ERROR || FD_ISSET(socket.get(), &failed))
        {
            int nError = 0, nSize = sizeof nError;
            ::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&nError), &nSize);
            failure = {SocketError::CannotConnect, nError, 0};
            return nullptr;
        }
    }
    u_long nBlocking = 0;
    ::ioctlsocket(socket.get(), FIONBIO, &nBlocking);
    const DWORD nSendMs = static_cast<DWORD>(timeouts.nSendMs), nReceiveMs = static_cast<DWORD>(timeouts.nReceiveMs);
    ::setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&nSendMs), sizeof nSendMs);
    ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&nReceiveMs), sizeof nReceiveMs);
    return std::make_unique<WinsockConnection>(std::move(started), std::move(socket));
}

} // namespace qv::win32
