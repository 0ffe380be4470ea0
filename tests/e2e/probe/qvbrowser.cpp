// qvbrowser: the stand-in web browser the end-to-end tests register for http addresses. It appends the
// address it was asked to open to a file, as one UTF-8 line, and ends: qvbrowser.exe RECORD-FILE ADDRESS...
#include <windows.h>
// The other Windows headers need the types of windows.h.
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int nArgs = 0;
    LPWSTR* pArgs = ::CommandLineToArgvW(::GetCommandLineW(), &nArgs);
    if (!pArgs || nArgs < 2)
        return 2;
    std::wstring sLine;
    for (int i = 2; i < nArgs; ++i)
        sLine += (i > 2 ? L" " : L"") + std::wstring(pArgs[i]);
    sLine += L"\n";
    const int nBytes =
        ::WideCharToMultiByte(CP_UTF8, 0, sLine.c_str(), static_cast<int>(sLine.size()), nullptr, 0, nullptr, nullptr);
    std::string sBytes(static_cast<size_t>(nBytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, sLine.c_str(), static_cast<int>(sLine.size()), sBytes.data(), nBytes, nullptr,
                          nullptr);
    // Appended in one write, so a test reading the file meanwhile sees whole lines.
    HANDLE hFile = ::CreateFileW(pArgs[1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    ::LocalFree(pArgs);
    if (hFile == INVALID_HANDLE_VALUE)
        return 1;
    DWORD nWritten = 0;
    const BOOL bOk = ::WriteFile(hFile, sBytes.data(), static_cast<DWORD>(sBytes.size()), &nWritten, nullptr);
    ::CloseHandle(hFile);
    return bOk ? 0 : 1;
}
