#include "session/Cancellation.h"

#include <cstdio>

#include <pugixml.hpp>

#include "platform/Dialogs.h"
#include "platform/InterfaceTexts.h"
#include "session/AnswerPaths.h"
#include "session/CalendarTime.h"
#include "session/Envelope.h"
#include "session/SessionRules.h"

namespace qv
{

namespace
{

constexpr int nMbYesNo = 4;
constexpr int nIdYes = 6;

// The instance of a series: its own recurrence id as the search gave it. Without one, its start in UTC with a
// "Z", which the server cannot read in another zone (a local time would be read in the invite's zone).
std::string InstanceName(const IApptItem& item)
{
    if (!item.ridZ.empty())
        return item.ridZ;
    const CivilTime time = CivilFromMs(item.dStartTime);
    char sText[32];
    std::snprintf(sText, sizeof sText, "%04d%02d%02dT%02d%02d%02dZ", time.nYear, time.nMonth, time.nDay, time.nHour,
                  time.nMinute, time.nSecond);
    return sText;
}

bool HasCancelResponse(const std::string& sAnswer)
{
    pugi::xml_document doc;
    if (!doc.load_buffer(sAnswer.data(), sAnswer.size()))
        return false;
    return doc.document_element().select_node(Paths::sCancelResponse.c_str()) != nullptr;
}

} // namespace

std::string CancelRequestBody(const std::string& sInvId, const std::string& sInstance)
{
    std::string sBody = "  <BatchRequest xmlns=\"urn:zimbra\" onerror=\"continue\">\r\n"
                        "   <CancelAppointmentRequest xmlns=\"urn:zimbraMail\" id=\"" +
                        XmlEscape(sInvId) + "\" comp=\"0\">\r\n";
    if (!sInstance.empty())
        sBody += "    <inst d=\"" + XmlEscape(sInstance) + "\"/>\r\n";
    return sBody + "   </CancelAppointmentRequest>\r\n  </BatchRequest>";
}

Cancellation::Cancellation(ServerSession& session, AnswerReader& reader, IApptItemList& items, BoxFn fnAskUser,
                           BoxFn fnShowUser)
    : Session(session), Reader(reader), Items(items), fnAsk(std::move(fnAskUser)), fnShow(std::move(fnShowUser))
{
}

bool Cancellation::CalApptCancelado(int iCalItem)
{
    if (fnAsk(Texts::sDeleteQuestion, nMbYesNo | nMbQuestion) != nIdYes)
        return false;
    if (bCancelling)
    {
        // Reporting it done would remove it here while it stays on the server.
        fnShow(Texts::sDeleteRunning, nMbExclamation);
        return false;
    }
    const IApptItem* pItem = Items.ApptItemAt(iCalItem);
    if (!pItem)
        return false; // gone while the question was open: nothing left to delete
    bCancelling = true;
    struct Reset
    {
        bool& bFlag;
        ~Reset() { bFlag = false; }
    } reset{bCancelling};

    if (Session.sSessionId.empty())
    {
        fnShow(Texts::sSessionExpired, nMbExclamation);
        return false;
    }
    const std::string sBody = CancelRequestBody(pItem->invId, pItem->recur == "1" ? InstanceName(*pItem) : "");
    const std::string sAnswer = Session.SendSoapRequest(SessionEnvelope(Session.Header(), false, sBody));
    const bool bRead = !sAnswer.empty() && Reader.ProcessResponse(sAnswer);
    if (bRead && HasCancelResponse(sAnswer))
        return true;
    // A fault in the batch, a lost session or no answer at all: the appointment is still there, and the user
    // is told why as far as the server said.
    fnShow(!bRead || !Session.sLastError.empty() ? ShownText(Session.LastErrorText()) : Texts::sDeleteNotConfirmed,
           nMbExclamation);
    return false;
}

} // namespace qv
