// Answers in the server's own format (one line, literal "soap:" prefix), for the unit tests.
#pragma once

#include <string>

namespace qv::test
{

inline std::string Envelope(const std::string& sHeader, const std::string& sBody)
{
    return "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Header>" + sHeader +
           "</soap:Header><soap:Body>" + sBody + "</soap:Body></soap:Envelope>";
}

inline std::string Refresh(const std::string& sVersion = "8.8.15_GA_4484.UBUNTU20_64 20220914105426 20220914-1107 FOSS")
{
    return "<refresh><version>" + sVersion +
           "</version><mbx s=\"58211904\"/><folder id=\"1\" name=\"USER_ROOT\" l=\"11\">"
           "<folder id=\"2\" name=\"Inbox\" l=\"1\" u=\"3\" view=\"message\"/></folder></refresh>";
}

inline std::string LoginAnswer(const std::string& sPolling = "5m", const std::string& sSession = "1842",
                               const std::string& sVersion = "8.8.15_GA_4484.UBUNTU20_64 20220914105426")
{
    return Envelope("<context xmlns=\"urn:zimbra\"><session id=\"" + sSession + "\">" + sSession + "</session>" +
                        Refresh(sVersion) + "<change token=\"4271\"/></context>",
                    "<AuthResponse xmlns=\"urn:zimbraAccount\"><authToken>0_56393c24f4ab_69643d33</authToken>"
                    "<lifetime>172799996</lifetime><session id=\"" +
                        sSession + "\">" + sSession +
                        "</session><prefs><pref name=\"zimbraPrefComposeFormat\">html</pref>"
                        "<pref name=\"zimbraPrefCalendarApptReminderWarningTime\">5</pref>"
                        "<pref name=\"zimbraPrefMailPollingInterval\">" +
                        sPolling + "</pref></prefs><skin>harmony</skin></AuthResponse>");
}

inline std::string Fault(const std::string& sCode, const std::string& sReason)
{
    return "<soap:Fault><soap:Code><soap:Value>soap:Sender</soap:Value></soap:Code><soap:Reason><soap:Text>" + sReason +
           "</soap:Text></soap:Reason><soap:Detail><Error xmlns=\"urn:zimbra\"><Code>" + sCode +
           "</Code><Trace>qtp1352434305-611:1709553600123:6a1f0e2d9c3b4a57</Trace></Error></soap:Detail>"
           "</soap:Fault>";
}

inline std::string FaultAnswer(const std::string& sCode, const std::string& sReason)
{
    return "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Body>" + Fault(sCode, sReason) +
           "</soap:Body></soap:Envelope>";
}

inline std::string CheckAnswer(const std::string& sSession, const std::string& sBatchInner = {},
                               const std::string& sNotify = {})
{
    return Envelope("<context xmlns=\"urn:zimbra\"><session id=\"" + sSession + "\">" + sSession +
                        "</session><change token=\"4272\"/>" + sNotify + "</context>",
                    "<BatchResponse xmlns=\"urn:zimbra\">" +
                        (sBatchInner.empty() ? std::string("<SearchResponse sortBy=\"dateAsc\" offset=\"0\" more=\"0\" "
                                                           "xmlns=\"urn:zimbraMail\"/>")
                                             : sBatchInner) +
                        "</BatchResponse>");
}

inline const char* sAuthFailed = "account.AUTH_FAILED";

} // namespace qv::test
