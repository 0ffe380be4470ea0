// The text of every SOAP envelope the program sends, byte for byte as the server has always received it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv
{

inline constexpr std::string_view sSoapNamespace = "http://www.w3.org/2003/05/soap-envelope";
std::string XmlEscape(std::string_view sText);

struct SessionHeader
{
    std::string sAuthToken;
    std::string sSessionElement;
    std::string sSessionId;
    std::string sNotifySeq;
    std::string sChangeToken;
};

// An envelope sent within a session. bChangeLine: the check and the draft carry the change token.
std::string SessionEnvelope(const SessionHeader& header, bool bChangeLine, std::string_view sBody);

// The login envelope; user and password are escaped. A login for the browser asks for no session and no
// preferences: the token is the browser's alone, and the server spends it at the redirect.
enum class LoginFor { Program, Browser };
std::string LoginEnvelope(std::string_view sUser, std::string_view sPassword, LoginFor nFor = LoginFor::Program);

// The check's batch body: appointments from START to END (milliseconds since the epoch). A search answers a page
// of at most nApptPage appointments; nOffset asks for the one after the first nOffset.
inline constexpr int nApptPage = 1000;
std::string CheckRequestBody(bool bOldServer, int64_t nStart, int64_t nEnd, int64_t nOffset = 0);

} // namespace qv
