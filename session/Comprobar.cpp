// One check of the account, and the single-shot timer that repeats it.
#include "app/InterfaceTexts.h"
#include "app/frmMain.h"
#include "session/Envelope.h"
#include "session/SessionRules.h"

namespace qv
{

namespace
{

constexpr int64_t nMsPerDay = 86400000;
constexpr int64_t nWeekMs = 7 * nMsPerDay;

int64_t FloorDiv(int64_t a, int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

} // namespace

bool frmMain::Comprobar(bool bPorTimer)
{
    nMailPollingShort = 10;
    if ((bPorTimer && P.View.IsVisible()) || bBusy || bUnloaded)
        return true;
    bBusy = true;
    SetBusy(false);
    StopCheckTimer();

    const int64_t nNowUtc = P.Clock.NowUtcMs();
    const int64_t nBiasMs = static_cast<int64_t>(P.Clock.TimeZoneBiasMinutes()) * 60000;
    dEpochLocal = -nBiasMs;

    const bool bOldServer = IsOldServer(sServerVersion);
    sSessionElement = bOldServer ? "sessionId" : "session";

    std::string sEnvelope;
    if (sAuthToken.empty() && sPassword.empty())
    {
        // A rejected password was forgotten: logging in without one every few seconds would only count failed
        // logins against the account, which a server may lock. The user's new password starts the checks again.
        sLastError = Texts::sEnterRequiredFields;
    }
    else if (sAuthToken.empty())
    {
        sRequestSessionId.clear();
        sEnvelope = LoginEnvelope(Controls.txtUsuario, sPassword);
    }
    else
    {
        const int64_t nStart = FloorDiv(nNowUtc, 1000) * 1000;
        const std::string sToday = std::to_string(FloorDiv(nNowUtc - nBiasMs, nMsPerDay));
        if (sToday != sLastCheckDate)
        {
            sLastCheckDate = sToday;
            bNewDay = true;
        }
        sRequestSessionId = sSessionId;
        sEnvelope = SessionEnvelope({sAuthToken, sSessionElement, sSessionId, sNotifySeq, sChangeToken}, true,
                                    CheckRequestBody(bOldServer, nStart, nStart + nWeekMs));
    }

    const std::string sAnswer = sEnvelope.empty() ? std::string() : SendSoapRequest(sEnvelope);
    const bool bResult = !sAnswer.empty() && ProcessResponse(sAnswer);
    sRequestSessionId.clear();

    SetBusy(true);
    P.System.TrimWorkingSet();
    bBusy = false;
    return bResult;
}

void frmMain::SetBusy(bool bFlag)
{
    if (!bFlag)
    {
        sSavedCaption = Texts::frmMain;
        P.View.SetLocked(true, sSavedCaption + " - " + Texts::sContactingServer);
    }
    else
    {
        P.View.SetLocked(false, sSavedCaption);
    }
}

void frmMain::StartCheckTimer(int32_t nSeconds)
{
    if (nSeconds < 1 || bUnloaded)
        return; // automatic checks stop
    P.Timers.Start(TimerId::Check, static_cast<int64_t>(nSeconds) * 1000);
    bCheckTimerActive = true;
}

void frmMain::StopCheckTimer()
{
    if (!bCheckTimerActive)
        return;
    P.Timers.Stop(TimerId::Check);
    bCheckTimerActive = false;
}

void frmMain::CheckTimerProc()
{
    const bool bResult = Comprobar(true);
    StartCheckTimer(bResult ? nMailPollingInterval : nMailPollingShort);
}

std::string frmMain::LastErrorText() const
{
    if (!sLastError.empty())
        return sLastError;
    // The server answered, but not as a Zimbra server does (a login page, a proxy's page).
    return "The server at " + SoapAddress() + " did not answer as a Zimbra server.";
}

void frmMain::mnuPopComprobar_Click()
{
    if (Controls.txtZimbraHost.empty() || Controls.txtUsuario.empty() || sPassword.empty())
    {
        ShowSettingsWindow();
        ShowMessage(Texts::sEnterRequiredFields, nMbInformation);
        return;
    }
    if (Comprobar(false))
    {
        StartCheckTimer(nMailPollingInterval);
        return;
    }
    ShowSettingsWindow();
    ShowMessage(LastErrorText(), nMbExclamation);
}

} // namespace qv
