// Files and the environment through the wide Windows APIs.
#pragma once

#include "platform/Files.h"

namespace qv::win32
{

class Win32Files final : public IFiles
{
public:
    std::optional<uint64_t> Size(const std::string& sPath) override;
    bool IsFolder(const std::string& sPath) override;
    std::unique_ptr<IFileReader> OpenRead(const std::string& sPath) override;
    bool Delete(const std::string& sPath) override;
    std::string TempFolder() override;
    std::vector<std::string> Environment() override;
};

} // namespace qv::win32
