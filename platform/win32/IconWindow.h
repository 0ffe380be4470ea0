// A hidden "STATIC" window named "QuorvelTrayIconWnd" with one notification-area icon. The main icon and every
// appointment item's icon are one each; a second copy may find any of them, and each hands its request on.
#pragma once

#include "platform/win32/Win32.h"

#include <deque>

#include "platform/TrayEvents.h"
#include "platform/TrayRecord.h"
#include "platform/win32/UniqueHandle.h"

namespace qv::win32
{

class IconWindow
{
public:
    static constexpr const wchar_t* sWindowName = L"QuorvelTrayIconWnd";

    IconWindow() = default;
    IconWindow(const IconWindow&) = delete;
    IconWindow& operator=(const IconWindow&) = delete;
    virtual ~IconWindow();

    bool CreateWindowFor(HINSTANCE hInstance);
    // The icon leaves the notification area with its window.
    void Destroy();
    HWND Handle() const { return hWnd.get(); }
    // Sends the record to the shell and keeps it, so that a restarted shell gets the icon back as it was.
    bool Notify(ShellCommand nCommand, const NotifyRecord& record);

    HICON hWindowIcon = nullptr; // pictures the program holds for its whole life: borrowed, never destroyed here
    HICON hNewMailIcon = nullptr;
    HICON hCalendarIcon = nullptr;

protected:
    virtual void OnEvent(const TrayEvent& event) = 0;
    // Messages the subclass handles itself; false passes them on.
    virtual bool OnOtherMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& nResult);

private:
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam);
    HICON IconOf(TrayIconKind nKind) const;
    HICON BalloonIconOf(TrayIconKind nKind) const;

    void Detach();

    // What a second copy handed over, taken at once and acted on from the window's queue: a job run inside
    // WM_COPYDATA would hold the sender for as long as an upload takes.
    static constexpr UINT nHandedOverMessage = WM_APP + 0x51;
    std::deque<TrayEvent> HandedOver;

    UniqueWindow hWnd;
    HINSTANCE hModule = nullptr;
    WNDPROC pfnStaticProc = nullptr;
    UINT nTaskbarCreated = 0;
    bool bShown = false;
    NotifyRecord Last;
};

} // namespace qv::win32
