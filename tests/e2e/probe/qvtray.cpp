// qvtray: the smallest useful tray program - a hidden window, one icon, a message loop - as a yardstick for
// the memory benchmark. qvtray.exe [SECONDS]: it removes its icon and ends by itself after SECONDS (600).
#include <windows.h>
// The other Windows headers need the types of windows.h.
#include <shellapi.h>

#include <cwchar>

namespace
{

constexpr UINT nCallbackMessage = WM_APP + 1;
constexpr UINT_PTR nLifetimeTimer = 1;
UINT nTaskbarCreated = 0;
NOTIFYICONDATAW Icon{};

LRESULT CALLBACK WndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == nTaskbarCreated && nTaskbarCreated != 0)
    {
        ::Shell_NotifyIconW(NIM_ADD, &Icon);
        return 0;
    }
    switch (nMsg)
    {
    case WM_TIMER:
    case WM_CLOSE: ::DestroyWindow(hWnd); return 0;
    case WM_DESTROY:
        ::Shell_NotifyIconW(NIM_DELETE, &Icon);
        ::PostQuitMessage(0);
        return 0;
    default: return ::DefWindowProcW(hWnd, nMsg, wParam, lParam);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR pCmdLine, int)
{
    double dSeconds = pCmdLine && *pCmdLine ? std::wcstod(pCmdLine, nullptr) : 600.0;
    if (dSeconds <= 0 || dSeconds > 86400)
        dSeconds = 600.0;
    nTaskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    WNDCLASSW wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = L"QvTrayWnd";
    if (!::RegisterClassW(&wc))
        return 1;
    HWND hWnd = ::CreateWindowExW(0, L"QvTrayWnd", L"qvtray", 0, 0, 0, 0, 0, nullptr, nullptr, hInstance, nullptr);
    if (!hWnd)
        return 1;
    Icon.cbSize = sizeof Icon;
    Icon.hWnd = hWnd;
    Icon.uID = 1;
    Icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    Icon.uCallbackMessage = nCallbackMessage;
    Icon.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    lstrcpynW(Icon.szTip, L"qvtray", ARRAYSIZE(Icon.szTip));
    ::Shell_NotifyIconW(NIM_ADD, &Icon);
    ::SetTimer(hWnd, nLifetimeTimer, static_cast<UINT>(dSeconds * 1000), nullptr);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
