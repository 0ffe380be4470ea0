// Files and the process environment, for the files the program sends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv
{

class IFileReader
{
public:
    virtual ~IFileReader() = default;
    // At most nMax bytes into pBuffer; 0 at the end, -1 on an error.
    virtual long long Read(char* pBuffer, size_t nMax) = 0;
};

class IFiles
{
public:
    virtual ~IFiles() = default;
    virtual std::optional<uint64_t> Size(const std::string& sPath) = 0;
    // The directory attribute; false when the attributes cannot be read.
    virtual bool IsFolder(const std::string& sPath) = 0;
    // nullptr when the file cannot be opened for reading.
    virtual std::unique_ptr<IFileReader> OpenRead(const std::string& sPath) = 0;
    virtual bool Delete(const std::string& sPath) = 0;
    // The folder for temporary files, without a final separator.
    virtual std::string TempFolder() = 0;
    // The process environment as "NAME=value" entries, in the system's order.
    virtual std::vector<std::string> Environment() = 0;
};

// The value of a variable whose entry begins with the exact name and "="; empty when it is not set.
inline std::string GetEnvironmentValue(IFiles& files, std::string_view sName)
{
    for (const std::string& sEntry : files.Environment())
    {
        if (sEntry.size() > sName.size() && sEntry.compare(0, sName.size(), sName) == 0 && sEntry[sName.size()] == '=')
            return sEntry.substr(sName.size() + 1);
    }
    return {};
}

// A file exists when its size can be read.
inline bool FileExists(IFiles& files, const std::string& sPath)
{
    return files.Size(sPath).has_value();
}

inline bool IsDirectory(IFiles& files, const std::string& sPath)
{
    return files.IsFolder(sPath);
}

} // namespace qv
