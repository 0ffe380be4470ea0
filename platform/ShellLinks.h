// Shortcut files through the shell's link object, and the deletions that must tell a file in use from others.
#pragma once

#include <optional>
#include <string>

namespace qv
{

struct ShellLinkFields
{
    std::string sPath; // the target
    std::string sArguments;
    std::string sDescription;
    std::string sWorkingDirectory;
    std::string sIconPath;
    int nIconIndex = 0;
    int nShowCmd = 1; // normal window
};

enum class DeleteOutcome { Deleted, InUse, Failed };

class IShellLinks
{
public:
    virtual ~IShellLinks() = default;
    // The target of the shortcut in that file; none when it cannot be loaded.
    virtual std::optional<std::string> LinkTarget(const std::string& sLinkFile) = 0;
    virtual bool SaveLink(const std::string& sLinkFile, const ShellLinkFields& fields) = 0;
    virtual DeleteOutcome DeleteFile(const std::string& sPath) = 0;
    // The running program's own file.
    virtual std::string ProgramFile() = 0;
    // The user's Send To folder as the shell knows it; empty when it cannot say.
    virtual std::string SendToFolder() = 0;
};

} // namespace qv
