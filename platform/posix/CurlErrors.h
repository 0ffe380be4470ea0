// What a libcurl failure is, for the SOAP transport and the upload over TLS alike.
#pragma once

#include <curl/curl.h>

#include "platform/SoapTransport.h"

namespace qv
{

inline TransportError ClassifyCurlError(CURLcode nCode)
{
    switch (nCode)
    {
    case CURLE_COULDNT_RESOLVE_HOST: return TransportError::NameNotResolved;
    case CURLE_COULDNT_CONNECT: return TransportError::CannotConnect;
    case CURLE_OPERATION_TIMEDOUT: return TransportError::TimedOut;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE: return TransportError::CertificateRejected;
    default: return TransportError::Other;
    }
}

} // namespace qv
