#include "platform/win32/Win32.h"

#include "platform/win32/TrayIcon.h"
#include "app/InterfaceTexts.h"
#include "platform/win32/MainWindow.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Utf.h"
#include "platform/win32/resource.h"

#include <shellapi.h>

namespace qv::win32
{

namespace
{

constexpr const wchar_t* sSelfProperty = L"QuorvelTrayIcon";
constexpr UINT nIconId = 1;

} // namespace

void CopyField(wchar_t* pField, size_t nCapacity, const std::wstring& sText)
{
    size_t nLength = std::min(sText.size(), nCapacity - 1);
    if (nLength > 0 && nLength < sText.size() && IS_HIGH_SURROGATE(sText[nLength - 1]))
        --nLength;
    sText.copy(pField, nLength);
    pField[nLength] = L'\0';
}

TrayIcon::~TrayIcon()
{
    if (hWnd)
    {
        ::RemovePropW(hWnd, sSelfProperty);
        ::DestroyWindow(hWnd);
    }
}

bool TrayIcon::Create(HINSTANCE hInstance, HICON hIcon, HICON hNewMail)
{
    hWindowIcon = hShownIcon = hIcon;
    hNewMailIcon = hNewMail;
    // An ordinary top-level window that is never shown: FindWindow and the shell's broadcasts skip
    // message-only windows.
    hWnd = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", sWindowName, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             hInstance, nullptr);
    if (!hWnd)
        return false;
    ::SetPropW(hWnd, sSelfProperty, this);
    pfnStaticProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TrayIcon::SubclassProc)));
    nTaskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    return true;
}

bool TrayIcon::Notify(DWORD nMessage, UINT nFlags, DWORD nInfoFlags, const std::wstring& sTitle,
                      const std::wstring& sText)
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = hWnd;
    data.uID = nIconId;
    data.uFlags = nFlags;
    data.uCallbackMessage = nCallbackMessage;
    data.hIcon = hShownIcon;
    CopyField(data.szTip, std::size(data.szTip), sTipText);
    if (nFlags & NIF_INFO)
    {
        data.dwInfoFlags = nInfoFlags;
        data.uTimeout = 10000;
        CopyField(data.szInfoTitle, std::size(data.szInfoTitle), sTitle);
        CopyField(data.szInfo, std::size(data.szInfo), sText);
    }
    return ::Shell_NotifyIconW(nMessage, &data) != FALSE;
}

