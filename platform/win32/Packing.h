// The packer started through the shell and waited for with the message loop running, the Shift key, and shell
// shortcuts read through IShellLinkW.
#pragma once

#include "platform/Packing.h"

namespace qv::win32
{

class Win32Processes final : public IProcesses
{
public:
    std::string ProgramFolder() override;
    ProcessRun RunAndWait(const std::string& sProgram, const std::string& sParameters,
                          const std::string& sFolder) override;
};

class Win32Keyboard final : public IKeyboard
{
public:
    bool IsShiftDown() override;
};

// Needs COM started on the calling thread (WinMain does it).
class Win32Shortcuts final : public IShortcuts
{
public:
    std::string ShortcutTarget(const std::string& sLinkPath) override;
};

} // namespace qv::win32
