#include "sending/MapiText.h"

#include <array>

#include "platform/Text.h"
#include "sending/CHTTP.h"

namespace qv
{

namespace
{

constexpr std::string_view sMarkerEdge = "|@|";
constexpr size_t nMarkerLength = 7;

std::string Marker(int nField)
{
    return std::string(sMarkerEdge) + static_cast<char>('0' + nField) + std::string(sMarkerEdge);
}

// The files' field: path and display name alternating. A path without a name after it (the text's last) is
// shown under its own file name; a pair whose path is blank is skipped.
std::vector<MapiFile> ReadFiles(std::string_view sList)
{
    const std::vector<std::string> parts = Split(sList, "|");
    std::vector<MapiFile> files;
    for (size_t nAt = 0; nAt < parts.size(); nAt += 2)
    {
        MapiFile file{Trim(parts[nAt]), nAt + 1 < parts.size() ? Trim(parts[nAt + 1]) : std::string()};
        if (file.sPath.empty())
            continue;
        if (file.sName.empty())
            file.sName = CHTTP::FileNameFromPath(file.sPath);
        files.push_back(std::move(file));
    }
    return files;
}

} // namespace

MapiMessage ParseMapiMessage(std::string_view sText)
{
    // Where each marker first occurs; the files' field runs to the end of the text, whatever follows it.
    std::array<size_t, 8> nAt{};
    for (int nField = 1; nField <= 7; ++nField)
        nAt[nField] = sText.find(Marker(nField));
    const size_t nFilesAt = nAt[7] == std::string_view::npos ? sText.size() : nAt[7];

    // A field ends at the next marker in the text, whichever digit it has: markers out of order then still give
    // each field its own text instead of a range that ends before it starts.
    const auto Field = [&](int nField) -> std::string {
        if (nAt[nField] == std::string_view::npos || nAt[nField] >= nFilesAt)
            return {};
        const size_t nStart = nAt[nField] + nMarkerLength;
        size_t nEnd = nFilesAt;
        for (size_t nPos = sText.find(sMarkerEdge, nStart); nPos != std::string_view::npos && nPos < nEnd;
             nPos = sText.find(sMarkerEdge, nPos + 1))
        {
            if (nPos + nMarkerLength <= sText.size() && sText[nPos + 3] >= '1' && sText[nPos + 3] <= '7' &&
                sText.substr(nPos + 4, 3) == sMarkerEdge)
            {
                nEnd = nPos;
                break;
            }
        }
        return Trim(sText.substr(nStart, nEnd - nStart));
    };
    MapiMessage message;
    message.sFromName = Field(1);
    message.sFromAddress = Field(2);
    message.sToName = Field(3);
    message.sSubject = Field(5);
    message.sBody = Field(6);
    if (nAt[7] != std::string_view::npos)
        message.Files = ReadFiles(sText.substr(nAt[7] + nMarkerLength));
    return message;
}

std::string WriteMapiMessage(const MapiMessage& message)
{
    std::string sFiles;
    for (const MapiFile& file : message.Files)
        sFiles += (sFiles.empty() ? "" : "|") + file.sPath + "|" + file.sName;
    std::string sText;
    const std::pair<int, const std::string*> fields[] = {{1, &message.sFromName}, {2, &message.sFromAddress},
                                                         {3, &message.sToName},   {5, &message.sSubject},
                                                         {6, &message.sBody},     {7, &sFiles}};
    for (const auto& [nField, pValue] : fields)
        if (!pValue->empty())
            sText += Marker(nField) + *pValue;
    return sText;
}

std::string QuotedList(const std::vector<std::string>& items)
{
    std::string sList;
    for (const std::string& sItem : items)
        sList += (sList.empty() ? "\"" : " \"") + sItem + "\"";
    return sList;
}

} // namespace qv
