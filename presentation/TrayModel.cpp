#include "presentation/TrayModel.h"

#include "platform/Product.h"
#include "platform/Text.h"

namespace qv
{

std::u16string Utf16Of(std::string_view sText)
{
    return EncodeUtf16(DecodeUtf8(sText));
}

std::u16string FieldText(std::string_view sText, size_t nUnits)
{
    std::u16string sOut = Utf16Of(sText);
    if (sOut.size() > nUnits - 1)
    {
        sOut.resize(nUnits - 1);
        if (!sOut.empty() && sOut.back() >= 0xD800 && sOut.back() <= 0xDBFF)
            sOut.pop_back(); // half a pair would show as a box
    }
    return sOut;
}

void TrayModel::SetBalloon(std::string_view sTitle, std::string_view sText, uint32_t nInfoFlags)
{
    Current.sInfoTitle = FieldText(sTitle, nInfoTitleUnits);
    Current.sInfo = FieldText(sText, nInfoUnits);
    Current.nInfoFlags = nInfoFlags;
    Current.nTimeout = nBalloonTimeoutMs;
}

ShellCommand TrayModel::Iconizar(TrayIconKind nIcon)
{
    Current.nFlags = TrayFlags::nMessage | TrayFlags::nIcon | TrayFlags::nTip;
    Current.nIcon = nIcon;
    Current.sTip = FieldText(ProductCaption(), nTipUnits);
    return ShellCommand::Add;
}

ShellCommand TrayModel::IconizarCal(TrayIconKind nIcon, const std::string& sTip, bool bAdd)
{
    Current.nFlags = TrayFlags::nMessage | TrayFlags::nIcon | TrayFlags::nTip | TrayFlags::nInfo;
    Current.nIcon = nIcon;
    Current.sTip = FieldText(sTip, nTipUnits);
    const size_t nCr = sTip.find('\r'), nLf = sTip.find('\n');
    SetBalloon(std::string_view(sTip).substr(0, nCr),
               nLf == std::string::npos ? std::string_view() : std::string_view(sTip).substr(nLf + 1),
               InfoFlags::nUser);
    return bAdd ? ShellCommand::Add : ShellCommand::Modify;
}

ShellCommand TrayModel::IconAdd(const std::string& sMensaje, int64_t nSinLeer, TrayIconKind nUserIcon)
{
    Current.nFlags = TrayFlags::nMessage | TrayFlags::nIcon | TrayFlags::nTip | TrayFlags::nInfo;
    if (nSinLeer >= 1)
    {
        Current.sTip = FieldText(sMensaje, nTipUnits);
        Current.nIcon = nUserIcon;
    }
    // A text without a line break (never sent by the program) becomes the balloon's text, with no title.
    const size_t nBreak = sMensaje.find("\r\n");
    const std::string_view sText(sMensaje);
    SetBalloon(nBreak == std::string::npos ? std::string_view() : sText.substr(0, nBreak),
               nBreak == std::string::npos ? sText : sText.substr(nBreak + 2),
               nSinLeer >= 1 ? InfoFlags::nUser : InfoFlags::nInformation);
    return ShellCommand::Modify;
}

ShellCommand TrayModel::IconReset(TrayIconKind nIcon)
{
    Current.nFlags = TrayFlags::nIcon | TrayFlags::nTip;
    Current.nIcon = nIcon;
    Current.sTip = FieldText(ProductCaption(), nTipUnits);
    Current.nInfoFlags = InfoFlags::nNone;
    Current.sInfo.clear();
    Current.sInfoTitle.clear();
    return ShellCommand::Modify;
}

ShellCommand TrayModel::UpdateIconTip()
{
    Current.nFlags = TrayFlags::nTip;
    Current.sTip = FieldText(ProductCaption(), nTipUnits);
    return ShellCommand::Modify;
}

} // namespace qv
