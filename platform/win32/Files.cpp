#include "platform/win32/Files.h"

#include "platform/win32/Win32.h"

#include <algorithm>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Utf.h"

namespace qv::win32
{

namespace
{

class FileReader final : public IFileReader
{
public:
    explicit FileReader(UniqueFile file) : File(std::move(file)) {}

    long long Read(char* pBuffer, size_t nMax) override
    {
        DWORD nRead = 0;
        if (!::ReadFile(File.get(), pBuffer, static_cast<DWORD>(std::min<size_t>(nMax, 1u << 30)), &nRead, nullptr))
            return -1;
        return nRead;
    }

private:
    UniqueFile File;
};

} // namespace

std::optional<uint64_t> Win32Files::Size(const std::string& sPath)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Utf16(sPath).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool Win32Files::IsFolder(const std::string& sPath)
{
    const DWORD nAttributes = ::GetFileAttributesW(Utf16(sPath).c_str());
    return nAttributes != INVALID_FILE_ATTRIBUTES && (nAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::unique_ptr<IFileReader> Win32Files::OpenRead(const std::string& sPath)
{
    // Others may go on reading or writing it: a document open in its program can still be sent.
    HANDLE hFile = ::CreateFileW(Utf16(sPath).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::make_unique<FileReader>(UniqueFile(hFile));
}

bool Win32Files::Delete(const std::string& sPath)
{
    return ::DeleteFileW(Utf16(sPath).c_str()) != FALSE;
}

std::string Win32Files::TempFolder()
{
    wchar_t sFolder[MAX_PATH + 2] = {};
    const DWORD nChars = ::GetTempPathW(MAX_PATH + 1, sFolder);
    std::wstring sText(sFolder, nChars <= MAX_PATH + 1 ? nChars : 0);
    while (sText.size() > 3 && sText.back() == L'\\')
        sText.pop_back();
    return Utf8(sText);
}

std::vector<std::string> Win32Files::Environment()
{
    std::vector<std::string> entries;
    wchar_t* pBlock = ::GetEnvironmentStringsW();
    if (!pBlock)
        return entries;
    for (const wchar_t* p = pBlock; *p; p += wcslen(p) + 1)
        entries.push_back(Utf8(p));
    ::FreeEnvironmentStringsW(pBlock);
    return entries;
}

} // namespace qv::win32
