#include "platform/win32/MainWindow.h"

#include "platform/win32/Win32.h"

#include <commctrl.h>

#include "app/InterfaceTexts.h"
#include "platform/win32/Services.h"
#include "platform/win32/Utf.h"

namespace qv::win32
{

namespace
{

enum ControlId : int {
    lblServer = 1001,
    txtZimbraHost,
    lblUsername,
    txtUsuario,
    lblPassword,
    txtPassword,
    chkSSL,
    chkGuardaPassword,
    chkWebmailLogin,
    lblTitleMailPollInterval,
    lblMailPollInterval,
    chkVentana,
    chkSonido,
    fraFilters,
    optBlackList,
    optWhiteList,
    lblTitleFilters,
    txtFilters,
    cmdAceptar = IDOK,
    cmdCerrar = IDCANCEL,
};

int IdOf(Control nControl)
{
    switch (nControl)
    {
    case Control::txtZimbraHost: return txtZimbraHost;
    case Control::txtUsuario: return txtUsuario;
    case Control::txtPassword: return txtPassword;
    case Control::txtFilters: return txtFilters;
    case Control::cmdAceptar: return cmdAceptar;
    case Control::cmdCerrar: return cmdCerrar;
    }
    return txtPassword;
}

constexpr int nLockable[] = {txtZimbraHost,     txtUsuario,      txtPassword,         cmdAceptar,
                             cmdCerrar,         chkSSL,          chkSonido,           chkVentana,
                             chkGuardaPassword, chkWebmailLogin, lblMailPollInterval, txtFilters,
                             fraFilters,        optBlackList,    optWhiteList};

} // namespace

bool MainWindow::Create(HINSTANCE hInstance, HWND hOwner, HICON hIcon)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = hInstance;
    wc.hIcon = hIcon;
    wc.hIconSm = hIcon;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = sClassName;
    if (!::RegisterClassExW(&wc))
        return false;

    RECT rc{0, 0, 340, 318};
    const DWORD nStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    ::AdjustWindowRectEx(&rc, nStyle, FALSE, WS_EX_CONTROLPARENT);
    const int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    RECT work{0, 0, 1024, 768};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    hWnd = ::CreateWindowExW(WS_EX_CONTROLPARENT, sClassName, Utf16(Texts::frmMain).c_str(), nStyle,
                             work.left + (work.right - work.left - cx) / 2,
                             work.top + (work.bottom - work.top - cy) / 2, cx, cy, hOwner, nullptr, hInstance, this);
    if (!hWnd)
        return false;
    CreateControls();
    return true;
}

HWND MainWindow::Add(int nId, const wchar_t* sClass, const char* sText, DWORD nStyle, int x, int y, int cx, int cy,
                     const char* sTip)
{
    const DWORD nExStyle = std::wstring_view(sClass) == WC_EDITW ? WS_EX_CLIENTEDGE : 0;
    HWND hControl =
        ::CreateWindowExW(nExStyle, sClass, Utf16(sText ? sText : "").c_str(), WS_CHILD | WS_VISIBLE | nStyle, x, y, cx,
                          cy, hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(nId)), nullptr, nullptr);
    if (hControl && hFont)
        ::SendMessageW(hControl, WM_SETFONT, reinterpret_cast<WPARAM>(hFont), FALSE);
    if (hControl && hTips && sTip)
    {
        std::wstring sWideTip = Utf16(sTip);
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hWnd;
        tool.uId = reinterpret_cast<UINT_PTR>(hControl);
        tool.lpszText = sWideTip.data();
        ::SendMessageW(hTips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    return hControl;
}

void MainWindow::CreateControls()
{
    // Every control in the dialog font; a missing font is simply skipped.
    hFont = ::CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg");
    hTips = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hWnd, nullptr, nullptr, nullptr);
    if (hTips)
        ::SendMessageW(hTips, TTM_SETMAXTIPWIDTH, 0, 300);

    const DWORD nEdit = WS_TABSTOP | ES_AUTOHSCROLL;
    Add(lblServer, WC_STATICW, Texts::lblServer, 0, 10, 12, 80, 16);
    Add(txtZimbraHost, WC_EDITW, "", nEdit, 95, 10, 235, 20, Texts::txtZimbraHostTip);
    Add(lblUsername, WC_STATICW, Texts::lblUsername, 0, 10, 38, 80, 16);
    Add(txtUsuario, WC_EDITW, "", nEdit, 95, 36, 235, 20);
    Add(lblPassword, WC_STATICW, Texts::lblPassword, 0, 10, 64, 80, 16);
    Add(txtPassword, WC_EDITW, "", nEdit | ES_PASSWORD, 95, 62, 235, 20);
    Add(chkSSL, WC_BUTTONW, Texts::chkSSL, WS_TABSTOP | BS_AUTOCHECKBOX, 10, 90, 160, 18, Texts::chkSSLTip);
    Add(chkGuardaPassword, WC_BUTTONW, Texts::chkGuardaPassword, WS_TABSTOP | BS_AUTOCHECKBOX, 180, 90, 150, 18);
    Add(chkWebmailLogin, WC_BUTTONW, Texts::chkWebmailLogin, WS_TABSTOP | BS_AUTOCHECKBOX, 10, 112, 160, 18);
    Add(lblTitleMailPollInterval, WC_STATICW, Texts::lblTitleMailPollInterval, 0, 180, 113, 90, 16);
    Add(lblMailPollInterval, WC_STATICW, "", SS_NOTIFY, 272, 113, 58, 16, Texts::lblMailPollIntervalTip);
    Add(chkVentana, WC_BUTTONW, Texts::chkVentana, WS_TABSTOP | BS_AUTOCHECKBOX, 10, 134, 160, 18);
    Add(chkSonido, WC_BUTTONW, Texts::chkSonido, WS_TABSTOP | BS_AUTOCHECKBOX, 180, 134, 150, 18, Texts::chkSonidoTip);
    Add(fraFilters, WC_BUTTONW, Texts::fraFilters, BS_GROUPBOX, 10, 160, 320, 110);
    Add(optBlackList, WC_BUTTONW, Texts::optBlackList, WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 22, 182, 140, 18);
    Add(optWhiteList, WC_BUTTONW, Texts::optWhiteList, BS_AUTORADIOBUTTON, 170, 182, 140, 18);
    Add(lblTitleFilters, WC_STATICW, Texts::lblTitleFilters, 0, 22, 208, 290, 16);
    Add(txtFilters, WC_EDITW, "", nEdit | WS_GROUP, 22, 230, 296, 22, Texts::txtFiltersTip);
    Add(cmdAceptar, WC_BUTTONW, Texts::cmdAceptar, WS_TABSTOP | BS_DEFPUSHBUTTON, 150, 282, 85, 26);
    Add(cmdCerrar, WC_BUTTONW, Texts::cmdCerrar, WS_TABSTOP | BS_PUSHBUTTON, 245, 282, 85, 26);
}

