// What a WinHTTP failure is, and how the user reads it: shared by the SOAP transport and the upload over TLS.
#pragma once

#include "platform/win32/Win32.h"

#include <string>

#include "platform/SoapTransport.h"

namespace qv::win32
{

TransportError ClassifyWinHttpError(DWORD nCode);
// The system's own words first; ours where it has none (Wine, a stripped system).
std::string DescribeWinHttpError(DWORD nCode);

} // namespace qv::win32
