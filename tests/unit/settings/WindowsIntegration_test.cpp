#include "settings/WindowsIntegration.h"

#include <gtest/gtest.h>

#include <set>

#include "../FormFixture.h"
#include "platform/fake/Fakes.h"

namespace qv
{
namespace
{

using Lines = std::set<std::string>;
using Values = std::vector<std::pair<std::string, std::string>>; // "hive\key|name" and its text

const std::string sProgram = "C:\\Program Files\\Quorvel\\Quorvel.exe";
const std::string sQuoted = "\"" + sProgram + "\"";
const std::string sLibrary = "C:\\Program Files\\Quorvel\\quorvelmapi64.dll";

// A profile as Windows leaves it: other programs' entries beside the ones the program may own.
const Values Machine = {
    {"hkcu\\software\\microsoft\\windows\\currentversion\\run|other", "other.exe"},
    {"hkcu\\software\\clients\\startmenuinternet|", "Browser"},
    {"hkcu\\software\\classes\\.txt|", "txtfile"},
    {"hkcu\\software\\registeredapplications|other", "Software\\Other\\Capabilities"},
    {"hklm\\software\\clients\\mail\\othermail|", "Other Mail"},
    {"hklm\\software\\microsoft\\windows\\currentversion\\policies\\system|enablelua", "1"},
};
const Values RunEntry = {{"hkcu\\software\\microsoft\\windows\\currentversion\\run|quorvel", sQuoted}};
const Values MachineClient = {
    {"hklm\\software\\clients\\mail\\quorvel|", "Quorvel"},
    {"hklm\\software\\clients\\mail\\quorvel|dllpath", sLibrary},
    {"hklm\\software\\clients\\mail\\quorvel|dllpathex", sLibrary},
    {"hklm\\software\\clients\\mail\\quorvel\\shell\\open\\command|", sQuoted},
    {"hklm\\software\\clients\\mail\\quorvel\\shell\\properties\\command|", sQuoted + " /settings"},
};
const Values MachineDefault = {{"hklm\\software\\clients\\mail|", "Quorvel"}};
const Values UserClient = {
    {"hkcu\\software\\classes\\mailto\\shell\\open\\command|", sQuoted + " %1"},
    {"hkcu\\software\\clients\\mail|", "Quorvel"},
    {"hkcu\\software\\clients\\mail\\quorvel|", "Quorvel"},
    {"hkcu\\software\\clients\\mail\\quorvel|dllpath", sLibrary},
    {"hkcu\\software\\clients\\mail\\quorvel|dllpathex", sLibrary},
    {"hkcu\\software\\clients\\mail\\quorvel\\capabilities|applicationname", "Quorvel"},
    {"hkcu\\software\\clients\\mail\\quorvel\\capabilities|applicationdescription", sClientDescription},
    {"hkcu\\software\\clients\\mail\\quorvel\\capabilities\\urlassociations|mailto", "Quorvel.Url.mailto"},
    {"hkcu\\software\\classes\\quorvel.url.mailto|", "Quorvel mailto link"},
    {"hkcu\\software\\classes\\quorvel.url.mailto|url protocol", ""},
    {"hkcu\\software\\classes\\quorvel.url.mailto\\shell\\open\\command|", sQuoted + " %1"},
    {"hkcu\\software\\registeredapplications|quorvel", "Software\\Clients\\Mail\\Quorvel\\Capabilities"},
};
const Values OtherHandler = {{"hkcu\\software\\classes\\mailto\\shell\\open\\command|", "\"C:\\Other\\mail.exe\" %1"}};

// The registry content these values make: each key with its parents, each value as the fake lists it.
Lines Content(std::initializer_list<const Values*> Groups)
{
    std::map<std::string, std::string> All;
    for (const Values* pGroup : Groups)
        for (const auto& [sEntry, sValue] : *pGroup)
            All[sEntry] = sValue; // a later group's value replaces an earlier one's
    Lines lines;
    for (const auto& [sEntry, sValue] : All)
    {
        const std::string sKey = sEntry.substr(0, sEntry.find('|'));
        for (size_t n = sKey.find('\\', sKey.find('\\') + 1); n != std::string::npos; n = sKey.find('\\', n + 1))
            lines.insert(sKey.substr(0, n));
        lines.insert(sKey);
        lines.insert(sEntry + "=" + sValue);
    }
    return lines;
}

void Seed(fake::FakeRegistry& reg, const Values& values)
{
    for (const auto& [sEntry, sValue] : values)
    {
        const RegRoot nRoot = sEntry.rfind("hkcu", 0) == 0 ? RegRoot::CurrentUser : RegRoot::LocalMachine;
        const std::string sKey = sEntry.substr(5, sEntry.find('|') - 5), sName = sEntry.substr(sEntry.find('|') + 1);
        if (sName == "enablelua")
            ASSERT_TRUE(reg.CreateKey(nRoot, sKey) && reg.WriteDword(nRoot, sKey, sName, std::stoul(sValue)));
        else
            ASSERT_TRUE(reg.WriteText(nRoot, sKey, sName, sValue, true));
    }
}

enum class User { Standard, SplitToken, Elevated };

struct Apply
{
    SaveMode nMode;
    bool bAutoRun, bMailto;
};

struct Case
{
    const char* sWhat;
    User nUser;
    std::vector<Apply> Before; // applications that made the state the case starts from
    Apply Now;
    std::vector<const Values*> Expected; // beside the machine's own
    const Values* pExtra = nullptr;      // in the machine before and expected after
};

TEST(WindowsIntegration, WritesAndRemovesEveryKeyPerModeAndUser)
{
    const SaveMode S = SaveMode::Startup, U = SaveMode::UserChange, X = SaveMode::Shutdown;
    const Case cases[] = {
        {"standard user, start", User::Standard, {}, {S, true, false}, {&RunEntry}},
        {"standard user ticks mail", User::Standard, {}, {U, false, true}, {&UserClient}},
        {"split token ticks both", User::SplitToken, {}, {U, true, true}, {&RunEntry, &UserClient}},
        {"administrator, start, mail clear", User::Elevated, {}, {S, true, false}, {&RunEntry, &MachineClient}},
        {"administrator ticks mail",
         User::Elevated,
         {},
         {U, false, true},
         {&MachineClient, &UserClient, &MachineDefault}},
        {"administrator, shutdown, mail ticked", User::Elevated, {}, {X, false, true}, {&UserClient, &MachineDefault}},
        {"shutdown withdraws the machine's client", User::Elevated, {{S, true, false}}, {X, true, false}, {&RunEntry}},
        {"shutdown keeps the machine's default's client",
         User::Elevated,
         {{U, true, true}},
         {X, true, false},
         {&RunEntry, &MachineClient}},
        {"unticking removes all, run too", User::Elevated, {{U, true, true}, {U, false, false}}, {X, false, false}, {}},
        {"standard user unticks", User::Standard, {{U, true, true}}, {U, false, false}, {}},
        {"another program's handler stays", User::Standard, {}, {U, false, false}, {}, &OtherHandler},
    };
    for (const Case& c : cases)
    {
        fake::FakeRegistry reg;
        fake::FakeWinSetup setup;
        setup.sProgramPath = sProgram;
        setup.bAdminAccount = c.nUser == User::Elevated;
        setup.nElevation = c.nUser == User::Elevated     ? TokenElevation::Full
                           : c.nUser == User::SplitToken ? TokenElevation::Limited
                                                         : TokenElevation::Default;
        Seed(reg, Machine);
        if (c.pExtra)
            Seed(reg, *c.pExtra);
        if (c.nUser != User::Elevated)
            reg.Refuse(RegRoot::LocalMachine); // the split token tries, and is refused
        WindowsIntegration windows(reg, setup);
        for (const Apply& before : c.Before)
            windows.ApplyWindowsIntegration(before.nMode, before.bAutoRun, before.bMailto);

        const std::vector<std::string> dumped = reg.Dump();
        const Lines before(dumped.begin(), dumped.end());
        setup.Broadcasts.clear();
        windows.ApplyWindowsIntegration(c.Now.nMode, c.Now.bAutoRun, c.Now.bMailto);
        const std::vector<std::string> after = reg.Dump();
        const std::vector<const Values*>& expected = c.Expected;
        std::vector<const Values*> groups = {&Machine};
        groups.insert(groups.end(), expected.begin(), expected.end());
        if (c.pExtra)
            groups.push_back(c.pExtra);
        Lines want;
        for (const Values* pGroup : groups)
            for (const std::string& sLine : Content({pGroup}))
                want.insert(sLine);
        // A value of a later group replaces the same value of the machine's (the default of the mail list).
        for (const Values* pGroup : expected)
            for (const auto& [sEntry, sValue] : *pGroup)
                for (const auto& [sMachine, sOld] : Machine)
                    if (sMachine == sEntry && sOld != sValue)
                        want.erase(sMachine + "=" + sOld);
        EXPECT_EQ(Lines(after.begin(), after.end()), want) << c.sWhat;

        // One notice when anything changed, none when nothing did; a second application changes nothing (but a
        // shutdown that took the machine's default away leaves the machine's client to the next shutdown).
        EXPECT_EQ(setup.Broadcasts, Lines(after.begin(), after.end()) == before
                                        ? std::vector<std::string>{}
                                        : std::vector<std::string>{"Software\\Clients\\Mail"})
            << c.sWhat;
        if (c.Now.nMode == SaveMode::Shutdown)
            continue;
        windows.ApplyWindowsIntegration(c.Now.nMode, c.Now.bAutoRun, c.Now.bMailto);
        EXPECT_EQ(reg.Dump(), after) << c.sWhat;
        EXPECT_LE(setup.Broadcasts.size(), 1u) << c.sWhat;
    }
}

TEST(WindowsIntegration, AdministratorAndDefaultMailClientFollowTokenUacAndBothLists)
{
    struct Row
    {
        bool bAdminAccount;
        TokenElevation nElevation;
        const char* sEnableLua; // nullptr: missing
        const char* sUserDefault;
        const char* sMachineDefault;
        bool bAdministrator, bDefault;
    };
    const TokenElevation D = TokenElevation::Default, F = TokenElevation::Full, L = TokenElevation::Limited,
                         N = TokenElevation::Unreadable;
    const Row rows[] = {
        {false, D, "1", "Quorvel", "", false, true},       // the user's own choice
        {false, D, "1", "  ", "Quorvel", false, true},     // blank: the machine's decides
        {false, D, "1", "Other", "Quorvel", false, false}, // another client of the user's wins
        {false, N, "1", "", "Other", false, false},        // an unreadable token is no administrator
        {false, L, "1", "Other", "Quorvel", true, false},  // split token: administrator, UAC on
        {true, F, "1", "Quorvel", "Other", true, true},    // elevated, UAC on: the user's list
        {true, D, "0", "Quorvel", "Other", true, false},   // UAC off: the machine's list alone
        {true, D, "0", "", "Quorvel", true, true},
        {true, D, nullptr, "Other", "Quorvel", true, true}, // no EnableLUA reads as UAC off
    };
    for (const Row& r : rows)
    {
        fake::FakeRegistry reg;
        fake::FakeWinSetup setup;
        setup.bAdminAccount = r.bAdminAccount;
        setup.nElevation = r.nElevation;
        reg.Put(sMailClientsKey, "", RegValue{RegKind::Text, r.sUserDefault, 0});
        ASSERT_TRUE(reg.WriteText(RegRoot::LocalMachine, sMailClientsKey, "", r.sMachineDefault, true));
        if (r.sEnableLua)
            ASSERT_TRUE(reg.CreateKey(RegRoot::LocalMachine, sUacKey) &&
                        reg.WriteText(RegRoot::LocalMachine, sUacKey, "EnableLUA", r.sEnableLua, false));
        reg.Refuse(RegRoot::LocalMachine); // reads stay allowed
        WindowsIntegration windows(reg, setup);
        const std::string sRow = std::string(r.sUserDefault) + "/" + r.sMachineDefault + " elevation " +
                                 std::to_string(static_cast<int>(r.nElevation));
        EXPECT_EQ(windows.IsUserAnAdministrator(), r.bAdministrator) << sRow;
        EXPECT_EQ(windows.IsDefaultMailClient(), r.bDefault) << sRow;
    }
}

// Only the per-user settings store's refusal reaches the user, and once; the registration's refusals are silent.
TEST(WindowsIntegration, OnlyARefusedSettingsStoreIsToldAndOnce)
{
    struct Row
    {
        RegRoot nRoot;
        const char* sRefused;
        bool bAdministrator;
        size_t nMessages;
    };
    const Row rows[] = {
        {RegRoot::LocalMachine, "", true, 0},      // an administrator's split token, not elevated
        {RegRoot::CurrentUser, sRunKey, false, 0}, // a policy locks the Run key
        {RegRoot::CurrentUser, "Software\\Classes", false, 0},
        {RegRoot::CurrentUser, sSettingsKey, false, 1},
        {RegRoot::CurrentUser, "", true, 1}, // nothing of the user's can be written
    };
    for (const Row& r : rows)
    {
        fake::FakeMachine m;
        m.WinSetup.bAdminAccount = r.bAdministrator;
        m.Registry.Put(sRunKey, "Other", RegValue{RegKind::Text, "other.exe", 0});
        m.Registry.Refuse(r.nRoot, r.sRefused);
        frmMain form(m.Bundle);
        form.Form_Load();
        form.Settings.Controls.mnuPopWinSetupMailtoHandler = true;
        form.Settings.SaveSettings(SaveMode::UserChange);
        form.Settings.SaveSettings(SaveMode::Shutdown);
        ASSERT_EQ(m.Dialogs.Shown.size(), r.nMessages) << r.sRefused;
        if (r.nMessages)
            EXPECT_EQ(m.Dialogs.Shown[0].sText, sSettingsNotSaved);
    }
}

} // namespace
} // namespace qv
