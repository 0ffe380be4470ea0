// Opening the account's web mail, logged in through the server's pre-authentication redirect when the user
// asked for it.
#include "app/frmMain.h"
#include "platform/Text.h"

namespace qv
{

namespace
{

// Exactly these nine characters, '%' first so that the escapes made later are not escaped again.
std::string EncodeRecipient(std::string sTo)
{
    const std::pair<const char*, const char*> replacements[] = {
        {"%", "%25"}, {"#", "%23"}, {"?", "%3F"},  {"&", "%26"}, {" ", "%20"},
        {"/", "%2F"}, {":", "%3A"}, {"\\", "%5C"}, {"+", "%2B"},
    };
    for (const auto& [sFrom, sTo2] : replacements)
        sTo = ReplaceAll(std::move(sTo), sFrom, sTo2);
    return sTo;
}

constexpr int64_t nDoubleOpenMs = 3000;

} // namespace

std::string frmMain::WebmailAddress(const std::string& sTo) const
{
    const std::string sScheme = Controls.chkSSL == 1 ? "https://" : "http://";
    const bool bLogin = Controls.chkWebmailLogin == 1;
    std::string sPath;
    if (bLogin && sServerVersion.substr(0, 13) == "7.1.4_GA_2555")
        sPath = "/service/preauth?isredirect=1&authtoken=" + sAuthToken + "&redirectURL=/zimbra/mail";
    else if (bLogin)
        sPath = "/service/preauth?isredirect=1&authtoken=" + sAuthToken + "&redirectURL=" + sScheme +
                Controls.txtZimbraHost + "/zimbra/mail";
    else
        sPath = "/zimbra/mail";
    std::string sAddress = sScheme + Controls.txtZimbraHost + sPath;
    if (!sTo.empty())
        sAddress += bLogin ? "%3Fview=compose%26to=" + EncodeRecipient(sTo) : "?view=compose&to=" + sTo;
    return sAddress;
}

void frmMain::AbreZimbra(const std::string& sTo)
{
    if (sAuthToken.empty())
    {
        // Not logged in: the settings are what the user needs.
        ShowSettingsWindow();
        P.Shell.ActivateMainWindow();
        return;
    }
    const int64_t nNow = P.Clock.NowUtcMs();
    if (dUltimaApertura && (nNow - *dUltimaApertura) / 1000 < nDoubleOpenMs / 1000)
        return; // a double click's second opening
    const std::string sAddress = WebmailAddress(sTo);
    dUltimaApertura = nNow;
    P.Shell.OpenUrl(sAddress);
}

} // namespace qv
