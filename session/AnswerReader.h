// The reader of every SOAP answer: parse errors and faults, the session's part, the account's folders and
// tags, the notify blocks with new mail, the preferences, and the one announcement each answer ends in.
#pragma once

#include <cstdint>
#include <functional>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/MainView.h"
#include "platform/System.h"
#include "platform/Tray.h"
#include "platform/Appointments.h"
#include "session/ApptReader.h"
#include "session/Folders.h"
#include "session/ServerSession.h"
#include "session/XPath.h"

namespace qv
{

class AnswerReader
{
public:
    // fnShow shows a message box with the style given and returns the button pressed.
    using ShowFn = std::function<int(const std::string& sText, int nStyle)>;

    AnswerReader(ServerSession& session, IMainIcon& icon, ISystem& system, IClock& clock, ILocale& locale,
                 IApptItemList& items, const SettingsControls& controls, ShowFn fnShow);

    // Reads an answer; false when it is unreadable or a fault.
    [[nodiscard]] bool ProcessResponse(const std::string& sAnswer);

    // The preferences were read (the polling interval changed, say).
    std::function<void()> fnPreferencesRead;

    AccountLists Lists;
    int32_t nMailPollingInterval = 0;
    int32_t nReminderMinutes = 0;
    std::string sComposeFormat;
    std::string sDraftId; // the draft saved last, until the web mail has been opened on it

    // What one answer announces.
    std::string sMensaje;
    int64_t nSinLeer = 0; // a sum of the server's numbers: never allowed to overflow
    std::string sReminders;

    FilterRule Rule() const { return {Controls.txtFilters, Controls.optWhiteList}; }

private:
    void ReadRefresh(const pugi::xml_node& root);
    void ReadNotifyBlocks(const pugi::xml_node& root);
    void ReadNewMessages(const std::vector<pugi::xml_node>& created);
    void ReadPreferences(const pugi::xml_node& root);
    void Announce();

    ServerSession& Session;
    IMainIcon& Icon;
    ISystem& System;
    IClock& Clock;
    const SettingsControls& Controls;
    ShowFn fnShow;
    XPath Xp;
    std::string sListsAccount; // the server and user the lists were read for

public:
    ApptReader Appts; // after the lists and the XPath engine it reads with
};

} // namespace qv
