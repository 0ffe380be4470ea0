// Quorvel.exe: the single-instance test, the hand-off of a second copy, and the message loop of the first.
#include "platform/win32/Win32.h"

#include <objbase.h>

#include "app/CommandLine.h"
#include "app/frmMain.h"
#include "platform/Product.h"
#include "platform/Text.h"
#include "platform/win32/Files.h"
#include "platform/win32/MainWindow.h"
#include "platform/win32/Packing.h"
#include "platform/win32/Registry.h"
#include "platform/win32/Services.h"
#include "platform/win32/ShellLink.h"
#include "platform/win32/TrayIcon.h"
#include "platform/win32/Utf.h"
#include "platform/win32/WinHttpTls.h"
#include "platform/win32/WinHttpTransport.h"
#include "platform/win32/WinSetup.h"
#include "platform/win32/WinsockSockets.h"
#include "platform/win32/resource.h"
#include "settings/SendTo.h"

namespace
{

using namespace qv;

// A second copy hands its command line over and ends; it shows nothing and loads no settings.
void HandOff(HWND hRunning, const std::wstring& sCommandLine)
{
    HandOffMessage message =
        BuildHandOff(win32::Utf8(sCommandLine), [](const std::string& sText) { return win32::Ansi(sText); });
    COPYDATASTRUCT data{};
    data.dwData = static_cast<ULONG_PTR>(message.nCode);
    data.cbData = static_cast<DWORD>(message.sBytes.size());
    data.lpData = message.sBytes.empty() ? nullptr : message.sBytes.data();
    DWORD_PTR nResult = 0;
    // Synchronous, as the running copy expects; bounded, so a hung copy cannot hold this one for ever.
    ::SendMessageTimeoutW(hRunning, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, 10 * 60 * 1000,
                          &nResult);
}

HWND RunningWindow()
{
    return ::FindWindowW(L"STATIC", win32::IconWindow::sWindowName);
}

// Set by the first copy once its window can take a hand-off; it exists from the first copy's start to its end,
// so a copy that finds it without the window knows the other one is still starting.
constexpr const wchar_t* sReadyEventName = L"Local\\Quorvel.Ready";
constexpr DWORD nStartingWaitMs = 10 * 1000;

} // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int)
{
    const win32::UniqueKernelHandle hReady(::CreateEventW(nullptr, TRUE, FALSE, sReadyEventName));
    const bool bAnotherCopy = hReady && ::GetLastError() == ERROR_ALREADY_EXISTS;
    HWND hRunning = RunningWindow();
    if (!hRunning && bAnotherCopy)
    {
        ::WaitForSingleObject(hReady.get(), nStartingWaitMs);
        hRunning = RunningWindow();
    }
    if (hRunning)
    {
        HandOff(hRunning, ::GetCommandLineW());
        return 0;
    }
    if (bAnotherCopy)
    {
        // Still starting after all this time, or closing: say so rather than drop what the user asked for.
        const std::string sArguments = ArgumentsOf(win32::Utf8(::GetCommandLineW()));
        if (!Trim(sArguments).empty())
            ::MessageBoxW(nullptr, win32::Utf16(HandOffLostText(sArguments)).c_str(),
                          win32::Utf16(ProductCaption()).c_str(), MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
        return 0;
    }

    (void)::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    // The program's pictures: its own for its whole life, lent to the windows and icons, destroyed last.
    const win32::UniqueIcon hIcon(
        static_cast<HICON>(::LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_QUORVEL), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
    const auto SmallIcon = [&](int nId) {
        return win32::UniqueIcon(
            static_cast<HICON>(::LoadImageW(hInstance, MAKEINTRESOURCEW(nId), IMAGE_ICON,
                                            ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0)));
    };
    const win32::UniqueIcon hSmall = SmallIcon(IDI_QUORVEL), hNewMail = SmallIcon(IDI_NEWMAIL),
                            hCalendar = SmallIcon(IDI_CALENDAR);

    win32::TrayIcon tray;
    if (!tray.Create(hInstance, hSmall.get(), hNewMail.get(), hCalendar.get()))
        return 1;
    win32::MainWindow window;
    if (!window.Create(hInstance, tray.Handle(), hIcon.get()))
        return 1;

    win32::Win32Registry registry;
    win32::WinHttpTransport soap;
    win32::Win32Dialogs dialogs;
    dialogs.hOwner = window.Handle();
    win32::Win32Clock clock;
    win32::Win32Locale locale;
    win32::Win32Timers timers;
    timers.hWnd = window.Handle();
    win32::Win32System system;
    win32::Win32Files files;
    win32::Win32ShellLinks shellLinks;
    ShortcutKeeper integration(shellLinks, files, dialogs);
    win32::Win32Shell shell;
    win32::Win32WindowTree windows;
    win32::Win32WinSetup winSetup;
    shell.hMain = window.Handle();
    win32::WinsockSockets sockets;
    win32::WinHttpTls tls;
    win32::Win32Processes processes;
    win32::Win32Keyboard keyboard;
    Platform platform{.Registry = registry,
                      .Soap = soap,
                      .Dialogs = dialogs,
                      .Clock = clock,
                      .Locale = locale,
                      .Timers = timers,
                      .View = window,
                      .Tray = tray,
                      .Integration = integration,
                      .System = system,
                      .Shell = shell,
                      .ItemIcons = tray,
                      .Windows = windows,
                      .WinSetup = winSetup,
                      .Sockets = sockets,
                      .Tls = tls,
                      .Files = files,
                      .Processes = processes,
                      .Keyboard = keyboard,
                      .ShellLinks = shellLinks};

    {
        frmMain form(platform);
        // A first copy started with a link (or the settings, or files) takes it up after its first good check.
        if (const HandOffRequest start = PrepareHandOff(ArgumentsOf(win32::Utf8(::GetCommandLineW())));
            start.bHasText)
            form.StartRequests.push_back(start);
        window.Bind(&form, &form, &form.Settings.Controls);
        tray.Bind(&form);
        if (hReady)
            ::SetEvent(hReady.get()); // a copy started meanwhile may hand over now
        form.Dispatch([&] { form.Form_Load(); });

        MSG msg{};
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
        {
            if (window.TranslateDialogMessage(msg))
                continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        form.Form_Unload(); // a quit from elsewhere still saves and removes the icon; runs once

        // Windows before the objects they report to: the settings window, then its owner, the hidden window.
        timers.hWnd = nullptr;
        window.Destroy();
        tray.Bind(nullptr);
        tray.Destroy();
    }
    ::CoUninitialize();
    return 0;
}
