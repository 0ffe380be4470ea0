#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include "platform/TrayEvents.h"

namespace qv
{
namespace
{

TEST(PrepareHandOff, ChoosesTheCodeAndPreparesTheText)
{
    struct Case
    {
        const char* sArguments;
        HandOffCode nCode;
        const char* sText;
    };
    const Case cases[] = {
        {"mailto:bob@example.com?subject=Hi", HandOffCode::OpenWebmail, "bob@example.com&subject=Hi"},
        {"\"C:\\Users\\a\\My file.txt\"", HandOffCode::UploadFiles, "\"C:\\Users\\a\\My file.txt\""},
        {"/SETTINGS", HandOffCode::ShowSettings, "/SETTINGS"},
        {"/settings C:\\x.txt", HandOffCode::UploadFiles, "/settings C:\\x.txt"},
        {"\"mailto:a@b.c\"", HandOffCode::OpenWebmail, "a@b.c"},
        {"MAILTO:a@b.c", HandOffCode::OpenWebmail, "MAILTO:a@b.c"}, // only the exact lower-case scheme goes
        // A link is never a path, nor the settings, whatever it holds.
        {"mailto:\\\\evil.example\\share\\x", HandOffCode::OpenWebmail, "\\\\evil.example\\share\\x"},
        {"\"Mailto:C:\\Users\\a\\secret.docx\"", HandOffCode::OpenWebmail, "Mailto:C:\\Users\\a\\secret.docx"},
        {"mailto:a@b.c?body=/settings", HandOffCode::OpenWebmail, "a@b.c&body=/settings"},
        {"\"\"", HandOffCode::OpenWebmail, ""}, // nothing but quotes
    };
    for (const Case& c : cases)
    {
        const HandOffRequest request = PrepareHandOff(c.sArguments);
        EXPECT_EQ(request.nCode, c.nCode) << c.sArguments;
        EXPECT_EQ(request.sText, c.sText) << c.sArguments;
        EXPECT_TRUE(request.bHasText);
    }
    const HandOffRequest none = PrepareHandOff("");
    EXPECT_EQ(none.nCode, HandOffCode::OpenWebmail);
    EXPECT_FALSE(none.bHasText);
}

TEST(ArgumentsOf, SkipsTheProgramPathHoweverItIsQuoted)
{
    const std::pair<const char*, const char*> cases[] = {
        {"\"C:\\Program Files\\Quorvel\\Quorvel.exe\" /settings", "/settings"},
        {"Quorvel.exe", ""},
        {"\"Quorvel.exe\"", ""},
        {"\"unterminated", ""},
        {"  Quorvel.exe   \"C:\\a b.txt\" \"C:\\c.txt\"", "\"C:\\a b.txt\" \"C:\\c.txt\""},
    };
    for (const auto& [sLine, sArguments] : cases)
        EXPECT_EQ(ArgumentsOf(sLine), sArguments) << sLine;
}

// What the second copy sends is what the running copy reads: the code, and the text without its zero byte.
TEST(BuildHandOff, TheRunningCopyReadsWhatTheSecondCopySends)
{
    struct Case
    {
        const char* sCommandLine;
        TrayEventKind nKind;
        const char* sRead;
        size_t nBytes;
    };
    const Case cases[] = {
        {"\"C:\\Q\\Quorvel.exe\" mailto:bob@example.com?subject=Hi", TrayEventKind::AbreZimbra,
         "bob@example.com&subject=Hi", 27},
        {"Quorvel.exe \"C:\\a b.txt\"", TrayEventKind::UploadFile, "\"C:\\a b.txt\"", 13},
        {"Quorvel.exe /settings", TrayEventKind::SettingsShowRequest, "", 10},
        {"Quorvel.exe", TrayEventKind::AbreZimbra, "", 0}, // no arguments: no bytes at all
    };
    const auto Coded = [](const std::string& sText) { return "<" + sText + ">"; }; // stands for the code page
    for (const Case& c : cases)
    {
        const HandOffMessage message = BuildHandOff(c.sCommandLine, [](const std::string& s) { return s; });
        EXPECT_EQ(message.sBytes.size(), c.nBytes) << c.sCommandLine; // the text and its zero
        const TrayEvent event =
            DecodeCopyData(message.nCode, message.sBytes.data(), static_cast<uint32_t>(message.sBytes.size()),
                           [](const char* p, size_t n) { return std::string(p, n); });
        EXPECT_EQ(event.nKind, c.nKind) << c.sCommandLine;
        EXPECT_EQ(event.sCommandLine, c.sRead) << c.sCommandLine;
    }
    EXPECT_EQ(BuildHandOff("Q.exe mailto:a@b.c", Coded).sBytes, std::string("<a@b.c>") + '\0');
}

} // namespace
} // namespace qv
