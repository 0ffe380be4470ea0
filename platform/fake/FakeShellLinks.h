// Shortcut files kept in memory, and deletions a test can refuse as the file being in use.
#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/ShellLinks.h"

namespace qv::fake
{

class FakeShellLinks final : public IShellLinks
{
public:
    std::map<std::string, ShellLinkFields> Links;
    std::set<std::string> InUse;
    std::vector<std::string> Deleted;
    std::vector<std::string> Saved; // in order, every save
    std::string sProgramFile = "C:\\Program Files\\Quorvel\\Quorvel.exe";

    std::optional<std::string> LinkTarget(const std::string& sLinkFile) override
    {
        const auto it = Links.find(sLinkFile);
        return it == Links.end() ? std::nullopt : std::optional<std::string>(it->second.sPath);
    }
    bool SaveLink(const std::string& sLinkFile, const ShellLinkFields& fields) override
    {
        Links[sLinkFile] = fields;
        Saved.push_back(sLinkFile);
        return true;
    }
    DeleteOutcome DeleteFile(const std::string& sPath) override
    {
        if (InUse.count(sPath))
            return DeleteOutcome::InUse;
        Deleted.push_back(sPath);
        return DeleteOutcome::Deleted;
    }
    std::string ProgramFile() override { return sProgramFile; }
    std::string sSendToFolder; // empty: the shell cannot say
    std::string SendToFolder() override { return sSendToFolder; }
};

} // namespace qv::fake
