// One check's appointment pass over a busy week: 2,000 instances in two pages of 1,000, with one reminder due on
// the last page. Printed beside the time pugixml alone takes to parse the same pages, the process's peak memory
// and the tray icons in use, which must stay the number of items due or running.
#include <chrono>
#include <cstdio>
#include <string>

#include <pugixml.hpp>

#include "app/frmMain.h"
#include "platform/fake/Fakes.h"
#include "PeakMemory.h"

namespace
{

using namespace qv;
using Clock = std::chrono::steady_clock;
constexpr int64_t nNow = 1767225600000; // the fake clock's start
constexpr int64_t nMinute = 60000;

std::string Page(int nFirst, int nCount, bool bMore, const std::string& sExtra)
{
    std::string sAppts;
    for (int i = nFirst; i < nFirst + nCount; ++i)
        sAppts += "<appt id=\"" + std::to_string(1000 + i) + "\" invId=\"" + std::to_string(1000 + i) +
                  "-1\" name=\"Meeting " + std::to_string(i) + "\" l=\"10\" t=\"\" d=\"1709300000000\" dur=\"1800000\" "
                  "status=\"CONF\" isOrg=\"1\" compNum=\"0\" fb=\"B\" fba=\"B\" transp=\"O\" ptst=\"AC\"><inst s=\"" +
                  std::to_string(nNow + (60 + 4 * i) * nMinute) +
                  "\"/><alarmData><alarm action=\"DISPLAY\"><trigger><rel neg=\"1\" m=\"15\" related=\"START\"/>"
                  "</trigger></alarm></alarmData></appt>";
    return "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Header><context "
           "xmlns=\"urn:zimbra\"><session id=\"1842\">1842</session><change token=\"4272\"/></context></soap:Header>"
           "<soap:Body><BatchResponse xmlns=\"urn:zimbra\"><SearchResponse sortBy=\"dateAsc\" offset=\"" +
           std::to_string(nFirst) + "\" more=\"" + (bMore ? "1" : "0") + "\" xmlns=\"urn:zimbraMail\">" + sAppts +
           sExtra + "</SearchResponse></BatchResponse></soap:Body></soap:Envelope>";
}

} // namespace

int main()
{
    const std::string sDue = "<appt id=\"9\" invId=\"9-1\" name=\"Board\" l=\"10\" dur=\"3600000\"><inst s=\"" +
                             std::to_string(nNow + 6 * 1440 * nMinute) +
                             "\"/><alarmData><alarm><trigger><rel neg=\"1\" d=\"7\"/></trigger></alarm></alarmData>"
                             "</appt>";
    const std::string sFirst = Page(0, 1000, true, {}), sSecond = Page(1000, 1000, false, sDue);

    const auto tParse = Clock::now();
    for (const std::string* pPage : {&sFirst, &sSecond})
    {
        pugi::xml_document doc;
        (void)doc.load_buffer(pPage->data(), pPage->size());
    }
    const double dParseMs = std::chrono::duration<double, std::milli>(Clock::now() - tParse).count();

    const long nPeakBefore = PeakKilobytes();
    fake::FakeMachine machine;
    frmMain form(machine.Bundle);
    form.Settings.Controls.txtZimbraHost = "mail.example.com";
    form.Session.ServerChanged("mail.example.com"); // first: a new server forgets the session
    form.Session.sAuthToken = "tok";
    form.Session.sSessionId = "1842";
    form.Session.sSessionElement = "session";
    form.Session.sServerVersion = "8.8.15_GA";
    form.Session.bServerProbed = true;
    machine.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(sFirst));
    machine.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(sSecond));
    const auto tCheck = Clock::now();
    const bool bRead = form.Cycle.Comprobar();
    const double dCheckMs = std::chrono::duration<double, std::milli>(Clock::now() - tCheck).count();

    std::printf("2,000 appointment instances in two pages (%.0f KB): check read %s in %.1f ms, %zu requests;"
                " pugixml parse alone %.1f ms\n",
                static_cast<double>(sFirst.size() + sSecond.size()) / 1024, bRead ? "fully" : "NOT", dCheckMs,
                machine.Soap.Requests.size(), dParseMs);
    std::printf("peak memory %ld KB (+%ld KB for the check), tray icons in use %d (items due or running: 1)\n",
                PeakKilobytes(), PeakKilobytes() - nPeakBefore, form.Items.IconsInUse());
    return 0;
}
