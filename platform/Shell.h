// Handing documents and addresses to the shell.
#pragma once

#include <string>

namespace qv
{

class IShell
{
public:
    virtual ~IShell() = default;
    // The verb "open" on an address: the user's browser shows it. The shell's answer is not read.
    virtual void OpenUrl(const std::string& sUrl) = 0;
    // Brings a window of this program to the foreground (a second copy asked for the settings).
    virtual void ActivateMainWindow() = 0;
};

} // namespace qv
