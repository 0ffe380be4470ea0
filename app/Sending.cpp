// Messages made by the program: a mail client's hand-off, and the draft or message an upload ends in.
#include "app/frmMain.h"

#include "platform/Dialogs.h"
#include "session/Envelope.h"

namespace qv
{

void frmMain::UploadAndCompose(const MapiMessage& message)
{
    std::vector<std::string> paths, names;
    for (const MapiFile& file : message.Files)
    {
        paths.push_back(file.sPath);
        names.push_back(file.sName);
    }
    UploadAndCompose(UploadJob{QuotedList(paths), QuotedList(names), message.sSubject, message.sFromAddress,
                               message.sFromName, message.sToName, message.sBody});
}

void frmMain::UploadAndCompose(const UploadJob& job)
{
    if (Session.sAuthToken.empty())
    {
        // Nothing can be sent without a session: the settings are what the user needs.
        ShowSettingsWindow();
        P.Shell.ActivateMainWindow();
        return;
    }
    Jobs.push_back(job);
    if (bUploading)
        return; // the running job's loop below takes it up when it ends
    bUploading = true;
    while (!Jobs.empty() && !bUnloadPending && !bUnloaded)
    {
        const UploadJob next = std::move(Jobs.front());
        Jobs.pop_front();
        if (Session.sAuthToken.empty())
            continue; // the session ended while an earlier job ran
        const std::string sUrl = std::string(Settings.Controls.chkSSL == 1 ? "https://" : "http://") +
                                 Session.sServerHost + "/service/upload?fmt=raw";
        const UploadOutcome outcome = Upload.Upload(next, sUrl, Session.sServerHost, Session.sAuthToken);
        switch (outcome.nKind)
        {
        case UploadOutcome::Kind::Completed:
            HTTP_Completed(
                {outcome.sAttachId, outcome.sSubject, next.sFromAddress, next.sFromName, next.sToName, next.sBody});
            break;
        case UploadOutcome::Kind::CodError: HTTP_CodErrorSubida(outcome.nNumber, outcome.sText); break;
        case UploadOutcome::Kind::ErrorChunk: HTTP_ErrorDeSubida(outcome.sText); break;
        case UploadOutcome::Kind::Silent: break; // the client's own message has told the user
        }
    }
    bUploading = false;
}

void frmMain::HTTP_CodErrorSubida(int32_t Number, const std::string& Description)
{
    ShowMessage("Upload error #" + std::to_string(Number) + ": " + Description + "\r\n1415", nMbInformation);
}

void frmMain::HTTP_ErrorDeSubida(const std::string& sChunk)
{
    ShowMessage("Upload error:" + sChunk, nMbInformation);
}

void frmMain::HTTP_Completed(const DraftFields& job)
{
    // Reached from the job loop only, one job at a time: a hand-off while this runs waits in the queue.
    Cycle.SetBusy(false);
    Cycle.StopCheckTimer();

    const std::string sAnswer =
        Session.SendSoapRequest(SessionEnvelope(Session.Header(), true, DraftRequestBody(job, Reader.sComposeFormat)));
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
    Cycle.StartCheckTimer(Reader.nMailPollingInterval);
}

} // namespace qv
