#include "session/AnswerReader.h"

#include <charconv>
#include <limits>
#include <sstream>

#include "platform/Dialogs.h"
#include "platform/Text.h"
#include "session/AnswerPaths.h"
#include "session/NotifyBlocks.h"
#include "session/SessionRules.h"

namespace qv
{

namespace
{

constexpr size_t nExcerptLength = 200;
constexpr const char* sCrLf = "\r\n";

// Answers are one line, so the "faulty line" is the whole answer: quote only the neighbourhood of the fault.
std::string ParseErrorExcerpt(std::string_view sAnswer, ptrdiff_t nOffset)
{
    const size_t nAt = std::min(static_cast<size_t>(std::max<ptrdiff_t>(nOffset, 0)), sAnswer.size());
    size_t nStart = nAt > nExcerptLength / 2 ? nAt - nExcerptLength / 2 : 0;
    while (nStart > 0 && (static_cast<unsigned char>(sAnswer[nStart]) & 0xC0) == 0x80)
        --nStart; // begin on a whole character
    return CutUtf8(sAnswer.substr(nStart), nExcerptLength);
}

bool EndsSession(const std::string& sCode)
{
    return sCode == "service.AUTH_REQUIRED" || sCode == "service.AUTH_EXPIRED" || sCode.rfind("account.", 0) == 0;
}

int64_t SaturatingAdd(int64_t nSum, int64_t nMore)
{
    return nMore > std::numeric_limits<int64_t>::max() - nSum ? std::numeric_limits<int64_t>::max() : nSum + nMore;
}

int64_t NumberOf(const pugi::xml_attribute& attribute)
{
    return WholeNumber(attribute.value());
}

std::string Sender(const pugi::xml_node& message)
{
    const pugi::xml_node from = message.select_node("e[@t='f']").node();
    const pugi::xml_attribute name = from.attribute("p"), address = from.attribute("a");
    if (name)
        return std::string(name.value()) + (address ? std::string(" <") + address.value() + ">" : std::string());
    return address ? address.value() : "";
}

std::string RemoveTrailingLineBreaks(std::string sText)
{
    while (sText.size() >= 2 && sText.compare(sText.size() - 2, 2, sCrLf) == 0)
        sText.resize(sText.size() - 2);
    return sText;
}

} // namespace

AnswerReader::AnswerReader(ServerSession& session, IMainIcon& icon, ISystem& system, IClock& clock, ILocale& locale,
                           IApptItemList& items, const SettingsControls& controls, ShowFn fnShowMessage)
    : Lists([this](const std::string& sText) { fnShow(sText, nMbExclamation); })
    , Session(session)
    , Icon(icon)
    , System(system)
    , Clock(clock)
    , Controls(controls)
    , fnShow(std::move(fnShowMessage))
    , Xp([this](const std::string& sText) { fnShow(sText, nMbInformation); })
    , Appts(session, items, clock, locale, Lists, Xp)
{
}

bool AnswerReader::ProcessResponse(const std::string& sAnswer)
{
    sMensaje.clear();
    nSinLeer = 0;
    sReminders.clear();

    pugi::xml_document doc;
    const pugi::xml_parse_result result =
        doc.load_buffer(sAnswer.data(), sAnswer.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!result)
    {
        Session.sLastError = std::string("Zimbra server reports an error:\r\n") + result.description() + "\r\n" +
                             ParseErrorExcerpt(sAnswer, result.offset);
        return false;
    }
    const pugi::xml_node root = doc.document_element();

    // The lists belong to the account they were read for: another account starts afresh, but a letter typed
    // into a box and taken back again is no other account, and must not announce the unread summary twice.
    const std::string sAccount = AsciiLower(Controls.txtZimbraHost) + '\n' + AsciiLower(Controls.txtUsuario);
    if (sAccount != sListsAccount)
    {
        Lists.Clear();
        sListsAccount = sAccount;
    }

    // A fault that is the whole answer: the request failed, and with it, as a rule, the session.
    if (Xp.NodeExists(root, Paths::sTopFault))
    {
        const std::string sReason =
            Xp.NodeExists(root, Paths::sTopFaultText) ? Xp.NodeText(root, Paths::sTopFaultText) : Session.sLastError;
        Session.sLastError = ShownText(sReason);
        // The server keeps the session when only the message was too big.
        if (sReason.find("exceeded allowed size") == std::string::npos)
            Session.EndSession();
        return false;
    }

    // A fault in place of one request of a batch concerns that request, unless it is about the session itself.
    for (const pugi::xpath_node& fault : Xp.SelectAll(root, Paths::sBatchFaults))
    {
        const std::string sCode = InnerText(fault.node().select_node(Paths::sFaultCode.c_str()));
        Session.sLastError = ShownText(InnerText(fault.node().select_node(Paths::sFaultText.c_str())));
        if (EndsSession(sCode))
        {
            Session.EndSession();
            return false;
        }
    }

    bool bDone = false, bLogin = false;
    const bool bResult = Session.ProcessSession(Xp, root, bDone, bLogin);
    if (bDone)
        return bResult;
    if (bLogin)
        ReadPreferences(root);
    if (Xp.NodeExists(root, Paths::sSavedDraft))
        sDraftId = Xp.AttributeText(root, Paths::sSavedDraft, "id");

    ReadRefresh(root);
    ReadNotifyBlocks(root);
    Appts.ReadList(root, Rule(), nReminderMinutes, {sMensaje, sReminders});
    Announce();

    Session.dLastSuccess = Clock.NowUtcMs();
    return true;
}

void AnswerReader::ReadPreferences(const pugi::xml_node& root)
{
    using Paths::Pref;
    if (Xp.NodeExists(root, Pref("zimbraPrefComposeFormat")))
        sComposeFormat = Xp.NodeText(root, Pref("zimbraPrefComposeFormat"));
    const bool bPolling = Xp.NodeExists(root, Pref("zimbraPrefMailPollingInterval"));
    nMailPollingInterval =
        PollingSeconds(bPolling ? Xp.NodeText(root, Pref("zimbraPrefMailPollingInterval")) : std::string(), bPolling);
    if (Xp.NodeExists(root, Pref("zimbraPrefCalendarApptReminderWarningTime")))
        nReminderMinutes = LeadingWholeNumber(Xp.NodeText(root, Pref("zimbraPrefCalendarApptReminderWarningTime")));
    if (fnPreferencesRead)
        fnPreferencesRead();
}

void AnswerReader::ReadRefresh(const pugi::xml_node& root)
{
    if (Lists.bRefreshLeido)
        return; // later refresh blocks of this run (a new login) change nothing
    const FilterRule rule = Rule();
    for (const pugi::xpath_node& found : Xp.SelectAll(root, Paths::sRefreshFolders))
    {
        const pugi::xml_node folder = found.node();
        if (folder.attribute("id") && folder.attribute("name"))
        {
            const std::string sName = folder.attribute("name").value();
            const std::string sShown = DisplayFolderName(sName);
            const int64_t nUnread = NumberOf(folder.attribute("u"));
            const bool bCounted = sName == "Inbox" || sName == "Junk" || NumberOf(folder.attribute("id")) > 15;
            if (bCounted && nUnread > 0 && Lists.Admitted(sShown, rule))
            {
                nSinLeer = SaturatingAdd(nSinLeer, nUnread);
                sMensaje += ShownText(sShown) + " (" + std::to_string(nUnread) + ")" + sCrLf;
            }
            Lists.UpsertFolder(folder);
        }
        Lists.bRefreshLeido = true;
    }
    for (const pugi::xpath_node& found : Xp.SelectAll(root, Paths::sRefreshTags))
    {
        const pugi::xml_node tag = found.node();
        const std::string sName = tag.attribute("name").value();
        const int64_t nUnread = NumberOf(tag.attribute("u"));
        if (nUnread > 0 && Lists.Admitted(sName, rule))
        {
            nSinLeer = SaturatingAdd(nSinLeer, nUnread);
            sMensaje += "Tag: " + ShownText(sName) + " (" + std::to_string(nUnread) + ")" + sCrLf;
        }
        Lists.UpsertTag(tag);
        Lists.bRefreshLeido = true;
    }
}

void AnswerReader::ReadNewMessages(const std::vector<pugi::xml_node>& created)
{
    const FilterRule rule = Rule();
    for (const pugi::xml_node& message : created)
    {
        if (std::string_view(message.attribute("f").value()).find('u') == std::string_view::npos ||
            !Lists.PassesFilter(message, rule))
            continue; // read, or in a folder the user chose not to hear about
        sMensaje += "From: " + ShownText(Sender(message)) + sCrLf +
                    "Subject: " + ShownText(Xp.NodeText(message, "su")) + sCrLf + sCrLf;
        nSinLeer = SaturatingAdd(nSinLeer, 1);
    }
}

void AnswerReader::ReadNotifyBlocks(const pugi::xml_node& root)
{
    for (const pugi::xpath_node& context : Xp.SelectAll(root, Paths::sContextElement))
        for (const NotifyBlock& block : qv::ReadNotifyBlocks(context.node()))
        {
            const pugi::xml_node notify = block.Element;
            if (notify.attribute("seq"))
                Session.sNotifySeq = notify.attribute("seq").value();
            if (block.bRepeat)
                continue; // the server repeats blocks until they are acknowledged

            ReadNewMessages(block.Created);
            for (const pugi::xml_node& appt : block.ChangedAppts)
                Appts.ReadChanged(appt);

            if (block.nModified >= 1 || !block.Deleted.empty())
            {
                if (nSinLeer == 0)
                    Icon.IconReset(); // mail was read or removed elsewhere
                std::vector<std::string> gone;
                for (const pugi::xml_node& element : block.Deleted)
                {
                    // The server lists every deleted id in one attribute, separated by commas.
                    std::istringstream ids(element.attribute("id").value());
                    for (std::string sId; std::getline(ids, sId, ',');)
                        if (!Trim(sId).empty())
                            gone.push_back(Trim(sId));
                }
                Lists.RemoveByIds(gone);
                for (const std::string& sId : gone)
                    Appts.ReadDeleted(sId);
            }
            for (const pugi::xml_node& tag : block.Tags)
                Lists.UpsertTag(tag);
            for (const pugi::xml_node& folder : block.Folders)
                Lists.UpsertFolder(folder);
        }
}

void AnswerReader::Announce()
{
    if (!sMensaje.empty())
    {
        sMensaje = (nSinLeer >= 1 ? "You have unread e-mail messages" : "Appointments within next 24 hours") +
                   std::string(sCrLf) + sMensaje;
        sMensaje = RemoveTrailingLineBreaks(std::move(sMensaje));
        Icon.IconAdd(sMensaje, nSinLeer);
        if (Controls.chkSonido == 1)
            System.PlayNewMailSound();
        if (Controls.chkVentana == 1)
            fnShow(sMensaje, nMbInformation);
    }
    if (!sReminders.empty())
    {
        sReminders = RemoveTrailingLineBreaks(std::move(sReminders));
        if (Controls.chkSonido == 1)
            System.PlayNewMailSound();
        if (Controls.chkVentana == 1)
            fnShow(sReminders, nMbInformation);
    }
}

} // namespace qv
