// Two figures of the folder lists:
//  1. one answer whose notify block deletes 20,000 ids (half of them folders) from a list of 10,000 folders;
//  2. the notification filter on a 10,000-character name, against ten filters, some of them runaway patterns.
#include <chrono>
#include <cstdio>
#include <string>

#include "app/frmMain.h"
#include "platform/fake/Fakes.h"
#include "session/Folders.h"

namespace
{

using namespace qv;
using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point tStart)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - tStart).count();
}

std::string Envelope(const std::string& sHeader)
{
    return "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Header><context "
           "xmlns=\"urn:zimbra\"><session id=\"1842\">1842</session>" +
           sHeader +
           "<change token=\"4272\"/></context></soap:Header><soap:Body><BatchResponse xmlns=\"urn:zimbra\">"
           "<SearchResponse xmlns=\"urn:zimbraMail\"/></BatchResponse></soap:Body></soap:Envelope>";
}

void DeletedList()
{
    constexpr int nFolders = 10000, nIds = 20000, nRounds = 5;
    std::string sFolders;
    for (int i = 0; i < nFolders; ++i)
        sFolders += "<folder id=\"" + std::to_string(257 + i) + "\" name=\"Folder " + std::to_string(i) +
                    "\" l=\"1\" view=\"message\"/>";
    const std::string sRefresh = Envelope("<refresh><version>8.8.15_GA</version><folder id=\"1\" name=\"USER_ROOT\">" +
                                          sFolders + "</folder></refresh>");
    std::string sIds;
    for (int i = 0; i < nIds; ++i) // every folder, then as many message ids the lists never held
    {
        if (i > 0)
            sIds += ',';
        sIds += std::to_string(i < nFolders ? 257 + i : 900000 + i);
    }
    const std::string sDeletes = Envelope("<notify seq=\"2\"><deleted id=\"" + sIds + "\"/></notify>");

    double dTotalMs = 0;
    int nLeft = -1;
    for (int nRound = 0; nRound < nRounds; ++nRound)
    {
        fake::FakeMachine machine;
        frmMain form(machine.Bundle);
        form.Session.sAuthToken = "tok";
        form.Session.sSessionId = "1842";
        form.Session.sSessionElement = "session";
        (void)form.Reader.ProcessResponse(sRefresh);
        const auto tStart = Clock::now();
        (void)form.Reader.ProcessResponse(sDeletes);
        dTotalMs += MsSince(tStart);
        nLeft = 0;
        for (const auto& folder : form.Reader.Lists.Folders)
            nLeft += folder.has_value();
    }
    std::printf("deleted list: %d ids against %d folders: %.1f ms per answer (%d folders left)\n", nIds, nFolders,
                dTotalMs / nRounds, nLeft);
}

void LongNames()
{
    const char* filters[] = {
        "(a|b)*c|.*x", "(a+)+$",      "^(a|aa)*$", "(.*a){20}[0-9]", "(?:a|b)*?[yz]",
        "Spam",        "inbox|trash", "ΕΙΣ[α-ω]+", "[a-z]*[0-9]",    "^(\\w+\\s?)*$",
    };
    const std::pair<const char*, std::string> names[] = {
        {"10,000 letters a, then Inbox", std::string(9995, 'a') + "Inbox"},
        {"10,000 characters of words",
         [] {
             std::string s;
             while (s.size() < 10000)
                 s += "Projekt Übersicht 2024 ";
             return s.substr(0, 10000);
         }()},
        {"a usual name", "Inbox archive 2024"},
    };
    size_t nShown = 0;
    NameFilter filter([&](const std::string&) { ++nShown; });
    for (const auto& [sWhat, sName] : names)
    {
        for (const char* sFilter : filters) // compiled once, outside the timing
            (void)filter.RegexTest(sName, sFilter);
        constexpr int nRounds = 20;
        int nMatches = 0;
        const auto tStart = Clock::now();
        for (int i = 0; i < nRounds; ++i)
            for (const char* sFilter : filters)
                nMatches += filter.RegexTest(sName, sFilter);
        const double dUs = MsSince(tStart) * 1000 / nRounds;
        std::printf("filter, %s: %.0f us per name against %zu filters (%d matches per round)\n", sWhat, dUs,
                    std::size(filters), nMatches / nRounds);
    }
    std::printf("filter: %zu filters reported as too costly\n", nShown);
}

} // namespace

int main()
{
    DeletedList();
    LongNames();
    return 0;
}
