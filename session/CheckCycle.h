// One check of the account, and the single-shot timer that repeats it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/Clock.h"
#include "platform/MainView.h"
#include "platform/System.h"
#include "session/AnswerReader.h"
#include "session/ServerSession.h"

namespace qv
{

class CheckCycle
{
public:
    // The account comes from the settings form: its controls and the password it last took.
    CheckCycle(ServerSession& session, AnswerReader& reader, IClock& clock, ITimers& timers, IMainView& view,
               ISystem& system, const SettingsControls& controls, const std::string& sPassword);

    // bPorTimer: the timer asked, and a check waits while the settings window is shown.
    [[nodiscard]] bool Comprobar(bool bPorTimer = false);
    void StartCheckTimer(int32_t nSeconds);
    void StopCheckTimer();
    void CheckTimerProc();
    void SetBusy(bool bFlag);
    // The program ends: no check and no timer any more.
    void Stop();

    bool bCheckTimerActive = false;
    std::function<void()> fnChecked; // after every check that succeeded

private:
    ServerSession& Session;
    AnswerReader& Reader;
    IClock& Clock;
    ITimers& Timers;
    IMainView& View;
    ISystem& System;
    const SettingsControls& Controls;
    const std::string& sPassword;

    bool bBusy = false;
    bool bStopped = false;
    int64_t nLastCheckDay = INT64_MIN; // the local day of the last check's request
    int64_t nSearchStart = 0;          // the start of the week the running check asks for
    std::string sSavedCaption;
};

} // namespace qv
