// The settings form's model: the controls' values, the password it last took, and the settings store they are
// loaded from and saved to.
#pragma once

#include <string>

#include "platform/Integration.h"
#include "platform/MainView.h"
#include "platform/Registry.h"

namespace qv
{

enum class SaveMode { Startup = 0, UserChange = 1, Shutdown = 2 };

class SettingsForm
{
public:
    SettingsForm(IRegistry& registry, IIntegration& integration, IMainView& view);

    void LoadSettings();
    void SaveSettings(SaveMode nMode);
    // Takes the typed password, if the box changed since; the box then shows a mask. True when one was taken.
    [[nodiscard]] bool CommitPassword();
    void txtPassword_Change(const std::string& sText);
    // The server refused the password: it is forgotten, and the box emptied.
    void ForgetPassword();
    // Server, user and password are all there.
    bool IsComplete() const;

    SettingsControls Controls;
    std::string sPassword; // the password taken; the box holds only a mask of it

private:
    IRegistry& Registry;
    IIntegration& Integration;
    IMainView& View;
};

} // namespace qv
