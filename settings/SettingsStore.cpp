#include "settings/SettingsStore.h"

#include <charconv>

#include "platform/Text.h"

namespace qv
{

std::string GetSetting(IRegistry& reg, const std::string& sName, const std::string& sDefault)
{
    const RegValue value = reg.Read(RegRoot::CurrentUser, sSettingsKey, sName);
    switch (value.nKind)
    {
    case RegKind::Text: return value.sText;
    case RegKind::Dword: return std::to_string(value.nDword);
    default: return sDefault;
    }
}

bool SaveSetting(IRegistry& reg, const std::string& sName, const std::string& sValue)
{
    return reg.WriteText(RegRoot::CurrentUser, sSettingsKey, sName, sValue, true); // a locked profile keeps its values
}

int16_t CheckBoxValue(const std::string& sStored, int16_t nDefault)
{
    const std::string sText = Trim(sStored);
    int nValue = -1;
    const auto [pEnd, ec] = std::from_chars(sText.data(), sText.data() + sText.size(), nValue);
    if (ec != std::errc() || pEnd != sText.data() + sText.size() || (nValue != 0 && nValue != 1))
        return nDefault;
    return static_cast<int16_t>(nValue);
}

bool FlagValue(const std::string& sStored, bool bDefault)
{
    const std::string sText = AsciiLower(Trim(sStored));
    if (sText == "1" || sText == "true" || sText == "-1")
        return true;
    if (sText == "0" || sText == "false")
        return false;
    return bDefault;
}

} // namespace qv
