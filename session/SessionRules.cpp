#include "session/SessionRules.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/Text.h"

namespace qv
{

namespace
{

// Leading blanks skipped, digits with an optional fraction; sets nUsed to the characters read.
double LeadingNumber(std::string_view sText, size_t& nUsed)
{
    size_t i = 0;
    while (i < sText.size() && (sText[i] == ' ' || sText[i] == '\t'))
        ++i;
    const size_t nStart = i;
    while (i < sText.size() && sText[i] >= '0' && sText[i] <= '9')
        ++i;
    if (i < sText.size() && sText[i] == '.')
    {
        ++i;
        while (i < sText.size() && sText[i] >= '0' && sText[i] <= '9')
            ++i;
    }
    nUsed = i;
    const std::string sNumber(sText.substr(nStart, i - nStart));
    if (sNumber.empty() || sNumber == ".")
        return 0;
    const double dValue = std::strtod(sNumber.c_str(), nullptr);
    return std::isfinite(dValue) ? dValue : 0;
}

int32_t RoundHalfEven(double dValue)
{
    if (dValue > 2e9)
        return 2000000000;
    return static_cast<int32_t>(std::nearbyint(dValue)); // the default rounding mode sends halves to even
}

} // namespace

bool IsOldServer(std::string_view sServerVersion)
{
    if (sServerVersion.empty())
        return true;
    if (sServerVersion[0] < '0' || sServerVersion[0] > '9')
        return sServerVersion < std::string_view("6.0"); // not a version number: the plain comparison
    const long nMajor = std::strtol(std::string(sServerVersion.substr(0, 9)).c_str(), nullptr, 10);
    return nMajor < 6;
}

int32_t LeadingWholeNumber(std::string_view sText)
{
    size_t nUsed = 0;
    return RoundHalfEven(LeadingNumber(sText, nUsed));
}

int32_t PollingSeconds(std::string_view sPreference, bool bPresent)
{
    int32_t nSeconds = 0;
    if (bPresent)
    {
        size_t nUsed = 0;
        double dValue = LeadingNumber(sPreference, nUsed);
        const std::string_view sUnit = sPreference.substr(nUsed, 2);
        if (sUnit == "ms")
            dValue /= 1000;
        else if (!sUnit.empty() && sUnit[0] == 'm')
            dValue *= 60;
        else if (!sUnit.empty() && sUnit[0] == 'h')
            dValue *= 3600;
        else if (!sUnit.empty() && sUnit[0] == 'd')
            dValue *= 86400;
        // Below a second is the web client's "as new mail arrives": poll often, not constantly.
        if (dValue > 0 && dValue < 1)
            return 15;
        nSeconds = RoundHalfEven(dValue);
    }
    if (nSeconds == 0)
        return 300;
    if (nSeconds == 500)
        return 15;
    if (nSeconds > 900)
        return 14400;
    return nSeconds;
}

bool IsValidServerHost(const std::string& sHost)
{
    // Only the host (and a port) belongs in the box: a scheme or a path would make every address wrong.
    return !sHost.empty() && sHost.find('/') == std::string::npos && sHost.find('\\') == std::string::npos &&
           !ContainsNoCase(sHost, "http:") && !ContainsNoCase(sHost, "https:") &&
           sHost.find_first_of(" \t\r\n") == std::string::npos;
}

std::string ShownText(std::string_view sText, size_t nMaxCharacters)
{
    // The byte where each character starts; a stray continuation byte belongs to the character before it.
    const auto IsStart = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; };
    size_t nCharacters = 0, nCut = std::string_view::npos;
    for (size_t i = 0; i < sText.size(); ++i)
    {
        if (!IsStart(sText[i]))
            continue;
        if (nCharacters == nMaxCharacters - 1)
            nCut = i; // where the ellipsis goes if the text turns out too long
        if (++nCharacters > nMaxCharacters)
            return std::string(sText.substr(0, nCut)) + "\xE2\x80\xA6"; // "…"
    }
    return std::string(sText);
}

int64_t WholeNumber(std::string_view sText)
{
    int64_t nValue = 0;
    std::from_chars(sText.data(), sText.data() + sText.size(), nValue);
    return nValue;
}

} // namespace qv
