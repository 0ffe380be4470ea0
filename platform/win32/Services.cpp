#include "platform/win32/Services.h"

#include "platform/win32/Win32.h"

#include <mmsystem.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>

#include "platform/win32/Utf.h"

namespace qv::win32
{

int Win32Dialogs::ShowMessageBox(const std::string& sText, int nStyle, const std::string& sTitle)
{
    return ::MessageBoxW(hOwner, Utf16(sText).c_str(), Utf16(sTitle).c_str(), static_cast<UINT>(nStyle));
}

int64_t Win32Clock::NowUtcMs()
{
    FILETIME ft{};
    ::GetSystemTimeAsFileTime(&ft);
    const int64_t n100ns = (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    constexpr int64_t nEpochDifference = 116444736000000000; // 1601 to 1970 in 100 ns
    return (n100ns - nEpochDifference) / 10000;
}

int32_t Win32Clock::TimeZoneBiasMinutes()
{
    TIME_ZONE_INFORMATION zone{};
    switch (::GetTimeZoneInformation(&zone))
    {
    case TIME_ZONE_ID_STANDARD: return zone.Bias + zone.StandardBias;
    case TIME_ZONE_ID_DAYLIGHT: return zone.Bias + zone.DaylightBias;
    default: return zone.Bias;
    }
}

void Win32Timers::Start(TimerId nId, int64_t nMilliseconds)
{
    if (nId != TimerId::Check || !hWnd)
        return;
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
    if (nId != TimerId::Check || !hWnd || nCheckTimer == 0)
        return;
    ::KillTimer(hWnd, nCheckTimer);
    nCheckTimer = 0;
}

void Win32System::TrimWorkingSet()
{
    ::EmptyWorkingSet(::GetCurrentProcess());
}

void Win32System::PlayNewMailSound()
{
    std::wstring sPath(MAX_PATH, L'\0');
    DWORD nLength = 0;
    while ((nLength = ::GetModuleFileNameW(nullptr, sPath.data(), static_cast<DWORD>(sPath.size()))) == sPath.size() &&
           sPath.size() < 32768)
        sPath.resize(sPath.size() * 2);
    sPath.resize(nLength);
    sPath = sPath.substr(0, sPath.find_last_of(L"\\/") + 1) + L"unread.wav";
    // Played in the background: the next check must not wait for the chime.
    if (::GetFileAttributesW(sPath.c_str()) == INVALID_FILE_ATTRIBUTES ||
        !::sndPlaySoundW(sPath.c_str(), SND_ASYNC | SND_NODEFAULT))
        ::MessageBeep(MB_OK);
}

} // namespace qv::win32

namespace qv::win32
{

void Win32Shell::OpenUrl(const std::string& sUrl)
{
    const std::wstring sWideUrl = Utf16(sUrl);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = sWideUrl.c_str();
    info.nShow = SW_SHOWNORMAL;
    (void)::ShellExecuteExW(&info); // a browser that does not start is not noticed
}

void Win32Shell::ActivateMainWindow()
{
    ::ShowWindow(hMain, SW_SHOW);
    ::SetForegroundWindow(hMain);
    ::SetWindowPos(hMain, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::SetWindowPos(hMain, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

} // namespace qv::win32
