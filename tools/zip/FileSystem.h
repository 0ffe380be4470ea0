// What the packer needs of the machine. Paths are UTF-8; the core joins their parts with '/', which both systems take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::zip
{

struct FileFacts
{
    bool bDirectory = false;
    bool bHidden = false; // hidden or system on Windows, a leading dot elsewhere
    uint64_t nSize = 0;
    uint32_t nDosTime = 0;    // local time, date in the high half, as the archive stores it
    uint32_t nUnixTime = 0;   // seconds since 1970 (UTC), for the extended timestamp
    uint32_t nAttributes = 0; // the central directory's external attributes
};

struct FolderEntry
{
    std::string sName;
    bool bDirectory = false;
    bool bHidden = false;
};

class IReader
{
public:
    virtual ~IReader() = default;
    // Bytes read, 0 at the end, -1 on failure.
    [[nodiscard]] virtual long long Read(void* pBuffer, size_t nBytes) = 0;
    [[nodiscard]] virtual bool Seek(uint64_t nOffset) = 0;
};

// A new file beside the archive; it takes the archive's place only through Commit, and is removed otherwise.
class IWriter
{
public:
    virtual ~IWriter() = default;
    [[nodiscard]] virtual bool Write(const void* pData, size_t nBytes) = 0;
    [[nodiscard]] virtual bool Seek(uint64_t nOffset) = 0;
    [[nodiscard]] virtual bool Commit() = 0;
};

class IFileSystem
{
public:
    virtual ~IFileSystem() = default;
    virtual std::optional<FileFacts> Facts(const std::string& sPath) = 0;
    [[nodiscard]] virtual bool ListFolder(const std::string& sPath, std::vector<FolderEntry>& Entries) = 0;
    virtual std::unique_ptr<IReader> OpenRead(const std::string& sPath) = 0;
    virtual std::unique_ptr<IWriter> CreateBeside(const std::string& sArchive) = 0;
    virtual std::string FullPath(const std::string& sPath) = 0; // for telling the archive among the files to pack
    virtual std::string LastError() = 0;                        // the system's words for the last failure
    virtual bool IsSeparator(char ch) const = 0;
    virtual bool CaseBlind() const = 0;     // names differing only in case are one name
    virtual uint8_t HostSystem() const = 0; // the high byte of "version made by": 3 Unix, 10 Windows NTFS
};

} // namespace qv::zip
