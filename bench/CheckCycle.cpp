// Two figures of the check cycle on fake machinery:
//  1. one answer with a refresh of 10,000 folders and 1,000 tags and notify blocks with 5,000 new messages;
//  2. a simulated week of checks 30 seconds apart against recorded answers, with memory at start and end.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/frmMain.h"
#include "platform/fake/Fakes.h"

namespace
{

using namespace qv;
using Clock = std::chrono::steady_clock;

long PeakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long CurrentKilobytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string sLine; std::getline(status, sLine);)
        if (sLine.rfind("VmRSS:", 0) == 0)
            return std::atol(sLine.c_str() + 6);
    return 0;
}

std::string Envelope(const std::string& sHeader, const std::string& sBody)
{
    return "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Header><context "
           "xmlns=\"urn:zimbra\"><session id=\"1842\">1842</session>" +
           sHeader + "<change token=\"4272\"/></context></soap:Header><soap:Body>" + sBody +
           "</soap:Body></soap:Envelope>";
}

std::string BigAnswer()
{
    std::string sTags = "<tags>", sFolders, sNotify = "<notify seq=\"1\"><created>";
    for (int i = 0; i < 1000; ++i)
        sTags += "<tag id=\"" + std::to_string(20000 + i) + "\" name=\"Tag " + std::to_string(i) + "\" u=\"" +
                 std::to_string(i % 3) + "\"/>";
    sTags += "</tags>";
    for (int i = 0; i < 10000; ++i)
        sFolders += "<folder id=\"" + std::to_string(257 + i) + "\" name=\"Folder " + std::to_string(i) +
                    "\" l=\"1\" u=\"" + std::to_string(i % 5) + "\" view=\"message\"/>";
    for (int i = 0; i < 5000; ++i)
        sNotify += "<m id=\"" + std::to_string(100000 + i) + "\" l=\"" + std::to_string(257 + (i * 7) % 10000) +
                   "\" t=\"" + std::to_string(20000 + i % 1000) + "\" f=\"u\"><e a=\"sender" + std::to_string(i) +
                   "@example.com\" p=\"Sender " + std::to_string(i) + "\" t=\"f\"/><su>Subject number " +
                   std::to_string(i) + "</su><fr>fragment</fr></m>";
    sNotify += "</created></notify>";
    return Envelope("<refresh><version>8.8.15_GA</version>" + sTags +
                        "<folder id=\"1\" name=\"USER_ROOT\"><folder id=\"2\" name=\"Inbox\" u=\"3\"/>" + sFolders +
                        "</folder></refresh>" + sNotify,
                    "<BatchResponse xmlns=\"urn:zimbra\"><SearchResponse xmlns=\"urn:zimbraMail\"/></BatchResponse>");
}

void OneBigAnswer()
{
    fake::FakeMachine machine;
    frmMain form(machine.Bundle);
    form.Session.sAuthToken = "tok";
    form.Session.sSessionId = "1842";
    form.Session.sSessionElement = "session";
    const std::string sAnswer = BigAnswer();
    const auto tStart = Clock::now();
    const bool bRead = form.Reader.ProcessResponse(sAnswer);
    const double dMs = std::chrono::duration<double, std::milli>(Clock::now() - tStart).count();
    std::printf("big answer: %.1f MB, read %s in %.0f ms; %lld unread announced; peak memory %.1f MB\n",
                static_cast<double>(sAnswer.size()) / (1 << 20), bRead ? "fully" : "NOT", dMs,
                static_cast<long long>(form.Reader.nSinLeer),
                PeakKilobytes() / 1024.0);
}

void WeekOfChecks()
{
    fake::FakeMachine machine;
    frmMain form(machine.Bundle);
    form.txtZimbraHost_Change("mail.example.com");
    form.txtUsuario_Change("alice");
    form.txtPassword_Change("secret");
    form.CommitPassword();
    const std::string sLogin = Envelope(
        "<refresh><version>8.8.15_GA</version><folder id=\"1\" name=\"USER_ROOT\"><folder id=\"2\" name=\"Inbox\" "
        "u=\"1\"/></folder></refresh>",
        "<AuthResponse xmlns=\"urn:zimbraAccount\"><authToken>0_ab</authToken><session id=\"1842\">1842</session>"
        "<prefs><pref name=\"zimbraPrefMailPollingInterval\">30s</pref></prefs></AuthResponse>");
    const std::string sQuiet =
        Envelope("", "<BatchResponse xmlns=\"urn:zimbra\"><SearchResponse xmlns=\"urn:zimbraMail\"/></BatchResponse>");
    int nSeq = 0;
    const auto MailAnswer = [&] {
        const std::string sSeq = std::to_string(++nSeq);
        return Envelope(
            "<notify seq=\"" + sSeq + "\"><created><m id=\"" + sSeq +
                "\" l=\"2\" f=\"u\"><e a=\"b@example.com\" t=\"f\"/><su>Hello " + sSeq + "</su></m></created></notify>",
            "<BatchResponse xmlns=\"urn:zimbra\"><SearchResponse xmlns=\"urn:zimbraMail\"/></BatchResponse>");
    };
    machine.Soap.Replies.push_back(fake::FakeSoapTransport::Ok({}));
    machine.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(sLogin));
    form.Cycle.CheckTimerProc();

    constexpr int nChecks = 7 * 24 * 120; // a week, every 30 seconds
    long nStartKb = 0;
    const auto tStart = Clock::now();
    for (int i = 0; i < nChecks; ++i)
    {
        machine.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(i % 50 == 0 ? MailAnswer() : sQuiet));
        machine.Clock.Advance(machine.Timers.Armed.at(TimerId::Check));
        form.Cycle.CheckTimerProc();
        if (i == 100)
        {
            machine.Soap.Requests.clear(); // the fake's own record is not the program's memory
            machine.Tray.Log.clear();
            nStartKb = CurrentKilobytes();
        }
        if (i % 1000 == 0)
        {
            machine.Soap.Requests.clear();
            machine.Tray.Log.clear();
        }
    }
    const double dSeconds = std::chrono::duration<double>(Clock::now() - tStart).count();
    std::printf("week of checks: %d checks in %.2f s (%.0f us each); resident memory %.1f MB after 100 checks, "
                "%.1f MB at the end; next check in %lld s\n",
                nChecks, dSeconds, dSeconds * 1e6 / nChecks, nStartKb / 1024.0, CurrentKilobytes() / 1024.0,
                static_cast<long long>(machine.Timers.Armed.at(TimerId::Check) / 1000));
}

} // namespace

int main()
{
    OneBigAnswer();
    WeekOfChecks();
    return 0;
}
