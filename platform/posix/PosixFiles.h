// Files and the environment on Linux, for the integration tests.
#pragma once

#include "platform/Files.h"

namespace qv
{

class PosixFiles final : public IFiles
{
public:
    std::optional<uint64_t> Size(const std::string& sPath) override;
    bool IsFolder(const std::string& sPath) override;
    std::unique_ptr<IFileReader> OpenRead(const std::string& sPath) override;
    bool Delete(const std::string& sPath) override;
    std::string TempFolder() override;
    std::vector<std::string> Environment() override;
};

} // namespace qv
