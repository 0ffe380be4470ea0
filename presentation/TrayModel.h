// What a notification-area icon shows: the one record the shell is given, kept for the icon's whole life,
// and what each operation changes in it. The Win32 side only copies the record into the shell's structure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// sText in UTF-16, cut to a field of nUnits (its terminating zero included) without splitting a pair.
std::u16string FieldText(std::string_view sText, size_t nUnits);
std::u16string Utf16Of(std::string_view sText);

// "Quorvel v5.0.1"
std::string DefaultTooltip();

// The shell restarted: the icon is added again as it was, always with its message, icon and tip, whatever
// the last operation's flags were, so that clicks keep reaching the program.
NotifyRecord ForShellRestart(const NotifyRecord& last);

class TrayModel
{
public:
    ShellCommand Iconizar(TrayIconKind nIcon);
    ShellCommand IconizarCal(TrayIconKind nIcon, const std::string& sTip, bool bAdd);
    ShellCommand IconAdd(const std::string& sMensaje, int nSinLeer, TrayIconKind nUserIcon);
    ShellCommand IconReset(TrayIconKind nIcon);
    ShellCommand UpdateIconTip();

    const NotifyRecord& Record() const { return Current; }

private:
    void SetBalloon(std::string_view sTitle, std::string_view sText, uint32_t nInfoFlags);
    NotifyRecord Current;
};

} // namespace qv
