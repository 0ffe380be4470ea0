// The packer started through the shell and waited for with the message loop running, and the Shift key.
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

} // namespace qv::win32
