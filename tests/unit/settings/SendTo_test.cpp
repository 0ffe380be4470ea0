#include "settings/SendTo.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/fake/FakeShellLinks.h"
#include "platform/fake/Fakes.h"

namespace qv
{
namespace
{

// A user's profile: its files, its folders and the environment that names them.
class Profile final : public IFiles
{
public:
    std::set<std::string> FilesHere, Folders;
    std::optional<uint64_t> Size(const std::string& sPath) override
    {
        return FilesHere.count(sPath) ? std::optional<uint64_t>(1) : std::nullopt;
    }
    bool IsFolder(const std::string& sPath) override { return Folders.count(sPath) > 0; }
    std::unique_ptr<IFileReader> OpenRead(const std::string&) override { return nullptr; }
    bool Delete(const std::string&) override { return false; }
    std::string TempFolder() override { return "C:\\Temp"; }
    std::vector<std::string> Environment() override
    {
        return {"USERPROFILE=C:\\Users\\Zoë", "APPDATA=C:\\Users\\Zoë\\AppData\\Roaming"};
    }
};

constexpr const char* sLink = "C:\\Users\\Zoë\\SendTo\\Zimbra in Drafts folder.lnk";
constexpr const char* sOffice = "C:\\Users\\Zoë\\AppData\\Roaming\\Microsoft";

TEST(SendTo, TheShortcutIsMadeOrMendedButNeverRewrittenWhenItStartsThisProgram)
{
    struct Case
    {
        const char* sWhat;
        std::optional<std::string> sTargetBefore; // none: no shortcut yet
        bool bSaved;
    };
    const Case cases[] = {
        {"a clean profile", std::nullopt, true},
        {"the program moved", "D:\\Old\\Quorvel.exe", true},
        {"already this program", "C:\\Program Files\\Quorvel\\Quorvel.exe", false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.sWhat);
        Profile profile;
        fake::FakeShellLinks links;
        fake::FakeDialogs dialogs;
        if (c.sTargetBefore)
        {
            profile.FilesHere.insert(sLink);
            links.Links[sLink].sPath = *c.sTargetBefore;
        }
        ShortcutKeeper(links, profile, dialogs).ApplyShortcuts();
        ASSERT_EQ(links.Saved.size(), c.bSaved ? 1u : 0u);
        const ShellLinkFields& saved = links.Links[sLink];
        EXPECT_EQ(saved.sPath, "C:\\Program Files\\Quorvel\\Quorvel.exe");
        if (!c.bSaved)
            continue;
        EXPECT_EQ(saved.sWorkingDirectory, "C:\\Program Files\\Quorvel");
        EXPECT_EQ(saved.sIconPath, saved.sPath);
        EXPECT_EQ(saved.nIconIndex, 0);
        EXPECT_EQ(saved.sArguments, "");
        EXPECT_EQ(saved.sDescription, "Quorvel");
        EXPECT_EQ(saved.nShowCmd, 1);
    }
}

TEST(SendTo, TheShellsOwnSendToFolderComesFirst)
{
    Profile profile;
    fake::FakeShellLinks links;
    fake::FakeDialogs dialogs;
    links.sSendToFolder = "C:\\Users\\Zoë\\AppData\\Roaming\\Microsoft\\Windows\\SendTo";
    ShortcutKeeper(links, profile, dialogs).ApplyShortcuts();
    EXPECT_EQ(links.Saved, std::vector<std::string>{links.sSendToFolder + "\\Zimbra in Drafts folder.lnk"});
}

TEST(SendTo, OfficeAddinsAreFoundInTheirLanguagesFolderAndAnOpenOneIsTold)
{
    Profile profile;
    fake::FakeShellLinks links;
    fake::FakeDialogs dialogs;
    const std::string sWord = std::string(sOffice) + "\\Word\\Démarrage";
    const std::string sPowerPoint = std::string(sOffice) + "\\Zubehör";
    profile.Folders = {sWord, sPowerPoint, std::string(sOffice) + "\\Word\\Inicialização"};
    const std::string sExcelFile = std::string(sOffice) + "\\Excel\\XLSTART\\Velduran.xla";
    profile.FilesHere = {sExcelFile, sWord + "\\Velduran.dot", sPowerPoint + "\\Velduran.ppa"};
    links.InUse = {sExcelFile};
    ShortcutKeeper keeper(links, profile, dialogs);
    EXPECT_EQ(keeper.AddinFiles(),
              (std::vector<std::string>{sExcelFile, sWord + "\\Velduran.dot", sPowerPoint + "\\Velduran.ppa"}));
    keeper.ApplyShortcuts();
    EXPECT_EQ(links.Deleted, (std::vector<std::string>{sWord + "\\Velduran.dot", sPowerPoint + "\\Velduran.ppa"}));
    ASSERT_EQ(dialogs.Shown.size(), 1u);
    EXPECT_EQ(dialogs.Shown[0].sText, "Cannot delete\r\n" + sExcelFile + "\r\nPermission Denied. Exit MS Office first");

    // Nothing there: nothing deleted, nothing said.
    Profile bare;
    fake::FakeShellLinks none;
    fake::FakeDialogs quiet;
    ShortcutKeeper(none, bare, quiet).ApplyShortcuts();
    EXPECT_TRUE(none.Deleted.empty());
    EXPECT_TRUE(quiet.Shown.empty());
}

} // namespace
} // namespace qv
