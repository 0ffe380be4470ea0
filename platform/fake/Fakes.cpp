#include "platform/fake/Fakes.h"

namespace qv::fake
{

std::string FakeRegistry::KeyName(RegRoot nRoot, const std::string& sPath)
{
    return AsciiLower((nRoot == RegRoot::CurrentUser ? "hkcu\\" : "hklm\\") + sPath);
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
    if (bFailWrites || (!bCreateKey && !KeyExists(nRoot, sPath)))
        return false;
    Keys[KeyName(nRoot, sPath)].Values[AsciiLower(sName)] = RegValue{RegKind::Text, sValue, 0};
    WriteOrder.push_back(sName);
    return true;
}

bool FakeRegistry::WriteDword(RegRoot nRoot, const std::string& sPath, const std::string& sName, uint32_t nValue)
{
    if (bFailWrites || !KeyExists(nRoot, sPath))
        return false;
    Keys[KeyName(nRoot, sPath)].Values[AsciiLower(sName)] = RegValue{RegKind::Dword, {}, nValue};
    WriteOrder.push_back(sName);
    return true;
}

bool FakeRegistry::CreateKey(RegRoot nRoot, const std::string& sPath)
{
    if (bFailWrites)
        return false;
    Keys[KeyName(nRoot, sPath)];
    return true;
}

bool FakeRegistry::DeleteKey(RegRoot nRoot, const std::string& sPath)
{
    return Keys.erase(KeyName(nRoot, sPath)) != 0;
}

bool FakeRegistry::DeleteValue(RegRoot nRoot, const std::string& sPath, const std::string& sName)
{
    const auto key = Keys.find(KeyName(nRoot, sPath));
    return key != Keys.end() && key->second.Values.erase(AsciiLower(sName)) != 0;
}

void FakeRegistry::Put(const std::string& sPath, const std::string& sName, const RegValue& value)
{
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
