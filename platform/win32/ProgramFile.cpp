#include "platform/win32/ProgramFile.h"

#include "platform/win32/Win32.h"

namespace qv::win32
{

std::wstring ProgramFileW()
{
    std::wstring sPath(MAX_PATH, L'\0');
    DWORD nLength = 0;
    while ((nLength = ::GetModuleFileNameW(nullptr, sPath.data(), static_cast<DWORD>(sPath.size()))) == sPath.size() &&
           sPath.size() < 32768)
        sPath.resize(sPath.size() * 2);
    sPath.resize(nLength);
    return sPath;
}

std::wstring ProgramFolderW()
{
    const std::wstring sPath = ProgramFileW();
    return sPath.substr(0, sPath.find_last_of(L"\\/") + 1);
}

} // namespace qv::win32
