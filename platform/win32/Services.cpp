#include "platform/win32/Services.h"

#include "platform/win32/Win32.h"

#include <mmsystem.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>

#include "platform/win32/CommonControls.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/ProgramFile.h"
#include "platform/win32/Utf.h"

namespace qv::win32
{

int Win32Dialogs::ShowMessageBox(const std::string& sText, int nStyle, const std::string& sTitle)
{
    const CommonControlsScope scope; // the message box's buttons in the same style as the settings window's
    return ::MessageBoxW(hOwner, Utf16(sText).c_str(), Utf16(sTitle).c_str(), static_cast<UINT>(nStyle));
}

int Win32Dialogs::ShowMessageBoxCheck(const std::string& sText, int nStyle, const std::string& sTitle, int nDefault,
                                      const std::string& sValueName)
{
    // shlwapi's box with "don't ask again", by its ordinal: some systems export it by no name.
    using MessageBoxCheckA = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT, int, LPCSTR);
    const UniqueModule hShlwapi(::LoadLibraryW(L"shlwapi.dll"));
    const auto pfnCheck = hShlwapi ? reinterpret_cast<MessageBoxCheckA>(reinterpret_cast<void*>(
                                         ::GetProcAddress(hShlwapi.get(), MAKEINTRESOURCEA(185))))
                                   : nullptr;
    if (!pfnCheck)
        return nDefault;
    const CommonControlsScope scope;
    return pfnCheck(hOwner, Ansi(sText).c_str(), Ansi(sTitle).c_str(), static_cast<UINT>(nStyle), nDefault,
                    Ansi(sValueName).c_str());
}

