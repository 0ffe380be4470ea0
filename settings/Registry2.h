// Raw access to arbitrary registry keys, for the shell integration.
#pragma once

#include <string>

#include "platform/Registry.h"

namespace qv::Registry2
{

void DeleteKey(IRegistry& reg, RegRoot nRoot, const std::string& sPath);
void DeleteValue(IRegistry& reg, RegRoot nRoot, const std::string& sPath, const std::string& sName);
void CreateKey(IRegistry& reg, RegRoot nRoot, const std::string& sPath);
// A string as it stands, a 32-bit number as decimal text; anything else, or nothing, is the empty text.
std::string GetKeyValue(IRegistry& reg, RegRoot nRoot, const std::string& sPath, const std::string& sName);
// Into an existing key, keeping the value's type: a missing value becomes a string.
[[nodiscard]] bool SetKeyValue(IRegistry& reg, RegRoot nRoot, const std::string& sPath, const std::string& sName,
                               const std::string& sValue);

} // namespace qv::Registry2
