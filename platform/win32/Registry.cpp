#include "platform/win32/Registry.h"

#include "platform/win32/Win32.h"

#include <vector>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Utf.h"

namespace qv::win32
{

namespace
{

HKEY RootKey(RegRoot nRoot)
{
    return nRoot == RegRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

UniqueHKey Open(RegRoot nRoot, const std::string& sPath, REGSAM nAccess)
{
    UniqueHKey hKey;
    if (::RegOpenKeyExW(RootKey(nRoot), Utf16(sPath).c_str(), 0, nAccess, hKey.put()) != ERROR_SUCCESS)
        hKey.reset();
    return hKey;
}

// Writing asks for the right to set values only: a key a user may write but not own still takes the value.
UniqueHKey OpenOrCreate(RegRoot nRoot, const std::string& sPath, bool bCreate)
{
    if (!bCreate)
        return Open(nRoot, sPath, KEY_SET_VALUE | KEY_QUERY_VALUE);
    UniqueHKey hKey;
    if (::RegCreateKeyExW(RootKey(nRoot), Utf16(sPath).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, hKey.put(),
                          nullptr) != ERROR_SUCCESS)
        hKey.reset();
    return hKey;
}

} // namespace

// Read access only: full access fails on machine-wide keys for a user who is no administrator, whose keys would
// then look missing.
bool Win32Registry::KeyExists(RegRoot nRoot, const std::string& sPath)
{
    return static_cast<bool>(Open(nRoot, sPath, KEY_READ));
}

RegValue Win32Registry::Read(RegRoot nRoot, const std::string& sPath, const std::string& sName)
{
    RegValue value;
    const UniqueHKey hKey = Open(nRoot, sPath, KEY_READ);
    if (!hKey)
        return value;
    const std::wstring sValueName = Utf16(sName);
    // Any length: ask for the size first, and again if the value grew in between.
    std::vector<BYTE> Data;
    DWORD nType = 0, nBytes = 0;
    LSTATUS nStatus = ERROR_MORE_DATA;
    for (int nTry = 0; nTry < 4 && nStatus == ERROR_MORE_DATA; ++nTry)
    {
        nStatus = ::RegQueryValueExW(hKey.get(), sValueName.c_str(), nullptr, &nType, nullptr, &nBytes);
        if (nStatus != ERROR_SUCCESS)
            return value;
        Data.assign(nBytes + sizeof(wchar_t), 0);
        nStatus = ::RegQueryValueExW(hKey.get(), sValueName.c_str(), nullptr, &nType, Data.data(), &nBytes);
    }
    if (nStatus != ERROR_SUCCESS)
        return value;
    if (nType == REG_SZ || nType == REG_EXPAND_SZ)
    {
        std::wstring sText(reinterpret_cast<const wchar_t*>(Data.data()), nBytes / sizeof(wchar_t));
        while (!sText.empty() && sText.back() == L'\0') // the count may include terminators; an empty value has none
            sText.pop_back();
        value.nKind = RegKind::Text;
        value.sText = Utf8(sText);
    }
    else if (nType == REG_DWORD && nBytes == sizeof(DWORD))
    {
        value.nKind = RegKind::Dword;
        value.nDword = *reinterpret_cast<const DWORD*>(Data.data());
    }
    else
    {
        value.nKind = RegKind::Other;
    }
    return value;
}

bool Win32Registry::WriteText(RegRoot nRoot, const std::string& sPath, const std::string& sName,
                              const std::string& sValue, bool bCreateKey)
{
    const UniqueHKey hKey = OpenOrCreate(nRoot, sPath, bCreateKey);
    if (!hKey)
        return false;
    const std::wstring sData = Utf16(sValue);
    // The size in bytes, the terminating zero included.
    const DWORD nBytes = static_cast<DWORD>((sData.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(hKey.get(), Utf16(sName).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(sData.c_str()),
                            nBytes) == ERROR_SUCCESS;
}

bool Win32Registry::WriteDword(RegRoot nRoot, const std::string& sPath, const std::string& sName, uint32_t nValue)
{
    const UniqueHKey hKey = Open(nRoot, sPath, KEY_SET_VALUE);
    if (!hKey)
        return false;
    const DWORD nData = nValue;
    return ::RegSetValueExW(hKey.get(), Utf16(sName).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&nData),
                            sizeof nData) == ERROR_SUCCESS;
}

bool Win32Registry::CreateKey(RegRoot nRoot, const std::string& sPath)
{
    return static_cast<bool>(OpenOrCreate(nRoot, sPath, true));
}

bool Win32Registry::DeleteKey(RegRoot nRoot, const std::string& sPath)
{
    return ::RegDeleteKeyW(RootKey(nRoot), Utf16(sPath).c_str()) == ERROR_SUCCESS;
}

bool Win32Registry::DeleteValue(RegRoot nRoot, const std::string& sPath, const std::string& sName)
{
    const UniqueHKey hKey = Open(nRoot, sPath, KEY_SET_VALUE);
    return hKey && ::RegDeleteValueW(hKey.get(), Utf16(sName).c_str()) == ERROR_SUCCESS;
}

} // namespace qv::win32
