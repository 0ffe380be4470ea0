// The main notification-area icon with its hidden window, its tray menu and the items' icons.
// A second copy finds the running one by the hidden window, so it exists from early start-up.
#pragma once

#include "app/frmMain.h"
#include "platform/Tray.h"
#include "platform/win32/IconWindow.h"

namespace qv::win32
{

class MainWindow;

class TrayIcon final : public IconWindow, public ITray, public IItemIcons
{
public:
    bool Create(HINSTANCE hInstance, HICON hIcon, HICON hNewMail, HICON hCalendar);
    void Bind(frmMain* pForm, MainWindow* pWindow)
    {
        pFrm = pForm;
        pMain = pWindow;
    }

    bool Add() override;
    bool Delete() override;
    void IconReset() override;
    void IconAdd(const std::string& sMensaje, int nSinLeer) override;
    void ShowMenu() override;
    std::unique_ptr<IItemIcon> Create(int nTag) override;

protected:
    void OnEvent(const TrayEvent& event) override;
    bool OnOtherMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& nResult) override;

private:
    void OnCommand(int nId);

    HINSTANCE hInstance = nullptr;
    TrayModel Model;
    frmMain* pFrm = nullptr;
    MainWindow* pMain = nullptr;
};

} // namespace qv::win32
