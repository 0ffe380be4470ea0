// The program's owner: it wires the parts together and keeps the event handlers' names as thin entries. Every
// entry from the platform (a message, a timer tick, a menu command) runs inside Dispatch.
#pragma once

#include <deque>
#include <optional>
#include <string>

#include "app/CommandLine.h"
#include "platform/Platform.h"
#include "presentation/ApptItems.h"
#include "presentation/CNotify.h"
#include "presentation/MainIcon.h"
#include "session/AnswerReader.h"
#include "session/Cancellation.h"
#include "session/CheckCycle.h"
#include "session/Draft.h"
#include "session/ServerSession.h"
#include "sending/CHTTP.h"
#include "sending/MapiText.h"
#include "sending/Upload.h"
#include "settings/SettingsForm.h"
#include "webmail/Webmail.h"

namespace qv
{

class frmMain final : public ISettingsEvents, public ITrayEvents, public ITimerEvents, public INotifySink
{
public:
    explicit frmMain(Platform& platform);
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // A shutdown asked for inside a modal loop waits until the running call has unwound; items let go of inside
    // their own events live until then too.
    template <typename Fn>
    void Dispatch(Fn&& fn)
    {
        ++nEventDepth;
        fn();
        if (--nEventDepth == 0)
        {
            Items.ReleasePending();
            if (bUnloadPending)
                Form_Unload();
        }
    }

    // Start-up from the settings on; the single-instance test and the hand-off ran before (WinMain).
    void Form_Load();
    // "Exit": shutdown now, or as soon as the running call has unwound.
    void RequestUnload();
    // Shutdown; runs once, also when Windows ends the session in the middle of something.
    void Form_Unload();
    bool IsUnloaded() const { return bUnloaded; }

    void ShowSettingsWindow();
    void HideSettingsWindow();
    void LoadSettings();
    // The program's message box: top-most, "Configure" disabled while it is up.
    int ShowMessage(const std::string& sText, int nStyle, const std::string& sTitle = {});
    // The caption animation into the notification area, when the user's settings ask for animations.
    void AnimateWindow();
    void AbreZimbra(const std::string& sTo);
    PopupMenu TrayMenu();

    // The settings window's events.
    void txtZimbraHost_Change(const std::string& sText) override;
    [[nodiscard]] bool txtZimbraHost_Validate() override;
    void txtUsuario_Change(const std::string& sText) override;
    void txtPassword_Change(const std::string& sText) override;
    void txtPassword_LostFocus() override { CommitPassword(); }
    void txtFilters_Change(const std::string& sText) override;
    void CheckBox_Click(CheckBox nBox, bool bChecked) override;
    void cmdAceptar_Click(Control nActive) override;
    void cmdCerrar_Click() override;
    void Form_Activate() override;
    void OnEndSession() override { Form_Unload(); }
    void CommitPassword();

    // The icons' events and the tray menu.
    void OnTrayEvent(const TrayEvent& event) override;
    void OnItemTrayEvent(int nTag, const TrayEvent& event) override;
    void OnMenuCommand(MenuCommand nCommand) override;
    void OnTimer(TimerId nId) override;
    void CTrayIcon_OnMouseUp(int nButton);
    void CTrayIcon_OnDblClick(int nButton);
    void CTrayIcon_OnBalloonClick();
    void mnuPopConf_Click();
    void mnuPopComprobar_Click();
    void mnuPopAbout_Click();
    // The calendar menu of the item at that position, and what its entries do.
    void OpenCalendarMenu(int nTag);
    void ActOnStartRequest();
    void CancelAppointment();
    void mnuCalNotificar_Click();
    // A message to send or save as a draft: without a session the settings come up; files are uploaded first.
    // One job at a time: a job handed over while another runs (the packer's wait lets messages in) waits.
    void UploadAndCompose(const MapiMessage& message);
    void UploadAndCompose(const UploadJob& job);
    void HTTP_CodErrorSubida(int32_t Number, const std::string& Description);
    void HTTP_ErrorDeSubida(const std::string& sChunk);
    // The job's fields become a draft the web mail opens, or a message sent at once.
    void HTTP_Completed(const DraftFields& job);

    // Appointment items' events, relayed with the item's position.
    void objNotify_OnMouseUp(int nButton, int nSource) override;
    void objNotify_OnBalloonClick(int nSource) override;
    void objNotify_OnBalloonShow(int nSource) override;
    void objNotify_OnAbreZimbra(int nSource, const std::string& sCommandLine) override;
    void objNotify_OnUploadFile(int nSource, const std::string& sCommandLine) override;
    void objNotify_OnMapiMensaje(int nSource, const void* lpMapiMessage, uint32_t cbData) override;
    void objNotify_OnSettingsShowRequest(int nSource) override;
    void ReleaseCalItem(int nTag);

    SettingsForm Settings;
    MainIcon Icon;
    ServerSession Session;
    ApptItems Items; // before the reader, which keeps the appointments in it
    AnswerReader Reader;
    CheckCycle Cycle;
    Cancellation Cancel;
    // What the program was started with, and what was handed over before the first login: taken up, in order,
    // once a check has succeeded.
    std::deque<HandOffRequest> StartRequests;
    void KeepForFirstLogin(HandOffRequest request);
    Webmail Web;
    CHTTP HTTP;
    Uploader Upload;

private:
    WebmailAccount Account() const;

    Platform& P;
    CNotify objNotify{*this};
    bool bLoaded = false;
    bool bUnloaded = false;
    bool bUnloadPending = false;
    int nEventDepth = 0;
    int nOpenMessages = 0;
    int iCalItemActual = -1; // the item whose calendar menu was opened last
    std::deque<UploadJob> Jobs;
    bool bUploading = false;
};

} // namespace qv
