#include "platform/win32/TrayIcon.h"

#include "platform/win32/Win32.h"

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Utf.h"

namespace qv::win32
{

namespace
{

// An appointment item's icon: its events go to the program with the item's position.
class ItemIcon final : public IconWindow, public ITrayIcon
{
public:
    ItemIcon(ITrayEvents*& pTrayEvents, int nTag) : pEvents(pTrayEvents), Tag(nTag) {}
    bool Apply(ShellCommand nCommand, const NotifyRecord& record) override { return Notify(nCommand, record); }

protected:
    void OnEvent(const TrayEvent& event) override
    {
        if (pEvents)
            pEvents->OnItemTrayEvent(Tag, event);
    }

private:
    ITrayEvents*& pEvents; // the main icon's, so that detaching it detaches every item too
    const int Tag;
};

UniqueMenu MenuOf(const PopupMenu& menu)
{
    UniqueMenu hMenu(::CreatePopupMenu());
    if (!hMenu)
        return hMenu;
    for (const MenuEntry& entry : menu)
    {
        if (entry.sText.empty())
        {
            ::AppendMenuW(hMenu.get(), MF_SEPARATOR, 0, nullptr);
            continue;
        }
        const UINT nState = (entry.bEnabled ? 0 : MF_GRAYED) | (entry.bChecked ? MF_CHECKED : 0);
        if (!entry.Submenu.empty())
        {
            UniqueMenu hSubmenu = MenuOf(entry.Submenu);
            if (hSubmenu && ::AppendMenuW(hMenu.get(), MF_POPUP | nState, reinterpret_cast<UINT_PTR>(hSubmenu.get()),
                                          Utf16(entry.sText).c_str()))
                (void)hSubmenu.release(); // the menu owns it now
            continue;
        }
        ::AppendMenuW(hMenu.get(), MF_STRING | nState, static_cast<UINT_PTR>(entry.nCommand),
                      Utf16(entry.sText).c_str());
    }
    return hMenu;
}

} // namespace

bool TrayIcon::Create(HINSTANCE hInst, HICON hIcon, HICON hNewMail, HICON hCalendar)
{
    hInstance = hInst;
    hWindowIcon = hIcon;
    hNewMailIcon = hNewMail;
    hCalendarIcon = hCalendar;
    return CreateWindowFor(hInst);
}

std::unique_ptr<ITrayIcon> TrayIcon::Create(int nTag)
{
    auto icon = std::make_unique<ItemIcon>(pEvents, nTag);
    icon->hWindowIcon = hWindowIcon;
    icon->hNewMailIcon = hNewMailIcon;
    icon->hCalendarIcon = hCalendarIcon;
    if (!icon->CreateWindowFor(hInstance))
        return nullptr;
    return icon;
}

MenuCommand TrayIcon::ShowMenu(const PopupMenu& menu)
{
    const UniqueMenu hMenu = MenuOf(menu);
    if (!hMenu)
        return MenuCommand::None;
    POINT pt{};
    ::GetCursorPos(&pt);
    ::SetForegroundWindow(Handle()); // else the menu does not close when the user clicks elsewhere
    const int nChosen = static_cast<int>(::TrackPopupMenu(hMenu.get(), TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                                                          pt.x, pt.y, 0, Handle(), nullptr));
    ::PostMessageW(Handle(), WM_NULL, 0, 0);
    return static_cast<MenuCommand>(nChosen);
}

void TrayIcon::OnEvent(const TrayEvent& event)
{
    if (pEvents)
        pEvents->OnTrayEvent(event);
}

bool TrayIcon::OnOtherMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& nResult)
{
    if (!pEvents)
        return false;
    switch (nMsg)
    {
    case WM_COMMAND:
        if (lParam != 0)
            return false; // a control's notification, not a menu's
        pEvents->OnMenuCommand(static_cast<MenuCommand>(LOWORD(wParam)));
        return true;
    case WM_CLOSE:
        // Asked to close (a task manager, a script): the program ends as by "Exit", icon and settings included,
        // instead of living on without its window.
        pEvents->OnMenuCommand(MenuCommand::mnuPopSalir);
        nResult = 0;
        return true;
    case WM_QUERYENDSESSION: nResult = TRUE; return true;
    case WM_ENDSESSION:
        if (!wParam)
            return false;
        pEvents->OnEndSession(); // Windows may end the process once this returns: save now, once
        return true;
    default: return false;
    }
}

} // namespace qv::win32
