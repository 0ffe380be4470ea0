// One SOAP exchange with the configured server: probe, POST, and the classification of the answer; and the
// session's upkeep from the answers.
#include "session/ServerSession.h"

#include "platform/Text.h"
#include "session/AnswerPaths.h"
#include "session/Envelope.h"
#include "session/SessionRules.h"
#include "session/Transport.h"

namespace qv
{

namespace
{

constexpr int64_t nStaleIconMinutes = 15;

} // namespace

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

ServerSession::ServerSession(ISoapTransport& soap, IClock& clock, IMainIcon& icon, const SettingsControls& controls)
    : Soap(soap)
    , Clock(clock)
    , Icon(icon)
    , Controls(controls)
{
}

std::string ServerSession::SoapAddress() const
{
    return std::string(Controls.chkSSL == 1 ? "https://" : "http://") + sServerHost + "/service/soap";
}

std::string ServerSession::SendSoapRequest(const std::string& sEnvelope)
{
    sLastError.clear();
    if (!IsValidServerHost(sServerHost))
    {
        // A stored value edited by hand: say so rather than send to a wrong address.
        sLastError = "Invalid server name: " + ShownText(sServerHost);
        return {};
    }
    const std::string sUrl = SoapAddress();

    if (!bServerProbed)
    {
        const HttpReply probe = Soap.Send("OPTIONS", sUrl, sServerHost, {});
        if (probe.nError != TransportError::None)
        {
            sLastError = TransportErrorText(sUrl, probe);
            return {};
        }
        if (probe.nStatus != 200)
        {
            sLastError = ErrorTemplate(sUrl, ShownText(probe.sStatusText));
            bServerProbed = false;
            return {};
        }
        bServerProbed = true;
    }

    SoapExchange answer = ExchangeSoap(Soap, sUrl, sServerHost, sEnvelope);
    if (answer.bResetProbe)
        bServerProbed = false;
    sLastError = std::move(answer.sError);
    if (answer.bRejected)
    {
        sLastError = "Incorrect User or Password: " + Controls.txtUsuario;
        sAuthToken.clear();
        if (fnLoginRejected)
            fnLoginRejected();
    }
    return std::move(answer.sBody);
}

std::optional<std::string> ServerSession::LoginForBrowser(const std::string& sPassword) const
{
    const std::string& sHost = Controls.txtZimbraHost;
    if (sPassword.empty() || !IsValidServerHost(sHost))
        return std::nullopt;
    const std::string sUrl = std::string(Controls.chkSSL == 1 ? "https://" : "http://") + sHost + "/service/soap";
    const SoapExchange answer =
        ExchangeSoap(Soap, sUrl, sHost, LoginEnvelope(Controls.txtUsuario, sPassword, LoginFor::Browser));
    pugi::xml_document doc;
    if (answer.sBody.empty() || !doc.load_buffer(answer.sBody.data(), answer.sBody.size()))
        return std::nullopt;
    XPath xp([](const std::string&) {}); // a failed lookup here only means the fallback, never a message
    std::string sToken = xp.NodeText(doc, Paths::sAuthToken);
    if (sToken.empty())
        return std::nullopt;
    return sToken;
}

SoapExchange ExchangeSoap(ISoapTransport& soap, const std::string& sUrl, const std::string& sHost,
                          const std::string& sEnvelope)
{
    SoapExchange answer;
    HttpReply reply = soap.Send("POST", sUrl, sHost, sEnvelope);
    if (reply.nError != TransportError::None)
        answer.sError = TransportErrorText(sUrl, reply);
    else if (reply.sBody.find("<soap:Envelope ") == std::string::npos)
    {
        // A 200 without an envelope (the web client's login page, say) is no answer, but no error to show either.
        if (reply.nStatus != 200)
        {
            answer.bResetProbe = true;
            answer.sError = ErrorTemplate(sUrl, ShownText(reply.sStatusText));
        }
    }
    else if (IsRejectedLogin(reply.sBody))
        answer.bRejected = true;
    else
        answer.sBody = std::move(reply.sBody);
    return answer;
}

std::string ServerSession::LastErrorText() const
{
    if (!sLastError.empty())
        return sLastError;
    // The server answered, but not as a Zimbra server does (a login page, a proxy's page).
    return NotAZimbraServerText();
}

std::string ServerSession::NotAZimbraServerText() const
{
    return "The server at " + SoapAddress() + " did not answer as a Zimbra server.";
}

void ServerSession::Forget()
{
    sSessionId.clear();
    sAuthToken.clear();
}

void ServerSession::ServerChanged(const std::string& sHost)
{
    sServerHost = sHost;
    Forget();
    bServerProbed = false;
}

void ServerSession::EndSession()
{
    sSessionId.clear();
    sAuthToken.clear();
    sNotifySeq.clear();
    ResetStaleIcon();
}

void ServerSession::ResetStaleIcon()
{
    if (dLastSuccess && (Clock.NowUtcMs() - *dLastSuccess) / 60000 > nStaleIconMinutes)
        Icon.IconReset();
}

bool ServerSession::ProcessSession(XPath& Xp, const pugi::xml_node& root, bool& bDone, bool& bLogin)
{
    bDone = false;
    bLogin = false;
    if (Xp.NodeExists(root, Paths::sVersion))
    {
        sServerVersion = Xp.NodeText(root, Paths::sVersion);
        sSessionElement = IsOldServer(sServerVersion) ? "sessionId" : "session";
    }
    if (Xp.NodeExists(root, Paths::sHeaderSession))
        sSessionId = Xp.AttributeText(root, Paths::sHeaderSession, "id");

    if (!Xp.NodeExists(root, Paths::sAuthResponse))
    {
        if (bLoginRequest)
        {
            // A login answered without its answer is no login: taking it as a session would leave the program
            // with neither a token nor an interval, silent for good.
            sLastError = NotAZimbraServerText();
            bDone = true;
            return false;
        }
        // The server answers an unknown or expired session with a new one, silently: its notifications start
        // again from the beginning, so the old sequence must not be carried over.
        const std::string sElement = Paths::sContext + sSessionElement;
        if (!sRequestSessionId.empty() && Xp.NodeExists(root, sElement) &&
            Xp.NodeText(root, sElement) != sRequestSessionId)
        {
            EndSession();
            bDone = true;
            return true;
        }
        return true;
    }

    sAuthToken = Xp.NodeText(root, Paths::sAuthToken);
    if (Xp.NodeExists(root, Paths::sChange))
        sChangeToken = Xp.AttributeText(root, Paths::sChange, "token");
    const std::string sBodySession = Paths::sAuthResponse + "/" + sSessionElement;
    if (Xp.NodeExists(root, sBodySession))
        sSessionId = Xp.AttributeText(root, sBodySession, "id");
    sNotifySeq.clear();
    if (Xp.NodeExists(root, Paths::sRefer))
    {
        sServerHost = Xp.NodeText(root, Paths::sRefer);
        sAuthToken.clear();
        sNotifySeq.clear();
        bServerProbed = false;
        if (sSessionId.empty())
        {
            nMailPollingShort = 3;
            bDone = true;
            return false;
        }
    }
    bLogin = true;
    return true;
}

} // namespace qv
