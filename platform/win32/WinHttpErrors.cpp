#include "platform/win32/WinHttpErrors.h"

#include <winhttp.h>

#include "platform/win32/Utf.h"

namespace qv::win32
{

TransportError ClassifyWinHttpError(DWORD nCode)
{
    switch (nCode)
    {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return TransportError::NameNotResolved;
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_CONNECTION_ERROR: return TransportError::CannotConnect;
    case ERROR_WINHTTP_TIMEOUT: return TransportError::TimedOut;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: // how Wine reports a certificate it does not trust
        return TransportError::CertificateRejected;
    default: return TransportError::Other;
    }
}

std::string DescribeWinHttpError(DWORD nCode)
{
    wchar_t* pText = nullptr;
    const DWORD nChars =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
                             FORMAT_MESSAGE_IGNORE_INSERTS,
                         ::GetModuleHandleW(L"winhttp.dll"), nCode, 0, reinterpret_cast<wchar_t*>(&pText), 0, nullptr);
    std::wstring sText = nChars && pText ? std::wstring(pText, nChars) : std::wstring();
    if (pText)
        ::LocalFree(pText);
    while (!sText.empty() && (sText.back() == L'\r' || sText.back() == L'\n' || sText.back() == L' '))
        sText.pop_back();
    if (!sText.empty())
        return Utf8(sText);
    switch (nCode)
    {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return "The server name or address could not be resolved";
    case ERROR_WINHTTP_CANNOT_CONNECT: return "A connection with the server could not be established";
    case ERROR_WINHTTP_CONNECTION_ERROR: return "The connection with the server was reset";
    case ERROR_WINHTTP_TIMEOUT: return "The operation timed out";
    case ERROR_WINHTTP_INVALID_URL: return "The URL is invalid";
    case ERROR_WINHTTP_SECURE_FAILURE: return "A security error occurred: the server's certificate was not accepted";
    case ERROR_WINHTTP_SECURE_INVALID_CA:
        return "The server's certificate was issued by an authority that is not trusted";
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID: return "The server's certificate has expired or is not yet valid";
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID: return "The server's certificate was issued for another name";
    case ERROR_WINHTTP_SECURE_INVALID_CERT: return "The server's certificate is invalid";
    case ERROR_WINHTTP_SECURE_CERT_REVOKED: return "The server's certificate has been revoked";
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        return "A secure connection with the server could not be made: its certificate or its security settings "
               "were not accepted";
    default: return "Error " + std::to_string(nCode);
    }
}

} // namespace qv::win32
