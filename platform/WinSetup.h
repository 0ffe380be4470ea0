// What the Windows registration needs beside the registry: who the user is, where the program lives, and the
// notice that tells other programs the registration changed.
#pragma once

#include <string>

namespace qv
{

// The process token's elevation type, as the system numbers it; Unreadable when the token cannot be asked.
enum class TokenElevation { Unreadable = 0, Default = 1, Full = 2, Limited = 3 };

class IWinSetup
{
public:
    virtual ~IWinSetup() = default;
    // The shell's answer: true only for an administrator's full token.
    virtual bool IsAdminAccount() = 0;
    virtual TokenElevation Elevation() = 0;
    // The running program's full path, UTF-8.
    virtual std::string ProgramPath() = 0;
    // WM_SETTINGCHANGE to every top-level window, naming the key that changed; bounded, never waits on a hung one.
    virtual void BroadcastSettingChange(const std::string& sArea) = 0;
};

} // namespace qv