bool TrayIcon::Add(const std::string& sTip)
{
    sTipText = sDefaultTip = Utf16(sTip);
    bAdded = Notify(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    return bAdded;
}

bool TrayIcon::Delete()
{
    if (!bAdded)
        return false;
    bAdded = false;
    return Notify(NIM_DELETE, 0);
}

void TrayIcon::IconReset()
{
    hShownIcon = hWindowIcon;
    sTipText = sDefaultTip;
    if (bAdded)
        (void)Notify(NIM_MODIFY, NIF_ICON | NIF_TIP | NIF_INFO, NIIF_NONE); // an empty balloon hides the last one
}

void TrayIcon::IconAdd(const std::string& sMensaje, int nSinLeer)
{
    const std::wstring sText = Utf16(sMensaje);
    const size_t nBreak = sText.find(L"\r\n");
    const std::wstring sTitle = nBreak == std::wstring::npos ? sText : sText.substr(0, nBreak);
    const std::wstring sBody = nBreak == std::wstring::npos ? std::wstring() : sText.substr(nBreak + 2);
    if (nSinLeer >= 1)
    {
        hShownIcon = hNewMailIcon ? hNewMailIcon : hWindowIcon;
        sTipText = sText;
    }
    // The balloon shows the new-mail icon for mail, the information icon for appointments only.
    if (bAdded)
        (void)Notify(NIM_MODIFY, NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO,
                     nSinLeer >= 1 ? NIIF_USER : NIIF_INFO, sTitle, sBody);
}

void TrayIcon::ShowMenu()
{
    UniqueMenu hMenu(::CreatePopupMenu());
    UniqueMenu hSetup(::CreatePopupMenu());
    if (!hMenu || !hSetup)
        return;
    const SettingsControls& c = pFrm->Controls;
    // Not yet built: web mail, Windows integration and the About box are shown, but cannot be chosen.
    ::AppendMenuW(hSetup.get(), MF_STRING | MF_GRAYED | (c.mnuPopWinSetupAutoRun ? MF_CHECKED : 0),
                  IDM_WINSETUP_AUTORUN, Utf16(Texts::mnuPopWinSetupAutoRun).c_str());
    ::AppendMenuW(hSetup.get(), MF_STRING | MF_GRAYED | (c.mnuPopWinSetupMailtoHandler ? MF_CHECKED : 0),
                  IDM_WINSETUP_MAILTO, Utf16(Texts::mnuPopWinSetupMailtoHandler).c_str());
    ::AppendMenuW(hMenu.get(), MF_STRING, IDM_COMPROBAR, Utf16(Texts::mnuPopComprobar).c_str());
    const bool bConfigure = pMain->IsConfigureEnabled() && !pMain->IsVisible();
    ::AppendMenuW(hMenu.get(), MF_STRING | (bConfigure ? 0 : MF_GRAYED), IDM_CONF, Utf16(Texts::mnuPopConf).c_str());
    ::AppendMenuW(hMenu.get(), MF_STRING | MF_GRAYED, IDM_ABRIRZIMBRA, Utf16(Texts::mnuPopAbrirZimbra).c_str());
    ::AppendMenuW(hMenu.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(hSetup.release()),
                  Utf16(Texts::mnuPopWinSetup).c_str());
    ::AppendMenuW(hMenu.get(), MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(hMenu.get(), MF_STRING | MF_GRAYED, IDM_ABOUT, Utf16(Texts::mnuPopAbout).c_str());
    ::AppendMenuW(hMenu.get(), MF_STRING, IDM_SALIR, Utf16(Texts::mnuPopSalir).c_str());

    POINT pt{};
    ::GetCursorPos(&pt);
    ::SetForegroundWindow(hWnd); // else the menu does not close when the user clicks elsewhere
    ::TrackPopupMenu(hMenu.get(), TPM_RIGHTBUTTON, pt.x, pt.y, 0, hWnd, nullptr);
    ::PostMessageW(hWnd, WM_NULL, 0, 0);
}

void TrayIcon::OnCommand(int nId)
{
    switch (nId)
    {
    case IDM_COMPROBAR: pFrm->Dispatch([&] { pFrm->mnuPopComprobar_Click(); }); break;
    case IDM_CONF: pFrm->Dispatch([&] { pFrm->mnuPopConf_Click(); }); break;
    case IDM_SALIR: pFrm->Dispatch([&] { pFrm->RequestUnload(); }); break;
    default: break;
    }
}

void TrayIcon::OnCopyData(const COPYDATASTRUCT& data)
{
    // Only the settings request is handled yet; web mail, uploads and the mail-client hand-off come later.
    if (data.dwData == 4)
    {
        pFrm->Dispatch([&] {
            pFrm->ShowSettingsWindow();
            ::SetForegroundWindow(pMain->Handle());
        });
    }
}

LRESULT CALLBACK TrayIcon::SubclassProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept
{
    auto* pSelf = static_cast<TrayIcon*>(::GetPropW(hWnd, sSelfProperty));
    if (!pSelf)
        return ::DefWindowProcW(hWnd, nMsg, wParam, lParam);
    return pSelf->OnMessage(nMsg, wParam, lParam);
}

LRESULT TrayIcon::OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (pFrm && !pFrm->IsUnloaded())
    {
        if (nMsg == nCallbackMessage)
        {
            if (lParam == WM_RBUTTONUP)
                ShowMenu();
            else if (lParam == WM_LBUTTONUP && !pMain->IsVisible())
                pFrm->Dispatch([&] { pFrm->mnuPopComprobar_Click(); });
            return 0;
        }
        if (nMsg == nTaskbarCreated && nTaskbarCreated != 0)
        {
            // The shell restarted (or started after us): the icon comes back with its message, icon and tip,
            // whatever the last change was, or clicks would be lost.
            bAdded = Notify(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP);
            return 0;
        }
        if (nMsg == WM_COMMAND && lParam == 0)
        {
            OnCommand(LOWORD(wParam));
            return 0;
        }
        if (nMsg == WM_COPYDATA && lParam != 0)
        {
            OnCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
            return 0;
        }
    }
    if (nMsg == WM_QUERYENDSESSION)
        return TRUE;
    if (nMsg == WM_ENDSESSION && wParam && pFrm)
    {
        pFrm->Form_Unload();
        return 0;
    }
    return ::CallWindowProcW(pfnStaticProc, hWnd, nMsg, wParam, lParam);
}

} // namespace qv::win32
