// The hidden "STATIC" window "QuorvelTrayIconWnd" and the main notification-area icon it owns.
// A second copy finds the running one by this window, so it exists from early start-up.
#pragma once

#include "app/frmMain.h"
#include "platform/Tray.h"
#include "platform/win32/Win32.h"
#include "presentation/TrayModel.h"

namespace qv::win32
{

class MainWindow;

class TrayIcon final : public ITray
{
public:
    static constexpr const wchar_t* sWindowName = L"QuorvelTrayIconWnd";

    ~TrayIcon() override;
    bool Create(HINSTANCE hInstance, HICON hIcon, HICON hNewMail);
    void Bind(frmMain* pForm, MainWindow* pWindow)
    {
        pFrm = pForm;
        pMain = pWindow;
    }
    HWND Handle() const { return hWnd; }

    bool Add() override;
    bool Delete() override;
    void IconReset() override;
    void IconAdd(const std::string& sMensaje, int nSinLeer) override;
    void ShowMenu() override;

private:
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam);
    bool Notify(ShellCommand nCommand, const NotifyRecord& record);
    HICON IconOf(TrayIconKind nKind) const;
    void OnCommand(int nId);

    HWND hWnd = nullptr;
    WNDPROC pfnStaticProc = nullptr;
    HICON hWindowIcon = nullptr; // the window's own and the new-mail picture: borrowed, never destroyed here
    HICON hNewMailIcon = nullptr;
    UINT nTaskbarCreated = 0;
    bool bAdded = false;
    TrayModel Model;
    frmMain* pFrm = nullptr;
    MainWindow* pMain = nullptr;
};

} // namespace qv::win32
