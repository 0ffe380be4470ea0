// Starts tests/fakezimbra on 127.0.0.1 for one test, reads the requests it recorded, and stops it by its id.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace qv::test
{

struct RecordedRequest
{
    std::string sMethod;
    std::string sPath;
    std::string sHost; // the Host header
    std::string sBody; // exact bytes
    std::vector<std::pair<std::string, std::string>> Headers; // in received order
    size_t nBodyLength = 0;  // of a large body, which the log keeps as its length and digest
    std::string sBodySha256; // lower-case hex
};

class FakeServer
{
public:
    // sScenario: a shipped scenario's name ("new_mail"), a scenario's own JSON text, or empty for the plain
    // emulation.
    explicit FakeServer(const std::string& sScenario = {}, const std::vector<std::string>& extraArgs = {});
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    bool IsRunning() const { return nPort != 0; }
    int Port() const { return nPort; }
    std::string HostAndPort() const { return "127.0.0.1:" + std::to_string(nPort); }
    std::vector<RecordedRequest> Requests() const;
    // Talks to the control endpoint: "deliver", "reset", "drop_sessions"...
    bool Control(const std::string& sAction, const std::string& sJson = "{}") const;
    // The mailbox as GET /control/state gives it (JSON text); empty when the server does not answer.
    std::string State() const;
    void Stop();

private:
    std::string sFolder;
    int nPid = 0;
    int nPort = 0;
};

} // namespace qv::test
