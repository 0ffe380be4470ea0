// The program's one window: the settings dialog and the owner of every long-lived field and object.
// Its logic is portable; platform/win32 turns window messages into calls of these methods.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "presentation/CNotify.h"
#include "presentation/Icontify.h"
#include "presentation/TrayEvents.h"
#include "session/Folders.h"
#include "session/XPath.h"

namespace qv
{

// What the settings window's controls hold. The settings live here while the program runs.
struct SettingsControls
{
    std::string txtZimbraHost;
    std::string txtUsuario;
    std::string txtPassword;
    bool bPasswordChanged = false; // the password box's changed-mark
    std::string txtFilters = "Spam";
    int16_t chkSSL = 0;
    int16_t chkGuardaPassword = 1;
    int16_t chkWebmailLogin = 1;
    int16_t chkVentana = 0;
    int16_t chkSonido = 0;
    bool mnuPopWinSetupAutoRun = true;
    bool mnuPopWinSetupMailtoHandler = false;
    bool optWhiteList = false;
    std::string lblMailPollInterval;
};

enum class SaveMode { Startup = 0, UserChange = 1, Shutdown = 2 };

// Only the host, with a port if any: no scheme, no path.
bool IsValidServerHost(const std::string& sHost);

class frmMain final : public INotifySink
{
public:
    explicit frmMain(Platform& platform);
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Every entry from the platform (a message, a timer tick, a menu command) runs inside Dispatch, so that a
    // shutdown asked for inside a modal loop waits until the running call has unwound.
    template <typename Fn>
    void Dispatch(Fn&& fn)
    {
        ++nEventDepth;
        fn();
        if (--nEventDepth == 0)
        {
            Released.clear(); // items let go of while their own events ran
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
    void Form_Activate();
    void cmdCerrar_Click();
    // The caption animation into the notification area, when the user's settings ask for animations.
    void AnimateWindow();
    void cmdAceptar_Click(Control nActive);
    void mnuPopConf_Click();
    void mnuPopComprobar_Click();

    // Settings store.
    void LoadSettings();
    void SaveSettings(SaveMode nMode);
    void CommitPassword();

    // Control events.
    void txtZimbraHost_Change(const std::string& sText);
    [[nodiscard]] bool txtZimbraHost_Validate(); // false keeps the focus in the box
    void txtUsuario_Change(const std::string& sText);
    void txtPassword_Change(const std::string& sText);

    // The program's message box: top-most, "Configure" disabled while it is up.
    int ShowMessage(const std::string& sText, int nStyle, const std::string& sTitle = {});

    // SOAP transport.
    [[nodiscard]] std::string SendSoapRequest(const std::string& sEnvelope);
    std::string SoapAddress() const;
    // Why the last request failed, as the user reads it: never an empty box.
    std::string LastErrorText() const;
    // Reads an answer; false when it is unreadable or a fault.
    [[nodiscard]] bool ProcessResponse(const std::string& sAnswer);

    // The main icon's events and the hand-off of a second copy.
    void OnTrayEvent(const TrayEvent& event);
    void CTrayIcon_OnMouseUp(int nButton);
    void CTrayIcon_OnDblClick(int nButton);
    void CTrayIcon_OnBalloonClick();

    // Appointment items: their icons' events, relayed with the item's position.
    void OnItemTrayEvent(int nTag, const TrayEvent& event);
    void objNotify_OnMouseUp(int nButton, int nSource) override;
    void objNotify_OnBalloonClick(int nSource) override;
    void objNotify_OnBalloonShow(int nSource) override;
    void objNotify_OnAbreZimbra(int nSource, const std::string& sCommandLine) override;
    void objNotify_OnUploadFile(int nSource, const std::string& sCommandLine) override;
    void objNotify_OnMapiMensaje(int nSource, const void* lpMapiMessage, uint32_t cbData) override;
    void objNotify_OnSettingsShowRequest(int nSource) override;
    // A new item in the next free position (positions never move); an item's removal waits until no event of
    // it runs any more.
    Icontify& AddCalItem();
    void ReleaseCalItem(int nTag);
    Icontify* CalItem(int nTag);
    void RemoveApptIcons();

    // Web mail.
    void AbreZimbra(const std::string& sTo);
    std::string WebmailAddress(const std::string& sTo) const;

    // Check cycle.
    [[nodiscard]] bool Comprobar(bool bPorTimer = false);
    void StartCheckTimer(int32_t nSeconds);
    void StopCheckTimer();
    void CheckTimerProc();
    void SetBusy(bool bFlag);

    SettingsControls Controls;
    AccountLists Lists;
    std::vector<std::unique_ptr<Icontify>> CalItems; // position 0 is never used

    // Session.
    std::string sServerHost;
    std::string sServerVersion;
    std::string sAuthToken;
    std::string sSessionElement = "sessionId";
    std::string sSessionId;
    std::string sNotifySeq;
    std::string sChangeToken;
    std::string sPassword;
    std::string sComposeFormat;
    bool bServerProbed = false;
    std::string sLastError;

    int32_t nMailPollingInterval = 0;
    int32_t nMailPollingShort = 10;
    int32_t nReminderMinutes = 0;
    int64_t dEpochLocal = 0; // local milliseconds of 1970-01-01 00:00 UTC
    bool bNewDay = false;
    std::optional<int64_t> dLastSuccess; // UTC milliseconds
    bool bCheckTimerActive = false;
    std::optional<int64_t> dUltimaApertura; // UTC milliseconds of the last opening of the web mail

    // What one answer announces.
    std::string sMensaje;
    int32_t nSinLeer = 0;
    std::string sReminders;

private:
    bool ProcessSession(const pugi::xml_node& root, bool& bDone);
    void ReadRefresh(const pugi::xml_node& root);
    void ReadNotifyBlocks(const pugi::xml_node& root);
    void ReadNewMessages(const pugi::xml_node& notify);
    void Announce();
    FilterRule Rule() const { return {Controls.txtFilters, Controls.optWhiteList}; }
    void ReadPreferences(const pugi::xml_node& root);
    void EndSession();
    void ResetStaleIcon();

    Platform& P;
    XPath Xp;
    CNotify objNotify{*this};
    std::vector<std::unique_ptr<Icontify>> Released;
    bool bLoaded = false;
    bool bUnloaded = false;
    bool bUnloadPending = false;
    int nEventDepth = 0;
    int nOpenMessages = 0;

    bool bBusy = false;
    std::string sLastCheckDate;
    std::string sSavedCaption;
    std::string sRequestSessionId; // the id the running request carried, to tell a replaced session
};

} // namespace qv
