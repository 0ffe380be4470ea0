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

const std::string sDir = "C:\\Program Files\\Quorvel\\", sExe = "\"" + sDir + "Quorvel.exe\"",
                  sDll = sDir + "quorvelmapi64.dll";
const std::string CU = "hkcu\\software\\", LM = "hklm\\software\\", sMail = "clients\\mail",
                  sOwn = "clients\\mail\\quorvel", sUrl = "classes\\quorvel.url.mailto";

// A profile as Windows leaves it: other programs' entries beside the ones the program may own.
const Values Machine = {{CU + "microsoft\\windows\\currentversion\\run|other", "other.exe"},
                        {CU + "clients\\startmenuinternet|", "Browser"},
                        {CU + "classes\\.txt|", "txtfile"},
                        {CU + "registeredapplications|other", "Software\\Other\\Capabilities"},
                        {LM + sMail + "\\othermail|", "Other Mail"},
                        {LM + "microsoft\\windows\\currentversion\\policies\\system|enablelua", "1"}};
const Values RunEntry = {{CU + "microsoft\\windows\\currentversion\\run|quorvel", sExe}};
const Values MachineClient = {{LM + sOwn + "|", "Quorvel"},
                              {LM + sOwn + "|dllpath", sDll},
                              {LM + sOwn + "|dllpathex", sDll},
                              {LM + sOwn + "\\shell\\open\\command|", sExe},
                              {LM + sOwn + "\\shell\\properties\\command|", sExe + " /settings"}};
const Values MachineDefault = {{LM + sMail + "|", "Quorvel"}};
const Values UserClient = {{CU + "classes\\mailto\\shell\\open\\command|", sExe + " %1"},
                           {CU + sMail + "|", "Quorvel"},
                           {CU + sOwn + "|", "Quorvel"},
                           {CU + sOwn + "|dllpath", sDll},
                           {CU + sOwn + "|dllpathex", sDll},
                           {CU + sOwn + "\\capabilities|applicationname", "Quorvel"},
                           {CU + sOwn + "\\capabilities|applicationdescription", sClientDescription},
                           {CU + sOwn + "\\capabilities\\urlassociations|mailto", "Quorvel.Url.mailto"},
                           {CU + sUrl + "|", "Quorvel mailto link"},
                           {CU + sUrl + "|url protocol", ""},
                           {CU + sUrl + "\\shell\\open\\command|", sExe + " %1"},
                           {CU + "registeredapplications|quorvel", "Software\\Clients\\Mail\\Quorvel\\Capabilities"}};
const Values OtherHandler = {{CU + "classes\\mailto\\shell\\open\\command|", "\"C:\\Other\\mail.exe\" %1"}};

