#include "session/CheckCycle.h"

#include "platform/InterfaceTexts.h"
#include "session/CalendarTime.h"
#include "session/Envelope.h"
#include "session/SessionRules.h"

namespace qv
{

namespace
{

constexpr int64_t nWeekMs = 7 * nMsPerDay;

} // namespace

CheckCycle::CheckCycle(ServerSession& session, AnswerReader& reader, IClock& clock, ITimers& timers, IMainView& view,
                       ISystem& system, const SettingsControls& controls, const std::string& sPasswordTaken)
    : Session(session)
    , Reader(reader)
    , Clock(clock)
    , Timers(timers)
    , View(view)
    , System(system)
    , Controls(controls)
    , sPassword(sPasswordTaken)
{
    // The further pages of the week's appointments, asked within the same session while the answer is read.
    Reader.Appts.fnPage = [this](int64_t nOffset) {
        const std::string sKept = Session.sLastError; // a page that fails is no failed check
        const std::string sAnswer = Session.SendSoapRequest(SessionEnvelope(
            Session.Header(), false, CheckRequestBody(false, nSearchStart, nSearchStart + nWeekMs, nOffset)));
        Session.sLastError = sKept;
        return sAnswer;
    };
}

void CheckCycle::Stop()
{
    StopCheckTimer();
    bStopped = true;
}

bool CheckCycle::Comprobar(bool bPorTimer)
{
    Session.nMailPollingShort = 10;
    if ((bPorTimer && View.IsVisible()) || bBusy || bStopped)
        return true;
    bBusy = true;
    SetBusy(false);
    StopCheckTimer();

    const int64_t nNowUtc = Clock.NowUtcMs();

    const bool bOldServer = IsOldServer(Session.sServerVersion);
    Session.sSessionElement = bOldServer ? "sessionId" : "session";

    std::string sEnvelope;
    if (Session.sAuthToken.empty() && sPassword.empty())
    {
        // A rejected password was forgotten: logging in without one every few seconds would only count failed
        // logins against the account, which a server may lock. The user's new password starts the checks again.
        Session.sLastError = Texts::sEnterRequiredFields;
    }
    else if (Session.sAuthToken.empty())
    {
        Session.sRequestSessionId.clear();
        sEnvelope = LoginEnvelope(Controls.txtUsuario, sPassword);
    }
    else
    {
        nSearchStart = FloorDiv(nNowUtc, 1000) * 1000;
        const int64_t nToday = LocalTime(Clock).LocalDay(nNowUtc);
        if (nToday != nLastCheckDay)
        {
            nLastCheckDay = nToday;
            Reader.Appts.bNewDay = true;
        }
        Session.sRequestSessionId = Session.sSessionId;
        sEnvelope =
            SessionEnvelope(Session.Header(), true, CheckRequestBody(bOldServer, nSearchStart, nSearchStart + nWeekMs));
    }

    Session.bLoginRequest = Session.sAuthToken.empty();
    const std::string sAnswer = sEnvelope.empty() ? std::string() : Session.SendSoapRequest(sEnvelope);
    const bool bResult = !sAnswer.empty() && Reader.ProcessResponse(sAnswer);
    Reader.Appts.PruneApptItems(Reader.Rule(), Reader.nReminderMinutes);
    Session.sRequestSessionId.clear();
    Session.bLoginRequest = false;

    SetBusy(true);
    System.TrimWorkingSet();
    bBusy = false;
    if (bResult && fnChecked)
        fnChecked();
    return bResult;
}

void CheckCycle::SetBusy(bool bFlag)
{
    if (!bFlag)
    {
        sSavedCaption = Texts::frmMain;
        View.SetLocked(true, sSavedCaption + " - " + Texts::sContactingServer);
    }
    else
    {
        View.SetLocked(false, sSavedCaption);
    }
}

void CheckCycle::StartCheckTimer(int32_t nSeconds)
{
    if (nSeconds < 1 || bStopped)
        return; // automatic checks stop
    Timers.Start(TimerId::Check, static_cast<int64_t>(nSeconds) * 1000);
    bCheckTimerActive = true;
}

void CheckCycle::StopCheckTimer()
{
    if (!bCheckTimerActive)
        return;
    Timers.Stop(TimerId::Check);
    bCheckTimerActive = false;
}

void CheckCycle::CheckTimerProc()
{
    const bool bResult = Comprobar(true);
    StartCheckTimer(bResult ? Reader.nMailPollingInterval : Session.nMailPollingShort);
}

} // namespace qv
