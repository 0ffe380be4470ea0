// What a second copy hands to the running one: the code and the prepared text of its command line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qv
{

enum class HandOffCode : uint32_t { OpenWebmail = 1, UploadFiles = 2, MapiMessage = 3, ShowSettings = 4 };

struct HandOffRequest
{
    HandOffCode nCode = HandOffCode::OpenWebmail;
    bool bHasText = false; // no arguments: no payload at all
    std::string sText;     // UTF-8; the sender converts it to the ANSI code page and adds one zero byte
};

// sArguments: the command line after the program's own path.
HandOffRequest PrepareHandOff(const std::string& sArguments);

// The text after the program's path in a full command line, as the shell quotes it.
std::string ArgumentsOf(const std::string& sCommandLine);

// What a second copy tells the user when the running copy never came to take its request.
std::string HandOffLostText(const std::string& sArguments);

// What a second copy sends as WM_COPYDATA: the code, and the prepared text in the ANSI code page with one zero
// byte after it (no bytes at all without arguments).
struct HandOffMessage
{
    uint32_t nCode = 1;
    std::string sBytes;
};
HandOffMessage BuildHandOff(const std::string& sCommandLine,
                            const std::function<std::string(const std::string&)>& fnToAnsi);

} // namespace qv
