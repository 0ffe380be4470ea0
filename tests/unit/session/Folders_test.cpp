#include "session/Folders.h"

#include <gtest/gtest.h>

namespace qv
{
namespace
{

class Filter : public ::testing::Test
{
protected:
    std::vector<std::string> Shown;
    AccountLists Lists{[this](const std::string& sText) { Shown.push_back(sText); }};
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
    void StandardAccount()
    {
        Folder(R"(<folder id="2" name="Inbox"/>)");
        Folder(R"(<folder id="4" name="Junk"/>)");
        Folder(R"(<folder id="257" name="Inbox archive"/>)");
        Folder(R"(<folder id="258" name="Projects"/>)");
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
        {R"(<m l="257"/>)", "Inbox", true, true},         // a partial match is enough
        {R"(<m l="258" t="300"/>)", "Inbox", true, true}, // tag names count
        {R"(<m l="258" t="999, 301"/>)", "urgent", true, true},
        {R"(<m l="258"/>)", "Inbox", true, false},
        {R"(<m l="2"/>)", "", true, false}, // an empty white list passes nothing
        {R"(<m l="4"/>)", "", false, true}, // an empty black list passes everything
        {R"(<m/>)", "Inbox", true, false},
        {R"(<m l="999"/>)", "Spam", false, true}, // unknown ids are ignored
        {R"(<m l="2" t="301"/>)", "Work|Urg", false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Passes(c.sItem, c.sFilter, c.bWhite), c.bPasses)
            << c.sItem << " / " << c.sFilter << " white " << c.bWhite;
    EXPECT_TRUE(Shown.empty());
}

TEST_F(Filter, FoldsCaseInEveryScript)
{
    NameFilter filter([this](const std::string& sText) { Shown.push_back(sText); });
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"ΕΙΣΕΡΧΟΜΕΝΑ", "εισερχόμενα|εισερχομενα", true},
        {"Εισερχόμενα", "ΕΙΣΕΡΧΌΜΕΝΑ", true},
        {"ВХОДЯЩИЕ", "входящие", true},
        {"Ёлка", "ёЛКА", true},
        {"ÉQUIPE Été", "équipe été", true},
        {"ŁÓDŹ", "łódź", true},
        {"Straße", "STRASSE", false}, // no expansion of ß: the rule is a one-to-one fold
        {"Projects", "proj", true},
        {"Projects", "\\Wproj", false}, // ASCII escapes keep their meaning
        {"日本語のフォルダ", "フォルダ", true},
        {"emoji 😀 box", "😀", true},
    };
    for (const auto& [sName, sPattern, bMatch] : cases)
        EXPECT_EQ(filter.RegexTest(sName, sPattern), bMatch) << sName << " ~ " << sPattern;
}

TEST_F(Filter, ARejectedPatternIsReportedOnceAndMatchedAsPlainNames)
{
    StandardAccount();
    EXPECT_FALSE(Passes(R"(<m l="258" t="301"/>)", "Urgent|[unclosed", false));
    EXPECT_TRUE(Passes(R"(<m l="2"/>)", "Urgent|[unclosed", false));
    EXPECT_FALSE(Passes(R"(<m l="258" t="301"/>)", "(Urgent", true));
    ASSERT_EQ(Shown.size(), 2u); // one message per rejected text, not per message
    EXPECT_NE(Shown[0].find("Urgent|[unclosed"), std::string::npos);
    EXPECT_TRUE(Passes(R"(<m l="2" t="301"/>)", "urgent|[unclosed", true));
    EXPECT_EQ(Shown.size(), 3u);
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

    Lists.RemoveById("257");
    EXPECT_EQ(Lists.FindFolder("257"), -1);
    EXPECT_EQ(Lists.FindFolder("300"), 2); // the others keep their places
    Folder(R"(<folder id="400" name="New"/>)");
    EXPECT_EQ(Lists.FindFolder("400"), 4);

    Lists.Clear();
    EXPECT_EQ(Lists.FindFolder("300"), -1);
    EXPECT_EQ(Lists.Folders.size(), 1u);
}

TEST_F(Filter, AMountedCalendarIsMatchedByItsOwnersKey)
{
    Folder(R"(<link id="300" name="Boss calendar" view="appointment" zid="b0c1" rid="10"/>)");
    EXPECT_TRUE(Passes(R"(<appt l="b0c1:10"/>)", "boss", true));
    EXPECT_FALSE(Passes(R"(<appt l="b0c1:11"/>)", "boss", true));
}

} // namespace
} // namespace qv
