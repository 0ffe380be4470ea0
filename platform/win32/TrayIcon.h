// The hidden "STATIC" window "QuorvelTrayIconWnd" and the main notification-area icon it owns.
// A second copy finds the running one by this window, so it exists from early start-up.
#pragma once

#include "app/frmMain.h"
#include "platform/Tray.h"
#include "platform/win32/Win32.h"

namespace qv::win32
{

class MainWindow;

class TrayIcon final : public ITray
{
public:
    static constexpr const wchar_t* sWindowName = L"QuorvelTrayIconWnd";
    static constexpr UINT nCallbackMessage = WM_APP + 1;

    ~TrayIcon() override;
    bool Create(HINSTANCE hInstance, HICON hIcon, HICON hNewMail);
    void Bind(frmMain* pForm, MainWindow* pWindow)
    {
        pFrm = pForm;
        pMain = pWindow;
    }
    HWND Handle() const { return hWnd; }

    bool Add(const std::string& sTip) override;
    bool Delete() override;
    void IconReset() override;
    void IconAdd(const std::string& sMensaje, int nSinLeer) override;

private:
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam);
    bool Notify(DWORD nMessage, UINT nFlags, DWORD nInfoFlags = 0, const std::wstring& sTitle = {},
                const std::wstring& sText = {});
    void ShowMenu();
    void OnCommand(int nId);
    void OnCopyData(const COPYDATASTRUCT& data);

    HWND hWnd = nullptr;
    WNDPROC pfnStaticProc = nullptr;
    HICON hWindowIcon = nullptr; // the window's own: borrowed, never destroyed here
    HICON hNewMailIcon = nullptr;
    HICON hShownIcon = nullptr;
    UINT nTaskbarCreated = 0;
    bool bAdded = false;
    std::wstring sTipText;
    std::wstring sDefaultTip;
    frmMain* pFrm = nullptr;
    MainWindow* pMain = nullptr;
};

// Copies text into a fixed field of nCapacity units, a terminating zero included, never splitting a pair.
void CopyField(wchar_t* pField, size_t nCapacity, const std::wstring& sText);

} // namespace qv::win32
