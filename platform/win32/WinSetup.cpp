#include "platform/win32/WinSetup.h"

#include "platform/win32/Win32.h"

#include <shlobj.h>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/ProgramFile.h"
#include "platform/win32/Utf.h"

namespace qv::win32
{

bool Win32WinSetup::IsAdminAccount()
{
    return ::IsUserAnAdmin() != FALSE;
}

TokenElevation Win32WinSetup::Elevation()
{
    UniqueKernelHandle hToken;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, hToken.put()))
        return TokenElevation::Unreadable;
    TOKEN_ELEVATION_TYPE nType = TokenElevationTypeDefault;
    DWORD nBytes = 0;
    if (!::GetTokenInformation(hToken.get(), TokenElevationType, &nType, sizeof nType, &nBytes))
        return TokenElevation::Unreadable;
    switch (nType)
    {
    case TokenElevationTypeFull: return TokenElevation::Full;
    case TokenElevationTypeLimited: return TokenElevation::Limited;
    default: return TokenElevation::Default;
    }
}

std::string Win32WinSetup::ProgramPath()
{
    return Utf8(ProgramFileW());
}

void Win32WinSetup::BroadcastSettingChange(const std::string& sArea)
{
    const std::wstring sKey = Utf16(sArea);
    DWORD_PTR nResult = 0;
    // A hung window is skipped, and no window holds the save for more than a few seconds.
    ::SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(sKey.c_str()), SMTO_ABORTIFHUNG,
                          3000, &nResult);
}

} // namespace qv::win32