bool MainWindow::TranslateDialogMessage(MSG& msg)
{
    return hWnd && ::IsDialogMessageW(hWnd, &msg);
}

std::string MainWindow::Text(int nId) const
{
    HWND hControl = ::GetDlgItem(hWnd, nId);
    const int nLength = ::GetWindowTextLengthW(hControl);
    std::wstring sText(static_cast<size_t>(nLength) + 1, L'\0');
    sText.resize(static_cast<size_t>(::GetWindowTextW(hControl, sText.data(), nLength + 1)));
    return Utf8(sText);
}

void MainWindow::SetText(int nId, const std::string& sText)
{
    if (Text(nId) != sText)
        ::SetDlgItemTextW(hWnd, nId, Utf16(sText).c_str());
}

void MainWindow::RefreshControls()
{
    if (!pFrm || !hWnd)
        return;
    // Showing the model's values must not run the change handlers that clear the session.
    bRefreshing = true;
    const SettingsControls& c = pFrm->Controls;
    SetText(txtZimbraHost, c.txtZimbraHost);
    SetText(txtUsuario, c.txtUsuario);
    SetText(txtPassword, c.txtPassword);
    SetText(txtFilters, c.txtFilters);
    SetText(lblMailPollInterval, c.lblMailPollInterval);
    ::CheckDlgButton(hWnd, chkSSL, c.chkSSL ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(hWnd, chkGuardaPassword, c.chkGuardaPassword ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(hWnd, chkWebmailLogin, c.chkWebmailLogin ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(hWnd, chkVentana, c.chkVentana ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(hWnd, chkSonido, c.chkSonido ? BST_CHECKED : BST_UNCHECKED);
    ::CheckRadioButton(hWnd, optBlackList, optWhiteList, c.optWhiteList ? optWhiteList : optBlackList);
    bRefreshing = false;
}

void MainWindow::ShowNormal()
{
    ::ShowWindow(hWnd, SW_RESTORE);
    ::ShowWindow(hWnd, SW_SHOW);
    ::SetForegroundWindow(hWnd);
}

void MainWindow::HideMinimized()
{
    // Hidden is enough: minimizing a hidden window would flash it on the way, and showing always restores it.
    ::ShowWindow(hWnd, SW_HIDE);
}

bool MainWindow::IsVisible()
{
    return hWnd && ::IsWindowVisible(hWnd);
}

void MainWindow::SetFocus(Control nControl)
{
    ::SetFocus(::GetDlgItem(hWnd, IdOf(nControl)));
}

void MainWindow::SetLocked(bool bLocked, const std::string& sTitle)
{
    for (const int nId : nLockable)
        ::EnableWindow(::GetDlgItem(hWnd, nId), !bLocked);
    ::SetWindowTextW(hWnd, Utf16(sTitle).c_str());
    ::SetCursor(::LoadCursorW(nullptr, bLocked ? IDC_WAIT : IDC_ARROW));
}

void MainWindow::EndProgram()
{
    ::PostQuitMessage(0);
}

// The taskbar's notification area: "TrayNotifyWnd" inside "Shell_TrayWnd", both without a title.
static HWND GetNotificationAreaHandle()
{
    HWND hTaskbar = ::FindWindowW(L"Shell_TrayWnd", L"");
    return hTaskbar ? ::FindWindowExW(hTaskbar, nullptr, L"TrayNotifyWnd", L"") : nullptr;
}

void MainWindow::AnimateToTray()
{
    HWND hArea = GetNotificationAreaHandle();
    RECT rcFrom{}, rcTo{};
    if (!hArea || !::GetWindowRect(hWnd, &rcFrom) || !::GetWindowRect(hArea, &rcTo))
        return;
    ::DrawAnimatedRects(hWnd, IDANI_CAPTION, &rcFrom, &rcTo);
}

void MainWindow::OnCommand(int nId, int nCode)
{
    if (!pFrm || bRefreshing)
        return;
    SettingsControls& c = pFrm->Controls;
    const auto Checked = [&](int nButton) { return static_cast<int16_t>(::IsDlgButtonChecked(hWnd, nButton) == 1); };
    switch (nId)
    {
    case txtZimbraHost:
        if (nCode == EN_CHANGE)
            pFrm->txtZimbraHost_Change(Text(txtZimbraHost));
        else if (nCode == EN_KILLFOCUS && !bValidating)
        {
            bValidating = true;
            if (!pFrm->txtZimbraHost_Validate())
                ::SetFocus(::GetDlgItem(hWnd, txtZimbraHost));
            bValidating = false;
        }
        else if (nCode == EN_SETFOCUS)
            ::SendDlgItemMessageW(hWnd, nId, EM_SETSEL, 0, -1);
        break;
    case txtUsuario:
        if (nCode == EN_CHANGE)
            pFrm->txtUsuario_Change(Text(txtUsuario));
        else if (nCode == EN_SETFOCUS)
            ::SendDlgItemMessageW(hWnd, nId, EM_SETSEL, 0, -1);
        break;
    case txtPassword:
        if (nCode == EN_CHANGE)
            pFrm->txtPassword_Change(Text(txtPassword));
        else if (nCode == EN_KILLFOCUS)
            pFrm->CommitPassword();
        else if (nCode == EN_SETFOCUS)
            ::SendDlgItemMessageW(hWnd, nId, EM_SETSEL, 0, -1);
        break;
    case txtFilters:
        if (nCode == EN_CHANGE)
            c.txtFilters = Text(txtFilters);
        else if (nCode == EN_SETFOCUS)
            ::SendDlgItemMessageW(hWnd, nId, EM_SETSEL, 0, -1);
        break;
    case chkSSL:
        c.chkSSL = Checked(chkSSL);
        pFrm->bServerProbed = false; // the next request probes the server with the new scheme
        break;
    case chkGuardaPassword: c.chkGuardaPassword = Checked(chkGuardaPassword); break;
    case chkWebmailLogin: c.chkWebmailLogin = Checked(chkWebmailLogin); break;
    case chkVentana: c.chkVentana = Checked(chkVentana); break;
    case chkSonido: c.chkSonido = Checked(chkSonido); break;
    case optBlackList:
    case optWhiteList: c.optWhiteList = ::IsDlgButtonChecked(hWnd, optWhiteList) == 1; break;
    case cmdAceptar: {
        // Enter in another box does not submit: only the button itself or the password box do.
        const HWND hFocus = ::GetFocus();
        const Control nActive = hFocus == ::GetDlgItem(hWnd, txtPassword)  ? Control::txtPassword
                                : hFocus == ::GetDlgItem(hWnd, cmdAceptar) ? Control::cmdAceptar
                                                                           : Control::txtZimbraHost;
        pFrm->Dispatch([&] { pFrm->cmdAceptar_Click(nActive); });
        break;
    }
    case cmdCerrar: pFrm->Dispatch([&] { pFrm->cmdCerrar_Click(); }); break;
    default: break;
    }
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept
{
    if (nMsg == WM_NCCREATE)
    {
        auto* pCreate = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pCreate->lpCreateParams));
        static_cast<MainWindow*>(pCreate->lpCreateParams)->hWnd = hWnd;
    }
    auto* pSelf = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (!pSelf)
        return ::DefWindowProcW(hWnd, nMsg, wParam, lParam);
    return pSelf->OnMessage(nMsg, wParam, lParam);
}

LRESULT MainWindow::OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    switch (nMsg)
    {
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_TIMER:
        if (pFrm && (wParam == Win32Timers::nCheckTimerId || wParam == 1))
            pFrm->Dispatch([&] { pFrm->CheckTimerProc(); });
        return 0;
    case WM_ACTIVATE:
        if (pFrm && LOWORD(wParam) != WA_INACTIVE)
            pFrm->Form_Activate();
        break;
    case WM_CLOSE:
        // The caption's close button hides the window like "Close"; the program keeps running.
        if (pFrm)
            pFrm->Dispatch([&] { pFrm->cmdCerrar_Click(); });
        return 0;
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
        if (wParam && pFrm)
            pFrm->Form_Unload(); // Windows may end the process once this returns: save now, once
        return 0;
    case WM_DESTROY:
        if (hFont)
            ::DeleteObject(hFont);
        hFont = nullptr;
        return 0;
    default: break;
    }
    return ::DefWindowProcW(hWnd, nMsg, wParam, lParam);
}

} // namespace qv::win32
