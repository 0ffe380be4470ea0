#include "session/Folders.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qv
{
namespace
{

class Filter : public ::testing::Test
{
protected:
    std::vector<std::string> Shown;
    AccountLists Lists{[this](const std::string& sText) { Shown.push_back(sText); }};
    NameFilter Names{[this](const std::string& sText) { Shown.push_back(sText); }};
    pugi::xml_document Doc;

    pugi::xml_node Element(const std::string& sXml)
    {
        Doc.reset();
        EXPECT_TRUE(Doc.load_string(sXml.c_str()));
        return Doc.document_element();
    }
    void Folder(const std::string& sXml) { Lists.UpsertFolder(Element(sXml)); }
    void Tag(const std::string& sXml) { Lists.UpsertTag(Element(sXml)); }
    bool Passes(const std::string& sItem, const std::string& sFilter, bool bWhite)
    {
        pugi::xml_document item;
        EXPECT_TRUE(item.load_string(sItem.c_str()));
        return Lists.PassesFilter(item.document_element(), {sFilter, bWhite});
    }
    void ExpectMatches(std::initializer_list<std::tuple<const char*, const char*, bool>> cases)
    {
        for (const auto& [sName, sPattern, bMatch] : cases)
            EXPECT_EQ(Names.RegexTest(sName, sPattern), bMatch) << sName << " ~ " << sPattern;
        EXPECT_TRUE(Shown.empty());
    }
    void StandardAccount()
    {
        Folder(R"(<folder id="2" name="Inbox"/>)");
        Folder(R"(<folder id="4" name="Junk"/>)");
        Folder(R"(<folder id="257" name="Inbox archive"/>)");
        Folder(R"(<folder id="258" name="Projects"/>)");
        Folder(R"(<link id="259" name="Boss calendar" view="appointment" zid="b0c1" rid="10"/>)");
        Tag(R"(<tag id="300" name="Inbox"/>)");
        Tag(R"(<tag id="301" name="Urgent"/>)");
    }
};

TEST_F(Filter, AppliesTheRuleAsWhiteOrBlackList)
{
    StandardAccount();
    struct Case
    {
        const char* sItem;
        const char* sFilter;
        bool bWhite;
        bool bPasses;
    };
    const Case cases[] = {
        {R"(<m l="4"/>)", "Spam", false, false}, // the default rule hides the Junk folder
        {R"(<m l="2"/>)", "Spam", false, true},
        {R"(<m l="2"/>)", "Inbox", true, true},
        {R"(<m l="257"/>)", "Inbox", true, true},               // a partial match is enough
        {R"(<m l="258" t="999, 301"/>)", "urgent", true, true}, // tag names count
        {R"(<m l="258"/>)", "Inbox", true, false},
        {R"(<m l="2"/>)", "", true, false}, // an empty white list passes nothing
        {R"(<m l="4"/>)", "", false, true}, // an empty black list passes everything
        {R"(<m/>)", "Inbox", true, false},
        {R"(<m l="999"/>)", "Spam", false, true}, // unknown ids are ignored
        {R"(<m l="2" t="301"/>)", "Work|Urg", false, false},
        {R"(<appt l="b0c1:10"/>)", "boss", true, true}, // a mounted calendar by its owner's key
        {R"(<appt l="b0c1:11"/>)", "boss", true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Passes(c.sItem, c.sFilter, c.bWhite), c.bPasses)
            << c.sItem << " / " << c.sFilter << " white " << c.bWhite;
    EXPECT_TRUE(Shown.empty());
}

// One case of each rule of the fold: whole scripts, the three sigmas, title case, one-to-one only, no false partners.
TEST_F(Filter, FoldsCaseInEveryScript)
{
    ExpectMatches({
        {"ȘTIRI", "știri", true}, // Romanian comma below, beyond Latin Extended-A
        {"Ǆemal", "ǆ", true},     // a title-case trio folds together
        {"Εισερχόμενα", "ΕΙΣΕΡΧΌΜΕΝΑ", true},
        {"ΟΔΟΣ", "οδος", true}, // capital, medial and final sigma are one letter
        {"ΟΔΟΣ", "οδoς", false},
        {"ΟΔΟς", "σ$", true},
        {"ҐАНОК Її", "ґанок її", true}, // Ukrainian letters outside the basic Cyrillic block
        {"ԱՐԽԻՎ", "արխիվ", true},       // Armenian
        {"ĐẶNG", "đặng", true},         // Vietnamese, Latin Extended Additional
        {"\u1E96", "\u1E97", false},    // h and t with marks: small letters without capitals, not partners
        {"\u1E9B", "\u1E60", true},     // long s with dot above folds with S with dot above
        {"Straße", "STRASSE", false},   // no expansion of ß: the rule is a one-to-one fold
        {"STRAẞE", "straße", true},     // but capital sharp s is its partner
        {"Projects", "\\Wproj", false}, // ASCII escapes keep their meaning
        {"日本語のフォルダ", "フォルダ", true},
        {"emoji 😀 box", "😀", true},
        {"Caf\xE9", "CAFÉ", true}, // a byte that is no UTF-8 reads as the character of its number
    });
}

TEST_F(Filter, ClassesStayAsciiAndEscapesAreJavaScripts)
{
    ExpectMatches({
        {"inbox", "^\\w+$", true},
        {"é", "^\\w+$", false},       // \w is ASCII only
        {"٣", "^\\d$", false},        // nor an Arabic-Indic digit a \d
        {"a\u00A0b", "a\\sb", false}, // nor a no-break space a \s
        {"Ünterlagen", "\\u00fcnter", true},
        {"Café", "caf\\xe9", true},
        {"Ausgang", "\\u{41}usgang", true},
        {"Urgent", "\\Urgent", true}, // \U alone is a plain U, as in JavaScript
        {"u12", "\\u12", true},       // an incomplete \u is the letter u
        {"xyz", "\\xyz", true},       // likewise \x
        {"Inbox", "^inbox$", true},   // anchors only where written
        {"My Inbox", "^inbox", false},
        {"Inbox\n", "inbox$", false}, // $ means the very end
    });
}

// Every filter here either gives its answer or reaches a limit; none may freeze the tray on a long name.
TEST_F(Filter, ALongNameCostsBoundedWork)
{
    const std::string sLong = "Inbox" + std::string(9995, 'a');
    struct Case
    {
        const char* sPattern;
        bool bMatch;
        bool bTooCostly;
    };
    // The first three would match, or fail, only after work without bound: the limit is what answers them.
    const Case cases[] = {
        {"(a|b)*c|.*x", false, true},  {"^Inbox(a|aa)*$", false, true}, {"(?:a|b)*?[yz]", false, true},
        {"[a-z]*[0-9]", false, false}, // walked without counting: bounded by the length looked at
        {"Spam", false, false},        {"^inbox", true, false},         {"xa{1000}", true, false},
        {"xa{1024}", false, false}, // beyond the start that is looked at
    };
    for (int nRound = 0; nRound < 2; ++nRound)
        for (const Case& c : cases)
            EXPECT_EQ(Names.RegexTest(sLong, c.sPattern), c.bMatch) << c.sPattern;
    size_t nCostly = 0;
    for (const Case& c : cases)
    {
        const bool bShown = std::any_of(Shown.begin(), Shown.end(), [&](const std::string& sText) {
            return sText.rfind(std::string("The notification filter \"") + c.sPattern + "\" needs too much work", 0) ==
                   0;
        });
        EXPECT_EQ(bShown, c.bTooCostly) << c.sPattern;
        nCostly += c.bTooCostly;
    }
    EXPECT_EQ(Shown.size(), nCostly);                                   // once per filter text, not per name
    EXPECT_TRUE(Names.RegexTest("aac", "(a|b)*c|.*x"));                 // a short name still gets its answer
    EXPECT_TRUE(Names.RegexTest(std::string(1023, 'a') + "é", "^a+$")); // é is not cut in two
}

TEST_F(Filter, ARejectedPatternIsReportedOnceAndMatchedAsPlainNames)
{
    StandardAccount();
    EXPECT_FALSE(Passes(R"(<m l="258" t="301"/>)", "Urgent|[unclosed", false));
    EXPECT_TRUE(Passes(R"(<m l="2"/>)", "Urgent|[unclosed", false));
    EXPECT_FALSE(Passes(R"(<m l="258" t="301"/>)", "(Urgent", true));
    ASSERT_EQ(Shown.size(), 2u); // one message per rejected text, not per message
    EXPECT_EQ(Shown[0], "The notification filter \"Urgent|[unclosed\" is not a valid regular expression; its names "
                        "are matched as plain text.");
    EXPECT_TRUE(Passes(R"(<m l="2" t="301"/>)", "urgent|[unclosed", true));
    EXPECT_EQ(Shown.size(), 3u);

    // Parentheses nested too deep for the engine's stack are refused the same way.
    const std::string sNested = "Inbox|" + std::string(5000, '(') + "x" + std::string(5000, ')') + "|Urgent";
    EXPECT_TRUE(Names.RegexTest("My INBOX", sNested));
    EXPECT_TRUE(Names.RegexTest("urgent", sNested));
    EXPECT_FALSE(Names.RegexTest("x", sNested));
    EXPECT_EQ(Shown.size(), 4u);
}

TEST_F(Filter, UpsertsKeepPositionsAndNamesUnlessANewNameComes)
{
    Folder(R"(<folder id="257" name="Work"/>)");
    Folder(R"(<link id="300" name="Boss calendar" view="appointment" zid="b0c1" rid="10"/>)");
    Folder(R"(<link id="301" name="Shared mail" view="message" zid="c0" rid="2"/>)");
    Folder(R"(<folder id="257" u="4"/>)"); // modified without a name
    EXPECT_EQ(Lists.Folders[1]->sNombre, "Work");
    Folder(R"(<folder id="257" name="Work 2"/>)");
    EXPECT_EQ(Lists.Folders[1]->sNombre, "Work 2");
    EXPECT_EQ(Lists.FindFolder("b0c1:10"), 2);
    EXPECT_EQ(Lists.Folders[3]->sIdRZ, "");
    EXPECT_EQ(Lists.FindFolder("c0:2"), -1);

    Tag(R"(<tag id="258" name="Urgent" color="5"/>)");
    Tag(R"(<tag id="258" color="6"/>)");
    EXPECT_EQ(Lists.Tags[1]->sNombre, "Urgent");
    EXPECT_EQ(Lists.Tags[1]->sColor, "6");

    Lists.Clear();
    EXPECT_EQ(Lists.FindFolder("300"), -1);
    EXPECT_EQ(Lists.Folders.size(), 1u);
}

TEST_F(Filter, RemovingAListOfIdsLeavesHoles)
{
    const auto Account = [this] {
        Lists.Clear();
        Folder(R"(<folder id="2" name="Inbox"/>)");
        Folder(R"(<folder id="b0c1:10" name="Mounted item"/>)"); // an id that is also a calendar's key
        Folder(R"(<link id="300" name="Boss calendar" view="appointment" zid="b0c1" rid="10"/>)");
        Folder(R"(<folder id="257" name="Work"/>)");
        Tag(R"(<tag id="257" name="Work tag"/>)");
        Tag(R"(<tag id="301" name="Urgent"/>)");
    };
    struct Case
    {
        std::vector<std::string> ids;
        const char* sFoldersLeft; // positions 1.. of each list, '-' for a hole
        const char* sTagsLeft;
    };
    const Case cases[] = {
        {{}, "1234", "12"},
        {{"2", "301"}, "-234", "1-"},
        {{"257"}, "123-", "-2"},                // a tag and a folder share the id: both go
        {{"999", "", "2x"}, "1234", "12"},      // unknown ids do nothing
        {{"2", "2"}, "-234", "12"},             // nothing left for the second
        {{"300"}, "12-4", "12"},                // a mounted calendar by its own id
        {{"b0c1:10"}, "1-34", "12"},            // the first entry that carries it
        {{"b0c1:10", "b0c1:10"}, "1--4", "12"}, // then the next one
        {{"4", "3", "2", "1"}, "-234", "12"},   // ids, not positions
    };
    for (const Case& c : cases)
    {
        Account();
        Lists.RemoveByIds(c.ids);
        std::string sFolders, sTags;
        for (size_t i = 1; i < Lists.Folders.size(); ++i)
            sFolders += Lists.Folders[i] ? static_cast<char>('0' + i) : '-';
        for (size_t i = 1; i < Lists.Tags.size(); ++i)
            sTags += Lists.Tags[i] ? static_cast<char>('0' + i) : '-';
        EXPECT_EQ(sFolders, c.sFoldersLeft) << ::testing::PrintToString(c.ids);
        EXPECT_EQ(sTags, c.sTagsLeft) << ::testing::PrintToString(c.ids);
    }

    Account();
    Lists.RemoveByIds({"b0c1:10", "257"});
    EXPECT_EQ(Lists.FindFolder("b0c1:10"), 3); // the lookups follow the removal
    EXPECT_EQ(Lists.FindFolder("257"), -1);
    EXPECT_EQ(Lists.FindTag("257"), -1);
    EXPECT_EQ(Lists.FindTag("301"), 2);
    Folder(R"(<folder id="257" name="Work again"/>)");
    EXPECT_EQ(Lists.FindFolder("257"), 5);
}

} // namespace
} // namespace qv
