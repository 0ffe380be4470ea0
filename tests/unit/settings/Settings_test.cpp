#include "../Answers.h"
#include "../FormFixture.h"
#include "../SessionParts.h"
#include "settings/PocketCrypter.h"
#include "settings/Registry2.h"

namespace qv
{
namespace
{

using Settings = test::FormFixture;

TEST_F(Settings, NothingStoredGivesTheDefaultsAndWritesThemInOrder)
{
    Form.Form_Load(); // and writes what it loaded
    const std::vector<std::string> order = {"ZimbraHost", "HTTPS",         "Username", "GuardaPassword",
                                            "Password",   "WebmailLogin",  "Ventana",  "Sonido",
                                            "AutoRun",    "mailtoHandler", "Filtros",  "WhiteList"};
    EXPECT_EQ(M.Registry.WriteOrder, order);
    const std::pair<const char*, const char*> stored[] = {
        {"HTTPS", "0"},   {"GuardaPassword", "1"}, {"WebmailLogin", "1"}, {"Ventana", "0"},   {"Sonido", "0"},
        {"AutoRun", "1"}, {"mailtoHandler", "0"},  {"Filtros", "Spam"},   {"WhiteList", "0"}, {"Password", ""},
    };
    for (const auto& [sName, sValue] : stored)
        EXPECT_EQ(Stored(sName), sValue) << sName;
    EXPECT_EQ(M.Integration.nShortcuts, 1);
}

TEST_F(Settings, BadStoredValuesGiveSoundDefaultsAndTextSurvives)
{
    const std::string sFilter = std::string(5000, 'x') + "|Ελληνικά";
    const std::tuple<const char*, std::string, const char*> cases[] = {
        {"HTTPS", "abc", "0"},     {"WhiteList", "maybe", "0"},           {"Sonido", "7", "0"},
        {"AutoRun", "false", "0"}, {"Filtros", sFilter, sFilter.c_str()},
    };
    for (const auto& [sName, sValue, sLoaded] : cases)
        Store(sName, sValue);
    M.Registry.Put(sSettingsKey, "Ventana", RegValue{RegKind::Other, {}, 0});      // binary data
    M.Registry.Put(sSettingsKey, "WebmailLogin", RegValue{RegKind::Dword, {}, 0}); // a number, not text
    Form.Form_Load();                                                              // writes back what it loaded
    for (const auto& [sName, sValue, sLoaded] : cases)
        EXPECT_EQ(Stored(sName), sLoaded) << sName;
    EXPECT_EQ(Stored("Ventana"), "0");
    EXPECT_EQ(Stored("WebmailLogin"), "0");
}

TEST_F(Settings, APlainPasswordIsUsedAndStoredScrambledOrNotAtAllWithoutSavePassword)
{
    StoreAccount();
    Store("Password", "text:s3cr&t");
    Form.LoadSettings();
    EXPECT_EQ(Form.Settings.sPassword, "s3cr&t");
    EXPECT_EQ(Form.Settings.Controls.txtPassword, std::string(20, '*'));
    Form.Settings.SaveSettings(SaveMode::UserChange);
    EXPECT_NE(Stored("Password"), "text:s3cr&t");
    EXPECT_EQ(RestoredPassword(Stored("Password"), true), "s3cr&t");

    Store("Password", "text:s3cr&t");
    Store("GuardaPassword", "0");
    Form.Form_Load(); // logs in (no answer here) with the stored password, then stores none
    EXPECT_EQ(Stored("Password"), "");
}

TEST_F(Settings, CommitMasksThePasswordAndEndsTheSession)
{
    test::LoggedIn(Form.Session);
    Form.CommitPassword(); // nothing changed: nothing happens
    EXPECT_EQ(Form.Session.sAuthToken, "0_ab");
    Form.txtPassword_Change("new one");
    Form.CommitPassword();
    EXPECT_EQ(Form.Settings.sPassword, "new one");
    EXPECT_EQ(Form.Settings.Controls.txtPassword, std::string(20, '*'));
    EXPECT_TRUE(Form.Session.sAuthToken.empty());
    EXPECT_TRUE(Form.Session.sSessionId.empty());
    Form.txtPassword_Change("");
    Form.CommitPassword();
    EXPECT_EQ(Form.Settings.Controls.txtPassword, "");
    EXPECT_EQ(Form.Settings.sPassword, "");
}

TEST_F(Settings, ShutdownTakesTheDefaultMailClientFromTheSystemAndAppliesIt)
{
    Form.Settings.Controls.mnuPopWinSetupMailtoHandler = false;
    Form.Settings.SaveSettings(SaveMode::UserChange);
    M.Registry.Put(sMailClientsKey, "", RegValue{RegKind::Text, "Quorvel", 0}); // chosen in Windows meanwhile
    Form.Settings.SaveSettings(SaveMode::Shutdown);
    EXPECT_EQ(Stored("mailtoHandler"), "1");
    EXPECT_EQ(M.Registry.Text("Software\\Classes\\mailto\\shell\\open\\command", ""),
              "\"" + M.WinSetup.sProgramPath + "\" %1");
}

TEST_F(Settings, ALockedRegistryLosesNothingInMemory)
{
    M.Registry.bFailWrites = true;
    Form.txtZimbraHost_Change("mail.example.com");
    Form.Settings.SaveSettings(SaveMode::UserChange);
    EXPECT_EQ(Form.Settings.Controls.txtZimbraHost, "mail.example.com");
    EXPECT_FALSE(M.Registry.KeyExists(RegRoot::CurrentUser, sSettingsKey));
}

TEST_F(Settings, WebmailLoginAndSavePasswordDropTheKnownPasswordAndTheModeSwitchesTheFilter)
{
    // The box clicked and its mark, WebmailLogin before the click, the password; whether it is dropped.
    const std::tuple<CheckBox, bool, int16_t, const char*, bool> clicks[] = {
        {CheckBox::chkWebmailLogin, true, 0, "secret", true},
        {CheckBox::chkWebmailLogin, false, 1, "secret", false},
        {CheckBox::chkWebmailLogin, true, 0, "", false},
        {CheckBox::chkGuardaPassword, true, 1, "secret", true},
        {CheckBox::chkGuardaPassword, true, 0, "secret", false},
        {CheckBox::chkGuardaPassword, false, 1, "secret", false},
    };
    for (const auto& [nBox, bChecked, nWebmailLogin, sPassword, bDropped] : clicks)
    {
        SCOPED_TRACE(std::to_string(static_cast<int>(nBox)) + (bChecked ? " ticked" : " cleared"));
        Form.Settings.Controls.chkWebmailLogin = nWebmailLogin;
        Form.txtPassword_Change(sPassword);
        Form.CommitPassword();
        Form.Session.sAuthToken = "tok";
        Form.CheckBox_Click(nBox, bChecked);
        EXPECT_EQ(Form.Settings.sPassword, bDropped ? "" : sPassword);
        EXPECT_EQ(Form.Settings.Controls.txtPassword.empty(), bDropped || !*sPassword);
        EXPECT_EQ(Form.Session.sAuthToken, bDropped ? "" : "tok");
    }

    const std::tuple<bool, const char*, const char*> modes[] = {
        {true, "Spam", "Inbox"},
        {true, "my SPAM|x", "Inbox"},
        {true, "", "Inbox"},
        {true, "Work", "Work"},
        {false, "Inbox", "Spam"},
        {false, "", "Spam"},
        {false, "Inbox|Work", "Inbox|Work"},
    };
    for (const auto& [bWhiteList, sBefore, sAfter] : modes)
    {
        Form.txtFilters_Change(sBefore);
        Form.CheckBox_Click(CheckBox::optWhiteList, bWhiteList);
        EXPECT_EQ(Form.Settings.Controls.txtFilters, sAfter) << sBefore;
        EXPECT_EQ(Form.Settings.Controls.optWhiteList, bWhiteList);
    }
}

TEST(SettingsDialog, OkBeepsOnAnEmptyNotifyFilterAndAsksTheDefaultMailClientQuestion)
{
    // The mail box ticked; the answer (6 Yes, 7 No, -1 "don't ask again" chosen before); the mark after.
    const std::tuple<bool, int, bool> rows[] = {{false, 6, false}, {true, 6, true}, {true, 7, false}, {true, -1, true}};
    for (const auto& [bTicked, nAnswer, bAfter] : rows)
    {
        SCOPED_TRACE(nAnswer);
        fake::FakeMachine m;
        frmMain form(m.Bundle);
        form.txtZimbraHost_Change("mail.example.com");
        form.txtUsuario_Change("alice");
        form.txtPassword_Change("secret");
        form.Settings.Controls.mnuPopWinSetupMailtoHandler = bTicked;
        form.CheckBox_Click(CheckBox::optWhiteList, true);
        form.txtFilters_Change("");
        form.cmdAceptar_Click(Control::cmdAceptar);
        EXPECT_EQ(m.System.nBeeps, 1);
        EXPECT_TRUE(m.Soap.Requests.empty());
        EXPECT_EQ(form.Settings.Controls.txtFilters, "Inbox");

        m.Soap.Replies = {fake::FakeSoapTransport::Ok({}), fake::FakeSoapTransport::Ok(test::LoginAnswer())};
        m.Dialogs.nCheckAnswer = nAnswer;
        form.cmdAceptar_Click(Control::cmdAceptar);
        ASSERT_EQ(m.Dialogs.Asked.size(), bTicked ? 1u : 0u);
        if (bTicked)
        {
            EXPECT_EQ(std::tie(m.Dialogs.Asked[0].sText, m.Dialogs.Asked[0].nStyle, m.Dialogs.Asked[0].sTitle),
                      std::make_tuple("Set as default mail application ?", 0x24, "Quorvel v5.0.1"));
        }
        EXPECT_EQ(m.Registry.Text(sSettingsKey, "mailtoHandler"), bAfter ? "1" : "0");
        EXPECT_EQ(m.System.nBeeps, 1);
    }
}

TEST_F(Settings, TheStoredPasswordIsReadInTheRadixOfItsOwnWebmailLogin)
{
    for (const bool bWebmailLogin : {true, false})
    {
        const std::string sStored = StoredPassword("Tr0ub4dor&3", bWebmailLogin);
        ASSERT_NE(sStored.rfind("text:", 0), 0u) << "the password must be stored scrambled for this test";
        ASSERT_NE(DecodePassword(sStored, !bWebmailLogin), "Tr0ub4dor&3"); // the other radix reads another one
        Store("WebmailLogin", bWebmailLogin ? "1" : "0");
        Store("Password", sStored);
        Form.Settings.LoadSettings();
        EXPECT_EQ(Form.Settings.sPassword, "Tr0ub4dor&3") << bWebmailLogin;
        Form.Settings.SaveSettings(SaveMode::Shutdown);
        EXPECT_EQ(Stored("Password"), sStored) << bWebmailLogin;
    }
}

TEST(Registry2, ReadsTextsAndNumbersAndWritesKeepingTheType)
{
    fake::FakeRegistry reg;
    const std::string sKey = "Software\\Clients\\Mail";
    EXPECT_FALSE(Registry2::SetKeyValue(reg, RegRoot::CurrentUser, sKey, "x", "1")); // the key is not created

    Registry2::CreateKey(reg, RegRoot::CurrentUser, sKey);
    EXPECT_TRUE(Registry2::SetKeyValue(reg, RegRoot::CurrentUser, sKey, "name", "Quorvel"));
    EXPECT_EQ(Registry2::GetKeyValue(reg, RegRoot::CurrentUser, sKey, "name"), "Quorvel");

    reg.Put(sKey, "count", RegValue{RegKind::Dword, {}, 7});
    EXPECT_EQ(Registry2::GetKeyValue(reg, RegRoot::CurrentUser, sKey, "count"), "7");
    EXPECT_TRUE(Registry2::SetKeyValue(reg, RegRoot::CurrentUser, sKey, "count", "42"));
    EXPECT_EQ(reg.Read(RegRoot::CurrentUser, sKey, "count").nKind, RegKind::Dword);
    EXPECT_EQ(reg.Read(RegRoot::CurrentUser, sKey, "count").nDword, 42u);

    reg.Put(sKey, "blob", RegValue{RegKind::Other, {}, 0});
    EXPECT_EQ(Registry2::GetKeyValue(reg, RegRoot::CurrentUser, sKey, "blob"), "");
    EXPECT_FALSE(Registry2::SetKeyValue(reg, RegRoot::CurrentUser, sKey, "blob", "x"));
}

TEST(SettingsValues, CheckBoxesAndFlagsReadOnlyWhatTheyMean)
{
    const std::pair<const char*, int> checks[] = {{"0", 0},  {"1", 1}, {" 1 ", 1}, {"2", 9},
                                                  {"-1", 9}, {"", 9},  {"1x", 9},  {"99999999999", 9}};
    for (const auto& [sText, nValue] : checks)
        EXPECT_EQ(CheckBoxValue(sText, 9), nValue) << sText;
    const std::pair<const char*, bool> flags[] = {{"1", true},  {"0", false},  {"True", true}, {"FALSE", false},
                                                  {"-1", true}, {"yes", true}, {"", true}};
    for (const auto& [sText, bValue] : flags)
        EXPECT_EQ(FlagValue(sText, true), bValue) << sText;
    EXPECT_FALSE(FlagValue("maybe", false));
}

} // namespace
} // namespace qv
