// Every path the program reads answers with, in one place, so that one test can prove the engine takes them all.
#pragma once

#include <string>
#include <vector>

namespace qv::Paths
{

inline const std::string sContext = "/soap:Envelope/soap:Header/context/";
inline const std::string sBody = "/soap:Envelope/soap:Body/";
inline const std::string sAuthResponse = sBody + "AuthResponse";
inline const std::string sTopFault = sBody + "soap:Fault";
inline const std::string sTopFaultText = sTopFault + "/soap:Reason/soap:Text";
inline const std::string sBatchFaults = sBody + "BatchResponse/soap:Fault";
inline const std::string sVersion = sContext + "refresh/version";
inline const std::string sHeaderSession = sContext + "session";
inline const std::string sChange = sContext + "change";
inline const std::string sRefer = sAuthResponse + "/refer";
inline const std::string sAuthToken = sAuthResponse + "/authToken";
// The engine takes no choice after "//": the same elements, in document order.
inline const std::string sRefreshFolders = sContext + "refresh//*[self::folder or self::link]";
inline const std::string sRefreshTags = sContext + "refresh//tag";
// The appointment list of a check: the search of newer servers, the summaries of servers before 6.0.
inline const std::string sApptSearch = sBody + "BatchResponse/SearchResponse";
inline const std::string sApptSummaries = sBody + "BatchResponse/GetApptSummariesResponse";
inline const std::string sCancelResponse = sBody + "BatchResponse/CancelAppointmentResponse";
inline const std::string sSavedDraft = sBody + "SaveDraftResponse/m";
// The notify blocks are found below it by one walk of its own (NotifyBlocks.h).
inline const std::string sContextElement = "/soap:Envelope/soap:Header/context";

inline std::string Pref(const std::string& sName)
{
    return sAuthResponse + "/prefs/pref[@name='" + sName + "']";
}

// Relative to a fault element.
inline const std::string sFaultCode = "soap:Detail/Error/Code";
inline const std::string sFaultText = "soap:Reason/soap:Text";

inline std::vector<std::string> All()
{
    return {sTopFault,
            sTopFaultText,
            sBatchFaults,
            sVersion,
            sHeaderSession,
            sContext + "sessionId",
            sChange,
            sAuthResponse,
            sAuthToken,
            sAuthResponse + "/session",
            sAuthResponse + "/sessionId",
            sRefer,
            Pref("zimbraPrefComposeFormat"),
            Pref("zimbraPrefMailPollingInterval"),
            Pref("zimbraPrefCalendarApptReminderWarningTime"),
            sFaultCode,
            sFaultText,
            sRefreshFolders,
            sRefreshTags,
            sContextElement,
            sApptSearch,
            sApptSearch + "//appt",
            sApptSummaries,
            sApptSummaries + "//appt",
            sCancelResponse,
            sSavedDraft,
            "su"};
}

} // namespace qv::Paths
