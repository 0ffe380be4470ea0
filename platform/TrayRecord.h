// The one record the shell is given for a notification-area icon: what the core fills in and the Win32 side
// copies into the shell's structure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qv
{

enum class TrayIconKind { None, Window, NewMail, Calendar };
enum class ShellCommand { Add, Modify, Delete };

namespace TrayFlags
{
constexpr uint32_t nMessage = 0x01, nIcon = 0x02, nTip = 0x04, nInfo = 0x10;
}
namespace InfoFlags
{
constexpr uint32_t nNone = 0, nInformation = 1, nUser = 4;
}

// Field widths of the shell's record in UTF-16 units, the terminating zero included.
constexpr size_t nTipUnits = 128, nInfoUnits = 256, nInfoTitleUnits = 64;
constexpr uint32_t nTrayCallbackMessage = 0x0882;
constexpr uint32_t nBalloonTimeoutMs = 10000;

struct NotifyRecord
{
    uint32_t nFlags = 0;
    TrayIconKind nIcon = TrayIconKind::None;
    std::u16string sTip;       // at most nTipUnits - 1 units, never ending in half a pair
    std::u16string sInfo;      // balloon text
    std::u16string sInfoTitle; // balloon title
    uint32_t nInfoFlags = 0;
    uint32_t nTimeout = 0;
};

// The shell restarted: the icon is added again as it was, always with its message, icon and tip, whatever
// the last operation's flags were, so that clicks keep reaching the program; a balloon the last operation asked
// for is asked for again, since the old shell may have gone before showing it.
inline NotifyRecord ForShellRestart(const NotifyRecord& last)
{
    NotifyRecord record = last;
    record.nFlags |= TrayFlags::nMessage | TrayFlags::nIcon | TrayFlags::nTip;
    return record;
}

} // namespace qv
