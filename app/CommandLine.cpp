#include "app/CommandLine.h"

#include "platform/Product.h"
#include "platform/Text.h"
#include "session/SessionRules.h"

namespace qv
{

HandOffRequest PrepareHandOff(const std::string& sArguments)
{
    HandOffRequest request;
    if (sArguments.empty())
        return request;
    std::string sText = ReplaceAll(sArguments, "mailto:", "");
    sText = ReplaceAll(sText, "?", "&");
    // A link is a link whatever it holds: "mailto:\\host\share" taken for a path would make the program open a
    // network share (and hand it the user's credentials), "mailto:C:\secret.docx" upload a local file.
    const size_t nFirst = sArguments.find_first_not_of(" \t\"");
    const std::string_view sFirst = std::string_view(sArguments).substr(nFirst == std::string::npos ? 0 : nFirst);
    const bool bLink = AsciiLower(sFirst.substr(0, 7)) == "mailto:";
    const bool bPath = !bLink && sArguments.find('\\') != std::string::npos;
    if (!bPath)
        sText = ReplaceAll(sText, "\"", ""); // quotes delimit file names only
    request.nCode = bPath                                                ? HandOffCode::UploadFiles
                    : !bLink && ContainsNoCase(sArguments, "/settings") ? HandOffCode::ShowSettings
                                                                         : HandOffCode::OpenWebmail;
    request.bHasText = true;
    request.sText = std::move(sText);
    return request;
}

std::string ArgumentsOf(const std::string& sCommandLine)
{
    size_t i = 0;
    while (i < sCommandLine.size() && sCommandLine[i] == ' ')
        ++i;
    if (i < sCommandLine.size() && sCommandLine[i] == '"')
    {
        const size_t nClose = sCommandLine.find('"', i + 1);
        i = nClose == std::string::npos ? sCommandLine.size() : nClose + 1;
    }
    else
    {
        while (i < sCommandLine.size() && sCommandLine[i] != ' ' && sCommandLine[i] != '\t')
            ++i;
    }
    while (i < sCommandLine.size() && (sCommandLine[i] == ' ' || sCommandLine[i] == '\t'))
        ++i;
    return sCommandLine.substr(i);
}

HandOffMessage BuildHandOff(const std::string& sCommandLine,
                            const std::function<std::string(const std::string&)>& fnToAnsi)
{
    const HandOffRequest request = PrepareHandOff(ArgumentsOf(sCommandLine));
    HandOffMessage message;
    message.nCode = static_cast<uint32_t>(request.nCode);
    if (request.bHasText)
    {
        message.sBytes = fnToAnsi(request.sText);
        message.sBytes.push_back('\0');
    }
    return message;
}

std::string HandOffLostText(const std::string& sArguments)
{
    return "Another copy of " + std::string(sProductTitle) +
           " is starting or closing and did not take this request:\r\n\r\n" + ShownText(sArguments, 300) +
           "\r\n\r\nPlease try again in a moment.";
}

} // namespace qv
