#include "session/Draft.h"

#include <vector>

#include "platform/Text.h"
#include "session/Envelope.h"

namespace qv
{

namespace
{

constexpr std::string_view sCrLf = "\r\n";

bool IsBlank(std::string_view sText)
{
    return Trim(sText).empty();
}

std::string WithoutSmtpPrefix(const std::string& sAddress)
{
    return StartsWithNoCase(sAddress, "smtp:") ? sAddress.substr(5) : sAddress;
}

} // namespace

bool SendsDirectly(const DraftFields& fields)
{
    return !IsBlank(fields.sToName) && !IsBlank(fields.sSubject) &&
           (!IsBlank(fields.sBody) || !IsBlank(fields.sAttachId));
}

std::string DraftRequestBody(const DraftFields& given, const std::string& sComposeFormat)
{
    DraftFields fields = given;
    while (!fields.sToName.empty() && fields.sToName.back() == '|')
        fields.sToName.pop_back();
    const bool bSend = SendsDirectly(fields);
    const std::string sRequest = bSend ? "SendMsgRequest" : "SaveDraftRequest";

    std::string sContentType;
    std::string sBody = fields.sBody;
    if (ContainsNoCase(sBody, "</html>"))
        sContentType = "text/html";
    else if (AsciiLower(sComposeFormat) == "html" && !bSend)
    {
        sBody = Trim(sBody);
        if (!sBody.empty())
        {
            for (const auto& [sFrom, sTo] : {std::pair{"&", "&amp;"}, {"\"", "&quot;"}, {"<", "&lt;"}, {">", "&gt;"}})
                sBody = ReplaceAll(std::move(sBody), sFrom, sTo);
            sBody = "<HTML>\r\n<BODY>\r\n<PRE>" + sBody + "</PRE>\r\n</BODY>\r\n</HTML>";
        }
        sContentType = "text/html";
    }

    // Every value escaped for where it goes: a quote in a name must not end its attribute.
    std::string sText = "    <" + sRequest + " xmlns=\"urn:zimbraMail\" onerror=\"continue\">";
    const auto Line = [&](const std::string& sLine) { sText.append(sCrLf).append(sLine); };
    Line("      <m f=\"" + std::string(fields.sAttachId.empty() ? "" : "a") + (bSend ? "" : "d") + "\">");
    if (!IsBlank(fields.sFromAddress))
        Line("        <e t=\"f\" a=\"" + XmlEscape(fields.sFromAddress) + "\" p=\"" + XmlEscape(fields.sFromName) +
             "\"/>");
    if (!IsBlank(fields.sToName))
    {
        const std::vector<std::string> parts = Split(fields.sToName, "|");
        for (size_t i = 0; i < parts.size(); i += 2)
        {
            const std::string sAddress = i + 1 < parts.size() && !IsBlank(parts[i + 1]) ? parts[i + 1] : "";
            Line("        <e t=\"t\" p=\"" + XmlEscape(parts[i]) + "\" a=\"" + XmlEscape(WithoutSmtpPrefix(sAddress)) +
                 "\" />");
        }
    }
    Line("        <su>" + XmlEscape(fields.sSubject) + "</su>");
    Line("        <mp body=\"1\"" + (sContentType.empty() ? std::string() : " ct=\"" + sContentType + "\"") + ">");
    Line("          <content>" + XmlEscape(sBody) + "</content>");
    Line("        </mp>");
    if (!fields.sAttachId.empty())
    {
        Line("        <attach aid=\"" + XmlEscape(fields.sAttachId) + "\">");
        Line("        </attach>");
    }
    Line("      </m>");
    Line("    </" + sRequest + ">");
    return sText;
}

} // namespace qv
