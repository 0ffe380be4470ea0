#include "platform/win32/MainWindow.h"

#include "platform/win32/Win32.h"

#include <commctrl.h>

#include "platform/InterfaceTexts.h"
#include "platform/win32/CommonControls.h"
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

// The client area and every control, in pixels at 96 dots per inch; scaled to the window's own DPI.
constexpr int nClientWidth = 340, nClientHeight = 318, nFontPoints = 8;

struct Placed
{
    int nId;
    const wchar_t* sClass;
    const char* sText;
    DWORD nStyle;
    int x, y, cx, cy;
    const char* sTip;
};

constexpr DWORD nEdit = WS_TABSTOP | ES_AUTOHSCROLL;
const Placed Layout[] = {
    {lblServer, WC_STATICW, Texts::lblServer, 0, 10, 12, 80, 16, nullptr},
    {txtZimbraHost, WC_EDITW, "", nEdit, 95, 10, 235, 20, Texts::txtZimbraHostTip},
    {lblUsername, WC_STATICW, Texts::lblUsername, 0, 10, 38, 80, 16, nullptr},
    {txtUsuario, WC_EDITW, "", nEdit, 95, 36, 235, 20, nullptr},
    {lblPassword, WC_STATICW, Texts::lblPassword, 0, 10, 64, 80, 16, nullptr},
    {txtPassword, WC_EDITW, "", nEdit | ES_PASSWORD, 95, 62, 235, 20, nullptr},
    {chkSSL, WC_BUTTONW, Texts::chkSSL, WS_TABSTOP | BS_AUTOCHECKBOX, 10, 90, 160, 18, Texts::chkSSLTip},
    {chkGuardaPassword, WC_BUTTONW, Texts::chkGuardaPassword, WS_TABSTOP | BS_AUTOCHECKBOX, 180, 90, 150, 18,
     nullptr},
    {chkWebmailLogin, WC_BUTTONW, Texts::chkWebmailLogin, WS_TABSTOP | BS_AUTOCHECKBOX, 10, 112, 160, 18, nullptr},
    {lblTitleMailPollInterval, WC_STATICW, Texts::lblTitleMailPollInterval, 0, 180, 113, 90, 16, nullptr},
    {lblMailPollInterval, WC_STATICW, "", SS_NOTIFY, 272, 113, 58, 16, Texts::lblMailPollIntervalTip},
    {chkVentana, WC_BUTTONW, Texts::chkVentana, WS_TABSTOP | BS_AUTOCHECKBOX, 10, 134, 160, 18, nullptr},
    {chkSonido, WC_BUTTONW, Texts::chkSonido, WS_TABSTOP | BS_AUTOCHECKBOX, 180, 134, 150, 18, Texts::chkSonidoTip},
    {fraFilters, WC_BUTTONW, Texts::fraFilters, BS_GROUPBOX, 10, 160, 320, 110, nullptr},
    {optBlackList, WC_BUTTONW, Texts::optBlackList, WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 22, 182, 140, 18,
     nullptr},
    {optWhiteList, WC_BUTTONW, Texts::optWhiteList, BS_AUTORADIOBUTTON, 170, 182, 140, 18, nullptr},
    {lblTitleFilters, WC_STATICW, Texts::lblTitleFilters, 0, 22, 208, 290, 16, nullptr},
    {txtFilters, WC_EDITW, "", nEdit | WS_GROUP, 22, 230, 296, 22, Texts::txtFiltersTip},
    {cmdAceptar, WC_BUTTONW, Texts::cmdAceptar, WS_TABSTOP | BS_DEFPUSHBUTTON, 150, 282, 85, 26, nullptr},
    {cmdCerrar, WC_BUTTONW, Texts::cmdCerrar, WS_TABSTOP | BS_PUSHBUTTON, 245, 282, 85, 26, nullptr},
};

constexpr DWORD nWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// Windows 10 gives each window its monitor's DPI; older systems, and Wine, one DPI for the whole screen.
UINT DpiOf(HWND hWnd)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto fnGetDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (hWnd && fnGetDpiForWindow)
        if (const UINT nDpi = fnGetDpiForWindow(hWnd))
            return nDpi;
    HDC hScreen = ::GetDC(nullptr);
    const int nDpi = hScreen ? ::GetDeviceCaps(hScreen, LOGPIXELSY) : 96;
    if (hScreen)
        ::ReleaseDC(nullptr, hScreen);
    return nDpi > 0 ? static_cast<UINT>(nDpi) : 96;
}

