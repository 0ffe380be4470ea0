#include "session/Envelope.h"

#include "platform/Product.h"

namespace qv
{

namespace
{

constexpr std::string_view sCrLf = "\r\n";

class Lines
{
public:
    Lines& Add(int nBlanks, std::string_view sText)
    {
        if (!sOut.empty())
            sOut += sCrLf;
        sOut.append(static_cast<size_t>(nBlanks), ' ');
        sOut += sText;
        return *this;
    }
    // Body lines come already joined; they are inserted as they stand.
    Lines& AddRaw(std::string_view sText)
    {
        if (sText.empty())
            return *this;
        if (!sOut.empty())
            sOut += sCrLf;
        sOut += sText;
        return *this;
    }
    std::string Take() { return std::move(sOut); }

private:
    std::string sOut;
};

std::string EnvelopeOpen()
{
    return "<Envelope xmlns=\"" + std::string(sSoapNamespace) + "\">";
}

} // namespace

std::string XmlEscape(std::string_view sText)
{
    std::string sOut;
    sOut.reserve(sText.size());
    for (const char c : sText)
    {
        switch (c)
        {
        case '&': sOut += "&amp;"; break;
        case '<': sOut += "&lt;"; break;
        case '>': sOut += "&gt;"; break;
        case '"': sOut += "&quot;"; break;
        case '\'': sOut += "&apos;"; break;
        default: sOut += c;
        }
    }
    return sOut;
}

std::string SessionEnvelope(const SessionHeader& header, bool bChangeLine, std::string_view sBody)
{
    // The values come from the server's answers; escaping leaves real ones (digits, hex) as they are and keeps
    // a hostile answer from breaking the next envelope.
    const std::string sId = XmlEscape(header.sSessionId);
    std::string sSession = "<" + header.sSessionElement;
    if (!header.sNotifySeq.empty())
        sSession += " seq=\"" + XmlEscape(header.sNotifySeq) + "\"";
    sSession += " id=\"" + sId + "\">" + sId + "</" + header.sSessionElement + ">";

    Lines lines;
    lines.Add(0, EnvelopeOpen())
        .Add(0, "<Header>")
        .Add(2, "<context xmlns=\"urn:zimbra\">")
        .Add(4, "<authToken>" + XmlEscape(header.sAuthToken) + "</authToken>")
        .Add(4, sSession)
        .Add(4, "<userAgent name=\"" + std::string(sProductTitle) + "\" version=\"" + VersionText() + "\"/>");
    if (bChangeLine)
        lines.Add(4, "<change token=\"" + XmlEscape(header.sChangeToken) + "\"/>");
    lines.Add(2, "</context>")
        .Add(0, "</Header>")
        .Add(0, "<Body>")
        .AddRaw(sBody)
        .Add(0, "</Body>")
        .Add(0, "</Envelope>");
    return lines.Take();
}

std::string LoginEnvelope(std::string_view sUser, std::string_view sPassword, LoginFor nFor)
{
    const bool bProgram = nFor == LoginFor::Program;
    Lines lines;
    lines.Add(0, EnvelopeOpen()).Add(0, "<Header>").Add(2, "<context xmlns=\"urn:zimbra\">");
    if (bProgram)
        lines.Add(4, "<session/>");
    lines.Add(2, "</context>")
        .Add(0, "</Header>")
        .Add(2, "<Body>")
        .Add(4, "<AuthRequest xmlns=\"urn:zimbraAccount\">")
        .Add(6, "<account by=\"name\">" + XmlEscape(sUser) + "</account>")
        .Add(6, "<password>" + XmlEscape(sPassword) + "</password>");
    if (bProgram)
    {
        lines.Add(6, "<prefs>")
            .Add(8, "<pref name=\"zimbraPrefMailPollingInterval\" />")
            .Add(8, "<pref name=\"zimbraPrefCalendarApptReminderWarningTime\" />")
            .Add(8, "<pref name=\"zimbraPrefComposeFormat\" />")
            .Add(6, "</prefs>");
    }
    lines.Add(4, "</AuthRequest>").Add(2, "</Body>").Add(0, "</Envelope>");
    return lines.Take();
}

std::string CheckRequestBody(bool bOldServer, int64_t nStart, int64_t nEnd, int64_t nOffset)
{
    const std::string sStart = std::to_string(nStart), sEnd = std::to_string(nEnd);
    Lines lines;
    lines.Add(2, "<BatchRequest xmlns=\"urn:zimbra\" onerror=\"continue\">");
    if (bOldServer)
    {
        lines.Add(4, "<GetApptSummariesRequest xmlns=\"urn:zimbraMail\" s=\"" + sStart + "\" e=\"" + sEnd +
                         "\" id=\"0\"/>");
    }
    else
    {
        lines
            .Add(4, "<SearchRequest xmlns=\"urn:zimbraMail\" types=\"appointment\" sortBy=\"dateAsc\" limit=\"" +
                        std::to_string(nApptPage) + "\"" +
                        (nOffset > 0 ? " offset=\"" + std::to_string(nOffset) + "\"" : std::string()) +
                        " calExpandInstStart=\"" + sStart + "\" calExpandInstEnd=\"" + sEnd + "\" >")
            // Overlap with the week, not a start within it: a weekly series that began months ago is in it too.
            .Add(2, "<query>appt-start:&lt;+7day AND appt-end:&gt;-1day AND (is:local OR is:remote)</query>")
            .Add(2, "</SearchRequest>");
    }
    lines.Add(2, "</BatchRequest>");
    return lines.Take();
}

} // namespace qv
