// What packing files before an upload needs of the machine: the packer run to its end while the program's
// windows keep answering, and the Shift key.
#pragma once

#include <cstdint>
#include <string>

namespace qv
{

struct ProcessRun
{
    bool bStarted = false;
    long nSystemCode = 0; // why it did not start
    uint32_t nExitCode = 0;
};

class IProcesses
{
public:
    virtual ~IProcesses() = default;
    // The folder of the program's own executable, with a final separator.
    virtual std::string ProgramFolder() = 0;
    // Starts sProgram with its parameters (one text, quoted as a Windows command line) in sFolder and waits for its
    // end; window messages are handled meanwhile, so hand-offs, menu commands and timers run inside this call.
    virtual ProcessRun RunAndWait(const std::string& sProgram, const std::string& sParameters,
                                  const std::string& sFolder) = 0;
};

class IKeyboard
{
public:
    virtual ~IKeyboard() = default;
    virtual bool IsShiftDown() = 0;
};

} // namespace qv
