// The registry as the core sees it: roots, key paths and values, no Windows types.
#pragma once

#include <cstdint>
#include <string>

namespace qv
{

enum class RegRoot { CurrentUser, LocalMachine };
enum class RegKind { Missing, Text, Dword, Other };

struct RegValue
{
    RegKind nKind = RegKind::Missing; // also Missing when the key cannot be opened
    std::string sText;                // UTF-8, trailing terminators dropped
    uint32_t nDword = 0;
};

class IRegistry
{
public:
    virtual ~IRegistry() = default;
    virtual bool KeyExists(RegRoot nRoot, const std::string& sPath) = 0;
    virtual RegValue Read(RegRoot nRoot, const std::string& sPath, const std::string& sName) = 0;
    // Writes into an existing key; bCreateKey creates the path first.
    virtual bool WriteText(RegRoot nRoot, const std::string& sPath, const std::string& sName, const std::string& sValue,
                           bool bCreateKey) = 0;
    virtual bool WriteDword(RegRoot nRoot, const std::string& sPath, const std::string& sName, uint32_t nValue) = 0;
    virtual bool CreateKey(RegRoot nRoot, const std::string& sPath) = 0;
    virtual bool DeleteKey(RegRoot nRoot, const std::string& sPath) = 0;
    virtual bool DeleteValue(RegRoot nRoot, const std::string& sPath, const std::string& sName) = 0;
};

} // namespace qv
