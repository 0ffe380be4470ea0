#include "platform/TrayEvents.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qv
{
namespace
{

std::string Latin1(const char* pBytes, size_t nBytes)
{
    std::string sOut;
    for (size_t i = 0; i < nBytes; ++i)
    {
        const auto c = static_cast<unsigned char>(pBytes[i]);
        if (c < 0x80)
            sOut += static_cast<char>(c);
        else
        {
            sOut += static_cast<char>(0xC0 | (c >> 6));
            sOut += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return sOut;
}

TEST(DecodeTrayCallback, MapsButtonsAndBalloons)
{
    const std::tuple<uint32_t, TrayEventKind, int> cases[] = {
        {0x0201, TrayEventKind::MouseDown, 1},   {0x0205, TrayEventKind::MouseUp, 2},
        {0x0208, TrayEventKind::MouseUp, 4},     {0x0203, TrayEventKind::DblClick, 1},
        {0x0206, TrayEventKind::DblClick, 2},    {0x0402, TrayEventKind::BalloonShow, 0},
        {0x0404, TrayEventKind::BalloonHide, 0}, {0x0405, TrayEventKind::BalloonClick, 0},
        {0x0200, TrayEventKind::None, 0},        {0x0403, TrayEventKind::None, 0},
        {0x12340205, TrayEventKind::MouseUp, 2}, // only the low 16 bits count
    };
    for (const auto& [nLParam, nKind, nButton] : cases)
    {
        const TrayEvent event = DecodeTrayCallback(nLParam);
        EXPECT_EQ(event.nKind, nKind) << std::hex << nLParam;
        EXPECT_EQ(event.nButton, nButton) << std::hex << nLParam;
    }
}

TEST(DecodeCopyData, ReadsOnlyTheStatedBytesUpToTheFirstZero)
{
    const char sGood[] = "  bob@example.com&subject=Hi \0";
    EXPECT_EQ(DecodeCopyData(1, sGood, sizeof sGood - 1, Latin1).sCommandLine, "bob@example.com&subject=Hi");
    // No terminating zero: the count still bounds the read.
    const char sNoZero[] = {'C', ':', '\\', 'a', '.', 't', 'x', 't', 'X', 'X'};
    const TrayEvent upload = DecodeCopyData(2, sNoZero, 8, Latin1);
    EXPECT_EQ(upload.nKind, TrayEventKind::UploadFile);
    EXPECT_EQ(upload.sCommandLine, "C:\\a.txt");
    // More bytes than the text: the text ends at its zero.
    const char sLonger[] = "abc\0garbage";
    EXPECT_EQ(DecodeCopyData(1, sLonger, sizeof sLonger, Latin1).sCommandLine, "abc");
    // Nothing at all: an empty text, which opens the web mail.
    const TrayEvent empty = DecodeCopyData(1, nullptr, 0, Latin1);
    EXPECT_EQ(empty.nKind, TrayEventKind::AbreZimbra);
    EXPECT_EQ(empty.sCommandLine, "");
    EXPECT_EQ(DecodeCopyData(1, nullptr, 40, Latin1).sCommandLine, "");
    const char sLatin[] = "Jos\xE9\0";
    EXPECT_EQ(DecodeCopyData(1, sLatin, 5, Latin1).sCommandLine, "José");
}

TEST(DecodeCopyData, PassesTheMailClientMessageOnAndIgnoresUnknownCodes)
{
    const char sData[] = "raw";
    const TrayEvent mapi = DecodeCopyData(3, sData, 3, Latin1);
    EXPECT_EQ(mapi.nKind, TrayEventKind::MapiMensaje);
    EXPECT_EQ(mapi.pData, sData);
    EXPECT_EQ(mapi.cbData, 3u);
    EXPECT_EQ(DecodeCopyData(4, sData, 3, Latin1).nKind, TrayEventKind::SettingsShowRequest);
    for (const uint64_t nCode : {0ull, 5ull, 0xFFFFFFFFull})
        EXPECT_EQ(DecodeCopyData(nCode, sData, 3, Latin1).nKind, TrayEventKind::None);
}

} // namespace
} // namespace qv
