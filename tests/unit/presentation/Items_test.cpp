#include "../FormFixture.h"

namespace qv
{
namespace
{

class Items : public test::FormFixture
{
protected:
    Icontify& Review()
    {
        Icontify& item = Form.Items.AddCalItem();
        item.name = "Review";
        item.sCuando = "10:00 - 10:30";
        return item;
    }
    static void Show(Icontify& item) { item.Iconizar(item.name + "\r\nWhen: " + item.sCuando); }
};

// The first balloon adds the icon; only the shell's notice for this item ends the wait for it, and the next
// balloon modifies the icon.
TEST_F(Items, TheFirstBalloonAddsTheIconAndOnlyTheShellsNoticeEndsTheWait)
{
    Icontify& item = Review();
    item.Iconizar("Review [MODIFIED]\r\nWhen: 10:00 - 10:30");
    item.bPendienteDeMostrar = true;
    ASSERT_EQ(M.ItemIcons.Log.size(), 1u);
    const NotifyRecord& first = M.ItemIcons.Log[0].Record;
    EXPECT_EQ(M.ItemIcons.Log[0].nCommand, ShellCommand::Add);
    EXPECT_EQ(std::tie(first.sInfoTitle, first.sInfo, first.sTip, first.nIcon),
              std::make_tuple(u"Review [MODIFIED]", u"When: 10:00 - 10:30", u"Review [MODIFIED]\r\nWhen: 10:00 - 10:30",
                              TrayIconKind::Calendar));

    for (const TrayEventKind nKind : {TrayEventKind::MouseDown, TrayEventKind::DblClick, TrayEventKind::BalloonHide})
        Form.OnItemTrayEvent(item.GetTag(), {nKind, 1});
    Form.OnItemTrayEvent(99, {TrayEventKind::BalloonShow}); // empty slots change nothing
    Form.OnItemTrayEvent(0, {TrayEventKind::BalloonShow});
    EXPECT_TRUE(item.bPendienteDeMostrar);
    Form.OnItemTrayEvent(item.GetTag(), {TrayEventKind::BalloonShow});
    EXPECT_FALSE(item.bPendienteDeMostrar);
    Show(item);
    ASSERT_EQ(M.ItemIcons.Log.size(), 2u);
    EXPECT_EQ(M.ItemIcons.Log[1].nCommand, ShellCommand::Modify);
    EXPECT_EQ(M.ItemIcons.Log[1].Record.sInfoTitle, u"Review");

    // A second copy that found an item's hidden window is answered like the main icon.
    Form.OnItemTrayEvent(item.GetTag(), {TrayEventKind::SettingsShowRequest});
    EXPECT_TRUE(M.View.bVisible);
}

TEST_F(Items, AnItemLetGoInsideItsOwnEventLivesUntilTheEventEnds)
{
    Icontify& item = Review();
    Show(item);
    const int nTag = item.GetTag();
    Form.Dispatch([&] {
        Icontify* pItem = Form.Items.CalItem(nTag);
        Form.ReleaseCalItem(nTag);
        EXPECT_EQ(Form.Items.CalItem(nTag), nullptr);
        EXPECT_EQ(pItem->name, "Review"); // still a live object: its window's message is on the stack
    });
    EXPECT_EQ(M.ItemIcons.nAlive, 0);
    EXPECT_EQ(M.ItemIcons.Log.back().nCommand, ShellCommand::Delete);
    // Positions never move: the next item takes a new one.
    EXPECT_EQ(Form.Items.AddCalItem().GetTag(), nTag + 1);
}

TEST_F(Items, ExitRemovesEveryAppointmentIcon)
{
    Show(Review());
    Show(Review());
    Review(); // no icon yet
    EXPECT_EQ(M.ItemIcons.nAlive, 2);
    Form.Form_Unload();
    EXPECT_EQ(M.ItemIcons.nAlive, 0);
}

TEST_F(Items, AnItemWhoseIconCannotBeMadeShowsNothingAndLeaksNothing)
{
    M.ItemIcons.bFailCreate = true;
    Icontify& item = Review();
    Show(item);
    EXPECT_FALSE(item.bTieneIcono);
    item.BorraIcono();
    EXPECT_TRUE(M.ItemIcons.Log.empty());
}

TEST_F(Items, CloseAnimatesOnlyWhenTheUserWantsAnimations)
{
    const std::pair<const char*, int> cases[] = {{nullptr, 0}, {"0", 0}, {"1", 1}, {"junk", 0}};
    int nExpected = 0;
    for (const auto& [sValue, nMore] : cases)
    {
        if (sValue)
            M.Registry.Put("Control Panel\\Desktop\\WindowMetrics", "MinAnimate", RegValue{RegKind::Text, sValue, 0});
        Form.cmdCerrar_Click();
        nExpected += nMore;
        EXPECT_EQ(M.View.nAnimations, nExpected) << (sValue ? sValue : "missing");
        EXPECT_FALSE(M.View.bVisible);
    }
}

} // namespace
} // namespace qv