// The registry content these values make: each key with its parents, each value as the fake lists it; a later
// group's value replaces an earlier one's.
Lines Content(const std::vector<const Values*>& groups)
{
    std::map<std::string, std::string> all;
    for (const Values* pGroup : groups)
        for (const auto& [sEntry, sValue] : *pGroup)
            all[sEntry] = sValue;
    Lines lines;
    for (const auto& [sEntry, sValue] : all)
    {
        const std::string sKey = sEntry.substr(0, sEntry.find('|'));
        for (size_t n = sKey.find('\\', 5); n != std::string::npos; n = sKey.find('\\', n + 1))
            lines.insert(sKey.substr(0, n));
        lines.insert({sKey, sEntry + "=" + sValue});
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

Lines Dumped(const fake::FakeRegistry& reg)
{
    const std::vector<std::string> lines = reg.Dump();
    return Lines(lines.begin(), lines.end());
}

// Every key and value written and removed, per mode and per elevation: the registry after an application holds
// the machine's own entries and exactly the groups expected, nothing left behind.
TEST(WindowsIntegration, WritesAndRemovesEveryKeyPerModeAndUser)
{
    struct Apply
    {
        SaveMode nMode;
        bool bAutoRun, bMailto;
    };
    const SaveMode S = SaveMode::Startup, U = SaveMode::UserChange, X = SaveMode::Shutdown;
    // Default: a standard user; Limited: an administrator's split token; Full: elevated.
    const TokenElevation D = TokenElevation::Default, L = TokenElevation::Limited, F = TokenElevation::Full;
    const std::tuple<const char*, TokenElevation, std::vector<Apply>, Apply, std::vector<const Values*>> cases[] = {
        {"standard user, start", D, {}, {S, true, false}, {&RunEntry}},
        {"standard user ticks mail", D, {}, {U, false, true}, {&UserClient}},
        {"split token ticks both", L, {}, {U, true, true}, {&RunEntry, &UserClient}},
        {"administrator, start, mail clear", F, {}, {S, true, false}, {&RunEntry, &MachineClient}},
        {"administrator ticks mail", F, {}, {U, false, true}, {&MachineClient, &UserClient, &MachineDefault}},
        {"administrator, shutdown, mail ticked", F, {}, {X, false, true}, {&UserClient, &MachineDefault}},
        {"shutdown withdraws the machine's client", F, {{S, true, false}}, {X, true, false}, {&RunEntry}},
        {"shutdown keeps the default's client", F, {{U, true, true}}, {X, true, false}, {&RunEntry, &MachineClient}},
        {"unticking removes all, run too", F, {{U, true, true}, {U, false, false}}, {X, false, false}, {}},
        {"standard user unticks", D, {{U, true, true}}, {U, false, false}, {}},
        {"another program's handler stays", D, {}, {U, false, false}, {&OtherHandler}},
    };
    for (const auto& [sWhat, nElevation, before, now, expected] : cases)
    {
        SCOPED_TRACE(sWhat);
        fake::FakeRegistry reg;
        fake::FakeWinSetup setup;
        setup.bAdminAccount = nElevation == F;
        setup.nElevation = nElevation;
        Seed(reg, Machine);
        if (!expected.empty() && expected[0] == &OtherHandler) // another program's, there before and kept
            Seed(reg, OtherHandler);
        if (nElevation != F)
            reg.Refuse(RegRoot::LocalMachine); // the split token tries, and is refused
        WindowsIntegration windows(reg, setup);
        for (const Apply& apply : before)
            windows.ApplyWindowsIntegration(apply.nMode, apply.bAutoRun, apply.bMailto);
        const Lines start = Dumped(reg);
        setup.Broadcasts.clear();
        windows.ApplyWindowsIntegration(now.nMode, now.bAutoRun, now.bMailto);
        std::vector<const Values*> groups = {&Machine};
        groups.insert(groups.end(), expected.begin(), expected.end());
        const Lines after = Dumped(reg);
        EXPECT_EQ(after, Content(groups));

        // One notice when anything changed, none when nothing did; a second application changes nothing (but a
        // shutdown that took the machine's default away leaves the machine's client to the next shutdown).
        EXPECT_EQ(setup.Broadcasts,
                  after == start ? std::vector<std::string>{} : std::vector<std::string>{"Software\\Clients\\Mail"});
        if (now.nMode == X)
            continue;
        windows.ApplyWindowsIntegration(now.nMode, now.bAutoRun, now.bMailto);
        EXPECT_EQ(Dumped(reg), after);
        EXPECT_LE(setup.Broadcasts.size(), 1u);
    }
}

TEST(WindowsIntegration, AdministratorAndDefaultMailClientFollowTokenUacAndBothLists)
{
    const TokenElevation D = TokenElevation::Default, F = TokenElevation::Full, L = TokenElevation::Limited,
                         N = TokenElevation::Unreadable;
    // The account, its token, EnableLUA (nullptr: missing), the user's and the machine's default mail client;
    // then whether the user is an administrator and whether the program is the default.
    const std::tuple<bool, TokenElevation, const char*, const char*, const char*, bool, bool> rows[] = {
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
    for (const auto& [bAdminAccount, nElevation, sEnableLua, sUserDefault, sMachineDefault, bAdmin, bDefault] : rows)
    {
        SCOPED_TRACE(std::string(sUserDefault) + "/" + sMachineDefault + " elevation " +
                     std::to_string(static_cast<int>(nElevation)));
        fake::FakeRegistry reg;
        fake::FakeWinSetup setup;
        setup.bAdminAccount = bAdminAccount;
        setup.nElevation = nElevation;
        reg.Put(sMailClientsKey, "", RegValue{RegKind::Text, sUserDefault, 0});
        ASSERT_TRUE(reg.WriteText(RegRoot::LocalMachine, sMailClientsKey, "", sMachineDefault, true));
        if (sEnableLua)
        {
            ASSERT_TRUE(reg.CreateKey(RegRoot::LocalMachine, sUacKey) &&
                        reg.WriteText(RegRoot::LocalMachine, sUacKey, "EnableLUA", sEnableLua, false));
        }
        reg.Refuse(RegRoot::LocalMachine); // reads stay allowed
        WindowsIntegration windows(reg, setup);
        EXPECT_EQ(windows.IsUserAnAdministrator(), bAdmin);
        EXPECT_EQ(windows.IsDefaultMailClient(), bDefault);
    }
}

// Only the per-user settings store's refusal reaches the user, and once; the registration's refusals are silent.
TEST(WindowsIntegration, OnlyARefusedSettingsStoreIsToldAndOnce)
{
    const std::tuple<RegRoot, const char*, bool, size_t> rows[] = {
        {RegRoot::LocalMachine, "", true, 0},      // an administrator's split token, not elevated
        {RegRoot::CurrentUser, sRunKey, false, 0}, // a policy locks the Run key
        {RegRoot::CurrentUser, "Software\\Classes", false, 0},
        {RegRoot::CurrentUser, sSettingsKey, false, 1},
        {RegRoot::CurrentUser, "", true, 1}, // nothing of the user's can be written
    };
    for (const auto& [nRoot, sRefused, bAdministrator, nMessages] : rows)
    {
        fake::FakeMachine m;
        m.WinSetup.bAdminAccount = bAdministrator;
        m.Registry.Put(sRunKey, "Other", RegValue{RegKind::Text, "other.exe", 0});
        m.Registry.Refuse(nRoot, sRefused);
        frmMain form(m.Bundle);
        form.Form_Load();
        form.Settings.Controls.mnuPopWinSetupMailtoHandler = true;
        form.Settings.SaveSettings(SaveMode::UserChange);
        form.Settings.SaveSettings(SaveMode::Shutdown);
        ASSERT_EQ(m.Dialogs.Shown.size(), nMessages) << sRefused;
        if (nMessages)
        {
            EXPECT_EQ(m.Dialogs.Shown[0].sText, sSettingsNotSaved);
        }
    }
}

} // namespace
} // namespace qv
