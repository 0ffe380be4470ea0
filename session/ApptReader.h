// The appointments of the coming week: the list in every check's answer (followed page by page), the changes and
// deletions the notify blocks carry, the items of appointments due or running with their reminders, and the
// once-a-day list of the next 24 hours.
#pragma once

#include <cstdint>
#include <functional>
#include <pugixml.hpp>
#include <string>
#include <unordered_set>

#include "platform/Appointments.h"
#include "platform/Clock.h"
#include "session/CalendarTime.h"
#include "session/Folders.h"
#include "session/ServerSession.h"
#include "session/XPath.h"

namespace qv
{

class ApptReader
{
public:
    ApptReader(ServerSession& session, IApptItemList& items, IClock& clock, ILocale& locale, AccountLists& lists,
               XPath& xp);

    // Fetches the same search from the offset given; the whole answer, or nothing when the request failed.
    std::function<std::string(int64_t nOffset)> fnPage;

    // What one answer's list adds to the announcement.
    struct Announcement
    {
        std::string& sMensaje;  // the daily lines
        std::string& sReminders;
    };
    void ReadList(const pugi::xml_node& root, const FilterRule& rule, int32_t nReminderMinutes, Announcement out);
    void ReadChanged(const pugi::xml_node& appt);
    void ReadDeleted(const std::string& sId);
    // After every check, answered or not: items that ended, whose reminder moved ahead, or that the rule drops.
    void PruneApptItems(const FilterRule& rule, int32_t nReminderMinutes);

    // A time of day as the user writes it, without seconds.
    std::string FormatoFecha(int64_t nUtcMs);
    // "All Day", or the start and end times; "Tomorrow " before it when it starts tomorrow.
    std::string WhenText(int64_t nStart, int64_t nEnd, bool bAllDay);

    bool bNewDay = false; // the check runs on another date than the last: the daily list is due
    static constexpr int nMaxPages = 50; // 50,000 appointments: a server that says "more" for ever is not followed

private:
    void ReadAppointment(const pugi::xml_node& appt, const FilterRule& rule, int32_t nReminderMinutes,
                         Announcement& out);
    int64_t ReminderTime(const pugi::xml_node& appt, int64_t nStart, int64_t nEnd, int32_t nReminderMinutes);
    bool IsTomorrow(int64_t nUtcMs);
    void DiscardUnseen();

    ServerSession& Session;
    IApptItemList& Items;
    IClock& Clock;
    ILocale& Locale;
    AccountLists& Lists;
    XPath& Xp;
    LocalTime Local;
    int64_t nNow = 0;        // of the list being read
    bool bOldServer = false; // the list is the summaries' form
    std::unordered_set<std::string> Seen; // the ids of the list being read
};

} // namespace qv
