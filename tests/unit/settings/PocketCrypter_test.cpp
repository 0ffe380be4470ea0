#include "settings/PocketCrypter.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/Text.h"

namespace qv
{
namespace
{

TEST(RadixConvert, ConvertsExactlyOverADistinctTableAndAnswersBadInput)
{
    const std::u32string& t = DigitTable();
    EXPECT_EQ(std::set<char32_t>(t.begin(), t.end()).size(), t.size());
    for (size_t i = 0; i < 36; ++i) // the stored form must survive any code page
        EXPECT_TRUE(t[i] > 32 && t[i] < 127) << i;
    const auto Digits = [&](std::initializer_list<int> values) {
        std::u32string s;
        for (const int v : values)
            s += t[static_cast<size_t>(v)];
        return EncodeUtf8(s);
    };
    const int nRadix = PasswordRadix(true);
    const std::string sInvalid = "Error: entrada contiene caracteres invalidos";
    const std::tuple<std::string, int, int, std::string> cases[] = {
        {Digits({1, 0}), 36, 10, Digits({3, 6})},                             // 36
        {Digits({35, 35}), 36, 2, Digits({1, 0, 1, 0, 0, 0, 0, 1, 1, 1, 1})}, // 1295
        {Digits({0, 0}), 36, 10, Digits({0})},                                // zero is one digit
        {"abc", 1, 36, "fuera de rango"},
        {"abc", 36, nRadix + 1, "fuera de rango"},
        {"k3~", 36, nRadix, sInvalid}, // '~' is a digit of the large radix, not of radix 36
    };
    for (const auto& [sIn, nFrom, nTo, sOut] : cases)
        EXPECT_EQ(RadixConvert(sIn, nFrom, nTo, nRadix), sOut) << sIn << " " << nFrom << ">" << nTo;
}

TEST(PocketCrypter, RoundTripsPasswordsOfTheTableInBothRadices)
{
    const char* passwords[] = {
        "secret", "P4ssw0rd!", "a b\"c'd<e>&f", "zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz", "~", "Ünïcödé"};
    for (const bool bWebmail : {true, false})
        for (const char* sPassword : passwords)
        {
            const std::string sStored = StoredPassword(sPassword, bWebmail);
            EXPECT_EQ(RestoredPassword(sStored, bWebmail), sPassword) << sPassword << " webmail " << bWebmail;
        }
}

TEST(PocketCrypter, ScramblesWhatItCanAndKeepsTheRestPlain)
{
    // A password made of table characters is not stored readable.
    const std::u32string_view sStoredDigits(DigitTable().data(), 36);
    for (const char32_t c : DecodeUtf8(StoredPassword("secret", true)))
        EXPECT_NE(sStoredDigits.find(c), std::u32string_view::npos);

    // These would come back as another password through the scrambled form.
    const std::string sLeadingZero = EncodeUtf8(std::u32string(1, DigitTable()[0])) + "abc";
    EXPECT_EQ(StoredPassword(sLeadingZero, true), "text:" + sLeadingZero);
    for (const char* sPassword : {"пароль", "€uro", "emoji😀"})
        EXPECT_EQ(StoredPassword(sPassword, true), std::string("text:") + sPassword);
    // A Latin-1 letter of the table's last ten is out of the smaller radix.
    const std::string sLast = EncodeUtf8(std::u32string(1, DigitTable().back()));
    EXPECT_EQ(StoredPassword("x" + sLast, false), "text:x" + sLast);
    EXPECT_EQ(StoredPassword("", true), "");
    // A very long password stays plain: scrambling costs the square of its length at every start.
    EXPECT_EQ(StoredPassword(std::string(600, 'a'), true), "text:" + std::string(600, 'a'));
}

TEST(PocketCrypter, RestoresStoredTextsOfEveryKind)
{
    EXPECT_EQ(RestoredPassword("text:plain pw", true), "plain pw");
    EXPECT_EQ(RestoredPassword("text:", true), "");
    EXPECT_EQ(RestoredPassword("", true), "");
    EXPECT_EQ(RestoredPassword("not~valid", true), "Error: entrada contiene caracteres invalidos");
    // Not of our making and costly to convert: the user types the password again.
    EXPECT_EQ(RestoredPassword(std::string(200000, 'k'), true), "");
}

} // namespace
} // namespace qv
