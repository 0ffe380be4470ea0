// One SOAP exchange with the configured server: probe, POST, and the classification of the answer.
#include "app/frmMain.h"
#include "platform/Text.h"
#include "session/Transport.h"

namespace qv
{

std::string ErrorTemplate(const std::string& sUrl, const std::string& sError)
{
    std::string sText = "Request to %URL\r\nproduced the following error\r\n%ERROR\r\n"
                        "Try checking or unchecking 'Use Safe Connection'";
    sText = ReplaceAll(sText, "%URL", sUrl);
    return ReplaceAll(sText, "%ERROR", sError);
}

std::string TransportErrorText(const std::string& sUrl, const HttpReply& reply)
{
    switch (reply.nError)
    {
    case TransportError::NameNotResolved:
    case TransportError::CannotConnect:
    case TransportError::TimedOut: return ErrorTemplate(sUrl, reply.sDescription);
    case TransportError::CertificateRejected: return reply.sDescription;
    default: return "Error " + std::to_string(reply.nSystemCode) + ": " + reply.sDescription + "\r\n" + reply.sSource;
    }
}

bool IsRejectedLogin(std::string_view sAnswer)
{
    // Only a fault speaks of the login: a new message's subject may hold the same word, and anyone can send one.
    // Markup cannot appear inside the server's texts (they are escaped), so the fault's bounds are found as text.
    for (size_t nAt = sAnswer.find("<soap:Fault"); nAt != std::string_view::npos;
         nAt = sAnswer.find("<soap:Fault", nAt + 1))
    {
        const char cNext = nAt + 11 < sAnswer.size() ? sAnswer[nAt + 11] : '\0';
        if (cNext != '>' && cNext != ' ' && cNext != '/')
            continue;
        const size_t nEnd = sAnswer.find("</soap:Fault>", nAt);
        const std::string_view sFault = sAnswer.substr(nAt, nEnd == std::string_view::npos ? nEnd : nEnd - nAt);
        if (sFault.find("AUTH_FAILED") != std::string_view::npos)
            return true;
    }
    return false;
}

std::string frmMain::SoapAddress() const
{
    return std::string(Controls.chkSSL == 1 ? "https://" : "http://") + sServerHost + "/service/soap";
}

std::string frmMain::SendSoapRequest(const std::string& sEnvelope)
{
    sLastError.clear();
    if (!IsValidServerHost(sServerHost))
    {
        // A stored value edited by hand: say so rather than send to a wrong address.
        sLastError = "Invalid server name: " + sServerHost;
        return {};
    }
    const std::string sUrl = SoapAddress();

    if (!bServerProbed)
    {
        const HttpReply probe = P.Soap.Send("OPTIONS", sUrl, sServerHost, {});
        if (probe.nError != TransportError::None)
        {
            sLastError = TransportErrorText(sUrl, probe);
            return {};
        }
        if (probe.nStatus != 200)
        {
            sLastError = ErrorTemplate(sUrl, probe.sStatusText);
            bServerProbed = false;
            return {};
        }
        bServerProbed = true;
    }

    HttpReply reply = P.Soap.Send("POST", sUrl, sServerHost, sEnvelope);
    if (reply.nError != TransportError::None)
    {
        sLastError = TransportErrorText(sUrl, reply);
        return {};
    }
    if (reply.sBody.find("<soap:Envelope ") == std::string::npos)
    {
        // A 200 without an envelope (the web client's login page, say) is no answer, but no error to show either.
        if (reply.nStatus != 200)
        {
            bServerProbed = false;
            sLastError = ErrorTemplate(sUrl, reply.sStatusText);
        }
        return {};
    }
    if (IsRejectedLogin(reply.sBody))
    {
        sLastError = "Incorrect User or Password: " + Controls.txtUsuario;
        sPassword.clear();
        Controls.txtPassword.clear();
        Controls.bPasswordChanged = false;
        sAuthToken.clear();
        P.View.RefreshControls();
        return {};
    }
    return std::move(reply.sBody);
}

} // namespace qv
