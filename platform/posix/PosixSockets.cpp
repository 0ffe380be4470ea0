#include "platform/posix/PosixSockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace qv
{

namespace
{

class UniqueFd
{
public:
    explicit UniqueFd(int nOwned) noexcept : fd(nOwned) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int get() const noexcept { return fd; }
    int release() noexcept { return std::exchange(fd, -1); }

private:
    int fd;
};

SocketError Classify(int nCode)
{
    switch (nCode)
    {
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case ETIMEDOUT: return SocketError::TimedOut;
    case ECONNRESET:
    case EPIPE: return SocketError::Reset;
    default: return SocketError::Other;
    }
}

class PosixConnection final : public IConnection
{
public:
    explicit PosixConnection(int fd) : Socket(fd) {}

    SocketResult SendAll(std::string_view sData) override
    {
        while (!sData.empty())
        {
            const ssize_t nSent = ::send(Socket.get(), sData.data(), sData.size(), MSG_NOSIGNAL);
            if (nSent < 0)
            {
                if (errno == EINTR)
                    continue;
                return {Classify(errno), errno, 0};
            }
            sData.remove_prefix(static_cast<size_t>(nSent));
        }
        return {};
    }

    SocketResult Receive(char* pBuffer, size_t nMax) override
    {
        for (;;)
        {
            const ssize_t nReceived = ::recv(Socket.get(), pBuffer, nMax, 0);
            if (nReceived >= 0)
                return {SocketError::None, 0, static_cast<size_t>(nReceived)};
            if (errno != EINTR)
                return {Classify(errno), errno, 0};
        }
    }

private:
    UniqueFd Socket;
};

timeval TimeValue(int nMs)
{
    return {nMs / 1000, (nMs % 1000) * 1000};
}

} // namespace

std::string PosixSockets::LookupIPv4(const std::string& sHost)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* pFound = nullptr;
    if (::getaddrinfo(sHost.c_str(), nullptr, &hints, &pFound) != 0 || !pFound)
        return {};
    char sText[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(pFound->ai_addr)->sin_addr, sText, sizeof sText);
    ::freeaddrinfo(pFound);
    return sText;
}

std::unique_ptr<IConnection> PosixSockets::Connect(const std::string& sAddress, uint16_t nPort,
                                                   const SocketTimeouts& timeouts, SocketResult& failure)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(nPort);
    if (::inet_pton(AF_INET, sAddress.c_str(), &address.sin_addr) != 1)
    {
        failure = {SocketError::CannotConnect, EINVAL, 0};
        return nullptr;
    }
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.get() < 0)
    {
        failure = {SocketError::NoSocket, errno, 0};
        return nullptr;
    }
    // Connect without blocking, to wait no longer than the connect time-out.
    const int nFlags = ::fcntl(socket.get(), F_GETFL);
    ::fcntl(socket.get(), F_SETFL, nFlags | O_NONBLOCK);
    if (::connect(socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    {
        if (errno != EINPROGRESS)
        {
            failure = {SocketError::CannotConnect, errno, 0};
            return nullptr;
        }
        pollfd wait{socket.get(), POLLOUT, 0};
        int nReady = 0;
        do
            nReady = ::poll(&wait, 1, timeouts.nConnectMs);
        while (nReady < 0 && errno == EINTR);
        if (nReady == 0)
        {
            failure = {SocketError::TimedOut, ETIMEDOUT, 0};
            return nullptr;
        }
        int nError = 0;
        socklen_t nSize = sizeof nError;
        ::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &nError, &nSize);
        if (nReady < 0 || nError != 0)
        {
            failure = {SocketError::CannotConnect, nReady < 0 ? errno : nError, 0};
            return nullptr;
        }
    }
    ::fcntl(socket.get(), F_SETFL, nFlags);
    const timeval send = TimeValue(timeouts.nSendMs), receive = TimeValue(timeouts.nReceiveMs);
    ::setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, &send, sizeof send);
    ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, &receive, sizeof receive);
    return std::make_unique<PosixConnection>(socket.release());
}

} // namespace qv
