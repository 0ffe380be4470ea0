// The packer on Linux: POSIX files and folders, and main.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "Packer.h"

namespace qv::zip
{

namespace
{

using UniqueFile = std::unique_ptr<FILE, decltype([](FILE* p) { std::fclose(p); })>;
using UniqueFolder = std::unique_ptr<DIR, decltype([](DIR* p) { ::closedir(p); })>;

bool IsHiddenName(const std::string& sPath)
{
    const size_t nSlash = sPath.find_last_of('/');
    const std::string sName = nSlash == std::string::npos ? sPath : sPath.substr(nSlash + 1);
    return sName.size() > 1 && sName[0] == '.' && sName != "..";
}

class PosixReader final : public IReader
{
public:
    explicit PosixReader(UniqueFile File) : File(std::move(File)) {}
    long long Read(void* pBuffer, size_t nBytes) override
    {
        const size_t nRead = std::fread(pBuffer, 1, nBytes, File.get());
        return nRead == 0 && std::ferror(File.get()) ? -1 : static_cast<long long>(nRead);
    }
    bool Seek(uint64_t nOffset) override { return ::fseeko(File.get(), static_cast<off_t>(nOffset), SEEK_SET) == 0; }

private:
    UniqueFile File;
};

class PosixWriter final : public IWriter
{
public:
    PosixWriter(UniqueFile File, std::string sTemporary, std::string sArchive, mode_t nMode)
        : File(std::move(File))
        , sTemporary(std::move(sTemporary))
        , sArchive(std::move(sArchive))
        , nMode(nMode)
    {
    }
    ~PosixWriter() override
    {
        if (File)
        {
            File.reset();
            (void)::unlink(sTemporary.c_str()); // a failed run leaves the archive as it was, and nothing beside it
        }
    }
    bool Write(const void* pData, size_t nBytes) override
    {
        return std::fwrite(pData, 1, nBytes, File.get()) == nBytes;
    }
    bool Seek(uint64_t nOffset) override { return ::fseeko(File.get(), static_cast<off_t>(nOffset), SEEK_SET) == 0; }
    bool Commit() override
    {
        if (std::fflush(File.get()) != 0 || ::fchmod(::fileno(File.get()), nMode) != 0 ||
            ::fsync(::fileno(File.get())) != 0)
            return false;
        if (std::fclose(File.release()) != 0 || ::rename(sTemporary.c_str(), sArchive.c_str()) != 0)
        {
            (void)::unlink(sTemporary.c_str());
            return false;
        }
        return true;
    }

private:
    UniqueFile File;
    std::string sTemporary, sArchive;
    mode_t nMode;
};

class PosixFileSystem final : public IFileSystem
{
public:
    std::optional<FileFacts> Facts(const std::string& sPath) override
    {
        struct stat Info
        {
        };
        if (::stat(sPath.c_str(), &Info) != 0)
            return std::nullopt;
        FileFacts Facts;
        Facts.bDirectory = S_ISDIR(Info.st_mode);
        Facts.bHidden = IsHiddenName(sPath);
        Facts.nSize = static_cast<uint64_t>(Info.st_size);
        Facts.nUnixTime = static_cast<uint32_t>(Info.st_mtime);
        struct tm Local
        {
        };
        if (::localtime_r(&Info.st_mtime, &Local) && Local.tm_year >= 80)
            Facts.nDosTime =
                static_cast<uint32_t>((Local.tm_year - 80) << 25 | (Local.tm_mon + 1) << 21 | Local.tm_mday << 16 |
                                      Local.tm_hour << 11 | Local.tm_min << 5 | Local.tm_sec / 2);
        Facts.nAttributes = static_cast<uint32_t>(Info.st_mode & 0xFFFF) << 16 | (Facts.bDirectory ? 0x10 : 0) |
                            ((Info.st_mode & S_IWUSR) ? 0 : 0x01); // the MS-DOS bits too: directory, read-only
        return Facts;
    }

    bool ListFolder(const std::string& sPath, std::vector<FolderEntry>& Entries) override
    {
        UniqueFolder Folder(::opendir(sPath.c_str()));
        if (!Folder)
            return false;
        errno = 0;
        while (const dirent* pEntry = ::readdir(Folder.get()))
        {
            const std::string sName = pEntry->d_name;
            if (sName == "." || sName == "..")
                continue;
            struct stat Info
            {
            };
            const std::string sChild = sPath.back() == '/' ? sPath + sName : sPath + '/' + sName;
            const bool bDirectory = ::stat(sChild.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode);
            Entries.push_back({sName, bDirectory, sName[0] == '.'});
            errno = 0;
        }
        return errno == 0;
    }

    std::unique_ptr<IReader> OpenRead(const std::string& sPath) override
    {
        struct stat Info
        {
        };
        if (::stat(sPath.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode))
        {
            errno = EISDIR; // fopen would open a folder, and the first read would fail
            return nullptr;
        }
        UniqueFile File(std::fopen(sPath.c_str(), "rb"));
        return File ? std::make_unique<PosixReader>(std::move(File)) : nullptr;
    }

    std::unique_ptr<IWriter> CreateBeside(const std::string& sArchive) override
    {
        std::string sTemporary = sArchive + ".XXXXXX";
        const int nFile = ::mkstemp(sTemporary.data());
        if (nFile < 0)
            return nullptr;
        UniqueFile File(::fdopen(nFile, "w+b"));
        if (!File)
        {
            ::close(nFile);
            (void)::unlink(sTemporary.c_str());
            return nullptr;
        }
        // mkstemp makes the file private; the archive gets the mode it had, or what a new file would get.
        struct stat Info
        {
        };
        mode_t nMode = 0;
        if (::stat(sArchive.c_str(), &Info) == 0)
            nMode = Info.st_mode & 07777;
        else
        {
            const mode_t nMask = ::umask(0);
            ::umask(nMask);
            nMode = 0666 & ~nMask;
        }
        return std::make_unique<PosixWriter>(std::move(File), std::move(sTemporary), sArchive, nMode);
    }

    std::string FullPath(const std::string& sPath) override
    {
        char sFull[PATH_MAX];
        return ::realpath(sPath.c_str(), sFull) ? std::string(sFull) : std::string();
    }

    std::string LastError() override { return std::strerror(errno); }
    bool IsSeparator(char ch) const override { return ch == '/'; }
    bool CaseBlind() const override { return false; }
    uint8_t HostSystem() const override { return 3; }
};

} // namespace

} // namespace qv::zip

int main(int argc, char** argv)
{
    qv::zip::PosixFileSystem Fs;
    std::string sErrors;
    const int nExit = qv::zip::RunPacker(std::vector<std::string>(argv + (argc > 0), argv + argc), Fs, sErrors);
    std::fputs(sErrors.c_str(), stderr);
    return nExit;
}
