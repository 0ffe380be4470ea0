// Run at start-up and the default mail client, kept in line with the two checks of the tray menu's "Windows
// integration" submenu. Every registry step ignores its own failure: a user who may not write the machine-wide keys
// simply gets the per-user registration.
#pragma once

#include <string>

#include "platform/Registry.h"
#include "platform/WinSetup.h"

namespace qv
{

enum class SaveMode { Startup = 0, UserChange = 1, Shutdown = 2 };

inline constexpr const char* sRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* sMailClientsKey = "Software\\Clients\\Mail";
inline constexpr const char* sClientKey = "Software\\Clients\\Mail\\Quorvel";
inline constexpr const char* sMailtoKey = "Software\\Classes\\mailto";
inline constexpr const char* sUacKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
// Where current Windows looks for the mail applications it offers as the default.
inline constexpr const char* sCapabilitiesKey = "Software\\Clients\\Mail\\Quorvel\\Capabilities";
inline constexpr const char* sRegisteredAppsKey = "Software\\RegisteredApplications";
inline constexpr const char* sMailtoProgId = "Quorvel.Url.mailto";
inline constexpr const char* sClientDescription =
    "Opens mail links in the Zimbra web mail and sends files to it as attachments";

class WindowsIntegration
{
public:
    WindowsIntegration(IRegistry& registry, IWinSetup& setup);

    void ApplyWindowsIntegration(SaveMode nMode, bool bAutoRun, bool bMailtoHandler);
    bool IsUserAnAdministrator();
    bool IsUacEnabled();
    bool IsDefaultMailClient();

private:
    void RegisterMachineClient(const std::string& sCommand, const std::string& sLibrary);
    void RemoveMachineClient();
    void RegisterUserClient(const std::string& sCommand, const std::string& sLibrary);
    void RemoveUserClient(const std::string& sProgram);

    // Registry steps that ignore their failure and note whether they changed anything.
    void CreateKey(RegRoot nRoot, const std::string& sPath);
    void SetValue(RegRoot nRoot, const std::string& sPath, const std::string& sName, const std::string& sValue);
    void DeleteValue(RegRoot nRoot, const std::string& sPath, const std::string& sName);
    void DeleteKey(RegRoot nRoot, const std::string& sPath);
    std::string Value(RegRoot nRoot, const std::string& sPath, const std::string& sName = {});

    IRegistry& Registry;
    IWinSetup& Setup;
    bool bChanged = false;
};

} // namespace qv
