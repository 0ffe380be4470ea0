// The main notification-area icon with its hidden window, its tray menu and the items' icons.
// A second copy finds the running one by the hidden window, so it exists from early start-up.
#pragma once

#include "platform/Tray.h"
#include "platform/win32/IconWindow.h"

namespace qv::win32
{

class TrayIcon final : public IconWindow, public ITray, public IItemIcons
{
public:
    bool Create(HINSTANCE hInstance, HICON hIcon, HICON hNewMail, HICON hCalendar);
    // Where the icons' events go; nullptr detaches.
    void Bind(ITrayEvents* pTrayEvents) { pEvents = pTrayEvents; }

    bool Apply(ShellCommand nCommand, const NotifyRecord& record) override { return Notify(nCommand, record); }
    MenuCommand ShowMenu(const PopupMenu& menu) override;
    std::unique_ptr<ITrayIcon> Create(int nTag) override;

protected:
    void OnEvent(const TrayEvent& event) override;
    bool OnOtherMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& nResult) override;

private:
    HINSTANCE hInstance = nullptr;
    ITrayEvents* pEvents = nullptr;
};

} // namespace qv::win32
