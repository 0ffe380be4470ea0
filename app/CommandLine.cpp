#include "app/CommandLine.h"

#include "platform/Text.h"

namespace qv
{

HandOffRequest PrepareHandOff(const std::string& sArguments)
{
    HandOffRequest request;
    if (sArguments.empty())
        return request;
    std::string sText = ReplaceAll(sArguments, "mailto:", "");
    sText = ReplaceAll(sText, "?", "&");
    const bool bPath = sArguments.find('\\') != std::string::npos;
    if (!bPath)
        sText = ReplaceAll(sText, "\"", ""); // quotes delimit file names only
    request.nCode = bPath                                     ? HandOffCode::UploadFiles
                    : ContainsNoCase(sArguments, "/settings") ? HandOffCode::ShowSettings
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

} // namespace qv
