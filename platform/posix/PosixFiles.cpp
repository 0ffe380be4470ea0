#include "platform/posix/PosixFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace qv
{

namespace
{

class PosixReader final : public IFileReader
{
public:
    explicit PosixReader(int nOwned) : fd(nOwned) {}
    PosixReader(const PosixReader&) = delete;
    PosixReader& operator=(const PosixReader&) = delete;
    ~PosixReader() override { ::close(fd); }

    long long Read(char* pBuffer, size_t nMax) override
    {
        for (;;)
        {
            const ssize_t nRead = ::read(fd, pBuffer, nMax);
            if (nRead >= 0 || errno != EINTR)
                return nRead;
        }
    }

private:
    int fd;
};

} // namespace

std::optional<uint64_t> PosixFiles::Size(const std::string& sPath)
{
    struct stat info
    {
    };
    if (::stat(sPath.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return std::nullopt;
    return static_cast<uint64_t>(info.st_size);
}

bool PosixFiles::IsFolder(const std::string& sPath)
{
    struct stat info
    {
    };
    return ::stat(sPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::unique_ptr<IFileReader> PosixFiles::OpenRead(const std::string& sPath)
{
    const int fd = ::open(sPath.c_str(), O_RDONLY | O_CLOEXEC);
    return fd < 0 ? nullptr : std::make_unique<PosixReader>(fd);
}

bool PosixFiles::Delete(const std::string& sPath)
{
    return ::unlink(sPath.c_str()) == 0;
}

std::string PosixFiles::TempFolder()
{
    const char* pTemp = std::getenv("TMPDIR");
    std::string sFolder = pTemp && *pTemp ? pTemp : "/tmp";
    while (sFolder.size() > 1 && sFolder.back() == '/')
        sFolder.pop_back();
    return sFolder;
}

std::vector<std::string> PosixFiles::Environment()
{
    std::vector<std::string> entries;
    for (char** p = environ; p && *p; ++p)
        entries.emplace_back(*p);
    return entries;
}

} // namespace qv
