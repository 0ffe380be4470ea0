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

struct Machine
{
    Profile profile;
    fake::FakeShellLinks links;
    fake::FakeDialogs dialogs;
    ShortcutKeeper keeper{links, profile, dialogs};
};

TEST(SendTo, TheShortcutIsMadeOrMendedButNeverRewrittenWhenItStartsThisProgram)
{
    // The shortcut's target before (none: no shortcut yet), and whether it is saved.
    const std::tuple<const char*, std::optional<std::string>, bool> cases[] = {
        {"a clean profile", std::nullopt, true},
        {"the program moved", "D:\\Old\\Quorvel.exe", true},
        {"already this program", "C:\\Program Files\\Quorvel\\Quorvel.exe", false},
    };
    for (const auto& [sWhat, sTargetBefore, bSaved] : cases)
    {
        SCOPED_TRACE(sWhat);
        Machine m;
        if (sTargetBefore)
        {
            m.profile.FilesHere.insert(sLink);
            m.links.Links[sLink].sPath = *sTargetBefore;
        }
        m.keeper.ApplyShortcuts();
        ASSERT_EQ(m.links.Saved.size(), bSaved ? 1u : 0u);
        const ShellLinkFields& saved = m.links.Links[sLink];
        EXPECT_EQ(saved.sPath, "C:\\Program Files\\Quorvel\\Quorvel.exe");
        if (bSaved)
        {
            EXPECT_EQ(std::tie(saved.sWorkingDirectory, saved.sIconPath, saved.nIconIndex, saved.sArguments,
                               saved.sDescription, saved.nShowCmd),
                      std::make_tuple("C:\\Program Files\\Quorvel", saved.sPath, 0, "", "Quorvel", 1));
        }
        // No add-ins there: nothing deleted, nothing said.
        EXPECT_TRUE(m.links.Deleted.empty());
        EXPECT_TRUE(m.dialogs.Shown.empty());
    }
}

TEST(SendTo, TheShellsOwnSendToFolderComesFirst)
{
    Machine m;
    m.links.sSendToFolder = "C:\\Users\\Zoë\\AppData\\Roaming\\Microsoft\\Windows\\SendTo";
    m.keeper.ApplyShortcuts();
    EXPECT_EQ(m.links.Saved, std::vector<std::string>{m.links.sSendToFolder + "\\Zimbra in Drafts folder.lnk"});
}

TEST(SendTo, OfficeAddinsAreFoundInTheirLanguagesFolderAndAnOpenOneIsTold)
{
    Machine m;
    const std::string sWord = std::string(sOffice) + "\\Word\\Démarrage";
    const std::string sPowerPoint = std::string(sOffice) + "\\Zubehör";
    m.profile.Folders = {sWord, sPowerPoint, std::string(sOffice) + "\\Word\\Inicialização"};
    const std::string sExcelFile = std::string(sOffice) + "\\Excel\\XLSTART\\Velduran.xla";
    m.profile.FilesHere = {sExcelFile, sWord + "\\Velduran.dot", sPowerPoint + "\\Velduran.ppa"};
    m.links.InUse = {sExcelFile};
    EXPECT_EQ(m.keeper.AddinFiles(),
              (std::vector<std::string>{sExcelFile, sWord + "\\Velduran.dot", sPowerPoint + "\\Velduran.ppa"}));
    m.keeper.ApplyShortcuts();
    EXPECT_EQ(m.links.Deleted, (std::vector<std::string>{sWord + "\\Velduran.dot", sPowerPoint + "\\Velduran.ppa"}));
    ASSERT_EQ(m.dialogs.Shown.size(), 1u);
    EXPECT_EQ(m.dialogs.Shown[0].sText,
              "Cannot delete\r\n" + sExcelFile + "\r\nPermission Denied. Exit MS Office first");
}

} // namespace
} // namespace qv
