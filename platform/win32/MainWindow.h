// The settings window: real controls that show the form's view model and report the user's edits.
#pragma once

#include "platform/win32/Win32.h"

#include "platform/Clock.h"
#include "platform/MainView.h"
#include "platform/win32/UniqueHandle.h"

namespace qv::win32
{

class MainWindow final : public IMainView
{
public:
    static constexpr const wchar_t* sClassName = L"QuorvelSettingsWnd";

    // The owner keeps the window out of the task bar: owned windows have no button there.
    MainWindow() = default;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
    ~MainWindow() override { Destroy(); }

    bool Create(HINSTANCE hInstance, HWND hOwner, HICON hIcon);
    // Where the user's edits and the timer's ticks go, and what the controls show; nullptr detaches.
    void Bind(ISettingsEvents* pSettingsEvents, ITimerEvents* pTimerEvents, const SettingsControls* pControls)
    {
        pEvents = pSettingsEvents;
        pTimers = pTimerEvents;
        pModel = pControls;
    }
    void Destroy();
    HWND Handle() const { return hWnd.get(); }
    // Tab and Enter between the controls.
    bool TranslateDialogMessage(MSG& msg);

    void ShowNormal() override;
    void HideMinimized() override;
    bool IsVisible() override;
    void SetFocus(Control nControl) override;
    void RefreshControls() override;
    void SetLocked(bool bLocked, const std::string& sTitle) override;
    void EndProgram() override;
    void AnimateToTray() override;

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    // The font and every control's place for this DPI.
    void ApplyDpi(UINT nNewDpi);
    HWND Add(int nId, const wchar_t* sClass, const char* sText, DWORD nStyle, int x, int y, int cx, int cy,
             const char* sTip = nullptr);
    void OnCommand(int nId, int nCode);
    std::string Text(int nId) const;
    void SetText(int nId, const std::string& sText);

    // Destroyed in reverse: the tooltips, then the window with its controls, then the font they used.
    UniqueFont hFont;
    UniqueWindow hWnd;
    UniqueWindow hTips;
    bool bControlsMade = false; // on the first showing
    UINT nDpi = 96;
    ISettingsEvents* pEvents = nullptr;
    ITimerEvents* pTimers = nullptr;
    const SettingsControls* pModel = nullptr;
    bool bRefreshing = false;
    bool bValidating = false;
};

} // namespace qv::win32
