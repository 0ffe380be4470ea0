// The settings form's model: the controls' values, the password it last took, and the settings store they are
// loaded from and saved to.
#pragma once

#include <functional>
#include <string>

#include "platform/Integration.h"
#include "platform/MainView.h"
#include "platform/Registry.h"
#include "platform/WinSetup.h"
#include "settings/WindowsIntegration.h"

namespace qv
{

// The question of a successful OK while "Set as default mail application" is ticked, and where the answer "don't ask
// again" is remembered.
inline constexpr const char* sDefaultMailClientQuestion = "Set as default mail application ?";
inline constexpr const char* sDontAskAgainValue = "{6A2F0C41-8D37-4E95-B1C6-2F7E3A90D514}-DefaultMailClient";
inline constexpr int nDefaultMailClientStyle = 0x24; // Yes and No, the question icon
inline constexpr int nDontAskAgain = -1;             // the user asked not to be asked again: the check stays
inline constexpr const char* sSettingsNotSaved =
    "The settings could not be saved in the registry (HKEY_CURRENT_USER\\Software\\Quorvel\\Settings). They stay in "
    "use until Quorvel ends; the next start uses the ones saved before.";

class SettingsForm
{
public:
    SettingsForm(IRegistry& registry, IIntegration& integration, IWinSetup& setup, IMainView& view);

    void LoadSettings();
    // Writes every setting, then re-applies the shell integration. A store that refuses the settings is told once
    // through fnStoreFailed; the integration's own failures stay silent.
    void SaveSettings(SaveMode nMode);
    // Takes the typed password, if the box changed since; the box then shows a mask. True when one was taken.
    [[nodiscard]] bool CommitPassword();
    void txtPassword_Change(const std::string& sText);
    // The server refused the password: it is forgotten, and the box emptied.
    void ForgetPassword();
    // Server, user and password are all there.
    bool IsComplete() const;
    // "Webmail Login" or "Save password" ticked drop a password in memory (the stored form would change radix).
    // True when one was dropped: the session's token goes with it.
    [[nodiscard]] bool chkWebmailLogin_Click(bool bChecked);
    [[nodiscard]] bool chkGuardaPassword_Click(bool bChecked);
    // "OMIT..." (false) or "NOTIFY..." (true): the filter follows the mode when it still holds the other's default.
    void FilterMode_Click(bool bWhiteList);
    // The answer to sDefaultMailClientQuestion: Yes ticks the check, any other clears it, "don't ask again" keeps it.
    void DefaultMailClientAnswer(int nAnswer);

    SettingsControls Controls;
    std::string sPassword; // the password taken; the box holds only a mask of it
    WindowsIntegration Windows;
    std::function<void()> fnStoreFailed;

private:
    IRegistry& Registry;
    IIntegration& Integration;
    IMainView& View;
    bool bStoreFailureTold = false;
};

} // namespace qv
