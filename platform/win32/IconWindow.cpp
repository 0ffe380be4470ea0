#include "platform/win32/IconWindow.h"

#include "platform/win32/Win32.h"

#include <shellapi.h>

#include <algorithm>

#include "platform/win32/Utf.h"
#include "platform/win32/resource.h"

namespace qv::win32
{

namespace
{

constexpr const wchar_t* sSelfProperty = L"ObjectPointer";
constexpr UINT nIconId = 1;

template <size_t nUnits>
void CopyField(wchar_t (&field)[nUnits], const std::u16string& sText)
{
    const size_t nLength = std::min(sText.size(), nUnits - 1); // the model has cut it already
    std::copy_n(sText.begin(), nLength, field);
    field[nLength] = L'\0';
}

} // namespace

IconWindow::~IconWindow()
{
    Destroy();
}

void IconWindow::Destroy()
{
    if (!hWnd)
        return;
    if (bShown)
        (void)Notify(ShellCommand::Delete, Last);
    Detach();
    hWnd.reset();
}

void IconWindow::Detach()
{
    // The window's own procedure again, and no way back to this object.
    ::SetWindowLongPtrW(hWnd.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnStaticProc));
    ::RemovePropW(hWnd.get(), sSelfProperty);
}

bool IconWindow::CreateWindowFor(HINSTANCE hInstance)
{
    hModule = hInstance;
    nTaskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    // An ordinary top-level window that is never shown: FindWindow and the shell's broadcasts skip
    // message-only windows.
    hWnd.reset(::CreateWindowExW(0, L"STATIC", sWindowName, 0, 0, 0, 0, 0, nullptr, nullptr, hInstance, nullptr));
    if (!hWnd)
        return false;
    ::SetPropW(hWnd.get(), sSelfProperty, this);
    pfnStaticProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&IconWindow::SubclassProc)));
    return true;
}

HICON IconWindow::IconOf(TrayIconKind nKind) const
{
    switch (nKind)
    {
    case TrayIconKind::NewMail: return hNewMailIcon ? hNewMailIcon : hWindowIcon;
    case TrayIconKind::Calendar: return hCalendarIcon ? hCalendarIcon : hWindowIcon;
    default: return hWindowIcon;
    }
}

HICON IconWindow::BalloonIconOf(TrayIconKind nKind) const
{
    const int nId = nKind == TrayIconKind::NewMail    ? IDI_NEWMAIL
                    : nKind == TrayIconKind::Calendar ? IDI_CALENDAR
                                                      : IDI_QUORVEL;
    // The large picture, loaded with the first balloon that needs it; shared, so the system keeps the one copy.
    return static_cast<HICON>(::LoadImageW(hModule, MAKEINTRESOURCEW(nId), IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
                                           ::GetSystemMetrics(SM_CYICON), LR_SHARED));
}

bool IconWindow::Notify(ShellCommand nCommand, const NotifyRecord& record)
{
    if (!hWnd)
        return false;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data; // the wide record of this platform, pointer-sized handles included
    data.hWnd = hWnd.get();
    data.uID = nIconId;
    data.uFlags = record.nFlags;
    data.uCallbackMessage = nTrayCallbackMessage;
    data.hIcon = IconOf(record.nIcon);
    CopyField(data.szTip, record.sTip);
    CopyField(data.szInfo, record.sInfo);
    CopyField(data.szInfoTitle, record.sInfoTitle);
    data.uTimeout = record.nTimeout;
    data.dwInfoFlags = record.nInfoFlags;
    // A balloon of the user's own picture takes it from hBalloonIcon since Vista; hIcon is only the XP fallback.
    if ((record.nFlags & NIF_INFO) && (record.nInfoFlags & NIIF_ICON_MASK) == NIIF_USER)
    {
        data.hBalloonIcon = BalloonIconOf(record.nIcon);
        if (data.hBalloonIcon)
            data.dwInfoFlags |= NIIF_LARGE_ICON;
        else
            data.hBalloonIcon = data.hIcon;
    }
    const DWORD nMessage = nCommand == ShellCommand::Add      ? NIM_ADD
                           : nCommand == ShellCommand::Modify ? NIM_MODIFY
                                                              : NIM_DELETE;
    Last = record;
    bShown = nCommand != ShellCommand::Delete;
    return ::Shell_NotifyIconW(nMessage, &data) != FALSE;
}

bool IconWindow::OnOtherMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

LRESULT CALLBACK IconWindow::SubclassProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept
{
    auto* pSelf = static_cast<IconWindow*>(::GetPropW(hWnd, sSelfProperty));
    if (!pSelf)
        return ::DefWindowProcW(hWnd, nMsg, wParam, lParam);
    if (nMsg == WM_NCDESTROY)
    {
        // Destroyed from outside (its owner went, say): nothing may reach the object after this.
        const WNDPROC pfnProc = pSelf->pfnStaticProc;
        pSelf->Detach();
        (void)pSelf->hWnd.release();
        return ::CallWindowProcW(pfnProc, hWnd, nMsg, wParam, lParam);
    }
    return pSelf->OnMessage(nMsg, wParam, lParam);
}

LRESULT IconWindow::OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == nTaskbarCreated && nTaskbarCreated != 0)
    {
        // The shell restarted (or started after us): the icon comes back as it was.
        if (bShown)
            (void)Notify(ShellCommand::Add, ForShellRestart(Last));
        return ::CallWindowProcW(pfnStaticProc, hWnd.get(), nMsg, wParam, lParam);
    }
    if (nMsg == nTrayCallbackMessage)
    {
        const TrayEvent event = DecodeTrayCallback(static_cast<uint32_t>(lParam));
        if (event.nKind != TrayEventKind::None)
            OnEvent(event);
        return 0;
    }
    if (nMsg == WM_COPYDATA)
    {
        if (const auto* pData = reinterpret_cast<const COPYDATASTRUCT*>(lParam))
        {
            const TrayEvent event =
                DecodeCopyData(pData->dwData, pData->lpData, pData->cbData, [](const char* pBytes, size_t nBytes) {
                    return FromAnsi(std::string_view(pBytes, nBytes));
                });
            if (event.nKind != TrayEventKind::None)
            {
                HandedOver.push_back(event);
                if (!::PostMessageW(hWnd.get(), nHandedOverMessage, 0, 0))
                {
                    HandedOver.pop_back(); // the queue is full: acted on now rather than lost
                    OnEvent(event);
                }
            }
        }
        return 0;
    }
    if (nMsg == nHandedOverMessage)
    {
        // Posted by anyone else, it finds nothing to do.
        if (!HandedOver.empty())
        {
            const TrayEvent event = std::move(HandedOver.front());
            HandedOver.pop_front();
            OnEvent(event);
        }
        return 0;
    }
    LRESULT nResult = 0;
    if (OnOtherMessage(nMsg, wParam, lParam, nResult))
        return nResult;
    return ::CallWindowProcW(pfnStaticProc, hWnd.get(), nMsg, wParam, lParam);
}

} // namespace qv::win32
