#include "sending/HttpMessage.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "platform/Text.h"

namespace qv
{

void HttpRequest::AddBytes(std::string_view sBytes)
{
    if (!Body.empty() && Body.back().sPath.empty())
        Body.back().sBytes.append(sBytes);
    else
        Body.push_back({std::string(sBytes), {}, 0});
}

void HttpRequest::AddFile(const std::string& sPath, uint64_t nSize)
{
    Body.push_back({{}, sPath, nSize});
}

uint64_t HttpRequest::BodyLength() const
{
    uint64_t nLength = 0;
    for (const BodyPiece& piece : Body)
        nLength += piece.sPath.empty() ? piece.sBytes.size() : piece.nFileSize;
    return nLength;
}

long long BodyReader::Read(char* pBuffer, size_t nMax)
{
    while (iPiece < Body.size())
    {
        const BodyPiece& piece = Body[iPiece];
        if (piece.sPath.empty())
        {
            const size_t nCount = static_cast<size_t>(std::min<uint64_t>(nMax, piece.sBytes.size() - nDone));
            if (nCount > 0)
            {
                std::memcpy(pBuffer, piece.sBytes.data() + nDone, nCount);
                nDone += nCount;
                return static_cast<long long>(nCount);
            }
        }
        else
        {
            if (!File && nDone == 0 && piece.nFileSize > 0)
            {
                File = Files.OpenRead(piece.sPath);
                if (!File)
                {
                    sFailure = "The file could not be opened: " + piece.sPath;
                    return -1;
                }
            }
            const uint64_t nLeft = piece.nFileSize - nDone;
            if (nLeft > 0)
            {
                const long long nRead = File->Read(pBuffer, static_cast<size_t>(std::min<uint64_t>(nMax, nLeft)));
                if (nRead < 0)
                {
                    sFailure = "The file could not be read: " + piece.sPath;
                    return -1;
                }
                if (nRead == 0)
                {
                    sFailure = "The file became shorter while it was sent: " + piece.sPath;
                    return -1;
                }
                nDone += static_cast<uint64_t>(nRead);
                return nRead;
            }
            char cMore = 0;
            if (File && File->Read(&cMore, 1) != 0)
            {
                sFailure = "The file became longer while it was sent: " + piece.sPath;
                return -1;
            }
            File.reset();
        }
        ++iPiece;
        nDone = 0;
    }
    return 0;
}

namespace
{

constexpr std::string_view sHeaderEnd = "\r\n\r\n";

// "HTTP/1.1 200 OK": the code and the reason; nothing when the line is no status line.
std::optional<std::pair<int, std::string>> ReadStatusLine(std::string_view sLine)
{
    if (sLine.size() < 12 || sLine.substr(0, 5) != "HTTP/")
        return std::nullopt;
    const size_t nBlank = sLine.find(' ');
    if (nBlank == std::string_view::npos || nBlank + 4 > sLine.size())
        return std::nullopt;
    const std::string_view sCode = sLine.substr(nBlank + 1, 3);
    if (!std::all_of(sCode.begin(), sCode.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        (nBlank + 4 < sLine.size() && sLine[nBlank + 4] != ' '))
        return std::nullopt;
    int nCode = 0;
    std::from_chars(sCode.data(), sCode.data() + 3, nCode);
    return std::pair(nCode, nBlank + 5 <= sLine.size() ? std::string(sLine.substr(nBlank + 5)) : std::string());
}

struct HeadSpan
{
    size_t nStart = 0; // the final answer's status line
    size_t nEnd = 0;   // behind its empty line
    int nStatus = 0;
    std::string sReason;
};

std::optional<HeadSpan> FindHead(std::string_view sResponse)
{
    size_t nStart = 0;
    for (;;)
    {
        const size_t nEnd = sResponse.find(sHeaderEnd, nStart);
        if (nEnd == std::string_view::npos)
            return std::nullopt;
        const size_t nLineEnd = sResponse.find("\r\n", nStart);
        const auto status = ReadStatusLine(sResponse.substr(nStart, nLineEnd - nStart));
        if (!status)
            return std::nullopt;
        if (status->first >= 200 || status->first < 100)
            return HeadSpan{nStart, nEnd + sHeaderEnd.size(), status->first, status->second};
        nStart = nEnd + sHeaderEnd.size(); // "100 Continue" and its kind come before the answer
    }
}

} // namespace

HeaderList ParseHeaders(std::string_view sHeaderBlock)
{
    HeaderList headers;
    size_t nAt = sHeaderBlock.find("\r\n");
    while (nAt != std::string_view::npos)
    {
        nAt += 2;
        size_t nEnd = sHeaderBlock.find("\r\n", nAt);
        const std::string_view sLine =
            sHeaderBlock.substr(nAt, (nEnd == std::string_view::npos ? sHeaderBlock.size() : nEnd) - nAt);
        if (sLine.empty())
            break;
        if ((sLine.front() == ' ' || sLine.front() == '\t') && !headers.empty())
            headers.back().second.append(" ").append(Trim(sLine));
        else if (const size_t nColon = sLine.find(':'); nColon != std::string_view::npos && nColon > 0)
            headers.emplace_back(std::string(sLine.substr(0, nColon)), Trim(sLine.substr(nColon + 1)));
        nAt = nEnd;
    }
    return headers;
}

std::string GetHeaderValue(std::string_view sHeaderBlock, std::string_view sName)
{
    const std::string sWanted = AsciiLower(sName);
    for (const auto& [sHeader, sValue] : ParseHeaders(sHeaderBlock))
        if (AsciiLower(sHeader) == sWanted)
            return sValue;
    return {};
}

std::optional<HttpAnswer> ParseAnswer(std::string_view sResponse)
{
    const auto head = FindHead(sResponse);
    if (!head)
        return std::nullopt;
    HttpAnswer answer;
    answer.nStatus = head->nStatus;
    answer.sReason = head->sReason;
    answer.sHeaderBlock = std::string(sResponse.substr(head->nStart, head->nEnd - head->nStart));
    answer.Headers = ParseHeaders(answer.sHeaderBlock);
    answer.sBody = std::string(sResponse.substr(head->nEnd));
    return answer;
}

std::optional<size_t> CompleteLength(std::string_view sResponse)
{
    const auto head = FindHead(sResponse);
    if (!head)
        return std::nullopt;
    const std::string sLength =
        GetHeaderValue(sResponse.substr(head->nStart, head->nEnd - head->nStart), "Content-Length");
    size_t nLength = 0;
    const auto [pEnd, nError] = std::from_chars(sLength.data(), sLength.data() + sLength.size(), nLength);
    if (sLength.empty() || nError != std::errc() || pEnd != sLength.data() + sLength.size())
        return std::nullopt;
    return head->nEnd + nLength;
}

} // namespace qv
