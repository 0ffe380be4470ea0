#include "../Answers.h"
#include "../SessionFixture.h"

namespace qv
{
namespace
{

constexpr int64_t nMinute = 60000, nHour = 60 * nMinute, nDay = 24 * nHour;
// Friday 2026-03-06 14:00 UTC, 09:00 on a machine five hours west; the clocks go forward on Sunday 8 March at 07:00 UTC.
constexpr int64_t nFriday = 1772805600000;
constexpr int64_t nSpringForward = 1772953200000;

class Appointments : public test::SessionFixture
{
protected:
    Appointments()
    {
        Clock.nNowUtcMs = nFriday;
        Clock.nOffsetMinutes = -300;
        Clock.Changes = {{nSpringForward, -240}};
        Account("mail.example.com");
        AnswerWith(test::LoginAnswer()); // the reminder preference: 5 minutes
        EXPECT_TRUE(Cycle.Comprobar());
        Reader.Appts.bNewDay = false;
    }

    // An appointment of the search's form; sMore goes into the element, sInner after its first instance.
    static std::string Appt(const std::string& sId, int64_t nStart, int64_t nDuration, const std::string& sMore = {},
                            const std::string& sInner = {})
    {
        return "<appt id=\"" + sId + "\" invId=\"" + sId + "-1\" name=\"Meeting " + sId +
               "\" l=\"10\" t=\"\" d=\"1709300000000\" dur=\"" + std::to_string(nDuration) +
               "\" status=\"CONF\" isOrg=\"1\" compNum=\"0\" " + sMore + "><inst s=\"" + std::to_string(nStart) +
               "\"/>" + sInner + "</appt>";
    }
    static std::string Search(const std::string& sAppts, const char* sMore = "0")
    {
        return std::string("<SearchResponse sortBy=\"dateAsc\" offset=\"0\" more=\"") + sMore +
               "\" xmlns=\"urn:zimbraMail\">" + sAppts + "</SearchResponse>";
    }
    static std::string Trigger(const std::string& sTrigger)
    {
        return "<alarmData><alarm action=\"DISPLAY\"><trigger>" + sTrigger + "</trigger></alarm></alarmData>";
    }
    bool Check(const std::string& sBatch, const std::string& sNotify = {})
    {
        AnswerWith(test::CheckAnswer("1842", sBatch, sNotify), false);
        return Cycle.Comprobar();
    }
    IApptItem* Item(const std::string& sId) { return Items.FindApptItem(sId); }
};

TEST_F(Appointments, ReminderTimesFromEveryKindOfTrigger)
{
    struct Case
    {
        const char* sTrigger; // empty: none, the account's 5 minutes
        int64_t nStart, nDuration;
        int64_t nReminder; // from now
    };
    const Case cases[] = {
        {"<rel neg=\"1\" m=\"15\" related=\"START\"/>", 10 * nMinute, 30 * nMinute, -5 * nMinute},
        {"<rel neg=\"1\" h=\"1\" related=\"END\"/>", 30 * nMinute, 20 * nMinute, -10 * nMinute},
        {"<rel neg=\"1\" w=\"1\" d=\"3\"/>", 6 * nDay, nHour, -nDay},
        {"<rel neg=\"1\" d=\"1\" h=\"1\" m=\"1\" s=\"1\"/>", nDay, nHour, -nHour - nMinute - 1000},
        {"<abs d=\"20260306T135000Z\"/>", nHour, nHour, -10 * nMinute},
        {"<abs d=\"20260306T085000\"/>", nHour, nHour, -10 * nMinute}, // local: five hours west
        {"", 3 * nMinute, nHour, -2 * nMinute},
    };
    std::string sAppts;
    for (size_t i = 0; i < std::size(cases); ++i)
        sAppts += Appt(std::to_string(i + 1), nFriday + cases[i].nStart, cases[i].nDuration, {},
                       *cases[i].sTrigger ? Trigger(cases[i].sTrigger) : std::string());
    sAppts += Appt("99", nFriday + 10 * nMinute, nHour); // 5 minutes before is still ahead: not due
    ASSERT_TRUE(Check(Search(sAppts)));
    for (size_t i = 0; i < std::size(cases); ++i)
    {
        const IApptItem* pItem = Item(std::to_string(i + 1));
        ASSERT_NE(pItem, nullptr) << cases[i].sTrigger;
        EXPECT_EQ(pItem->dInicioAlarmas - nFriday, cases[i].nReminder) << cases[i].sTrigger;
        EXPECT_TRUE(pItem->bPendienteDeMostrar);
    }
    EXPECT_EQ(Item("99"), nullptr);
    EXPECT_EQ(ItemIcons.nAlive, static_cast<int>(std::size(cases)));
}

TEST_F(Appointments, WhenTextsAcrossMidnightMonthEndsAndADaylightSavingChange)
{
    struct Case
    {
        int64_t nNow, nStart, nDuration;
        bool b24Hour;
        const char* sCuando;
    };
    // 31 March 2026, 20:00 local (after the change: four hours west).
    const int64_t nMonthEnd = 1775001600000;
    const Case cases[] = {
        {nFriday, nFriday + 3 * nDay, 30 * nMinute, true, "10:00 - 10:30"}, // Monday, after the change
        {nMonthEnd, nMonthEnd + 13 * nHour + 30 * nMinute, 30 * nMinute, true, "Tomorrow 09:30 - 10:00"},
        {nMonthEnd, nMonthEnd + 13 * nHour + 30 * nMinute, 30 * nMinute, false, "Tomorrow 9:30 AM - 10:00 AM"},
        {nFriday, nFriday + 5 * nHour, 2 * nHour, false, "2:00 PM - 4:00 PM"},
    };
    for (const Case& c : cases)
    {
        Clock.nNowUtcMs = c.nNow;
        Locale.b24Hour = c.b24Hour;
        ASSERT_TRUE(Check(Search(Appt("7", c.nStart, c.nDuration, {}, Trigger("<abs d=\"20000101T000000Z\"/>")))));
        ASSERT_NE(Item("7"), nullptr) << c.sCuando;
        EXPECT_EQ(Item("7")->sCuando, c.sCuando);
        Items.DiscardApptItem(Item("7")->GetTag());
    }
    Locale.b24Hour = true;
    EXPECT_EQ(Reader.Appts.FormatoFecha(nFriday + 5 * nMinute + 9000), "09:05");
}

TEST_F(Appointments, AllDayItemsTakeTheirOwnDayAndTheDailyListComesOncePerDay)
{
    // São Paulo all-day events: midnight there is 03:00 UTC, and tzo moves it back to the calendar date.
    const int64_t nTodayThere = 1772766000000, nTomorrowThere = nTodayThere + nDay;
    const std::string sTzo = "\" tzo=\"-10800000\"/>";
    const std::string sList =
        "<appt id=\"1\" invId=\"1-1\" name=\"Holiday\" l=\"10\" allDay=\"1\" dur=\"86400000\"><inst s=\"" +
        std::to_string(nTodayThere) + sTzo + "</appt>" +
        "<appt id=\"2\" invId=\"2-1\" name=\"Trip\" l=\"10\" allDay=\"1\" dur=\"86400000\"><inst s=\"" +
        std::to_string(nTomorrowThere) + sTzo + "</appt>" + Appt("3", nFriday + 4 * nHour, nHour);
    Reader.Appts.bNewDay = true;
    ASSERT_TRUE(Check(Search(sList)));
    ASSERT_NE(Item("1"), nullptr); // running since local midnight
    EXPECT_EQ(Item("1")->sCuando, "All Day");
    EXPECT_EQ(Item("1")->dStartTime, nFriday - 9 * nHour);
    EXPECT_EQ(Item("2"), nullptr); // tomorrow: in the list only
    EXPECT_EQ(Reader.sMensaje, "Appointments within next 24 hours\r\n"
                               "\xE2\x80\xA2 Tomorrow All Day Trip\r\n"
                               "\xE2\x80\xA2 13:00 Meeting 3");
    EXPECT_FALSE(Reader.Appts.bNewDay);
    ASSERT_TRUE(Check(Search(sList)));
    EXPECT_TRUE(Reader.sMensaje.empty()) << Reader.sMensaje;

    // "0" is no all-day event: the instance's own start counts, not its date.
    ASSERT_TRUE(Check(Search("<appt id=\"4\" invId=\"4-1\" name=\"Call\" l=\"10\" allDay=\"0\" dur=\"3600000\"><inst "
                             "s=\"" + std::to_string(nFriday - 10 * nMinute) + sTzo + "</appt>")));
    ASSERT_NE(Item("4"), nullptr);
    EXPECT_EQ(Item("4")->dStartTime, nFriday - 10 * nMinute);
    EXPECT_EQ(Item("4")->sCuando, "08:50 - 09:50");
}

TEST_F(Appointments, ADueItemIsRemindedAtEveryCheckAndItsBalloonAskedAgainOnlyOnceShown)
{
    const std::string sList = Search(Appt("5", nFriday + 3 * nMinute, nHour));
    ASSERT_TRUE(Check(sList));
    EXPECT_EQ(Reader.sReminders, "Meeting 5 09:03 - 10:03");
    ASSERT_TRUE(Check(sList));
    EXPECT_EQ(Reader.sReminders, "Meeting 5 09:03 - 10:03");
    EXPECT_EQ(ItemIcons.Log.size(), 1u); // the shell has not shown the first balloon yet
    Item("5")->bPendienteDeMostrar = false;
    ASSERT_TRUE(Check(sList));
    EXPECT_EQ(ItemIcons.Log.size(), 2u);
    Item("5")->bNotificar = false; // switched off by the user
    ASSERT_TRUE(Check(sList));
    EXPECT_TRUE(Reader.sReminders.empty());
    EXPECT_EQ(ItemIcons.Log.size(), 2u);
}

TEST_F(Appointments, AChangedAppointmentMovesAndIsMarkedOnce)
{
    const std::string sList = Search(Appt("301", nFriday + 3 * nMinute, nHour));
    ASSERT_TRUE(Check(sList));
    // Moved to Monday 10:00 in New York, after the change: the server's UTC instant is what counts.
    const std::string sZone = "<tz id=\"America/New_York\" stdoff=\"-300\" dayoff=\"-240\"><standard week=\"1\" "
                              "wkday=\"1\" mon=\"11\" hour=\"2\" min=\"0\" sec=\"0\"/><daylight week=\"2\" wkday=\"1\" "
                              "mon=\"3\" hour=\"2\" min=\"0\" sec=\"0\"/></tz>";
    const auto Moved = [&](const std::string& sU) {
        return "<notify seq=\"2\"><modified><appt id=\"301\" l=\"10\" nextAlarm=\"" + std::to_string(nFriday) +
               "\"><inv>" + sZone + "<comp name=\"Moved\" allDay=\"0\"><s d=\"20260309T100000\" tz=\"America/New_York\"" +
               sU + "/><e d=\"20260309T103000\" tz=\"America/New_York\"/></comp></inv></appt></modified></notify>";
    };
    const int64_t nMonday = nFriday + 3 * nDay; // 14:00 UTC
    for (const std::string& sU : {std::string(" u=\"") + std::to_string(nMonday) + "\"", std::string()})
    {
        ASSERT_TRUE(Check(sList, Moved(sU)));
        ASSERT_NE(Item("301"), nullptr);
        EXPECT_EQ(Item("301")->dStartTime, nMonday) << sU; // the zone's daylight rule without u
        EXPECT_EQ(Item("301")->dEndTime, nMonday + 30 * nMinute);
        EXPECT_EQ(Item("301")->sCuando, "10:00 - 10:30");
        EXPECT_EQ(Reader.sReminders, "Moved [MODIFIED] 10:00 - 10:30");
        ASSERT_TRUE(Check(sList));
        EXPECT_EQ(Reader.sReminders, "Moved 10:00 - 10:30");
    }

    // Without times a newer server only says an instance changed: the item goes, and the list brings it back new.
    const std::string sMoved = Search(Appt("301", nMonday, 30 * nMinute, {}, Trigger("<abs d=\"20000101T000000Z\"/>")));
    ASSERT_TRUE(Check(sMoved, "<notify seq=\"3\"><modified><appt id=\"301\" l=\"10\"/></modified></notify>"));
    ASSERT_NE(Item("301"), nullptr);
    EXPECT_EQ(Reader.sReminders, "Meeting 301 10:00 - 10:30");
}

TEST_F(Appointments, ItemsGoWhenTheyEndAreDeletedOrLeaveTheListButNotWhenTheListIsMissing)
{
    const std::string sBoth = Search(Appt("1", nFriday - nMinute, 10 * nMinute) + Appt("2", nFriday - nMinute, nHour));
    ASSERT_TRUE(Check(sBoth));
    ASSERT_EQ(ItemIcons.nAlive, 2);
    ASSERT_TRUE(Check("<NoOpResponse/>")); // a batch without the search: nothing is known to have changed
    EXPECT_EQ(ItemIcons.nAlive, 2);
    ASSERT_TRUE(Check(Search(Appt("1", nFriday - nMinute, 10 * nMinute))));
    EXPECT_EQ(Item("2"), nullptr); // gone from the server without a notice
    Clock.Advance(10 * nMinute);
    ASSERT_TRUE(Check(Search(Appt("1", nFriday - nMinute, 10 * nMinute))));
    EXPECT_EQ(Item("1"), nullptr); // ended
    EXPECT_EQ(ItemIcons.nAlive, 0);

    ASSERT_TRUE(Check(Search(Appt("3", nFriday + 10 * nMinute, nHour, {}, Trigger("<rel neg=\"1\" m=\"30\"/>")))));
    ASSERT_TRUE(Check("<NoOpResponse/>", "<notify seq=\"4\"><deleted id=\"9,3\"/></notify>"));
    EXPECT_EQ(Item("3"), nullptr);
    EXPECT_EQ(ItemIcons.nAlive, 0);
}

TEST_F(Appointments, TheWhiteListOverCalendars)
{
    const std::string sCalendar = "<notify seq=\"1\"><created><folder id=\"10\" name=\"Calendar\" l=\"1\" "
                                  "view=\"appointment\"/></created></notify>";
    const std::string sList = Search(Appt("1", nFriday - nMinute, nHour));
    Controls.optWhiteList = true;
    Controls.txtFilters = "Inbox";
    ASSERT_TRUE(Check(sList, sCalendar));
    EXPECT_EQ(Item("1"), nullptr);
    Controls.txtFilters = "Inbox|Calendar";
    ASSERT_TRUE(Check(sList));
    ASSERT_NE(Item("1"), nullptr);
    Controls.txtFilters = "Inbox"; // the rule changed: the item goes at the next check, list or not
    ASSERT_TRUE(Check("<NoOpResponse/>"));
    EXPECT_EQ(Item("1"), nullptr);
}

// Following pages with their offsets is shown against the fake server (integration); here, a server that says
// "more" for ever.
TEST_F(Appointments, AServerThatSaysMoreForEverIsNotFollowedForEver)
{
    for (int i = 0; i < ApptReader::nMaxPages + 10; ++i)
        AnswerWith(test::CheckAnswer("1842", Search(Appt("11", nFriday + nMinute, nHour), "1")), false);
    const size_t nStart = Soap.Requests.size();
    ASSERT_TRUE(Cycle.Comprobar());
    EXPECT_EQ(Soap.Requests.size() - nStart, static_cast<size_t>(ApptReader::nMaxPages));
    EXPECT_NE(Item("11"), nullptr); // an unfinished list removes nothing
}

TEST_F(Appointments, ReadingTheServersFormsAndItsGaps)
{
    // A running appointment without "dur": in a search "d" is the item's date, not how long it lasts.
    ASSERT_TRUE(Check(Search("<appt id=\"1\" invId=\"1-1\" name=\"A\" l=\"10\" d=\"1709300000000\"><inst s=\"" +
                             std::to_string(nFriday - nMinute) + "\"/></appt>")));
    EXPECT_EQ(Item("1"), nullptr);
    // A private appointment of a shared calendar has no name, place or free-busy: it is kept all the same. One
    // without an invite id or an instance start is skipped.
    ASSERT_TRUE(Check(Search("<appt id=\"z:2\" invId=\"z:2-1\" l=\"z:10\" dur=\"3600000\" class=\"PRI\"><inst s=\"" +
                             std::to_string(nFriday - nMinute) + "\"/></appt><appt id=\"3\" l=\"10\" dur=\"3600000\"><inst s=\"" +
                             std::to_string(nFriday - nMinute) + "\"/></appt><appt id=\"4\" invId=\"4-1\"><inst/></appt>")));
    ASSERT_NE(Item("z:2"), nullptr);
    EXPECT_EQ(Item("z:2")->name, "");
    EXPECT_EQ(Item("3"), nullptr);
    EXPECT_TRUE(Dialogs.Shown.empty());

    // Servers before 6.0: the summaries, where "d" is the duration.
    Session.sServerVersion = "5.0.9_GA";
    ASSERT_TRUE(Check("<GetApptSummariesResponse xmlns=\"urn:zimbraMail\"><appt id=\"5\" invId=\"5-1\" name=\"Old\" "
                      "l=\"10\" d=\"3600000\"><inst s=\"" + std::to_string(nFriday - nMinute) +
                      "\"/></appt></GetApptSummariesResponse>"));
    ASSERT_NE(Item("5"), nullptr);
    EXPECT_EQ(Item("5")->dEndTime, nFriday - nMinute + nHour);
}

} // namespace
} // namespace qv
