// Mutated answers through the one reader of every answer: no crash, no hang, bounded memory.
#include <cstdint>
#include <string>

#include "app/frmMain.h"
#include "platform/fake/Fakes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    qv::fake::FakeMachine machine;
    qv::frmMain form(machine.Bundle);
    form.Session.sAuthToken = "tok";
    form.Session.sSessionId = "1842";
    form.Session.sSessionElement = "session";
    form.Settings.Controls.chkSonido = 1;
    form.Settings.Controls.chkVentana = 1;
    // The first byte picks the rule, so that both lists and odd patterns are explored too.
    if (nSize > 0)
    {
        form.Settings.Controls.optWhiteList = (pData[0] & 1) != 0;
        form.Settings.Controls.txtFilters = (pData[0] & 2) ? "Inbox|[ΕΙΣ]+" : "Spam";
    }
    const std::string sAnswer(reinterpret_cast<const char*>(pData), nSize);
    (void)form.Reader.ProcessResponse(sAnswer);
    (void)form.Reader.ProcessResponse(sAnswer); // a second answer meets the lists the first one filled
    return 0;
}
