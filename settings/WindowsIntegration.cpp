#include "settings/WindowsIntegration.h"

#include <cstdlib>

#include "platform/Text.h"
#include "settings/Registry2.h"

namespace qv
{

namespace
{

constexpr RegRoot HKCU = RegRoot::CurrentUser;
constexpr RegRoot HKLM = RegRoot::LocalMachine;
constexpr const char* sName = "Quorvel";

std::string Below(const char* sKey, const char* sSubkey)
{
    return std::string(sKey) + "\\" + sSubkey;
}

bool Names(const std::string& sDefault)
{
    return sDefault.find(sName) != std::string::npos;
}

std::string LibraryPath(const std::string& sProgram)
{
    const size_t nSlash = sProgram.find_last_of("\\/");
    return (nSlash == std::string::npos ? std::string() : sProgram.substr(0, nSlash)) + "\\quorvelmapi64.dll";
}

} // namespace

WindowsIntegration::WindowsIntegration(IRegistry& registry, IWinSetup& setup) : Registry(registry), Setup(setup) {}

void WindowsIntegration::ApplyWindowsIntegration(SaveMode nMode, bool bAutoRun, bool bMailtoHandler)
{
    bChanged = false;
    const std::string sProgram = Setup.ProgramPath();
    const std::string sCommand = "\"" + sProgram + "\"";
    const std::string sLibrary = LibraryPath(sProgram);
    const bool bAdmin = IsUserAnAdministrator();

    if (bAutoRun)
    {
        if (Registry.KeyExists(HKCU, sRunKey)) // never created: a profile without it runs nothing at start-up
            SetValue(HKCU, sRunKey, sName, sCommand);
    }
    else
    {
        DeleteValue(HKCU, sRunKey, sName);
    }

    // The machine-wide list is kept whatever the mail check says: a start registers the program there again, and
    // only a shutdown that finds it neither wanted nor the machine's default takes it out.
    if (bAdmin && nMode != SaveMode::Shutdown)
        RegisterMachineClient(sCommand, sLibrary);
    else if (bAdmin && !bMailtoHandler && !Names(Value(HKLM, sMailClientsKey)))
        RemoveMachineClient();

    if (bMailtoHandler)
    {
        RegisterUserClient(sCommand, sLibrary);
        if (bAdmin)
            SetValue(HKLM, sMailClientsKey, "", sName);
    }
    else
    {
        RemoveUserClient(sProgram);
        if (bAdmin && Names(Value(HKLM, sMailClientsKey)))
            DeleteValue(HKLM, sMailClientsKey, "");
    }

    if (bChanged)
        Setup.BroadcastSettingChange(sMailClientsKey);
}

void WindowsIntegration::RegisterMachineClient(const std::string& sCommand, const std::string& sLibrary)
{
    CreateKey(HKLM, sMailClientsKey);
    CreateKey(HKLM, sClientKey);
    SetValue(HKLM, sClientKey, "", sName);
    SetValue(HKLM, sClientKey, "DllPath", sLibrary);
    SetValue(HKLM, sClientKey, "DllPathEx", sLibrary);
    const std::string sOpen = Below(sClientKey, "shell\\open\\command");
    CreateKey(HKLM, sOpen);
    SetValue(HKLM, sOpen, "", sCommand);
    const std::string sProperties = Below(sClientKey, "shell\\Properties\\command");
    CreateKey(HKLM, sProperties);
    SetValue(HKLM, sProperties, "", sCommand + " /settings");
}

void WindowsIntegration::RemoveMachineClient()
{
    DeleteValue(HKLM, sClientKey, "DllPath");
    DeleteValue(HKLM, sClientKey, "DllPathEx");
    DeleteValue(HKLM, sClientKey, "");
    for (const char* sSubkey :
         {"shell\\open\\command", "shell\\open", "shell\\properties\\command", "shell\\properties", "shell"})
        DeleteKey(HKLM, Below(sClientKey, sSubkey));
    DeleteKey(HKLM, sClientKey);
}

void WindowsIntegration::RegisterUserClient(const std::string& sCommand, const std::string& sLibrary)
{
    const std::string sLinkCommand = sCommand + " %1";
    const std::string sMailtoCommand = Below(sMailtoKey, "shell\\open\\command");
    CreateKey(HKCU, sMailtoCommand);
    SetValue(HKCU, sMailtoCommand, "", sLinkCommand);

    CreateKey(HKCU, sMailClientsKey);
    SetValue(HKCU, sMailClientsKey, "", sName);

    CreateKey(HKCU, sClientKey);
    SetValue(HKCU, sClientKey, "", sName);
    SetValue(HKCU, sClientKey, "DllPath", sLibrary);
    SetValue(HKCU, sClientKey, "DllPathEx", sLibrary);

    // Windows 10 and 11 offer as a default mail application only what is listed with its capabilities.
    const std::string sProgId = Below("Software\\Classes", sMailtoProgId);
    CreateKey(HKCU, sProgId);
    SetValue(HKCU, sProgId, "", "Quorvel mailto link");
    SetValue(HKCU, sProgId, "URL Protocol", "");
    const std::string sProgIdCommand = sProgId + "\\shell\\open\\command";
    CreateKey(HKCU, sProgIdCommand);
    SetValue(HKCU, sProgIdCommand, "", sLinkCommand);
    CreateKey(HKCU, sCapabilitiesKey);
    SetValue(HKCU, sCapabilitiesKey, "ApplicationName", sName);
    SetValue(HKCU, sCapabilitiesKey, "ApplicationDescription", sClientDescription);
    const std::string sAssociations = Below(sCapabilitiesKey, "URLAssociations");
    CreateKey(HKCU, sAssociations);
    SetValue(HKCU, sAssociations, "mailto", sMailtoProgId);
    CreateKey(HKCU, sRegisteredAppsKey);
    SetValue(HKCU, sRegisteredAppsKey, sName, sCapabilitiesKey);
}

void WindowsIntegration::RemoveUserClient(const std::string& sProgram)
{
    // Another program's handler is left alone.
    const std::string sMailtoCommand = Below(sMailtoKey, "shell\\open\\command");
    if (ContainsNoCase(Value(HKCU, sMailtoCommand), sProgram))
    {
        DeleteValue(HKCU, sMailtoCommand, "");
        for (const char* sKey : {"shell\\open\\command", "shell\\open", "shell"})
            DeleteKey(HKCU, Below(sMailtoKey, sKey));
        DeleteKey(HKCU, sMailtoKey);
    }

    DeleteValue(HKCU, sRegisteredAppsKey, sName);
    const std::string sAssociations = Below(sCapabilitiesKey, "URLAssociations");
    DeleteValue(HKCU, sAssociations, "mailto");
    DeleteKey(HKCU, sAssociations);
    DeleteValue(HKCU, sCapabilitiesKey, "ApplicationName");
    DeleteValue(HKCU, sCapabilitiesKey, "ApplicationDescription");
    DeleteKey(HKCU, sCapabilitiesKey);
    const std::string sProgId = Below("Software\\Classes", sMailtoProgId);
    for (const char* sKey : {"\\shell\\open\\command", "\\shell\\open", "\\shell", ""})
        DeleteKey(HKCU, sProgId + sKey);

    DeleteValue(HKCU, sClientKey, "DllPath");
    DeleteValue(HKCU, sClientKey, "DllPathEx");
    DeleteValue(HKCU, sClientKey, "");
    DeleteKey(HKCU, sClientKey);

    if (Names(Value(HKCU, sMailClientsKey)))
    {
        DeleteValue(HKCU, sMailClientsKey, "");
        DeleteKey(HKCU, sMailClientsKey);
    }
}

bool WindowsIntegration::IsUserAnAdministrator()
{
    if (Setup.IsAdminAccount())
        return true;
    // A split token, elevated or not, belongs to an administrator.
    const TokenElevation nType = Setup.Elevation();
    return nType == TokenElevation::Full || nType == TokenElevation::Limited;
}

bool WindowsIntegration::IsUacEnabled()
{
    return std::atoi(Value(HKLM, sUacKey, "EnableLUA").c_str()) != 0;
}

bool WindowsIntegration::IsDefaultMailClient()
{
    const std::string sUser = Trim(Value(HKCU, sMailClientsKey));
    const std::string sMachine = Trim(Value(HKLM, sMailClientsKey));
    const bool bMachineIsUs = !sMachine.empty() && Names(sMachine);
    if (IsUserAnAdministrator() && !IsUacEnabled())
        return bMachineIsUs;
    if (!sUser.empty())
        return Names(sUser);
    return bMachineIsUs;
}

void WindowsIntegration::CreateKey(RegRoot nRoot, const std::string& sPath)
{
    if (!Registry.KeyExists(nRoot, sPath) && Registry.CreateKey(nRoot, sPath))
        bChanged = true;
}

void WindowsIntegration::SetValue(RegRoot nRoot, const std::string& sPath, const std::string& sValueName,
                                  const std::string& sValue)
{
    const RegValue present = Registry.Read(nRoot, sPath, sValueName);
    if (present.nKind == RegKind::Text && present.sText == sValue)
        return; // a re-application that changes nothing writes nothing
    if (Registry2::SetKeyValue(Registry, nRoot, sPath, sValueName, sValue))
        bChanged = true;
}

void WindowsIntegration::DeleteValue(RegRoot nRoot, const std::string& sPath, const std::string& sValueName)
{
    if (Registry.Read(nRoot, sPath, sValueName).nKind != RegKind::Missing &&
        Registry.DeleteValue(nRoot, sPath, sValueName))
        bChanged = true;
}

void WindowsIntegration::DeleteKey(RegRoot nRoot, const std::string& sPath)
{
    if (Registry.KeyExists(nRoot, sPath) && Registry.DeleteKey(nRoot, sPath))
        bChanged = true;
}

std::string WindowsIntegration::Value(RegRoot nRoot, const std::string& sPath, const std::string& sValueName)
{
    return Registry2::GetKeyValue(Registry, nRoot, sPath, sValueName);
}

} // namespace qv
