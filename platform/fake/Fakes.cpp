#include "platform/fake/Fakes.h"

namespace qv::fake
{

std::string FakeRegistry::KeyName(RegRoot nRoot, const std::string& sPath)
{
    return AsciiLower((nRoot == RegRoot::CurrentUser ? "hkcu\\" : "hklm\\") + sPath);
}

void FakeRegistry::Refuse(RegRoot nRoot, const std::string& sPath)
{
    std::string sKey = KeyName(nRoot, sPath);
    if (sKey.back() == '\\')
        sKey.pop_back();
    RefusedKeys.push_back(sKey);
}

bool FakeRegistry::Refused(const std::string& sKey) const
{
    if (bFailWrites)
        return true;
    for (const std::string& sRefused : RefusedKeys)
        if (sKey == sRefused || sKey.rfind(sRefused + '\\', 0) == 0)
            return true;
    return false;
}

void FakeRegistry::Create(const std::string& sKey)
{
    // The root's own name ("hkcu") is no key of its own.
    for (size_t nSlash = sKey.find('\\', sKey.find('\\') + 1); nSlash != std::string::npos;
         nSlash = sKey.find('\\', nSlash + 1))
        Keys[sKey.substr(0, nSlash)];
    Keys[sKey];
}

std::vector<std::string> FakeRegistry::Dump() const
{
    std::vector<std::string> Lines;
    for (const auto& [sKey, key] : Keys)
    {
        Lines.push_back(sKey);
        for (const auto& [sName, value] : key.Values)
            Lines.push_back(sKey + "|" + sName + "=" +
                            (value.nKind == RegKind::Dword ? std::to_string(value.nDword) : value.sText));
    }
    return Lines;
}

bool FakeRegistry::KeyExists(RegRoot nRoot, const std::string& sPath)
{
    return Keys.count(KeyName(nRoot, sPath)) != 0;
}

RegValue FakeRegistry::Read(RegRoot nRoot, const std::string& sPath, const std::string& sName)
{
    const auto key = Keys.find(KeyName(nRoot, sPath));
    if (key == Keys.end())
        return {};
    const auto value = key->second.Values.find(AsciiLower(sName));
    return value == key->second.Values.end() ? RegValue{} : value->second;
}

bool FakeRegistry::WriteText(RegRoot nRoot, const std::string& sPath, const std::string& sName,
                             const std::string& sValue, bool bCreateKey)
{
    if (Refused(KeyName(nRoot, sPath)) || (!bCreateKey && !KeyExists(nRoot, sPath)))
        return false;
    Create(KeyName(nRoot, sPath));
    Keys[KeyName(nRoot, sPath)].Values[AsciiLower(sName)] = RegValue{RegKind::Text, sValue, 0};
    WriteOrder.push_back(sName);
    return true;
}

bool FakeRegistry::WriteDword(RegRoot nRoot, const std::string& sPath, const std::string& sName, uint32_t nValue)
{
    if (Refused(KeyName(nRoot, sPath)) || !KeyExists(nRoot, sPath))
        return false;
    Keys[KeyName(nRoot, sPath)].Values[AsciiLower(sName)] = RegValue{RegKind::Dword, {}, nValue};
    WriteOrder.push_back(sName);
    return true;
}

bool FakeRegistry::CreateKey(RegRoot nRoot, const std::string& sPath)
{
    if (Refused(KeyName(nRoot, sPath)))
        return false;
    Create(KeyName(nRoot, sPath));
    return true;
}

bool FakeRegistry::DeleteKey(RegRoot nRoot, const std::string& sPath)
{
    const std::string sKey = KeyName(nRoot, sPath);
    const auto key = Keys.find(sKey);
    if (key == Keys.end() || Refused(sKey))
        return false;
    // As RegDeleteKey: a key with subkeys stays; its values go with it.
    const auto below = Keys.lower_bound(sKey + '\\');
    if (below != Keys.end() && below->first.rfind(sKey + '\\', 0) == 0)
        return false;
    Keys.erase(key);
    return true;
}

bool FakeRegistry::DeleteValue(RegRoot nRoot, const std::string& sPath, const std::string& sName)
{
    if (Refused(KeyName(nRoot, sPath)))
        return false;
    const auto key = Keys.find(KeyName(nRoot, sPath));
    return key != Keys.end() && key->second.Values.erase(AsciiLower(sName)) != 0;
}

void FakeRegistry::Put(const std::string& sPath, const std::string& sName, const RegValue& value)
{
    Create(KeyName(RegRoot::CurrentUser, sPath));
    Keys[KeyName(RegRoot::CurrentUser, sPath)].Values[AsciiLower(sName)] = value;
}

std::string FakeRegistry::Text(const std::string& sPath, const std::string& sName)
{
    return Read(RegRoot::CurrentUser, sPath, sName).sText;
}

HttpReply FakeSoapTransport::Send(const std::string& sMethod, const std::string& sUrl, const std::string& sHost,
                                  const std::string& sBody)
{
    Requests.push_back({sMethod, sUrl, sHost, sBody});
    if (OnSend)
        OnSend();
    if (Replies.empty())
        return Failure(TransportError::CannotConnect, 12029, "A connection with the server could not be established");
    HttpReply reply = std::move(Replies.front());
    Replies.pop_front();
    return reply;
}

HttpReply FakeSoapTransport::Status(long nStatus, std::string sStatusText, std::string sBody)
{
    HttpReply reply;
    reply.nError = TransportError::None;
    reply.nStatus = nStatus;
    reply.sStatusText = std::move(sStatusText);
    reply.sBody = std::move(sBody);
    return reply;
}

HttpReply FakeSoapTransport::Failure(TransportError nError, long nCode, std::string sDescription)
{
    HttpReply reply;
    reply.nError = nError;
    reply.nSystemCode = nCode;
    reply.sDescription = std::move(sDescription);
    reply.sSource = "WinHTTP";
    return reply;
}

} // namespace qv::fake
