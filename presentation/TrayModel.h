// What a notification-area icon shows: the one record the shell is given, kept for the icon's whole life,
// and what each operation changes in it. The Win32 side only copies the record into the shell's structure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/TrayRecord.h"

namespace qv
{

// sText in UTF-16, cut to a field of nUnits (its terminating zero included) without splitting a pair.
std::u16string FieldText(std::string_view sText, size_t nUnits);
std::u16string Utf16Of(std::string_view sText);

class TrayModel
{
public:
    ShellCommand Iconizar(TrayIconKind nIcon);
    ShellCommand IconizarCal(TrayIconKind nIcon, const std::string& sTip, bool bAdd);
    ShellCommand IconAdd(const std::string& sMensaje, int64_t nSinLeer, TrayIconKind nUserIcon);
    ShellCommand IconReset(TrayIconKind nIcon);
    ShellCommand UpdateIconTip();

    const NotifyRecord& Record() const { return Current; }

private:
    void SetBalloon(std::string_view sTitle, std::string_view sText, uint32_t nInfoFlags);
    NotifyRecord Current;
};

} // namespace qv
