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

char32_t FoldCase(char32_t c)
{
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? c + 0x20 : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return c + 0x20; // Latin-1 capitals
    if (c == 0x178)
        return 0xFF;
    if (c >= 0x100 && c <= 0x17F)
    {
        // Latin Extended-A pairs capital and small letters; a stretch in the middle pairs odd with even.
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c == 0x130 ? U'i' : c;
        const bool bOddCapitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        return bOddCapitals ? (c % 2 == 1 ? c + 1 : c) : (c % 2 == 0 ? c + 1 : c);
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return c + 0x20; // Greek capitals
    switch (c)
    {
    case 0x386: return 0x3AC;
    case 0x388: return 0x3AD;
    case 0x389: return 0x3AE;
    case 0x38A: return 0x3AF;
    case 0x38C: return 0x3CC;
    case 0x38E: return 0x3CD;
    case 0x38F: return 0x3CE;
    case 0x3C2: return 0x3C3; // final sigma reads as sigma
    default: break;
    }
    if (c >= 0x410 && c <= 0x42F)
        return c + 0x20; // Cyrillic capitals
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
        return c % 2 == 0 ? c + 1 : c;
    if (c >= 0x4C1 && c <= 0x4CE)
        return c % 2 == 1 ? c + 1 : c;
    if (c == 0x4C0)
        return 0x4CF;
    if (c >= 0x531 && c <= 0x556)
        return c + 0x30; // Armenian
    if (c >= 0x1E00 && c <= 0x1EFF && c != 0x1E9E)
        return c % 2 == 0 ? c + 1 : c; // Latin Extended Additional (Vietnamese and others)
    if (c == 0x1E9E)
        return 0xDF;
    return c;
}

std::u32string FoldCase(std::u32string sText)
{
    for (char32_t& c : sText)
        c = FoldCase(c);
    return sText;
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