int Scaled(int n, UINT nDpi)
{
    return ::MulDiv(n, static_cast<int>(nDpi), 96);
}

// The outer size for the scaled client area, with the frame of that DPI where the system can say.
SIZE WindowSizeFor(UINT nDpi)
{
    RECT rc{0, 0, Scaled(nClientWidth, nDpi), Scaled(nClientHeight, nDpi)};
    using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto fnAdjust = reinterpret_cast<AdjustFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    if (!fnAdjust || !fnAdjust(&rc, nWindowStyle, FALSE, WS_EX_CONTROLPARENT, nDpi))
        ::AdjustWindowRectEx(&rc, nWindowStyle, FALSE, WS_EX_CONTROLPARENT);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

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

    // Made at the primary screen's DPI; placed, the window learns its monitor's and takes that size.
    const SIZE size = WindowSizeFor(DpiOf(nullptr));
    RECT work{0, 0, 1024, 768};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    hWnd.reset(::CreateWindowExW(WS_EX_CONTROLPARENT, sClassName, Utf16(Texts::frmMain).c_str(), nWindowStyle,
                                 work.left + (work.right - work.left - size.cx) / 2,
                                 work.top + (work.bottom - work.top - size.cy) / 2, size.cx, size.cy, hOwner, nullptr,
                                 hInstance, this));
    if (hWnd)
        nDpi = DpiOf(hWnd.get());
    // The controls come with the first showing: most starts never show the window, and the common controls
    // library they need costs most of a megabyte.
    return static_cast<bool>(hWnd);
}

void MainWindow::Destroy()
{
    Bind(nullptr, nullptr, nullptr);
    hTips.reset();
    hWnd.reset();
    hFont.reset();
}

HWND MainWindow::Add(int nId, const wchar_t* sClass, const char* sText, DWORD nStyle, int x, int y, int cx, int cy,
                     const char* sTip)
{
    const DWORD nExStyle = std::wstring_view(sClass) == WC_EDITW ? WS_EX_CLIENTEDGE : 0;
    HWND hControl =
        ::CreateWindowExW(nExStyle, sClass, Utf16(sText ? sText : "").c_str(), WS_CHILD | WS_VISIBLE | nStyle, x, y, cx,
                          cy, hWnd.get(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(nId)), nullptr, nullptr);
    if (hControl && hFont)
        ::SendMessageW(hControl, WM_SETFONT, reinterpret_cast<WPARAM>(hFont.get()), FALSE);
    if (hControl && hTips && sTip)
    {
        std::wstring sWideTip = Utf16(sTip);
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hWnd.get();
        tool.uId = reinterpret_cast<UINT_PTR>(hControl);
        tool.lpszText = sWideTip.data();
        ::SendMessageW(hTips.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    return hControl;
}

void MainWindow::CreateControls()
{
    InitCommonControlsOnce();
    const CommonControlsScope scope;
    hTips.reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hWnd.get(), nullptr, nullptr, nullptr));
    if (hTips)
        ::SendMessageW(hTips.get(), TTM_SETMAXTIPWIDTH, 0, 300);
    for (const Placed& control : Layout)
        Add(control.nId, control.sClass, control.sText, control.nStyle, 0, 0, 0, 0, control.sTip);
    ApplyDpi(nDpi);
}

