// The packer on Windows: wide file APIs and the wide command line, so that names outside the ANSI code page survive.
#include <windows.h>
// shellapi.h needs windows.h before it
#include <shellapi.h>

#include <algorithm>
#include <cstdio>

#include "Packer.h"
#include "platform/win32/Utf.h"

namespace qv::zip
{

namespace
{

struct CloseFile
{
    void operator()(HANDLE h) const { ::CloseHandle(h); }
};
struct CloseFind
{
    void operator()(HANDLE h) const { ::FindClose(h); }
};
struct FreeLocal
{
    void operator()(LPWSTR* p) const { ::LocalFree(p); }
};
using UniqueFile = std::unique_ptr<void, CloseFile>; // holds nullptr, never INVALID_HANDLE_VALUE
using UniqueFind = std::unique_ptr<void, CloseFind>; // likewise
using UniqueArgs = std::unique_ptr<LPWSTR, FreeLocal>;

HANDLE Valid(HANDLE h)
{
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

using qv::win32::Utf16;
using qv::win32::Utf8;

bool SeekTo(HANDLE h, uint64_t nOffset)
{
    LARGE_INTEGER nTo{};
    nTo.QuadPart = static_cast<LONGLONG>(nOffset);
    return ::SetFilePointerEx(h, nTo, nullptr, FILE_BEGIN) != 0;
}

class WindowsReader final : public IReader
{
public:
    explicit WindowsReader(UniqueFile File) : File(std::move(File)) {}
    long long Read(void* pBuffer, size_t nBytes) override
    {
        DWORD nRead = 0;
        if (!::ReadFile(File.get(), pBuffer, static_cast<DWORD>(std::min<size_t>(nBytes, 1 << 30)), &nRead, nullptr))
            return -1;
        return nRead;
    }
    bool Seek(uint64_t nOffset) override { return SeekTo(File.get(), nOffset); }

private:
    UniqueFile File;
};

class WindowsWriter final : public IWriter
{
public:
    WindowsWriter(UniqueFile File, std::wstring sTemporary, std::wstring sArchive)
        : File(std::move(File))
        , sTemporary(std::move(sTemporary))
        , sArchive(std::move(sArchive))
    {
    }
    ~WindowsWriter() override
    {
        if (File)
        {
            File.reset();
            ::DeleteFileW(sTemporary.c_str()); // a failed run leaves the archive as it was, and nothing beside it
        }
    }
    bool Write(const void* pData, size_t nBytes) override
    {
        DWORD nWritten = 0;
        return ::WriteFile(File.get(), pData, static_cast<DWORD>(nBytes), &nWritten, nullptr) && nWritten == nBytes;
    }
    bool Seek(uint64_t nOffset) override { return SeekTo(File.get(), nOffset); }
    bool Commit() override
    {
        if (!::FlushFileBuffers(File.get()))
            return false;
        File.reset();
        if (::MoveFileExW(sTemporary.c_str(), sArchive.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD nError = ::GetLastError();
        ::DeleteFileW(sTemporary.c_str());
        ::SetLastError(nError);
        return false;
    }

private:
    UniqueFile File;
    std::wstring sTemporary, sArchive;
};

class WindowsFileSystem final : public IFileSystem
{
public:
    std::optional<FileFacts> Facts(const std::string& sPath) override
    {
        WIN32_FILE_ATTRIBUTE_DATA Data{};
        if (!::GetFileAttributesExW(Utf16(sPath).c_str(), GetFileExInfoStandard, &Data))
            return std::nullopt;
        FileFacts Facts;
        Facts.bDirectory = (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        Facts.bHidden = (Data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        Facts.nSize = uint64_t{Data.nFileSizeHigh} << 32 | Data.nFileSizeLow;
        const uint64_t nTicks =
            uint64_t{Data.ftLastWriteTime.dwHighDateTime} << 32 | Data.ftLastWriteTime.dwLowDateTime;
        constexpr uint64_t nTicksTo1970 = 116444736000000000ULL, nTicksPerSecond = 10000000ULL;
        Facts.nUnixTime = nTicks > nTicksTo1970 ? static_cast<uint32_t>((nTicks - nTicksTo1970) / nTicksPerSecond) : 0;
        FILETIME Local{};
        WORD nDate = 0, nTime = 0;
        if (::FileTimeToLocalFileTime(&Data.ftLastWriteTime, &Local) && ::FileTimeToDosDateTime(&Local, &nDate, &nTime))
            Facts.nDosTime = uint32_t{nDate} << 16 | nTime;
        Facts.nAttributes = Data.dwFileAttributes & 0xFF; // the MS-DOS attributes
        return Facts;
    }

    bool ListFolder(const std::string& sPath, std::vector<FolderEntry>& Entries) override
    {
        WIN32_FIND_DATAW Data{};
        UniqueFind Find(Valid(
            ::FindFirstFileExW(Utf16(sPath + (sPath.back() == '/' || sPath.back() == '\\' ? "*" : "/*")).c_str(),
                               FindExInfoBasic, &Data, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH)));
        if (!Find)
            return false;
        do
        {
            const std::string sName = Utf8(Data.cFileName);
            if (sName != "." && sName != "..")
                Entries.push_back({sName, (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                                   (Data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0});
        } while (::FindNextFileW(Find.get(), &Data));
        return ::GetLastError() == ERROR_NO_MORE_FILES;
    }

    std::unique_ptr<IReader> OpenRead(const std::string& sPath) override
    {
        // Others may keep the file open, even for writing: an open document can still be sent.
        UniqueFile File(Valid(::CreateFileW(Utf16(sPath).c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)));
        return File ? std::make_unique<WindowsReader>(std::move(File)) : nullptr;
    }

    std::unique_ptr<IWriter> CreateBeside(const std::string& sArchive) override
    {
        const std::wstring sFinal = Utf16(sArchive);
        for (unsigned nTry = 0; nTry < 100; ++nTry)
        {
            std::wstring sTemporary =
                sFinal + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(nTry) + L".tmp";
            UniqueFile File(Valid(::CreateFileW(sTemporary.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)));
            if (File)
                return std::make_unique<WindowsWriter>(std::move(File), std::move(sTemporary), sFinal);
            if (::GetLastError() != ERROR_FILE_EXISTS)
                return nullptr;
        }
        return nullptr;
    }

    std::string FullPath(const std::string& sPath) override
    {
        const std::wstring sWide = Utf16(sPath);
        const DWORD nChars = ::GetFullPathNameW(sWide.c_str(), 0, nullptr, nullptr);
        if (nChars == 0)
            return {};
        std::wstring sFull(nChars, L'\0');
        const DWORD nWritten = ::GetFullPathNameW(sWide.c_str(), nChars, sFull.data(), nullptr);
        if (nWritten == 0 || nWritten >= nChars)
            return {};
        sFull.resize(nWritten);
        for (wchar_t& ch : sFull)
            if (ch == L'/')
                ch = L'\\';
        return Utf8(sFull);
    }

    std::string LastError() override
    {
        const DWORD nError = ::GetLastError();
        wchar_t sText[512] = {};
        const DWORD nChars = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                              nError, 0, sText, static_cast<DWORD>(std::size(sText)), nullptr);
        std::string sOut = Utf8(std::wstring(sText, nChars));
        while (!sOut.empty() && (sOut.back() == '\n' || sOut.back() == '\r' || sOut.back() == ' '))
            sOut.pop_back();
        return sOut.empty() ? "error " + std::to_string(nError) : sOut;
    }

    bool IsSeparator(char ch) const override { return ch == '\\' || ch == '/'; }
    bool CaseBlind() const override { return true; }
    // Windows NTFS, not MS-DOS: Debian's unzip reads an MS-DOS archive's names in the OEM code page, even those
    // flagged as UTF-8. The attributes mean the same for both.
    uint8_t HostSystem() const override { return 10; }
};

} // namespace

} // namespace qv::zip

int main()
{
    int nArgs = 0;
    const qv::zip::UniqueArgs Args(::CommandLineToArgvW(::GetCommandLineW(), &nArgs));
    if (!Args)
        return qv::zip::nExitBadUsage;
    std::vector<std::string> Words;
    for (int i = 1; i < nArgs; ++i)
        Words.push_back(qv::zip::Utf8(Args.get()[i]));
    qv::zip::WindowsFileSystem Fs;
    std::string sErrors;
    const int nExit = qv::zip::RunPacker(Words, Fs, sErrors);
    ::SetConsoleOutputCP(CP_UTF8); // the messages are UTF-8
    std::fputs(sErrors.c_str(), stderr);
    return nExit;
}
