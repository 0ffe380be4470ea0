// A scripted network for the HTTP client's tests: names that resolve, a connection that fails or plays an answer
// in pieces, and a TLS stack that answers once; everything sent is recorded.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <vector>

#include "platform/Files.h"
#include "platform/Sockets.h"

namespace qv::fake
{

class FakeSockets final : public ISockets
{
public:
    std::map<std::string, std::string> Names; // host name -> dotted address
    SocketError nConnectError = SocketError::None;
    std::deque<std::string> Answer;               // one receive each, then the end of the stream
    SocketError nAfterAnswer = SocketError::None; // or a failure instead of the end
    std::string sSent;                            // every byte of every connection
    std::string sConnectedTo;                     // "address:port" of the last connection

    std::string LookupIPv4(const std::string& sHost) override
    {
        const auto it = Names.find(sHost);
        return it == Names.end() ? std::string() : it->second;
    }

    std::unique_ptr<IConnection> Connect(const std::string& sAddress, uint16_t nPort, const SocketTimeouts&,
                                         SocketResult& failure) override
    {
        if (nConnectError != SocketError::None)
        {
            failure = {nConnectError, 1, 0};
            return nullptr;
        }
        sConnectedTo = sAddress + ":" + std::to_string(nPort);
        return std::make_unique<Connection>(*this);
    }

private:
    class Connection final : public IConnection
    {
    public:
        explicit Connection(FakeSockets& owner) : Owner(owner) {}
        SocketResult SendAll(std::string_view sData) override
        {
            Owner.sSent.append(sData);
            return {};
        }
        SocketResult Receive(char* pBuffer, size_t nMax) override
        {
            if (Owner.Answer.empty())
                return {Owner.nAfterAnswer, 0, 0};
            std::string& sPiece = Owner.Answer.front();
            const size_t nCount = std::min(nMax, sPiece.size());
            std::memcpy(pBuffer, sPiece.data(), nCount);
            sPiece.erase(0, nCount);
            if (sPiece.empty())
                Owner.Answer.pop_front();
            return {SocketError::None, 0, nCount};
        }

    private:
        FakeSockets& Owner;
    };
};

class FakeTls final : public ITlsHttp
{
public:
    TlsAnswer Reply;
    TlsRequest Last; // without its body reader
    std::string sBody;

    TlsAnswer Exchange(const TlsRequest& request, const SocketTimeouts&) override
    {
        Last = request;
        Last.fnReadBody = nullptr;
        char buffer[7]; // small pieces, as a stack may ask for
        for (long long n; (n = request.fnReadBody(buffer, sizeof buffer)) > 0;)
            sBody.append(buffer, static_cast<size_t>(n));
        return Reply;
    }
};

// Files held in memory; a test may change one between taking its size and reading it.
class FakeFiles final : public IFiles
{
public:
    std::map<std::string, std::string> Contents;
    std::vector<std::string> Entries; // the environment
    std::vector<std::string> Folders;
    std::vector<std::string> Locked;           // exist, and cannot be opened
    std::map<std::string, uint64_t> BigSizes; // a size without the bytes behind it

    std::optional<uint64_t> Size(const std::string& sPath) override
    {
        if (const auto big = BigSizes.find(sPath); big != BigSizes.end())
            return big->second;
        const auto it = Contents.find(sPath);
        return it == Contents.end() ? std::nullopt : std::optional<uint64_t>(it->second.size());
    }
    bool IsFolder(const std::string& sPath) override
    {
        return std::find(Folders.begin(), Folders.end(), sPath) != Folders.end();
    }
    std::unique_ptr<IFileReader> OpenRead(const std::string& sPath) override
    {
        const auto it = Contents.find(sPath);
        if (std::find(Locked.begin(), Locked.end(), sPath) != Locked.end())
            return nullptr;
        return it == Contents.end() ? nullptr : std::make_unique<Reader>(it->second);
    }
    bool Delete(const std::string& sPath) override { return Contents.erase(sPath) > 0; }
    std::string TempFolder() override { return "C:\\Temp"; }
    std::vector<std::string> Environment() override { return Entries; }

private:
    class Reader final : public IFileReader
    {
    public:
        explicit Reader(std::string sData) : sContent(std::move(sData)) {}
        long long Read(char* pBuffer, size_t nMax) override
        {
            const size_t nCount = std::min(nMax, sContent.size() - nAt);
            std::memcpy(pBuffer, sContent.data() + nAt, nCount);
            nAt += nCount;
            return static_cast<long long>(nCount);
        }

    private:
        std::string sContent;
        size_t nAt = 0;
    };
};

} // namespace qv::fake
