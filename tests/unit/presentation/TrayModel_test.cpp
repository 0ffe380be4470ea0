#include "presentation/TrayModel.h"

#include <gtest/gtest.h>

namespace qv
{
namespace
{

using namespace TrayFlags;

TEST(FieldText, CutsToTheFieldWithoutSplittingAPair)
{
    EXPECT_EQ(FieldText("short", nTipUnits), u"short");
    EXPECT_EQ(FieldText(std::string(200, 'x'), nTipUnits).size(), 127u);
    // 126 letters and an emoji (two units): the pair would straddle the end, so it goes whole.
    const std::u16string sCut = FieldText(std::string(126, 'a') + "😀b", nTipUnits);
    EXPECT_EQ(sCut.size(), 126u);
    EXPECT_EQ(FieldText(std::string(125, 'a') + "😀b", nTipUnits).size(), 127u);
    // Greek, Arabic and emoji of 300 characters: never more than the field, never half a pair.
    std::string sMixed;
    for (int i = 0; i < 100; ++i)
        sMixed += "Ωع😀";
    for (const size_t nUnits : {nTipUnits, nInfoUnits, nInfoTitleUnits})
    {
        const std::u16string sField = FieldText(sMixed, nUnits);
        ASSERT_LE(sField.size(), nUnits - 1);
        EXPECT_FALSE(sField.back() >= 0xD800 && sField.back() <= 0xDBFF) << nUnits;
    }
}

// New mail changes the icon and the tip; appointments alone keep both; the first line is the balloon's title.
TEST(TrayModel, NewMailChangesIconTipAndBalloonAppointmentsAloneOnlyTheBalloon)
{
    const std::string sMail = "You have unread e-mail messages\r\nInbox (3)\r\nWork (1)";
    // The text and its unread count; then the icon, the tip, the balloon's kind, title and text.
    const std::tuple<std::string, int, TrayIconKind, std::u16string, uint32_t, std::u16string, std::u16string> cases[] =
        {
            {sMail, 4, TrayIconKind::NewMail, Utf16Of(sMail), InfoFlags::nUser, u"You have unread e-mail messages",
             u"Inbox (3)\r\nWork (1)"},
            {"Appointments within next 24 hours\r\n10:00 Review", 0, TrayIconKind::Window, u"Quorvel v5.0.1",
             InfoFlags::nInformation, u"Appointments within next 24 hours", u"10:00 Review"},
            {"just text", 1, TrayIconKind::NewMail, u"just text", InfoFlags::nUser, u"", u"just text"},
        };
    for (const auto& [sText, nUnread, nKind, sTip, nInfoFlags, sTitle, sInfo] : cases)
    {
        SCOPED_TRACE(sText);
        TrayModel model;
        EXPECT_EQ(model.Iconizar(TrayIconKind::Window), ShellCommand::Add);
        EXPECT_EQ(model.Record().nFlags, nMessage | nIcon | nTip);
        EXPECT_EQ(model.Record().sTip, u"Quorvel v5.0.1");
        EXPECT_EQ(model.IconAdd(sText, nUnread, TrayIconKind::NewMail), ShellCommand::Modify);
        const NotifyRecord& r = model.Record();
        EXPECT_EQ(std::tie(r.nFlags, r.nIcon, r.sTip, r.nInfoFlags, r.sInfoTitle, r.sInfo, r.nTimeout),
                  std::make_tuple(nMessage | nIcon | nTip | nInfo, nKind, sTip, nInfoFlags, sTitle, sInfo, 10000u));
    }
}

TEST(TrayModel, ResetAndShellRestart)
{
    TrayModel model;
    model.Iconizar(TrayIconKind::Window);
    model.IconAdd("You have unread e-mail messages\r\nInbox (1)", 1, TrayIconKind::NewMail);
    // After a restart of the shell the icon comes back as it last was, its balloon asked for again: the old
    // shell may have gone before showing it, and an item waiting for its balloon would wait for good.
    const auto Fields = [](const NotifyRecord& r) {
        return std::make_tuple(r.nFlags, r.nIcon, r.sTip, r.sInfoTitle, r.sInfo, r.nInfoFlags);
    };
    const std::u16string sTip = u"You have unread e-mail messages\r\nInbox (1)";
    EXPECT_EQ(Fields(ForShellRestart(model.Record())),
              std::make_tuple(nMessage | nIcon | nTip | nInfo, TrayIconKind::NewMail, sTip,
                              u"You have unread e-mail messages", u"Inbox (1)", InfoFlags::nUser));
    model.IconReset(TrayIconKind::Window);
    EXPECT_EQ(Fields(model.Record()),
              std::make_tuple(nIcon | nTip, TrayIconKind::Window, u"Quorvel v5.0.1", u"", u"", InfoFlags::nNone));
    // The reset's own flags lack the callback message: re-adding with them would lose every click; and the
    // balloon of the mail since read must not come back with the icon.
    EXPECT_EQ(Fields(ForShellRestart(model.Record())), std::make_tuple(nMessage | nIcon | nTip, TrayIconKind::Window,
                                                                       u"Quorvel v5.0.1", u"", u"", InfoFlags::nNone));
}

} // namespace
} // namespace qv
