// One synchronous HTTP exchange for the SOAP client. The platform reports facts; the core chooses the words.
#pragma once

#include <string>

namespace qv
{

enum class TransportError { None, CannotConnect, NameNotResolved, CertificateRejected, TimedOut, Other };

struct HttpReply
{
    TransportError nError = TransportError::Other; // None once a status line came back
    long nSystemCode = 0;                          // the platform's own code, for the text of Other
    std::string sDescription;                      // the platform's description of the failure
    std::string sSource;                           // what failed, for the text of Other
    long nStatus = 0;
    std::string sStatusText;
    std::string sBody;
};

// Time limits every transport applies: a server that never answers must not block the program for good.
constexpr int nConnectTimeoutSeconds = 15;
constexpr int nSendReceiveTimeoutSeconds = 60;

class ISoapTransport
{
public:
    virtual ~ISoapTransport() = default;
    // sHost is the "Host" header (the server box's text, a port included); no Content-Type is set.
    virtual HttpReply Send(const std::string& sMethod, const std::string& sUrl, const std::string& sHost,
                           const std::string& sBody) = 0;
};

} // namespace qv
