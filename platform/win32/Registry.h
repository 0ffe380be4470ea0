// The real registry, through the wide functions.
#pragma once

#include "platform/Registry.h"

namespace qv::win32
{

class Win32Registry final : public IRegistry
{
public:
    bool KeyExists(RegRoot nRoot, const std::string& sPath) override;
    RegValue Read(RegRoot nRoot, const std::string& sPath, const std::string& sName) override;
    bool WriteText(RegRoot nRoot, const std::string& sPath, const std::string& sName, const std::string& sValue,
                   bool bCreateKey) override;
    bool WriteDword(RegRoot nRoot, const std::string& sPath, const std::string& sName, uint32_t nValue) override;
    bool CreateKey(RegRoot nRoot, const std::string& sPath) override;
    bool DeleteKey(RegRoot nRoot, const std::string& sPath) override;
    bool DeleteValue(RegRoot nRoot, const std::string& sPath, const std::string& sName) override;
};

} // namespace qv::win32
