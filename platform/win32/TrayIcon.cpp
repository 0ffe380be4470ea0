#include "platform/win32/TrayIcon.h"

#include "platform/win32/Win32.h"

#include "app/InterfaceTexts.h"
#include "platform/win32/MainWindow.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Utf.h"
#include "platform/win32/resource.h"

namespace qv::win32
{

namespace
{

// An appointment item's icon: its events go to the main window with the item's position.
class ItemIcon final : public IconWindow, public IItemIcon
{
public:
    ItemIcon(frmMain& form, int nTag) : Form(form), Tag(nTag) {}
    bool Apply(ShellCommand nCommand, const NotifyRecord& record) override { return Notify(nCommand, record); }

protected:
    void OnEvent(const TrayEvent& event) override
    {
        Form.Dispatch([&] { Form.OnItemTrayEvent(Tag, event); });
    }

private:
    frmMain& Form;
    const int Tag;
};

} // namespace

bool TrayIcon::Create(HINSTANCE hInst, HICON hIcon, HICON hNewMail, HICON hCalendar)
{
    hInstance = hInst;
    hWindowIcon = hIcon;
    hNewMailIcon = hNewMail;
    hCalendarIcon = hCalendar;
    return CreateWindowFor(hInst);
}

bool TrayIcon::Add()
{
    return Notify(Model.Iconizar(TrayIconKind::Window), Model.Record());
}

bool TrayIcon::Delete()
{
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

std::unique_ptr<IItemIcon> TrayIcon::Create(int nTag)
{
    auto icon = std::make_unique<ItemIcon>(*pFrm, nTag);
    icon->hWindowIcon = hWindowIcon;
    icon->hNewMailIcon = hNewMailIcon;
    icon->hCalendarIcon = hCalendarIcon;
    if (!icon->CreateWindowFor(hInstance))
        return nullptr;
    return icon;
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
    ::SetForegroundWindow(Handle()); // else the menu does not close when the user clicks elsewhere
    ::TrackPopupMenu(hMenu.get(), TPM_RIGHTBUTTON, pt.x, pt.y, 0, Handle(), nullptr);
    ::PostMessageW(Handle(), WM_NULL, 0, 0);
}

void TrayIcon::OnEvent(const TrayEvent& event)
{
    if (pFrm)
        pFrm->Dispatch([&] { pFrm->OnTrayEvent(event); });
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

bool TrayIcon::OnOtherMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& nResult)
{
    if (!pFrm)
        return false;
    if (nMsg == WM_COMMAND && lParam == 0)
    {
        OnCommand(LOWORD(wParam));
        return true;
    }
    if (nMsg == WM_QUERYENDSESSION)
    {
        nResult = TRUE;
        return true;
    }
    if (nMsg == WM_ENDSESSION && wParam)
    {
        pFrm->Form_Unload(); // Windows may end the process once this returns: save now, once
        return true;
    }
    return false;
}

} // namespace qv::win32
