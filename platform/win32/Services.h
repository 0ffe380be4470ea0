// The small real services: message boxes, clock, timers, working set, and the shell integration still to come.
#pragma once

#include "platform/win32/Win32.h"

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Integration.h"
#include "platform/Shell.h"
#include "platform/System.h"
#include "platform/WindowTree.h"

namespace qv::win32
{

class Win32Dialogs final : public IDialogs
{
public:
    HWND hOwner = nullptr;
    int ShowMessageBox(const std::string& sText, int nStyle, const std::string& sTitle) override;
    int ShowMessageBoxCheck(const std::string& sText, int nStyle, const std::string& sTitle, int nDefault,
                            const std::string& sValueName) override;
};

class Win32Clock final : public IClock
{
public:
    int64_t NowUtcMs() override;
    int64_t MonotonicMs() override { return static_cast<int64_t>(::GetTickCount64()); }
    int32_t LocalOffsetMinutesAt(int64_t nUtcMs) override;
};

// The user's formats, read at each use: the user may change them while the program runs.
class Win32Locale final : public ILocale
{
public:
    std::string LongTimeText(int nHour, int nMinute, int nSecond) override;
    std::string DecimalSeparator() override;
};

// Timers on the settings window; its procedure receives WM_TIMER with the id the timer was set with.
class Win32Timers final : public ITimers
{
public:
    static constexpr UINT_PTR nCheckTimerId = 1684;
    static constexpr UINT_PTR nFallbackTimerId = 1; // when the system refuses the first id
    static constexpr UINT_PTR nBrowserTimerId = 2589;
    HWND hWnd = nullptr;
    void Start(TimerId nId, int64_t nMilliseconds) override;
    void Stop(TimerId nId) override;

private:
    UINT_PTR nCheckTimer = 0; // the id the running timer was set with; 0 when none runs
};

class Win32System final : public ISystem
{
public:
    void TrimWorkingSet() override;
    void PlayNewMailSound() override;
    void Beep() override;
};

// The desktop's windows by FindWindowEx and GetWindow; a window that vanishes meanwhile simply ends a walk.
class Win32WindowTree final : public IWindowTree
{
public:
    std::vector<WindowId> TopLevel(const std::string& sClass) override;
    std::vector<WindowId> Children(WindowId nWindow) override;
    std::string Title(WindowId nWindow) override;
    std::string ClassName(WindowId nWindow) override;
    void Activate(WindowId nWindow) override;
};

class Win32Shell final : public IShell
{
public:
    HWND hMain = nullptr;
    std::optional<std::string> OpenUrl(const std::string& sUrl) override;
    void ActivateMainWindow() override;
};


} // namespace qv::win32
