// Handing documents and addresses to the shell.
#pragma once

#include <optional>
#include <string>

namespace qv
{

class IShell
{
public:
    virtual ~IShell() = default;
    // The verb "open" on an address, in the program's folder: the user's browser shows it. Whether the browser
    // then starts is not known; a shell that could not even try answers with its reason.
    [[nodiscard]] virtual std::optional<std::string> OpenUrl(const std::string& sUrl) = 0;
    // Brings a window of this program to the foreground (a second copy asked for the settings).
    virtual void ActivateMainWindow() = 0;
};

} // namespace qv
