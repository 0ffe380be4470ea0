// How long one answer's notify blocks take to read when a server (or anyone in between) sends them nested or
// repeated by the thousand: the work must stay linear in the answer's size.
#include <chrono>
#include <cstdio>
#include <string>

#include "app/frmMain.h"
#include "platform/fake/Fakes.h"

namespace
{

using namespace qv;
using Clock = std::chrono::steady_clock;

std::string Envelope(const std::string& sNotify)
{
    return "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Header><context "
           "xmlns=\"urn:zimbra\"><session id=\"1842\">1842</session>" +
           sNotify +
           "</context></soap:Header><soap:Body><BatchResponse xmlns=\"urn:zimbra\"/></soap:Body></soap:Envelope>";
}

void Measure(const char* sWhat, const std::string& sAnswer)
{
    fake::FakeMachine machine;
    frmMain form(machine.Bundle);
    form.Session.sAuthToken = "tok";
    form.Session.sSessionId = "1842";
    form.Session.sSessionElement = "session";
    const auto tStart = Clock::now();
    const bool bRead = form.Reader.ProcessResponse(sAnswer);
    const double dMs = std::chrono::duration<double, std::milli>(Clock::now() - tStart).count();
    std::printf("%s: %.0f KB, read %s in %.1f ms, %lld unread, last seq %s\n", sWhat,
                static_cast<double>(sAnswer.size()) / 1024, bRead ? "fully" : "NOT", dMs,
                static_cast<long long>(form.Reader.nSinLeer), form.Session.sNotifySeq.c_str());
}

} // namespace

int main()
{
    constexpr int nBlocks = 16000;
    std::string sNested;
    for (int i = 0; i < nBlocks; ++i)
        sNested += "<notify seq=\"" + std::to_string(i) + "\">";
    for (int i = 0; i < nBlocks; ++i)
        sNested += "</notify>";
    Measure("16,000 nested notify blocks", Envelope(sNested));

    std::string sRepeated;
    const std::string sBlock = "<created><m id=\"713\" l=\"2\" f=\"u\"><e a=\"b@example.com\" t=\"f\"/><su>Hello</su>"
                               "</m></created><modified><folder id=\"2\" u=\"1\"/></modified>";
    for (int i = 0; i < nBlocks; ++i)
        sRepeated += "<notify seq=\"" + std::to_string(i) + "\">" + sBlock + "</notify>";
    Measure("16,000 repeated notify blocks", Envelope(sRepeated));

    std::string sDistinct;
    for (int i = 0; i < nBlocks; ++i)
        sDistinct += "<notify seq=\"" + std::to_string(i) + "\"><created><m id=\"" + std::to_string(i) +
                     "\" l=\"2\" f=\"u\"><e a=\"b@example.com\" t=\"f\"/><su>Hello</su></m></created></notify>";
    Measure("16,000 distinct notify blocks", Envelope(sDistinct));
    return 0;
}
