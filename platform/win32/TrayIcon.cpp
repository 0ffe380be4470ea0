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

TrayIcon::~TrayIcon()
{
    if (hWnd)
    {
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnStaticProc));
        ::RemovePropW(hWnd, sSelfProperty);
        ::DestroyWindow(hWnd);
    }
}

bool TrayIcon::Create(HINSTANCE hInstance, HICON hIcon, HICON hNewMail)
{
    hWindowIcon = hIcon;
    hNewMailIcon = hNewMail ? hNewMail : hIcon;
    nTaskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    // An ordinary top-level window that is never shown: FindWindow and the shell's broadcasts skip
    // message-only windows.
    hWnd = ::CreateWindowExW(0, L"STATIC", sWindowName, 0, 0, 0, 0, 0, nullptr, nullptr, hInstance, nullptr);
    if (!hWnd)
        return false;
    ::SetPropW(hWnd, sSelfProperty, this);
    pfnStaticProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TrayIcon::SubclassProc)));
    return true;
}

HICON TrayIcon::IconOf(TrayIconKind nKind) const
{
    return nKind == TrayIconKind::NewMail ? hNewMailIcon : hWindowIcon;
}

bool TrayIcon::Notify(ShellCommand nCommand, const NotifyRecord& record)
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data; // the wide record of this platform, pointer-sized handles included
    data.hWnd = hWnd;
    data.uID = nIconId;
    data.uFlags = record.nFlags;
    data.uCallbackMessage = nTrayCallbackMessage;
    data.hIcon = IconOf(record.nIcon);
    CopyField(data.szTip, record.sTip);
    CopyField(data.szInfo, record.sInfo);
    CopyField(data.szInfoTitle, record.sInfoTitle);
    data.uTimeout = record.nTimeout;
    data.dwInfoFlags = record.nInfoFlags;
    const DWORD nMessage = nCommand == ShellCommand::Add ? NIM_ADD : nCommand == ShellCommand::Modify ? NIM_MODIFY
                                                                                                        : NIM_DELETE;
    return ::Shell_NotifyIconW(nMessage, &data) != FALSE;
}

bool TrayIcon::Add()
{
    bAdded = Notify(Model.Iconizar(TrayIconKind::Window), Model.Record());
    return bAdded;
}

bool TrayIcon::Delete()
{
    bAdded = false;
    return Notify(ShellCommand::Delete, Model.Record());
}

void TrayIcon::IconReset()
{
    (void)Notify(Model.IconReset(TrayIconKind::Window), Model.Record()); // no taskbar: the shell says no
}

void TrayIcon::IconAdd(const std::string& sMensaje, int nSinLeer)
{
    (void)Notify(Model.IconAdd(sMensaje, nSinLeer, TrayIconKind::NewMail), Model.Record());
}

void TrayIcon::ShowMenu()
{
    UniqueMenu hMenu(::CreatePopupMenu());
    UniqueMenu hSetup(::CreatePopupMenu());
    if (!hMenu || !hSetup)
        return;
    const SettingsControls& c = pFrm->Controls;
    // Not yet built: the Windows integration and the About box are shown, but cannot be chosen.
    ::AppendMenuW(hSetup.get(), MF_STRING | MF_GRAYED | (c.mnuPopWinSetupAutoRun ? MF_CHECKED : 0),
                  IDM_WINSETUP_AUTORUN, Utf16(Texts::mnuPopWinSetupAutoRun).c_str());
    ::AppendMenuW(hSetup.get(), MF_STRING | MF_GRAYED | (c.mnuPopWinSetupMailtoHandler ? MF_CHECKED : 0),
                  IDM_WINSETUP_MAILTO, Utf16(Texts::mnuPopWinSetupMailtoHandler).c_str());
    ::AppendMenuW(hMenu.get(), MF_STRING, IDM_COMPROBAR, Utf16(Texts::mnuPopComprobar).c_str());
    const bool bConfigure = pMain->IsConfigureEnabled() && !pMain->IsVisible();
    ::AppendMenuW(hMenu.get(), MF_STRING | (bConfigure ? 0 : MF_GRAYED), IDM_CONF, Utf16(Texts::mnuPopConf).c_str());
    ::AppendMenuW(hMenu.get(), MF_STRING | (pFrm->sAuthToken.empty() ? MF_GRAYED : 0), IDM_ABRIRZIMBRA,
                  Utf16(Texts::mnuPopAbrirZimbra).c_str());
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
    case IDM_ABRIRZIMBRA: pFrm->Dispatch([&] { pFrm->AbreZimbra({}); }); break;
    case IDM_SALIR: pFrm->Dispatch([&] { pFrm->RequestUnload(); }); break;
    default: break;
    }
}

LRESULT CALLBACK TrayIcon::SubclassProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept
{
    auto* pSelf = static_cast<TrayIcon*>(::GetPropW(hWnd, sSelfProperty));
    if (!pSelf)
        return 0;
    return pSelf->OnMessage(nMsg, wParam, lParam);
}

LRESULT TrayIcon::OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == nTaskbarCreated && nTaskbarCreated != 0)
    {
        // The shell restarted (or started after us): the icon comes back as it was.
        if (pFrm && !pFrm->IsUnloaded())
            bAdded = Notify(ShellCommand::Add, Model.ForShellRestart());
        return ::CallWindowProcW(pfnStaticProc, hWnd, nMsg, wParam, lParam);
    }
    if (nMsg == nTrayCallbackMessage)
    {
        const TrayEvent event = DecodeTrayCallback(static_cast<uint32_t>(lParam));
        if (pFrm && event.nKind != TrayEventKind::None)
            pFrm->Dispatch([&] { pFrm->OnTrayEvent(event); });
        return 0;
    }
    if (nMsg == WM_COPYDATA)
    {
        const auto* pData = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (pFrm && pData)
        {
            const TrayEvent event = DecodeCopyData(
                pData->dwData, pData->lpData, pData->cbData,
                [](const char* pBytes, size_t nBytes) { return FromAnsi(std::string_view(pBytes, nBytes)); });
            if (event.nKind != TrayEventKind::None)
                pFrm->Dispatch([&] { pFrm->OnTrayEvent(event); });
        }
        return 0;
    }
    if (nMsg == WM_COMMAND && lParam == 0 && pFrm)
    {
        OnCommand(LOWORD(wParam));
        return 0;
    }
    if (nMsg == WM_QUERYENDSESSION)
        return TRUE;
    if (nMsg == WM_ENDSESSION && wParam && pFrm)
    {
        pFrm->Form_Unload(); // Windows may end the process once this returns: save now, once
        return 0;
    }
    return ::CallWindowProcW(pfnStaticProc, hWnd, nMsg, wParam, lParam);
}

} // namespace qv::win32
