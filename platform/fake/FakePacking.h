// The packer and the Shift key for tests: each run is recorded and answered as the test says; a run
// may act meanwhile, as the message loop of a real wait lets hand-offs and timers in.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Packing.h"

namespace qv::fake
{

class FakeProcesses final : public IProcesses
{
public:
    struct Run
    {
        std::string sProgram, sParameters, sFolder;
    };
    std::vector<Run> Runs;
    std::vector<ProcessRun> Results;       // one per run, in order; past the end the run starts and exits with 0
    std::function<void(const Run&)> OnRun; // while the packer "runs"

    std::string ProgramFolder() override { return "C:\\Program Files\\Quorvel\\"; }
    ProcessRun RunAndWait(const std::string& sProgram, const std::string& sParameters,
                          const std::string& sFolder) override
    {
        Runs.push_back({sProgram, sParameters, sFolder});
        if (OnRun)
            OnRun(Runs.back());
        return Runs.size() <= Results.size() ? Results[Runs.size() - 1] : ProcessRun{true, 0, 0};
    }
};

class FakeKeyboard final : public IKeyboard
{
public:
    bool bShift = false;
    bool IsShiftDown() override { return bShift; }
};

} // namespace qv::fake
