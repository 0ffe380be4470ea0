// Who the user is and where the program lives, for the Windows registration; and its change notice.
#pragma once

#include "platform/WinSetup.h"

namespace qv::win32
{

class Win32WinSetup final : public IWinSetup
{
public:
    bool IsAdminAccount() override;
    TokenElevation Elevation() override;
    std::string ProgramPath() override;
    void BroadcastSettingChange(const std::string& sArea) override;
};

} // namespace qv::win32
