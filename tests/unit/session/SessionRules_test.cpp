#include "session/SessionRules.h"

#include <gtest/gtest.h>

namespace qv
{
namespace
{

TEST(PollingSeconds, HonoursTheServersUnitsAndTheProgramsLimits)
{
    const std::pair<const char*, int32_t> cases[] = {
        {"5m", 300},   {"1m", 60},     {"30s", 30},   {"30", 30},          {"300", 300},
        {"15m", 900},  {"16m", 14400}, {"1h", 14400}, {"2d", 14400},       {"500", 15},
        {"500ms", 15}, {"0", 300},     {"abc", 300},  {"5M", 5},           {" 1.5m", 90},
        {"2.5", 2},    {"3.5", 4},     {"", 300},     {"31536000", 14400}, {"99999999999999999999", 14400},
        {"0.2", 15},   {"-5m", 300},
    };
    for (const auto& [sText, nSeconds] : cases)
        EXPECT_EQ(PollingSeconds(sText, true), nSeconds) << sText;
    EXPECT_EQ(PollingSeconds("", false), 300);
}

TEST(IsOldServer, ComparesVersionsByNumber)
{
    const std::pair<const char*, bool> cases[] = {
        {"", true},
        {"5.5.0_GA", true},
        {"5.0.18_GA_3011.RHEL5 20090707151621", true},
        {"6.0.7_GA", false},
        {"7.1.4_GA_2555.RHEL5_64 20110822", false},
        {"10.0.6_GA_4605.RHEL8_64", false},
        {"8.8.15_GA_4484.UBUNTU20_64 20220914105426 20220914-1107 FOSS", false},
    };
    for (const auto& [sVersion, bOld] : cases)
        EXPECT_EQ(IsOldServer(sVersion), bOld) << sVersion;
}

TEST(LeadingWholeNumber, RoundsHalvesToEven)
{
    const std::pair<const char*, int32_t> cases[] = {{"5", 5},    {"-1", 0}, {" 2.5", 2},
                                                     {"3.5x", 4}, {"x", 0},  {"10m", 10}};
    for (const auto& [sText, nValue] : cases)
        EXPECT_EQ(LeadingWholeNumber(sText), nValue) << sText;
}

TEST(ShownText, CutsLongServerTextsOnACharacterWithAnEllipsis)
{
    const std::string sEllipsis = "\xE2\x80\xA6";
    const std::string sGreek300 = [] {
        std::string s;
        for (int i = 0; i < 300; ++i)
            s += "\xCE\xB1"; // α
        return s;
    }();
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {std::string(300, 'a'), std::string(300, 'a')},                 // exactly the limit: untouched
        {std::string(301, 'a'), std::string(299, 'a') + sEllipsis},     // 300 characters in all
        {std::string(5 << 20, 'x'), std::string(299, 'x') + sEllipsis}, // a 5 MB fault text
        {sGreek300, sGreek300},                                         // 600 bytes, 300 characters
        {sGreek300 + "\xCE\xB2", sGreek300.substr(0, 598) + sEllipsis}, // never half a character
        {std::string(299, 'a') + "\xF0\x9F\x93\xA8" + "b", std::string(299, 'a') + sEllipsis},
    };
    for (const auto& [sIn, sOut] : cases)
        EXPECT_EQ(ShownText(sIn), sOut) << sIn.size();
}

} // namespace
} // namespace qv