namespace
{

constexpr int64_t nEpochDifference = 116444736000000000; // 1601 to 1970 in 100 ns

int64_t MsOf(const FILETIME& ft)
{
    const int64_t n100ns = (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return (n100ns - nEpochDifference) / 10000;
}

// Today's offset, for instants the system cannot convert (before 1601, after 30827).
int32_t CurrentOffsetMinutes()
{
    TIME_ZONE_INFORMATION zone{};
    switch (::GetTimeZoneInformation(&zone))
    {
    case TIME_ZONE_ID_STANDARD: return -static_cast<int32_t>(zone.Bias + zone.StandardBias);
    case TIME_ZONE_ID_DAYLIGHT: return -static_cast<int32_t>(zone.Bias + zone.DaylightBias);
    default: return -static_cast<int32_t>(zone.Bias);
    }
}

// Windows lets only the foreground program choose the next one: joined to the input of the foreground's thread
// and the target's for these steps, this program may. Always undone.
void ActivateWindow(HWND hTarget)
{
    const DWORD nOwn = ::GetCurrentThreadId();
    const DWORD nForeground = ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
    const DWORD nTarget = ::GetWindowThreadProcessId(hTarget, nullptr);
    const bool bForeground = nForeground != 0 && nForeground != nOwn && ::AttachThreadInput(nOwn, nForeground, TRUE);
    const bool bTarget = nTarget != 0 && nTarget != nOwn && ::AttachThreadInput(nOwn, nTarget, TRUE);
    if (!::SetForegroundWindow(hTarget))
        ::PostMessageW(hTarget, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    ::SetWindowPos(hTarget, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    if (::IsIconic(hTarget))
        ::ShowWindow(hTarget, SW_RESTORE);
    ::SetActiveWindow(hTarget);
    if (bTarget)
        ::AttachThreadInput(nOwn, nTarget, FALSE);
    if (bForeground)
        ::AttachThreadInput(nOwn, nForeground, FALSE);
}

std::string SystemErrorText(DWORD nCode)
{
    wchar_t* pText = nullptr;
    const DWORD nChars = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, nCode, 0,
        reinterpret_cast<wchar_t*>(&pText), 0, nullptr);
    std::wstring sText = nChars && pText ? std::wstring(pText, nChars) : std::wstring();
    if (pText)
        ::LocalFree(pText);
    while (!sText.empty() && (sText.back() == L'\r' || sText.back() == L'\n' || sText.back() == L' '))
        sText.pop_back();
    return sText.empty() ? "System error " + std::to_string(nCode) : Utf8(sText);
}

} // namespace

int64_t Win32Clock::NowUtcMs()
{
    FILETIME ft{};
    ::GetSystemTimeAsFileTime(&ft);
    return MsOf(ft);
}

int32_t Win32Clock::LocalOffsetMinutesAt(int64_t nUtcMs)
{
    constexpr int64_t nFirstMs = -nEpochDifference / 10000, nLastMs = 910'000'000'000'000; // 1601 to 30800
    if (nUtcMs < nFirstMs || nUtcMs > nLastMs)
        return CurrentOffsetMinutes();
    const int64_t n100ns = nUtcMs * 10000 + nEpochDifference;
    const FILETIME utc{static_cast<DWORD>(n100ns), static_cast<DWORD>(static_cast<uint64_t>(n100ns) >> 32)};
    SYSTEMTIME utcTime{}, localTime{};
    if (!::FileTimeToSystemTime(&utc, &utcTime))
        return CurrentOffsetMinutes();
    // The dynamic zone carries the rules of each year, so a date after a change of the law converts right too;
    // where the system lacks it (Wine), the zone's present rules still give each date its own offset.
    using ConvertEx = BOOL(WINAPI*)(const DYNAMIC_TIME_ZONE_INFORMATION*, const SYSTEMTIME*, SYSTEMTIME*);
    static const auto pConvertEx = reinterpret_cast<ConvertEx>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SystemTimeToTzSpecificLocalTimeEx")));
    DYNAMIC_TIME_ZONE_INFORMATION zone{};
    const bool bConverted = pConvertEx && ::GetDynamicTimeZoneInformation(&zone) != TIME_ZONE_ID_INVALID
                                ? pConvertEx(&zone, &utcTime, &localTime) != FALSE
                                : ::SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &localTime) != FALSE;
    FILETIME local{};
    if (!bConverted || !::SystemTimeToFileTime(&localTime, &local))
        return CurrentOffsetMinutes();
    return static_cast<int32_t>((MsOf(local) - nUtcMs) / 60000);
}

std::string Win32Locale::LongTimeText(int nHour, int nMinute, int nSecond)
{
    SYSTEMTIME time{};
    time.wYear = 2000;
    time.wMonth = 1;
    time.wDay = 1;
    time.wHour = static_cast<WORD>(nHour);
    time.wMinute = static_cast<WORD>(nMinute);
    time.wSecond = static_cast<WORD>(nSecond);
    wchar_t sText[128] = {};
    if (::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, sText, 128) == 0)
        return std::to_string(nHour) + ":" + (nMinute < 10 ? "0" : "") + std::to_string(nMinute) + ":" +
               (nSecond < 10 ? "0" : "") + std::to_string(nSecond);
    return Utf8(sText);
}

std::string Win32Locale::DecimalSeparator()
{
    wchar_t sText[8] = {};
    if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, sText, 8) == 0)
        return ".";
    return Utf8(sText);
}

void Win32Timers::Start(TimerId nId, int64_t nMilliseconds)
{
    if (!hWnd)
        return;
    if (nId == TimerId::Browser)
    {
        (void)::SetTimer(hWnd, nBrowserTimerId, static_cast<UINT>(nMilliseconds), nullptr);
        return;
    }
    const UINT nElapse = static_cast<UINT>(std::min<int64_t>(nMilliseconds, USER_TIMER_MAXIMUM));
    // Setting the same identifier again replaces the pending timer. With a window, SetTimer's answer only says
    // whether it worked, so the id kept for KillTimer is the one passed. A refused timer is retried a bounded
    // number of times: the program must not hang here.
    if (nCheckTimer != 0 && nCheckTimer != nCheckTimerId)
        ::KillTimer(hWnd, nCheckTimer);
    nCheckTimer = ::SetTimer(hWnd, nCheckTimerId, nElapse, nullptr) != 0 ? nCheckTimerId : 0;
    for (int nTry = 0; nCheckTimer == 0 && nTry < 50; ++nTry)
        nCheckTimer = ::SetTimer(hWnd, nFallbackTimerId, nElapse, nullptr) != 0 ? nFallbackTimerId : 0;
}

