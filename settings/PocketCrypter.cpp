#include "settings/PocketCrypter.h"

#include <vector>

#include "platform/Text.h"

namespace qv
{

const std::u32string& DigitTable()
{
    // Pieces joined in a fixed order: the 36 stored digits first, then the rest of printable ASCII, then
    // Latin-1 letters. The last 10 are letters passwords rarely hold: without "Webmail Login" they drop out.
    static const std::u32string sTable = [] {
        std::u32string s = U"k3Qm9TzX7bRw2VfH5nLc8JpD0gYs4Ah6Ne1u";
        s += U"BCEFGIKMOPSUWZadijloqrtvxy !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
        s += U"ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏÐÑÒÓÔÕÖØÙÚÛÜÝÞßàáâãäåæçèéêëìíîïðñòóôõöøùúûüýþÿ";
        return s;
    }();
    return sTable;
}

int PasswordRadix(bool bWebmailLogin)
{
    const int nLength = static_cast<int>(DigitTable().size());
    return bWebmailLogin ? nLength : nLength - 10;
}

std::string RadixConvert(std::string_view sText, int nFrom, int nTo, int nPasswordRadix)
{
    if (sText.empty())
        return {};
    if (nFrom < 2 || nFrom > nPasswordRadix || nTo < 2 || nTo > nPasswordRadix)
        return "fuera de rango";

    const std::u32string sDigits = DecodeUtf8(sText);
    const std::u32string& sTable = DigitTable();
    const std::u32string_view sSource(sTable.data(), static_cast<size_t>(nFrom));

    const size_t nSize = static_cast<size_t>(nFrom / nTo + 1) * sDigits.size() + 10;
    std::vector<uint16_t> Power(nSize, 0), Sum(nSize, 0);
    Power[0] = 1;
    const auto uTo = static_cast<uint32_t>(nTo);

    for (auto it = sDigits.rbegin(); it != sDigits.rend(); ++it)
    {
        const size_t nValue = sSource.find(*it);
        if (nValue == std::u32string_view::npos)
            return "Error: entrada contiene caracteres invalidos";
        if (nValue >= static_cast<size_t>(nFrom))
            return "Error: numero invalido";

        uint32_t nCarry = 0;
        for (size_t i = 0; i < nSize; ++i)
        {
            const uint32_t v = Sum[i] + static_cast<uint32_t>(nValue) * Power[i] + nCarry;
            Sum[i] = static_cast<uint16_t>(v % uTo);
            nCarry = v / uTo;
        }
        nCarry = 0;
        for (size_t i = 0; i < nSize; ++i)
        {
            const uint32_t v = static_cast<uint32_t>(Power[i]) * static_cast<uint32_t>(nFrom) + nCarry;
            Power[i] = static_cast<uint16_t>(v % uTo);
            nCarry = v / uTo;
        }
    }

    size_t nTop = nSize;
    while (nTop > 0 && Sum[nTop - 1] == 0)
        --nTop;
    if (nTop == 0)
        return EncodeUtf8(std::u32string(1, sTable[0]));
    std::u32string sOut;
    sOut.reserve(nTop);
    for (size_t i = nTop; i > 0; --i)
        sOut += sTable[Sum[i - 1]];
    return EncodeUtf8(sOut);
}

std::string EncodePassword(std::string_view sPassword, bool bWebmailLogin)
{
    const int nRadix = PasswordRadix(bWebmailLogin);
    return RadixConvert(sPassword, nRadix, 36, nRadix);
}

std::string DecodePassword(std::string_view sStored, bool bWebmailLogin)
{
    const int nRadix = PasswordRadix(bWebmailLogin);
    return RadixConvert(sStored, 36, nRadix, nRadix);
}

namespace
{
// The conversion costs the square of the length: a hostile stored value must not hang the start.
constexpr size_t nMaxScrambled = 1024;
} // namespace

std::string StoredPassword(std::string_view sPassword, bool bWebmailLogin)
{
    if (sPassword.empty())
        return {};
    // Characters outside the table, or leading "zero" digits, would come back as another password.
    if (sPassword.size() <= nMaxScrambled / 2)
    {
        std::string sScrambled = EncodePassword(sPassword, bWebmailLogin);
        if (DecodePassword(sScrambled, bWebmailLogin) == sPassword)
            return sScrambled;
    }
    return std::string(sPlainPrefix) + std::string(sPassword);
}

std::string RestoredPassword(std::string_view sStored, bool bWebmailLogin)
{
    if (sStored.substr(0, sPlainPrefix.size()) == sPlainPrefix)
        return std::string(sStored.substr(sPlainPrefix.size()));
    if (sStored.size() > nMaxScrambled)
        return {}; // not of our making: the user types the password again
    return DecodePassword(sStored, bWebmailLogin);
}

} // namespace qv
