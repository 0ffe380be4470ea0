// The settings window: the real controls of frmMain, kept in step with its model.
#pragma once

#include "platform/win32/Win32.h"

#include <map>

#include "app/frmMain.h"
#include "platform/MainView.h"

namespace qv::win32
{

class MainWindow final : public IMainView
{
public:
    static constexpr const wchar_t* sClassName = L"QuorvelSettingsWnd";

    // The owner keeps the window out of the task bar: owned windows have no button there.
    bool Create(HINSTANCE hInstance, HWND hOwner, HICON hIcon);
    void Bind(frmMain* pForm) { pFrm = pForm; }
    HWND Handle() const { return hWnd; }
    // Tab and Enter between the controls.
    bool TranslateDialogMessage(MSG& msg);

    void ShowNormal() override;
    void HideMinimized() override;
    bool IsVisible() override;
    void SetFocus(Control nControl) override;
    void RefreshControls() override;
    void SetLocked(bool bLocked, const std::string& sTitle) override;
    void SetMenuConfigureEnabled(bool bEnabled) override { bConfigureEnabled = bEnabled; }
    void EndProgram() override;
    void AnimateToTray() override;

    bool IsConfigureEnabled() const { return bConfigureEnabled; }

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    HWND Add(int nId, const wchar_t* sClass, const char* sText, DWORD nStyle, int x, int y, int cx, int cy,
             const char* sTip = nullptr);
    void OnCommand(int nId, int nCode);
    std::string Text(int nId) const;
    void SetText(int nId, const std::string& sText);

    HWND hWnd = nullptr;
    HWND hTips = nullptr;
    HFONT hFont = nullptr;
    frmMain* pFrm = nullptr;
    bool bRefreshing = false;
    bool bConfigureEnabled = true;
    bool bValidating = false;
};

} // namespace qv::win32
