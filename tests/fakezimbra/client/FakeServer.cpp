#include "FakeServer.h"

#include <curl/curl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

extern char** environ;

namespace qv::test
{

namespace
{

std::string ReadFile(const std::string& sPath)
{
    std::ifstream file(sPath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string Base64Decode(const std::string& sIn)
{
    static const std::string sAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string sOut;
    int nBits = 0;
    uint32_t nValue = 0;
    for (const char c : sIn)
    {
        const size_t nAt = sAlphabet.find(c);
        if (nAt == std::string::npos)
            continue; // padding
        nValue = (nValue << 6) | static_cast<uint32_t>(nAt);
        nBits += 6;
        if (nBits >= 8)
        {
            nBits -= 8;
            sOut += static_cast<char>((nValue >> nBits) & 0xFF);
        }
    }
    return sOut;
}

// The log's JSON strings that matter here hold no escapes but \" and \\ (methods, paths, host names).
std::string Field(const std::string& sLine, const std::string& sName)
{
    const std::regex pattern("\"" + sName + "\": \"((?:[^\"\\\\]|\\\\.)*)\"");
    std::smatch match;
    return std::regex_search(sLine, match, pattern) ? match[1].str() : std::string();
}

std::string HostHeader(const std::string& sLine)
{
    const std::regex pattern("\\[\"[Hh]ost\", \"([^\"]*)\"\\]");
    std::smatch match;
    return std::regex_search(sLine, match, pattern) ? match[1].str() : std::string();
}

// The log's header pairs; their texts hold no escapes but \" and \\.
std::vector<std::pair<std::string, std::string>> Headers(const std::string& sLine)
{
    const size_t nStart = sLine.find("\"headers\": [");
    const size_t nEnd = sLine.find("]]", nStart);
    if (nStart == std::string::npos || nEnd == std::string::npos)
        return {};
    const std::string sList = sLine.substr(nStart, nEnd + 2 - nStart);
    const std::regex pair("\\[\"((?:[^\"\\\\]|\\\\.)*)\", \"((?:[^\"\\\\]|\\\\.)*)\"\\]");
    std::vector<std::pair<std::string, std::string>> headers;
    for (auto it = std::sregex_iterator(sList.begin(), sList.end(), pair); it != std::sregex_iterator(); ++it)
        headers.emplace_back((*it)[1].str(), (*it)[2].str());
    return headers;
}

} // namespace

FakeServer::FakeServer(const std::string& sScenario, const std::vector<std::string>& extraArgs)
{
    char sTemplate[] = "/tmp/quorvel-fake-XXXXXX";
    if (!mkdtemp(sTemplate))
        return;
    sFolder = sTemplate;
    std::vector<std::string> args = {QUORVEL_PYTHON, std::string(FAKEZIMBRA_DIR) + "/server.py",
                                     "--port-file",  sFolder + "/port",
                                     "--log",        sFolder + "/log.jsonl",
                                     "--lifetime",   "120"};
    if (!sScenario.empty() && sScenario.front() == '{')
    {
        std::ofstream(sFolder + "/scenario.json") << sScenario;
        args.push_back("--scenario");
        args.push_back(sFolder + "/scenario.json");
    }
    else if (!sScenario.empty())
    {
        args.push_back("--scenario");
        args.push_back(std::string(FAKEZIMBRA_DIR) + "/scenarios/" + sScenario + ".json");
    }
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    for (std::string& sArg : args)
        argv.push_back(sArg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return;
    nPid = pid;
    // The server writes its port once it listens; give it a bounded time.
    for (int i = 0; i < 200 && nPort == 0; ++i)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const std::string sPort = ReadFile(sFolder + "/port");
        if (!sPort.empty() && sPort.back() == '\n')
            nPort = std::atoi(sPort.c_str());
    }
}

FakeServer::~FakeServer()
{
    Stop();
    if (!sFolder.empty())
    {
        std::remove((sFolder + "/port").c_str());
        std::remove((sFolder + "/log.jsonl").c_str());
        std::remove((sFolder + "/scenario.json").c_str());
        rmdir(sFolder.c_str());
    }
}

void FakeServer::Stop()
{
    if (nPid == 0)
        return;
    kill(nPid, SIGTERM);
    int nStatus = 0;
    for (int i = 0; i < 100; ++i)
    {
        if (waitpid(nPid, &nStatus, WNOHANG) == nPid)
        {
            nPid = 0;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(nPid, SIGKILL);
    waitpid(nPid, &nStatus, 0);
    nPid = 0;
}

std::vector<RecordedRequest> FakeServer::Requests() const
{
    std::vector<RecordedRequest> requests;
    std::istringstream log(ReadFile(sFolder + "/log.jsonl"));
    for (std::string sLine; std::getline(log, sLine);)
    {
        RecordedRequest request{Field(sLine, "method"), Field(sLine, "path"), HostHeader(sLine),
                                Base64Decode(Field(sLine, "body_b64")), Headers(sLine), 0, Field(sLine, "body_sha256")};
        std::smatch length;
        if (std::regex_search(sLine, length, std::regex("\"body_len\": ([0-9]+)")))
            request.nBodyLength = std::stoull(length[1].str());
        requests.push_back(std::move(request));
    }
    return requests;
}

bool FakeServer::Control(const std::string& sAction, const std::string& sJson) const
{
    CURL* pCurl = curl_easy_init();
    if (!pCurl)
        return false;
    const std::string sUrl = "http://" + HostAndPort() + "/control/" + sAction;
    curl_easy_setopt(pCurl, CURLOPT_URL, sUrl.c_str());
    curl_easy_setopt(pCurl, CURLOPT_POSTFIELDS, sJson.c_str());
    curl_easy_setopt(pCurl, CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(pCurl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(
        pCurl, CURLOPT_WRITEFUNCTION, +[](char*, size_t n, size_t m, void*) { return n * m; });
    const bool bOk = curl_easy_perform(pCurl) == CURLE_OK;
    curl_easy_cleanup(pCurl);
    return bOk;
}

std::string FakeServer::State() const
{
    std::string sAnswer;
    CURL* pCurl = curl_easy_init();
    if (!pCurl)
        return sAnswer;
    const std::string sUrl = "http://" + HostAndPort() + "/control/state";
    curl_easy_setopt(pCurl, CURLOPT_URL, sUrl.c_str());
    curl_easy_setopt(pCurl, CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(pCurl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(pCurl, CURLOPT_WRITEDATA, &sAnswer);
    curl_easy_setopt(
        pCurl, CURLOPT_WRITEFUNCTION, +[](char* p, size_t n, size_t m, void* pOut) {
            static_cast<std::string*>(pOut)->append(p, n * m);
            return n * m;
        });
    if (curl_easy_perform(pCurl) != CURLE_OK)
        sAnswer.clear();
    curl_easy_cleanup(pCurl);
    return sAnswer;
}

} // namespace qv::test
