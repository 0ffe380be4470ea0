// Messages made by the program: a mail client's hand-off, and the draft or message an upload ends in.
#include "app/frmMain.h"

#include "platform/Dialogs.h"
#include "session/Envelope.h"

namespace qv
{

void frmMain::UploadAndCompose(const MapiMessage& message)
{
    if (Session.sAuthToken.empty())
    {
        // Nothing can be sent without a session: the settings are what the user needs.
        ShowSettingsWindow();
        P.Shell.ActivateMainWindow();
        return;
    }
    if (!message.Files.empty())
        return; // FIXME: the upload of files is not built yet; a message with files is dropped.
    HTTP_Completed({{}, message.sSubject, message.sFromAddress, message.sFromName, message.sToName, message.sBody});
}

void frmMain::HTTP_Completed(const DraftFields& job)
{
    if (bComposing)
        return; // the transport and message boxes let a second completion in
    bComposing = true;
    Cycle.SetBusy(false);
    Cycle.StopCheckTimer();

    const std::string sAnswer = Session.SendSoapRequest(SessionEnvelope(
        {Session.sAuthToken, Session.sSessionElement, Session.sSessionId, Session.sNotifySeq, Session.sChangeToken},
        true, DraftRequestBody(job, Reader.sComposeFormat)));
    if (!sAnswer.empty())
        (void)Reader.ProcessResponse(sAnswer);
    if (!Reader.sDraftId.empty())
    {
        Reader.sDraftId.clear();
        AbreZimbra({});
    }
    else if (!Session.sLastError.empty())
    {
        ShowMessage(Session.sLastError, nMbExclamation);
    }

    Cycle.SetBusy(true);
    bComposing = false;
    Cycle.StartCheckTimer(Reader.nMailPollingInterval);
}

} // namespace qv
