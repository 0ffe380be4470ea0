#include "platform/Text.h"

#include <algorithm>

namespace qv
{

std::string ReplaceAll(std::string sText, std::string_view sFrom, std::string_view sTo)
{
    if (sFrom.empty())
        return sText;
    for (size_t nAt = sText.find(sFrom); nAt != std::string::npos; nAt = sText.find(sFrom, nAt + sTo.size()))
        sText.replace(nAt, sFrom.size(), sTo);
    return sText;
}

std::string AsciiLower(std::string_view sText)
{
    std::string sOut(sText);
    for (char& c : sOut)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return sOut;
}

bool ContainsNoCase(std::string_view sText, std::string_view sPart)
{
    return AsciiLower(sText).find(AsciiLower(sPart)) != std::string::npos;
}

bool StartsWithNoCase(std::string_view sText, std::string_view sPrefix)
{
    return sText.size() >= sPrefix.size() && AsciiLower(sText.substr(0, sPrefix.size())) == AsciiLower(sPrefix);
}

std::vector<std::string> Split(std::string_view sText, std::string_view sSeparator)
{
    std::vector<std::string> parts;
    for (size_t nStart = 0;;)
    {
        const size_t nAt = sSeparator.empty() ? std::string_view::npos : sText.find(sSeparator, nStart);
        parts.emplace_back(sText.substr(nStart, nAt == std::string_view::npos ? nAt : nAt - nStart));
        if (nAt == std::string_view::npos)
            return parts;
        nStart = nAt + sSeparator.size();
    }
}

std::string Trim(std::string_view sText)
{
    const auto bBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!sText.empty() && bBlank(sText.front()))
        sText.remove_prefix(1);
    while (!sText.empty() && bBlank(sText.back()))
        sText.remove_suffix(1);
    return std::string(sText);
}

std::u32string DecodeUtf8(std::string_view sText)
{
    std::u32string sOut;
    sOut.reserve(sText.size());
    for (size_t i = 0; i < sText.size();)
    {
        const auto b0 = static_cast<unsigned char>(sText[i]);
        size_t nLen = b0 < 0x80 ? 1 : (b0 >> 5) == 0x6 ? 2 : (b0 >> 4) == 0xE ? 3 : (b0 >> 3) == 0x1E ? 4 : 0;
        char32_t c = nLen == 1 ? b0 : nLen == 2 ? (b0 & 0x1F) : nLen == 3 ? (b0 & 0x0F) : (b0 & 0x07);
        bool bValid = nLen != 0 && i + nLen <= sText.size();
        for (size_t k = 1; bValid && k < nLen; ++k)
        {
            const auto b = static_cast<unsigned char>(sText[i + k]);
            bValid = (b & 0xC0) == 0x80;
            c = (c << 6) | (b & 0x3F);
        }
        // Overlong forms and surrogates are not characters either.
        if (bValid && ((nLen == 2 && c < 0x80) || (nLen == 3 && c < 0x800) || (nLen == 4 && c < 0x10000) ||
                       (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF))
            bValid = false;
        if (!bValid)
        {
            sOut += static_cast<char32_t>(b0);
            ++i;
            continue;
        }
        sOut += c;
        i += nLen;
    }
    return sOut;
}

std::string EncodeUtf8(std::u32string_view sText)
{
    std::string sOut;
    sOut.reserve(sText.size());
    for (const char32_t c : sText)
    {
        if (c < 0x80)
            sOut += static_cast<char>(c);
        else if (c < 0x800)
        {
            sOut += static_cast<char>(0xC0 | (c >> 6));
            sOut += static_cast<char>(0x80 | (c & 0x3F));
        }
        else if (c < 0x10000)
        {
            sOut += static_cast<char>(0xE0 | (c >> 12));
            sOut += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            sOut += static_cast<char>(0x80 | (c & 0x3F));
        }
        else
        {
            sOut += static_cast<char>(0xF0 | (c >> 18));
            sOut += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            sOut += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            sOut += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return sOut;
}

std::u16string EncodeUtf16(std::u32string_view sText)
{
    std::u16string sOut;
    sOut.reserve(sText.size());
    for (const char32_t c : sText)
    {
        if (c >= 0x10000)
        {
            sOut += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            sOut += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
        else
        {
            sOut += static_cast<char16_t>(c);
        }
    }
    return sOut;
}

std::string CutUtf8(std::string_view sText, size_t nMax)
{
    if (sText.size() <= nMax)
        return std::string(sText);
    size_t nEnd = nMax;
    // Step back over continuation bytes to the start of the character that would be split.
    while (nEnd > 0 && (static_cast<unsigned char>(sText[nEnd]) & 0xC0) == 0x80)
        --nEnd;
    return std::string(sText.substr(0, nEnd));
}

} // namespace qv
