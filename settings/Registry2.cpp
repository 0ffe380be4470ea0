#include "settings/Registry2.h"

#include <charconv>

namespace qv::Registry2
{

void DeleteKey(IRegistry& reg, RegRoot nRoot, const std::string& sPath)
{
    (void)reg.DeleteKey(nRoot, sPath);
}

void DeleteValue(IRegistry& reg, RegRoot nRoot, const std::string& sPath, const std::string& sName)
{
    (void)reg.DeleteValue(nRoot, sPath, sName);
}

void CreateKey(IRegistry& reg, RegRoot nRoot, const std::string& sPath)
{
    (void)reg.CreateKey(nRoot, sPath);
}

std::string GetKeyValue(IRegistry& reg, RegRoot nRoot, const std::string& sPath, const std::string& sName)
{
    const RegValue value = reg.Read(nRoot, sPath, sName);
    switch (value.nKind)
    {
    case RegKind::Text: return value.sText;
    case RegKind::Dword: return std::to_string(value.nDword);
    default: return {};
    }
}

bool SetKeyValue(IRegistry& reg, RegRoot nRoot, const std::string& sPath, const std::string& sName,
                 const std::string& sValue)
{
    if (!reg.KeyExists(nRoot, sPath))
        return false;
    const RegValue present = reg.Read(nRoot, sPath, sName);
    switch (present.nKind)
    {
    case RegKind::Missing:
    case RegKind::Text: return reg.WriteText(nRoot, sPath, sName, sValue, false);
    case RegKind::Dword: {
        // A text that is no number writes 0, as the numeric conversion of an empty text would.
        uint32_t nValue = 0;
        int64_t nSigned = 0;
        const char* pEnd = sValue.data() + sValue.size();
        if (std::from_chars(sValue.data(), pEnd, nSigned).ec == std::errc())
            nValue = static_cast<uint32_t>(nSigned);
        return reg.WriteDword(nRoot, sPath, sName, nValue);
    }
    default: return false;
    }
}

} // namespace qv::Registry2
