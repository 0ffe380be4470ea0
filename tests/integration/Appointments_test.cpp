// The week's appointments from the fake server: the search as sent, its pages, and the items it leaves.
#include <chrono>

#include "ServerFixture.h"
#include "session/Cancellation.h"

namespace qv
{
namespace
{

using test::FakeServer;

class Calendar : public test::ServerFixture
{
protected:
    // The fake server places its appointments relative to the real time it started at.
    Calendar()
    {
        Clock.nNowUtcMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
                .count();
    }
    std::vector<std::string> ItemNames()
    {
        std::vector<std::string> names;
        Items.ForEachApptItem([&](IApptItem& item) { names.push_back(item.name); });
        return names;
    }
};

TEST_F(Calendar, TheWeekIsReadPageByPageAndItsLastPageBringsTheDueReminder)
{
    FakeServer server("calendar_2000");
    SignIn(server);
    const size_t nBefore = server.Requests().size();
    ASSERT_TRUE(Cycle.Comprobar()) << Session.sLastError;

    // The first page's bytes are those of every check (CheckCycle_test); the next ones add their offsets.
    const std::vector<test::RecordedRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), nBefore + 3); // 2,001 appointments: three pages of at most 1,000
    EXPECT_FALSE(Has(requests[nBefore].sBody, "offset=")) << requests[nBefore].sBody;
    for (const auto& [nAt, sOffset] : {std::pair{nBefore + 1, "offset=\"1000\""}, {nBefore + 2, "offset=\"2000\""}})
        EXPECT_TRUE(Has(requests[nAt].sBody, std::string("limit=\"1000\" ") + sOffset)) << requests[nAt].sBody;
    EXPECT_EQ(ItemNames(), std::vector<std::string>{"Board meeting"});
}

TEST_F(Calendar, AWeeklySeriesThatBeganMonthsAgoIsInTheDailyList)
{
    FakeServer server("calendar_paging");
    SignIn(server);
    Icon.Announced.clear();
    ASSERT_TRUE(Cycle.Comprobar()) << Session.sLastError; // the first check of the day
    ASSERT_EQ(Icon.Announced.size(), 1u);
    EXPECT_TRUE(Has(Icon.Announced[0].sMensaje, " Old weekly")) << Icon.Announced[0].sMensaje;
    EXPECT_TRUE(Has(Icon.Announced[0].sMensaje, " Meeting 00"));
}

// The user's "No", a lost session and a deletion while another runs are shown on the fake transport (unit tests):
// here the user always answers Yes (6).
class Cancelling : public Calendar
{
protected:
    std::vector<std::string> Shown;
    Cancellation Cancel{Session, Reader, Items, [](const std::string&, int) { return 6; },
                        [this](const std::string& sText, int) {
                            Shown.push_back(sText);
                            return 1;
                        }};
    int TagOf(const std::string& sName)
    {
        int nTag = -1;
        Items.ForEachApptItem([&](IApptItem& item) {
            if (item.name == sName)
                nTag = item.GetTag();
        });
        return nTag;
    }
};

TEST_F(Cancelling, TheServerCancelsWhatTheUserOrganisesAndNothingElse)
{
    FakeServer server("cancellation");
    SignIn(server);
    ASSERT_TRUE(Cycle.Comprobar()) << Session.sLastError;
    ASSERT_EQ(ItemNames(), (std::vector<std::string>{"Team review", "Planning", "Stand-up"}));

    // The request's bytes are the menu's unit test's; here the server takes it.
    ASSERT_TRUE(Cancel.CalApptCancelado(TagOf("Team review"))) << (Shown.empty() ? "" : Shown.back());

    // Someone else's meeting: the server refuses, the user reads why, and the item stays.
    EXPECT_FALSE(Cancel.CalApptCancelado(TagOf("Planning")));
    ASSERT_FALSE(Shown.empty());
    EXPECT_TRUE(Has(Shown.back(), "must be organizer")) << Shown.back();
    EXPECT_NE(TagOf("Planning"), -1);

    // One instance of the series, named as the server named it: the other days stay.
    const int nStandUp = TagOf("Stand-up");
    const std::string sRidZ = Items.ApptItemAt(nStandUp)->ridZ;
    ASSERT_FALSE(sRidZ.empty());
    ASSERT_TRUE(Cancel.CalApptCancelado(nStandUp));
    EXPECT_TRUE(Has(server.Requests().back().sBody, "    <inst d=\"" + sRidZ + "\"/>\r\n"));
    Items.DiscardApptItem(nStandUp); // as the menu's caller does on success
    ASSERT_TRUE(Cycle.Comprobar()) << Session.sLastError;
    // The review is gone from the server's list; today's stand-up too, and tomorrow's is not due yet.
    EXPECT_EQ(ItemNames(), std::vector<std::string>{"Planning"});
}

} // namespace
} // namespace qv