void MainWindow::ApplyDpi(UINT nNewDpi)
{
    nDpi = nNewDpi;
    // The dialog font at this DPI; every control takes it, then its place. A missing font is simply skipped.
    UniqueFont hNewFont(::CreateFontW(-::MulDiv(nFontPoints, static_cast<int>(nDpi), 72), 0, 0, 0, FW_NORMAL, FALSE,
                                      FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                      CLEARTYPE_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg"));
    for (const Placed& control : Layout)
    {
        HWND hControl = ::GetDlgItem(hWnd.get(), control.nId);
        if (!hControl)
            continue;
        if (hNewFont)
            ::SendMessageW(hControl, WM_SETFONT, reinterpret_cast<WPARAM>(hNewFont.get()), FALSE);
        ::SetWindowPos(hControl, nullptr, Scaled(control.x, nDpi), Scaled(control.y, nDpi), Scaled(control.cx, nDpi),
                       Scaled(control.cy, nDpi), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    hFont = std::move(hNewFont); // the old font only now: the controls let go of it above
    ::InvalidateRect(hWnd.get(), nullptr, TRUE);
}

bool MainWindow::TranslateDialogMessage(MSG& msg)
{
    return hWnd && ::IsDialogMessageW(hWnd.get(), &msg);
}

std::string MainWindow::Text(int nId) const
{
    HWND hControl = ::GetDlgItem(hWnd.get(), nId);
    const int nLength = ::GetWindowTextLengthW(hControl);
    std::wstring sText(static_cast<size_t>(nLength) + 1, L'\0');
    sText.resize(static_cast<size_t>(::GetWindowTextW(hControl, sText.data(), nLength + 1)));
    return Utf8(sText);
}

void MainWindow::SetText(int nId, const std::string& sText)
{
    if (Text(nId) != sText)
        ::SetDlgItemTextW(hWnd.get(), nId, Utf16(sText).c_str());
}

void MainWindow::RefreshControls()
{
    if (!pModel || !hWnd)
        return;
    // Showing the model's values must not run the change handlers that clear the session.
    bRefreshing = true;
    const SettingsControls& c = *pModel;
    SetText(txtZimbraHost, c.txtZimbraHost);
    SetText(txtUsuario, c.txtUsuario);
    SetText(txtPassword, c.txtPassword);
    SetText(txtFilters, c.txtFilters);
    SetText(lblMailPollInterval, c.lblMailPollInterval);
    ::CheckDlgButton(hWnd.get(), chkSSL, c.chkSSL ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(hWnd.get(), chkGuardaPassword, c.chkGuardaPassword ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(hWnd.get(), chkWebmailLogin, c.chkWebmailLogin ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(hWnd.get(), chkVentana, c.chkVentana ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(hWnd.get(), chkSonido, c.chkSonido ? BST_CHECKED : BST_UNCHECKED);
    ::CheckRadioButton(hWnd.get(), optBlackList, optWhiteList, c.optWhiteList ? optWhiteList : optBlackList);
    bRefreshing = false;
}

void MainWindow::ShowNormal()
{
    if (hWnd && !bControlsMade)
    {
        CreateControls();
        bControlsMade = true;
        RefreshControls();
    }
    ::ShowWindow(hWnd.get(), SW_RESTORE);
    ::ShowWindow(hWnd.get(), SW_SHOW);
    ::SetForegroundWindow(hWnd.get());
}

void MainWindow::HideMinimized()
{
    // Hidden is enough: minimizing a hidden window would flash it on the way, and showing always restores it.
    ::ShowWindow(hWnd.get(), SW_HIDE);
}

bool MainWindow::IsVisible()
{
    return hWnd && ::IsWindowVisible(hWnd.get());
}

void MainWindow::SetFocus(Control nControl)
{
    ::SetFocus(::GetDlgItem(hWnd.get(), IdOf(nControl)));
}

void MainWindow::SetLocked(bool bLocked, const std::string& sTitle)
{
    for (const int nId : nLockable)
        ::EnableWindow(::GetDlgItem(hWnd.get(), nId), !bLocked);
    ::SetWindowTextW(hWnd.get(), Utf16(sTitle).c_str());
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
    if (!hArea || !::GetWindowRect(hWnd.get(), &rcFrom) || !::GetWindowRect(hArea, &rcTo))
        return;
    ::DrawAnimatedRects(hWnd.get(), IDANI_CAPTION, &rcFrom, &rcTo);
}

void MainWindow::OnCommand(int nId, int nCode)
{
    if (!pEvents || bRefreshing)
        return;
    const auto Checked = [&](int nButton) { return ::IsDlgButtonChecked(hWnd.get(), nButton) == BST_CHECKED; };
    switch (nId)
    {
    case txtZimbraHost:
        if (nCode == EN_CHANGE)
            pEvents->txtZimbraHost_Change(Text(txtZimbraHost));
        else if (nCode == EN_KILLFOCUS && !bValidating)
        {
            bValidating = true;
            if (!pEvents->txtZimbraHost_Validate())
                ::SetFocus(::GetDlgItem(hWnd.get(), txtZimbraHost));
            bValidating = false;
        }
        else if (nCode == EN_SETFOCUS)
            ::SendDlgItemMessageW(hWnd.get(), nId, EM_SETSEL, 0, -1);
        break;
    case txtUsuario:
        if (nCode == EN_CHANGE)
            pEvents->txtUsuario_Change(Text(txtUsuario));
        else if (nCode == EN_SETFOCUS)
            ::SendDlgItemMessageW(hWnd.get(), nId, EM_SETSEL, 0, -1);
        break;
    case txtPassword:
        if (nCode == EN_CHANGE)
            pEvents->txtPassword_Change(Text(txtPassword));
        else if (nCode == EN_KILLFOCUS)
            pEvents->txtPassword_LostFocus();
        else if (nCode == EN_SETFOCUS)
            ::SendDlgItemMessageW(hWnd.get(), nId, EM_SETSEL, 0, -1);
        break;
    case txtFilters:
        if (nCode == EN_CHANGE)
            pEvents->txtFilters_Change(Text(txtFilters));
        else if (nCode == EN_SETFOCUS)
            ::SendDlgItemMessageW(hWnd.get(), nId, EM_SETSEL, 0, -1);
        break;
    case chkSSL: pEvents->CheckBox_Click(CheckBox::chkSSL, Checked(chkSSL)); break;
    case chkGuardaPassword: pEvents->CheckBox_Click(CheckBox::chkGuardaPassword, Checked(chkGuardaPassword)); break;
    case chkWebmailLogin: pEvents->CheckBox_Click(CheckBox::chkWebmailLogin, Checked(chkWebmailLogin)); break;
    case chkVentana: pEvents->CheckBox_Click(CheckBox::chkVentana, Checked(chkVentana)); break;
    case chkSonido: pEvents->CheckBox_Click(CheckBox::chkSonido, Checked(chkSonido)); break;
    case optBlackList:
    case optWhiteList: pEvents->CheckBox_Click(CheckBox::optWhiteList, Checked(optWhiteList)); break;
    case cmdAceptar: {
        // Enter in another box does not submit: only the button itself or the password box do.
        const HWND hFocus = ::GetFocus();
        const Control nActive = hFocus == ::GetDlgItem(hWnd.get(), txtPassword)  ? Control::txtPassword
                                : hFocus == ::GetDlgItem(hWnd.get(), cmdAceptar) ? Control::cmdAceptar
                                                                                 : Control::txtZimbraHost;
        pEvents->cmdAceptar_Click(nActive);
        break;
    }
    case cmdCerrar: pEvents->cmdCerrar_Click(); break;
    default: break;
    }
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept
{
    if (nMsg == WM_NCCREATE)
    {
        auto* pCreate = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pCreate->lpCreateParams));
        static_cast<MainWindow*>(pCreate->lpCreateParams)->hWnd.reset(hWnd);
    }
    auto* pSelf = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (!pSelf)
        return ::DefWindowProcW(hWnd, nMsg, wParam, lParam);
    if (nMsg == WM_NCDESTROY)
    {
        // The last message: from here on nothing may reach the object, which may be gone before the owner window.
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        (void)pSelf->hWnd.release();
        (void)pSelf->hTips.release(); // an owned popup has gone with its owner already
        return ::DefWindowProcW(hWnd, nMsg, wParam, lParam);
    }
    return pSelf->OnMessage(nMsg, wParam, lParam);
}

LRESULT MainWindow::OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    switch (nMsg)
    {
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_DPICHANGED:
    {
        // Moved to a monitor of another scale, or the scale changed: the size Windows suggests, then the layout.
        const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(hWnd.get(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                       suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
        if (bControlsMade)
            ApplyDpi(HIWORD(wParam));
        else
            nDpi = HIWORD(wParam);
        return 0;
    }
    case WM_TIMER:
        if (pTimers && (wParam == Win32Timers::nCheckTimerId || wParam == Win32Timers::nFallbackTimerId))
            pTimers->OnTimer(TimerId::Check);
        else if (pTimers && wParam == Win32Timers::nBrowserTimerId)
            pTimers->OnTimer(TimerId::Browser);
        return 0;
    case WM_ACTIVATE:
        if (pEvents && LOWORD(wParam) != WA_INACTIVE)
            pEvents->Form_Activate();
        break;
    case WM_CLOSE:
        // The caption's close button hides the window like "Close"; the program keeps running.
        if (pEvents)
            pEvents->cmdCerrar_Click();
        return 0;
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
        if (wParam && pEvents)
            pEvents->OnEndSession(); // Windows may end the process once this returns: save now, once
        return 0;
    default: break;
    }
    return ::DefWindowProcW(hWnd.get(), nMsg, wParam, lParam);
}

} // namespace qv::win32
