// The texts the SOAP client makes of a failed exchange.
#pragma once

#include <string>
#include <string_view>

#include "platform/SoapTransport.h"

namespace qv
{

// "Request to <address>" / "produced the following error" / <error> / the hint about "Use Safe Connection".
std::string ErrorTemplate(const std::string& sUrl, const std::string& sError);
std::string TransportErrorText(const std::string& sUrl, const HttpReply& reply);
// A fault of the answer says the user name or the password was refused.
bool IsRejectedLogin(std::string_view sAnswer);

} // namespace qv
