// The per-user settings store: one text value per setting under the program's key.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Registry.h"

namespace qv
{

inline constexpr const char* sSettingsKey = "Software\\Quorvel\\Settings";

// The stored text, or sDefault when the value is missing or not text (a number reads as its decimal text).
std::string GetSetting(IRegistry& reg, const std::string& sName, const std::string& sDefault);
// False when the store refused it.
bool SaveSetting(IRegistry& reg, const std::string& sName, const std::string& sValue);

// A check box's state (0 clear, 1 ticked); anything else gives the default.
int16_t CheckBoxValue(const std::string& sStored, int16_t nDefault);
// "1"/"0", the words true/false in any case, and -1 for true; anything else gives the default.
bool FlagValue(const std::string& sStored, bool bDefault);

} // namespace qv
