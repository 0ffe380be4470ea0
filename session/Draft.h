// A message made from an upload job: saved as a draft for the user to finish in the web mail, or sent at once
// when the job already names recipients, a subject and something to send.
#pragma once

#include <string>

namespace qv
{

struct DraftFields
{
    std::string sAttachId; // the upload's attachment; empty: none
    std::string sSubject;
    std::string sFromAddress;
    std::string sFromName;
    std::string sToName; // name and address alternating, "|" between; an address may start "smtp:"
    std::string sBody;   // plain text, or HTML when it holds a closing html tag
};

bool SendsDirectly(const DraftFields& fields);

// The request's body lines, from the request's opening element to its end: SaveDraftRequest or SendMsgRequest.
// sComposeFormat: the account's preference; a plain body of an html draft is wrapped as preformatted HTML.
std::string DraftRequestBody(const DraftFields& fields, const std::string& sComposeFormat);

} // namespace qv
