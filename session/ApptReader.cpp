#include "session/ApptReader.h"

#include <algorithm>
#include <vector>

#include "platform/Text.h"
#include "session/AnswerPaths.h"
#include "session/SessionRules.h"

namespace qv
{

namespace
{

constexpr const char* sCrLf = "\r\n";
// Beyond these the server's numbers are nonsense, and the sums below must not overflow: 31,000 years, a million
// weeks.
constexpr int64_t nMaxMs = 1'000'000'000'000'000;
constexpr int64_t nMaxCount = 1'000'000;

int64_t Bounded(const pugi::xml_attribute& attribute, int64_t nLimit)
{
    return std::clamp<int64_t>(WholeNumber(attribute.value()), -nLimit, nLimit);
}

int64_t Millis(const pugi::xml_attribute& attribute)
{
    return Bounded(attribute, nMaxMs);
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The seconds out of a long time text ("14:05:09" gives "14:05", "2:05:09 PM" gives "2:05 PM").
std::string WithoutSeconds(const std::string& sText)
{
    const auto Run = [&](size_t nAt) {
        size_t n = 0;
        while (n < 2 && nAt + n < sText.size() && IsDigit(sText[nAt + n]))
            ++n;
        return n;
    };
    for (size_t i = 0; i < sText.size(); ++i)
    {
        const size_t nHours = Run(i);
        const size_t nFirst = i + nHours;
        if (nHours == 0 || nFirst >= sText.size() || sText[nFirst] != ':')
            continue;
        const size_t nMinutes = Run(nFirst + 1);
        const size_t nSecond = nFirst + 1 + nMinutes;
        if (nMinutes == 0 || nSecond >= sText.size() || sText[nSecond] != ':')
            continue;
        const size_t nSeconds = Run(nSecond + 1);
        if (nSeconds == 0)
            continue;
        return sText.substr(0, nSecond) + sText.substr(nSecond + 1 + nSeconds);
    }
    return sText;
}

// The wall time, in the zone's own year, at which one of its yearly changes happens.
int64_t ChangeTime(const pugi::xml_node& rule, int nYear)
{
    const int nMonth = std::clamp(static_cast<int>(WholeNumber(rule.attribute("mon").value())), 1, 12);
    const int64_t nFirst = DaysFromCivil(nYear, nMonth, 1);
    const int64_t nDays = (nMonth == 12 ? DaysFromCivil(nYear + 1, 1, 1) : DaysFromCivil(nYear, nMonth + 1, 1)) - nFirst;
    int64_t nDay = 0;
    if (rule.attribute("mday"))
        nDay = std::clamp<int64_t>(WholeNumber(rule.attribute("mday").value()), 1, nDays) - 1;
    else
    {
        const int nWeekday = std::clamp(static_cast<int>(WholeNumber(rule.attribute("wkday").value())), 1, 7);
        const int64_t nWeek = WholeNumber(rule.attribute("week").value());
        if (nWeek < 0) // the last such weekday of the month
            nDay = nDays - 1 - (WeekdayOf(nFirst + nDays - 1) - nWeekday + 7) % 7;
        else
            nDay = (nWeekday - WeekdayOf(nFirst) + 7) % 7 + 7 * (std::clamp<int64_t>(nWeek, 1, 5) - 1);
        nDay = std::min(nDay, nDays - 1);
    }
    return (nFirst + nDay) * nMsPerDay + Bounded(rule.attribute("hour"), 24) * nMsPerHour +
           Bounded(rule.attribute("min"), 60) * nMsPerMinute + Bounded(rule.attribute("sec"), 60) * nMsPerSecond;
}

// The offset from UTC, in minutes, of a wall time in a zone the invite describes: its standard offset, or its
// daylight offset between its two yearly changes.
int64_t ZoneOffsetAt(const pugi::xml_node& zone, int64_t nWall)
{
    const int64_t nStandard = Bounded(zone.attribute("stdoff"), 24 * 60);
    const pugi::xml_node standard = zone.child("standard"), daylight = zone.child("daylight");
    if (!zone.attribute("dayoff") || !standard || !daylight)
        return nStandard;
    const int nYear = CivilFromMs(nWall).nYear;
    const int64_t nDaylightFrom = ChangeTime(daylight, nYear), nStandardFrom = ChangeTime(standard, nYear);
    const bool bDaylight = nDaylightFrom < nStandardFrom ? nWall >= nDaylightFrom && nWall < nStandardFrom
                                                          : nWall >= nDaylightFrom || nWall < nStandardFrom;
    return bDaylight ? Bounded(zone.attribute("dayoff"), 24 * 60) : nStandard;
}

// The instant of an invite's start or end: the server's own UTC value where it gives one, else the wall time in
// the zone it names, else (a floating time) the machine's zone.
std::optional<int64_t> InviteTime(const pugi::xml_node& inv, const pugi::xml_node& when, const LocalTime& local)
{
    if (!when)
        return std::nullopt;
    if (when.attribute("u"))
        return Millis(when.attribute("u"));
    const std::optional<ZimbraTimeText> text = ReadZimbraTime(when.attribute("d").value());
    if (!text)
        return std::nullopt;
    const int64_t nWall = WallMsOf(text->Time);
    if (text->bUtc)
        return nWall;
    const pugi::xml_node zone = when.attribute("tz") ? inv.find_child_by_attribute("tz", "id", when.attribute("tz").value())
                                                     : pugi::xml_node();
    if (!zone || !zone.attribute("stdoff"))
        return local.ToUtc(nWall);
    return nWall - ZoneOffsetAt(zone, nWall) * nMsPerMinute;
}

} // namespace

ApptReader::ApptReader(ServerSession& session, IApptItemList& items, IClock& clock, ILocale& locale,
                       AccountLists& lists, XPath& xp)
    : Session(session), Items(items), Clock(clock), Locale(locale), Lists(lists), Xp(xp), Local(clock)
{
}

std::string ApptReader::FormatoFecha(int64_t nUtcMs)
{
    const CivilTime time = CivilFromMs(Local.ToLocal(nUtcMs));
    return WithoutSeconds(Locale.LongTimeText(time.nHour, time.nMinute, time.nSecond));
}

bool ApptReader::IsTomorrow(int64_t nUtcMs)
{
    return Local.LocalDay(nUtcMs) == Local.LocalDay(Clock.NowUtcMs()) + 1;
}

std::string ApptReader::WhenText(int64_t nStart, int64_t nEnd, bool bAllDay)
{
    const std::string sPrefix = IsTomorrow(nStart) ? "Tomorrow " : "";
    return sPrefix + (bAllDay ? std::string("All Day") : FormatoFecha(nStart) + " - " + FormatoFecha(nEnd));
}

int64_t ApptReader::ReminderTime(const pugi::xml_node& appt, int64_t nStart, int64_t nEnd, int32_t nReminderMinutes)
{
    const pugi::xml_node trigger = appt.first_element_by_path("alarmData/alarm/trigger");
    if (const pugi::xml_node absolute = trigger.child("abs"))
    {
        if (const std::optional<int64_t> nAt = ParseZimbraTime(absolute.attribute("d").value(), Local))
            return *nAt;
    }
    else if (const pugi::xml_node relative = trigger.child("rel"))
    {
        const int64_t nBase = AsciiLower(relative.attribute("related").value()) == "end" ? nEnd : nStart;
        const int64_t nSign = std::string_view(relative.attribute("neg").value()) == "1" ? -1 : 1;
        if (relative.attribute("w"))
            return nBase + nSign * Bounded(relative.attribute("w"), nMaxCount) * 7 * nMsPerDay;
        int64_t nAt = nBase;
        for (const auto& [sUnit, nUnitMs] : {std::pair{"d", nMsPerDay}, {"h", nMsPerHour}, {"m", nMsPerMinute},
                                             {"s", nMsPerSecond}})
            nAt += nSign * Bounded(relative.attribute(sUnit), nMaxCount) * nUnitMs;
        return nAt;
    }
    return nStart - static_cast<int64_t>(nReminderMinutes) * nMsPerMinute;
}

void ApptReader::ReadList(const pugi::xml_node& root, const FilterRule& rule, int32_t nReminderMinutes,
                          Announcement out)
{
    bOldServer = IsOldServer(Session.sServerVersion);
    const std::string& sResponse = bOldServer ? Paths::sApptSummaries : Paths::sApptSearch;
    if (!Xp.NodeExists(root, sResponse))
        return; // no list this time: the items stay as they are, and the daily list waits for one
    nNow = Clock.NowUtcMs();
    Seen.clear();
    const auto ReadPage = [&](const pugi::xml_node& page) {
        const pugi::xpath_node_set appointments = Xp.SelectAll(page, sResponse + "//appt");
        for (const pugi::xpath_node& appt : appointments)
            ReadAppointment(appt.node(), rule, nReminderMinutes, out);
        return static_cast<int64_t>(appointments.size());
    };
    const auto SaysMore = [&](const pugi::xml_node& page) {
        return std::string_view(Xp.SelectAll(page, sResponse).first().node().attribute("more").value()) == "1";
    };
    int64_t nRead = ReadPage(root);
    bool bComplete = true;
    // The server answers a page of the week at a time: the rest comes by offset, for as long as it says there is more.
    for (int nPage = 1, bMore = !bOldServer && SaysMore(root); bMore; ++nPage)
    {
        pugi::xml_document doc; // a page's nodes live only as long as its document: read them before the next
        const std::string sAnswer = nPage < nMaxPages && fnPage ? fnPage(nRead) : std::string();
        if (sAnswer.empty() || !doc.load_buffer(sAnswer.data(), sAnswer.size()) ||
            !Xp.NodeExists(doc.document_element(), sResponse))
        {
            bComplete = false;
            break;
        }
        const int64_t nMore = ReadPage(doc.document_element());
        nRead += nMore;
        bMore = nMore > 0 && SaysMore(doc.document_element());
    }
    if (bComplete)
        DiscardUnseen();
    bNewDay = false;
}

void ApptReader::DiscardUnseen()
{
    // An appointment the whole list no longer holds was deleted or moved while no notice reached the program.
    Items.ForEachApptItem([&](IApptItem& item) {
        if (!Seen.count(item.id))
            Items.DiscardApptItem(item.GetTag());
    });
}

void ApptReader::ReadAppointment(const pugi::xml_node& appt, const FilterRule& rule, int32_t nReminderMinutes,
                                 Announcement& out)
{
    const pugi::xml_node instance = appt.find_child([](const pugi::xml_node& node) {
        return std::string_view(node.name()) == "inst" && node.attribute("s");
    });
    if (!appt.attribute("id") || !appt.attribute("invId") || !instance)
        return; // nothing to remind of, and no way to act on it
    Seen.insert(appt.attribute("id").value());
    if (!Lists.PassesFilter(appt, rule))
        return;

    const bool bAllDay = std::string_view(appt.attribute("allDay").value()) == "1";
    int64_t nStart = Millis(instance.attribute("s"));
    if (bAllDay && instance.attribute("tzo"))
    {
        // Midnight of the appointment's own day, whatever the machine's zone.
        const int64_t nDay = FloorDiv(nStart + Millis(instance.attribute("tzo")), nMsPerDay);
        nStart = Local.ToUtc(nDay * nMsPerDay);
    }
    // Old servers write the duration as "d"; newer ones write "dur", and "d" is the item's date.
    const pugi::xml_attribute duration = instance.attribute("dur") ? instance.attribute("dur")
                                         : bOldServer && appt.attribute("d") ? appt.attribute("d")
                                                                               : appt.attribute("dur");
    const int64_t nEnd = nStart + std::max<int64_t>(Millis(duration), 0);

    bool bDue = false, bSoon = false, bRunning = false;
    int64_t nReminder = 0;
    if (nStart <= nNow)
        bRunning = nEnd >= nNow;
    else
    {
        nReminder = ReminderTime(appt, nStart, nEnd, nReminderMinutes);
        bDue = nNow >= nReminder;
        bSoon = !bDue && FloorDiv(Local.ToLocal(nStart), nMsPerHour) - FloorDiv(Local.ToLocal(nNow), nMsPerHour) <= 24;
    }

    const std::string sName = appt.attribute("name").value();
    if (bNewDay && bSoon)
    {
        const std::string sWhen = IsTomorrow(nStart) ? "Tomorrow " + (bAllDay ? std::string("All Day") : FormatoFecha(nStart))
                                                     : FormatoFecha(nStart);
        out.sMensaje += "\xE2\x80\xA2 " + sWhen + " " + ShownText(sName) + sCrLf;
    }
    if (!bDue && !bRunning)
        return;

    IApptItem* pItem = Items.FindApptItem(appt.attribute("id").value());
    if (!pItem)
    {
        IApptItem& item = Items.AddApptItem();
        for (const auto& [pField, sAttribute] :
             {std::pair{&item.id, "id"}, {&item.d, "d"}, {&item.status, "status"}, {&item.loc, "loc"},
              {&item.l, "l"}, {&item.compNum, "compNum"}, {&item.fb, "fb"}, {&item.x_uid, "x_uid"},
              {&item.fba, "fba"}, {&item.ptst, "ptst"}, {&item.transp, "transp"}, {&item.invId, "invId"},
              {&item.isOrg, "isOrg"}, {&item.recur, "recur"}, {&item.T, "t"}})
            *pField = appt.attribute(sAttribute).value();
        item.name = sName;
        item.ridZ = instance.attribute("ridZ").value();
        item.allDay = std::string(bAllDay ? 1 : 0, '1');
        item.dStartTime = nStart;
        item.dEndTime = nEnd;
        item.dInicioAlarmas = nReminder;
        item.sCuando = WhenText(nStart, nEnd, bAllDay);
        pItem = &item;
    }
    if (!pItem->bNotificar && !pItem->bModificada)
        return;
    const std::string sTitle = ShownText(pItem->name) + (pItem->bModificada ? " [MODIFIED]" : "");
    if (!pItem->bPendienteDeMostrar)
    {
        pItem->Iconizar(sTitle + sCrLf + "When: " + pItem->sCuando);
        pItem->bPendienteDeMostrar = true;
    }
    out.sReminders += sTitle + " " + pItem->sCuando + sCrLf;
    pItem->bModificada = false;
}

void ApptReader::ReadChanged(const pugi::xml_node& appt)
{
    IApptItem* pItem = Items.FindApptItem(appt.attribute("id").value());
    if (!pItem)
        return;
    IApptItem& item = *pItem;
    item.bModificada = true;
    item.T = appt.attribute("t").value();

    const pugi::xml_node inv = appt.child("inv"), comp = inv.child("comp");
    const bool bAllDay = std::string_view(comp.attribute("allDay").value()) == "1";
    item.allDay = std::string(bAllDay ? 1 : 0, '1');
    std::optional<int64_t> nStart, nEnd;
    if (bAllDay)
    {
        // An all-day event's dates are whole days; its end date is the last day it covers.
        const auto Day = [&](const char* sWhich) -> std::optional<int64_t> {
            const std::optional<ZimbraTimeText> text = ReadZimbraTime(comp.child(sWhich).attribute("d").value());
            if (!text)
                return std::nullopt;
            return DaysFromCivil(text->Time.nYear, text->Time.nMonth, text->Time.nDay) * nMsPerDay;
        };
        if (const auto nDay = Day("s"))
            nStart = Local.ToUtc(*nDay);
        if (const auto nDay = Day("e"))
            nEnd = Local.ToUtc(*nDay + nMsPerDay - nMsPerSecond);
    }
    else
    {
        nStart = InviteTime(inv, comp.child("s"), Local);
        nEnd = InviteTime(inv, comp.child("e"), Local);
    }

    for (const auto& [pField, sAttribute] :
         {std::pair{&item.status, "status"}, {&item.loc, "loc"}, {&item.compNum, "compNum"}, {&item.fb, "fb"},
          {&item.x_uid, "x_uid"}, {&item.fba, "fba"}, {&item.transp, "transp"}, {&item.isOrg, "isOrg"},
          {&item.name, "name"}})
        if (comp.attribute(sAttribute))
            *pField = comp.attribute(sAttribute).value();
    if (appt.attribute("l"))
        item.l = appt.attribute("l").value();
    if (nStart)
        item.dStartTime = *nStart;
    if (nEnd)
        item.dEndTime = *nEnd;
    if (bAllDay || (nStart && nEnd))
        item.sCuando = WhenText(item.dStartTime, item.dEndTime, bAllDay);
    if (appt.attribute("nextAlarm"))
        item.dInicioAlarmas = Millis(appt.attribute("nextAlarm"));
    // A newer server sends an appointment without times when only an instance changed: the next list brings it.
    if (!IsOldServer(Session.sServerVersion) && !nStart && !nEnd)
        Items.DiscardApptItem(item.GetTag());
}

void ApptReader::ReadDeleted(const std::string& sId)
{
    if (IApptItem* pItem = Items.FindApptItem(sId))
        Items.DiscardApptItem(pItem->GetTag());
}

void ApptReader::PruneApptItems(const FilterRule& rule, int32_t nReminderMinutes)
{
    const int64_t nNowMs = Clock.NowUtcMs();
    Items.ForEachApptItem([&](IApptItem& item) {
        const int64_t nReminder = item.dInicioAlarmas != 0
                                      ? item.dInicioAlarmas
                                      : item.dStartTime - static_cast<int64_t>(nReminderMinutes) * nMsPerMinute;
        if (!Lists.PassesFilter(item.T.c_str(), item.l.c_str(), rule) || nReminder > nNowMs || item.dEndTime < nNowMs)
            Items.DiscardApptItem(item.GetTag());
    });
}

} // namespace qv
