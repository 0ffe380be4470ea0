#include "platform/TrayEvents.h"

#include <gtest/gtest.h>

namespace qv
{
namespace
{

// Marks every byte above ASCII, so that a test sees the decoder was used.
std::string Latin1(const char* pBytes, size_t nBytes)
{
    std::string sOut(pBytes, nBytes);
    for (char& c : sOut)
        c = (c & 0x80) ? '?' : c;
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

TEST(DecodeCopyData, ReadsOnlyTheStatedBytesUpToTheFirstZeroAndKnowsItsCodes)
{
    // The code, the bytes and their count; the event and its text.
    const char sNoZero[] = {'C', ':', '\\', 'a', '.', 't', 'x', 't', 'X', 'X'};
    const std::tuple<uint64_t, const char*, size_t, TrayEventKind, const char*> cases[] = {
        {1, "  bob@example.com&subject=Hi \0", 30, TrayEventKind::AbreZimbra, "bob@example.com&subject=Hi"},
        {2, sNoZero, 8, TrayEventKind::UploadFile, "C:\\a.txt"},   // no zero: the count bounds the read
        {1, "abc\0garbage", 12, TrayEventKind::AbreZimbra, "abc"}, // the text ends at its zero
        {1, nullptr, 40, TrayEventKind::AbreZimbra, ""},           // nothing at all opens the web mail
        {1, "Jos\xE9\0", 5, TrayEventKind::AbreZimbra, "Jos?"},
        {4, "raw", 3, TrayEventKind::SettingsShowRequest, ""},
        {3, "|@|5|@|Hi\0junk", 13, TrayEventKind::MapiMensaje, "|@|5|@|Hi"}, // read before the sender's bytes go
        {0, "raw", 3, TrayEventKind::None, ""},                              // unknown codes
        {5, "raw", 3, TrayEventKind::None, ""},
        {0xFFFFFFFF, "raw", 3, TrayEventKind::None, ""},
    };
    for (const auto& [nCode, pBytes, nBytes, nKind, sText] : cases)
    {
        const TrayEvent event = DecodeCopyData(nCode, pBytes, nBytes, Latin1);
        EXPECT_EQ(event.nKind, nKind) << nCode << " " << sText;
        EXPECT_EQ(event.sCommandLine, sText);
    }
}

} // namespace
} // namespace qv
