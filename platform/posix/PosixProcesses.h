// Programs started and waited for on Linux, for the integration tests; there is no message loop to keep running.
#pragma once

#include <string>
#include <vector>

#include "platform/Packing.h"

namespace qv
{

class PosixProcesses final : public IProcesses
{
public:
    std::string sProgramFolder; // the tests say where the program's companions are
    std::string ProgramFolder() override { return sProgramFolder; }
    ProcessRun RunAndWait(const std::string& sProgram, const std::string& sParameters,
                          const std::string& sFolder) override;
};

// A parameter text split as a Windows program's start-up code splits it: blanks separate words, double quotes
// group them and are dropped.
std::vector<std::string> SplitParameters(const std::string& sParameters);

} // namespace qv
