// What a second copy hands to the running one: the code and the prepared text of its command line.
#pragma once

#include <cstdint>
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

} // namespace qv
