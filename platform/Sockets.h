// TCP streams for the program's own HTTP client, and the same client's secure exchange over the system's TLS stack.
// The platform reports facts; the core chooses the words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/SoapTransport.h"

namespace qv
{

enum class SocketError { None, NotStarted, NoSocket, NameNotResolved, CannotConnect, TimedOut, Reset, Other };

// The SOAP requests' limits by default; tests shorten them.
struct SocketTimeouts
{
    int nConnectMs = nConnectTimeoutSeconds * 1000;
    int nSendMs = nSendReceiveTimeoutSeconds * 1000;
    int nReceiveMs = nSendReceiveTimeoutSeconds * 1000;
};

struct SocketResult
{
    SocketError nError = SocketError::None;
    long nSystemCode = 0; // errno, or the Winsock code
    size_t nBytes = 0;    // received; 0 with no error: the peer closed the stream
};

class IConnection
{
public:
    virtual ~IConnection() = default;
    // Every byte, or a failure: a short send goes on where it stopped; a peer that stops reading times out.
    [[nodiscard]] virtual SocketResult SendAll(std::string_view sData) = 0;
    // One receive of at most nMax bytes into pBuffer.
    [[nodiscard]] virtual SocketResult Receive(char* pBuffer, size_t nMax) = 0;
};

class ISockets
{
public:
    virtual ~ISockets() = default;
    // The first IPv4 address of a host name, as four decimal numbers joined by "."; empty when it has none.
    virtual std::string LookupIPv4(const std::string& sHost) = 0;
    // A TCP stream to a dotted IPv4 address; nullptr with the reason in failure.
    virtual std::unique_ptr<IConnection> Connect(const std::string& sAddress, uint16_t nPort,
                                                 const SocketTimeouts& timeouts, SocketResult& failure) = 0;
};

// One HTTPS request whose body is read in pieces while it is sent. Certificates are checked; redirects are never
// followed (the caller decides where its cookie may go).
struct TlsRequest
{
    std::string sMethod;
    std::string sHost; // the name the certificate must carry
    uint16_t nPort = 443;
    std::string sPath;                                        // with its query
    std::vector<std::pair<std::string, std::string>> Headers; // in order; the stack sets length and connection
    uint64_t nBodyLength = 0;
    // Fills at most the given bytes; returns how many, 0 at the end, -1 when the body cannot be read.
    std::function<long long(char*, size_t)> fnReadBody;
};

struct TlsAnswer
{
    TransportError nError = TransportError::Other; // None once an answer's headers came back
    long nSystemCode = 0;
    std::string sDescription; // the stack's own words for a failure
    std::string sHead;        // status line and headers as received, up to and with the empty line
    std::string sBody;
};

class ITlsHttp
{
public:
    virtual ~ITlsHttp() = default;
    virtual TlsAnswer Exchange(const TlsRequest& request, const SocketTimeouts& timeouts) = 0;
};

} // namespace qv