void Win32Timers::Stop(TimerId nId)
{
    if (nId == TimerId::Browser && hWnd)
        ::KillTimer(hWnd, nBrowserTimerId);
    if (nId != TimerId::Check || !hWnd || nCheckTimer == 0)
        return;
    ::KillTimer(hWnd, nCheckTimer);
    nCheckTimer = 0;
}

void Win32System::TrimWorkingSet()
{
    ::EmptyWorkingSet(::GetCurrentProcess());
}

void Win32System::Beep()
{
    ::MessageBeep(MB_OK);
}

void Win32System::PlayNewMailSound()
{
    const std::wstring sPath = ProgramFolderW() + L"unread.wav";
    // Played in the background: the next check must not wait for the chime.
    if (::GetFileAttributesW(sPath.c_str()) == INVALID_FILE_ATTRIBUTES ||
        !::sndPlaySoundW(sPath.c_str(), SND_ASYNC | SND_NODEFAULT))
        ::MessageBeep(MB_OK);
}

} // namespace qv::win32

namespace qv::win32
{

std::optional<std::string> Win32Shell::OpenUrl(const std::string& sUrl)
{
    const std::wstring sWideUrl = Utf16(sUrl);
    const std::wstring sFolder = ProgramFolderW();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = sWideUrl.c_str();
    info.lpDirectory = sFolder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (::ShellExecuteExW(&info))
        return std::nullopt; // whether the browser then starts is not known
    return SystemErrorText(::GetLastError());
}

void Win32Shell::ActivateMainWindow()
{
    ::ShowWindow(hMain, SW_SHOW);
    ActivateWindow(hMain);
    ::SetWindowPos(hMain, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::SetWindowPos(hMain, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

namespace
{

HWND WindowOf(WindowId nWindow)
{
    return reinterpret_cast<HWND>(nWindow);
}

constexpr size_t nMaxWindows = 10000; // a window list that keeps changing must not keep a walk going for ever

} // namespace

std::vector<WindowId> Win32WindowTree::TopLevel(const std::string& sClass)
{
    const std::wstring sWideClass = Utf16(sClass);
    std::vector<WindowId> found;
    HWND hAfter = nullptr;
    while (found.size() < nMaxWindows)
    {
        hAfter = ::FindWindowExW(nullptr, hAfter, sWideClass.c_str(), nullptr);
        if (!hAfter)
            break;
        found.push_back(reinterpret_cast<WindowId>(hAfter));
    }
    return found;
}

std::vector<WindowId> Win32WindowTree::Children(WindowId nWindow)
{
    std::vector<WindowId> found;
    for (HWND hChild = ::GetWindow(WindowOf(nWindow), GW_CHILD); hChild && found.size() < nMaxWindows;
         hChild = ::GetWindow(hChild, GW_HWNDNEXT))
        found.push_back(reinterpret_cast<WindowId>(hChild));
    return found;
}

std::string Win32WindowTree::Title(WindowId nWindow)
{
    wchar_t sTitle[1024] = {};
    ::GetWindowTextW(WindowOf(nWindow), sTitle, 1024);
    return Utf8(sTitle);
}

std::string Win32WindowTree::ClassName(WindowId nWindow)
{
    wchar_t sClass[256] = {};
    ::GetClassNameW(WindowOf(nWindow), sClass, 256);
    return Utf8(sClass);
}

void Win32WindowTree::Activate(WindowId nWindow)
{
    ActivateWindow(WindowOf(nWindow));
}

} // namespace qv::win32
