// The account's changes in an answer: the first refresh block's unread summary, the notify blocks with new
// mail, and the one announcement each answer ends in.
#include <charconv>
#include <sstream>

#include "app/frmMain.h"
#include "platform/Text.h"
#include "session/AnswerPaths.h"

namespace qv
{

namespace
{

constexpr const char* sCrLf = "\r\n";

int64_t NumberOf(const pugi::xml_attribute& attribute)
{
    int64_t nValue = 0;
    const std::string_view sText = attribute.value();
    std::from_chars(sText.data(), sText.data() + sText.size(), nValue);
    return nValue;
}

// The notify element's content after its start tag: two blocks with the same content are one repeated.
std::string BodyOf(const pugi::xml_node& notify)
{
    std::ostringstream text;
    notify.print(text, "", pugi::format_raw);
    const std::string sXml = text.str();
    const size_t nAt = sXml.find('>');
    return nAt == std::string::npos ? std::string() : sXml.substr(nAt + 1);
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

void frmMain::ReadRefresh(const pugi::xml_node& root)
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
                nSinLeer += static_cast<int32_t>(std::min<int64_t>(nUnread, 1000000));
                sMensaje += sShown + " (" + std::to_string(nUnread) + ")" + sCrLf;
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
            nSinLeer += static_cast<int32_t>(std::min<int64_t>(nUnread, 1000000));
            sMensaje += "Tag: " + sName + " (" + std::to_string(nUnread) + ")" + sCrLf;
        }
        Lists.UpsertTag(tag);
        Lists.bRefreshLeido = true;
    }
}

void frmMain::ReadNewMessages(const pugi::xml_node& notify)
{
    const FilterRule rule = Rule();
    for (const pugi::xpath_node& found : Xp.SelectAll(notify, "created//m"))
    {
        const pugi::xml_node message = found.node();
        if (std::string_view(message.attribute("f").value()).find('u') == std::string_view::npos ||
            !Lists.PassesFilter(message, rule))
            continue; // read, or in a folder the user chose not to hear about
        sMensaje += "From: " + Sender(message) + sCrLf + "Subject: " + Xp.NodeText(message, "su") + sCrLf + sCrLf;
        ++nSinLeer;
    }
}

void frmMain::ReadNotifyBlocks(const pugi::xml_node& root)
{
    std::string sPreviousBody;
    for (const pugi::xpath_node& found : Xp.SelectAll(root, Paths::sNotifyBlocks))
    {
        const pugi::xml_node notify = found.node();
        if (notify.attribute("seq"))
            sNotifySeq = notify.attribute("seq").value();
        std::string sBody = BodyOf(notify);
        if (sBody == sPreviousBody)
            continue; // the server repeats blocks until they are acknowledged
        sPreviousBody = std::move(sBody);

        ReadNewMessages(notify);

        const size_t nModified = Xp.SelectAll(notify, "modified//m").size();
        const pugi::xpath_node_set deleted = Xp.SelectAll(notify, "deleted");
        if (nModified >= 1 || !deleted.empty())
        {
            if (nSinLeer == 0)
                P.Tray.IconReset(); // mail was read or removed elsewhere
            for (const pugi::xpath_node& element : deleted)
            {
                // The server lists every deleted id in one attribute, separated by commas.
                std::istringstream ids(element.node().attribute("id").value());
                for (std::string sId; std::getline(ids, sId, ',');)
                    if (!Trim(sId).empty())
                        Lists.RemoveById(Trim(sId));
            }
        }
        for (const pugi::xpath_node& tag : Xp.SelectAll(notify, "(created|modified)//tag"))
            Lists.UpsertTag(tag.node());
        for (const pugi::xpath_node& folder : Xp.SelectAll(notify, "(created|modified)//folder"))
            Lists.UpsertFolder(folder.node());
    }
}

void frmMain::Announce()
{
    if (!sMensaje.empty())
    {
        sMensaje = (nSinLeer >= 1 ? "You have unread e-mail messages" : "Appointments within next 24 hours") +
                   std::string(sCrLf) + sMensaje;
        sMensaje = RemoveTrailingLineBreaks(std::move(sMensaje));
        P.Tray.IconAdd(sMensaje, nSinLeer);
        if (Controls.chkSonido == 1)
            P.System.PlayNewMailSound();
        if (Controls.chkVentana == 1)
            ShowMessage(sMensaje, nMbInformation);
    }
    if (!sReminders.empty())
    {
        sReminders = RemoveTrailingLineBreaks(std::move(sReminders));
        if (Controls.chkSonido == 1)
            P.System.PlayNewMailSound();
        if (Controls.chkVentana == 1)
            ShowMessage(sReminders, nMbInformation);
    }
}

} // namespace qv
