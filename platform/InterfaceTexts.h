// The English texts of the settings window and the menus, set once at start-up.
#pragma once

namespace qv::Texts
{

inline constexpr const char* frmMain = "Quorvel";
inline constexpr const char* lblServer = "Server:";
inline constexpr const char* lblUsername = "User:";
inline constexpr const char* lblPassword = "Password:";
inline constexpr const char* txtZimbraHostTip =
    "IP address or name of the Zimbra server: for the web mail at https://mail.example.com/zimbra/ enter "
    "mail.example.com";
inline constexpr const char* lblTitleMailPollInterval = "Interval (sec):";
inline constexpr const char* lblMailPollIntervalTip = "Specified in Zimbra -> E-mail options";
inline constexpr const char* chkVentana = "Window";
inline constexpr const char* chkSonido = "Sound";
inline constexpr const char* chkSonidoTip = "Uses the sound file unread.wav located in this application folder";
inline constexpr const char* fraFilters = "Notification Rules for: (Folders|Tags|Calendars)";
inline constexpr const char* optBlackList = "OMIT...";
inline constexpr const char* optWhiteList = "NOTIFY...";
inline constexpr const char* lblTitleFilters = "...only if name contains:";
inline constexpr const char* txtFiltersTip =
    "Filter by name of folder, tag or calendar. Input many names separated by \"|\" .Use RegEx";
inline constexpr const char* chkSSL = "Use Safe Connection";
inline constexpr const char* chkSSLTip = "Check this if you will access from the Internet";
inline constexpr const char* chkGuardaPassword = "Save password";
inline constexpr const char* chkWebmailLogin = "Webmail Login";
inline constexpr const char* cmdAceptar = "&OK";
inline constexpr const char* cmdCerrar = "&Close";

inline constexpr const char* mnuPopComprobar = "Check Now";
inline constexpr const char* mnuPopConf = "Configure";
inline constexpr const char* mnuPopAbrirZimbra = "Open Zimbra";
inline constexpr const char* mnuPopWinSetup = "Windows integration";
inline constexpr const char* mnuPopWinSetupAutoRun = "Run at startup";
inline constexpr const char* mnuPopWinSetupMailtoHandler = "Set as default mail application";
inline constexpr const char* mnuPopSalir = "Exit";
inline constexpr const char* mnuPopAbout = "About Quorvel";

inline constexpr const char* mnuCalAbrirZimbra = "Open Zimbra";
inline constexpr const char* mnuCalEliminar = "Delete";
inline constexpr const char* mnuCalNotificar = "Notify this appointment";

inline constexpr const char* sDeleteQuestion = "Delete this appointment from the Zimbra Calendar ?";
inline constexpr const char* sSessionExpired = "Sesión expirada";
inline constexpr const char* sDeleteRunning = "Another appointment is being deleted. Try again when it is done.";
inline constexpr const char* sDeleteNotConfirmed = "The server did not confirm the deletion; the appointment stays.";

inline constexpr const char* sInvalidServerName = "Invalid server name";
inline constexpr const char* sEnterRequiredFields = "Enter required fields";
inline constexpr const char* sContactingServer = "Contacting server, please wait...";

} // namespace qv::Texts
