// The reader of every SOAP answer: parse errors, faults and the session's part of the answer.
#include "app/frmMain.h"
#include "platform/Text.h"
#include "session/AnswerPaths.h"
#include "session/SessionRules.h"

namespace qv
{

namespace
{

constexpr size_t nExcerptLength = 200;
constexpr int64_t nStaleIconMinutes = 15;

// Answers are one line, so the "faulty line" is the whole answer: quote only the neighbourhood of the fault.
std::string ParseErrorExcerpt(std::string_view sAnswer, ptrdiff_t nOffset)
{
    const size_t nAt = std::min(static_cast<size_t>(std::max<ptrdiff_t>(nOffset, 0)), sAnswer.size());
    size_t nStart = nAt > nExcerptLength / 2 ? nAt - nExcerptLength / 2 : 0;
    while (nStart > 0 && (static_cast<unsigned char>(sAnswer[nStart]) & 0xC0) == 0x80)
        --nStart; // begin on a whole character
    return CutUtf8(sAnswer.substr(nStart), nExcerptLength);
}

bool EndsSession(const std::string& sCode)
{
    return sCode == "service.AUTH_REQUIRED" || sCode == "service.AUTH_EXPIRED" || sCode.rfind("account.", 0) == 0;
}

} // namespace

bool frmMain::ProcessResponse(const std::string& sAnswer)
{
    sMensaje.clear();
    nSinLeer = 0;
    sReminders.clear();

    pugi::xml_document doc;
    const pugi::xml_parse_result result =
        doc.load_buffer(sAnswer.data(), sAnswer.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!result)
    {
        sLastError = std::string("Zimbra server reports an error:\r\n") + result.description() + "\r\n" +
                     ParseErrorExcerpt(sAnswer, result.offset);
        return false;
    }
    const pugi::xml_node root = doc.document_element();

    // A fault that is the whole answer: the request failed, and with it, as a rule, the session.
    if (Xp.NodeExists(root, Paths::sTopFault))
    {
        if (Xp.NodeExists(root, Paths::sTopFaultText))
            sLastError = Xp.NodeText(root, Paths::sTopFaultText);
        // The server keeps the session when only the message was too big.
        if (sLastError.find("exceeded allowed size") == std::string::npos)
            EndSession();
        return false;
    }

    // A fault in place of one request of a batch concerns that request, unless it is about the session itself.
    for (const pugi::xpath_node& fault : Xp.SelectAll(root, Paths::sBatchFaults))
    {
        const std::string sCode = InnerText(fault.node().select_node(Paths::sFaultCode.c_str()));
        sLastError = InnerText(fault.node().select_node(Paths::sFaultText.c_str()));
        if (EndsSession(sCode))
        {
            EndSession();
            return false;
        }
    }

    bool bDone = false;
    const bool bResult = ProcessSession(root, bDone);
    if (bDone)
        return bResult;

    ReadRefresh(root);
    ReadNotifyBlocks(root);
    Announce();

    dLastSuccess = P.Clock.NowUtcMs();
    return true;
}

void frmMain::EndSession()
{
    sSessionId.clear();
    sAuthToken.clear();
    sNotifySeq.clear();
    ResetStaleIcon();
}

void frmMain::ResetStaleIcon()
{
    if (dLastSuccess && (P.Clock.NowUtcMs() - *dLastSuccess) / 60000 > nStaleIconMinutes)
        P.Tray.IconReset();
}

bool frmMain::ProcessSession(const pugi::xml_node& root, bool& bDone)
{
    bDone = false;
    if (Xp.NodeExists(root, Paths::sVersion))
    {
        sServerVersion = Xp.NodeText(root, Paths::sVersion);
        sSessionElement = IsOldServer(sServerVersion) ? "sessionId" : "session";
    }
    if (Xp.NodeExists(root, Paths::sHeaderSession))
        sSessionId = Xp.AttributeText(root, Paths::sHeaderSession, "id");

    if (!Xp.NodeExists(root, Paths::sAuthResponse))
    {
        // The server answers an unknown or expired session with a new one, silently: its notifications start
        // again from the beginning, so the old sequence must not be carried over.
        const std::string sElement = Paths::sContext + sSessionElement;
        if (!sRequestSessionId.empty() && Xp.NodeExists(root, sElement) &&
            Xp.NodeText(root, sElement) != sRequestSessionId)
        {
            EndSession();
            bDone = true;
            return true;
        }
        return true;
    }

    sAuthToken = Xp.NodeText(root, Paths::sAuthToken);
    if (Xp.NodeExists(root, Paths::sChange))
        sChangeToken = Xp.AttributeText(root, Paths::sChange, "token");
    const std::string sBodySession = Paths::sAuthResponse + "/" + sSessionElement;
    if (Xp.NodeExists(root, sBodySession))
        sSessionId = Xp.AttributeText(root, sBodySession, "id");
    sNotifySeq.clear();
    if (Xp.NodeExists(root, Paths::sRefer))
    {
        sServerHost = Xp.NodeText(root, Paths::sRefer);
        sAuthToken.clear();
        sNotifySeq.clear();
        bServerProbed = false;
        if (sSessionId.empty())
        {
            nMailPollingShort = 3;
            bDone = true;
            return false;
        }
    }
    ReadPreferences(root);
    return true;
}

void frmMain::ReadPreferences(const pugi::xml_node& root)
{
    using Paths::Pref;
    if (Xp.NodeExists(root, Pref("zimbraPrefComposeFormat")))
        sComposeFormat = Xp.NodeText(root, Pref("zimbraPrefComposeFormat"));
    const bool bPolling = Xp.NodeExists(root, Pref("zimbraPrefMailPollingInterval"));
    nMailPollingInterval =
        PollingSeconds(bPolling ? Xp.NodeText(root, Pref("zimbraPrefMailPollingInterval")) : std::string(), bPolling);
    Controls.lblMailPollInterval = std::to_string(nMailPollingInterval);
    if (Xp.NodeExists(root, Pref("zimbraPrefCalendarApptReminderWarningTime")))
        nReminderMinutes = LeadingWholeNumber(Xp.NodeText(root, Pref("zimbraPrefCalendarApptReminderWarningTime")));
    P.View.RefreshControls();
}

} // namespace qv
