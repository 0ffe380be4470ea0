#include "session/CalendarTime.h"

namespace qv
{

int64_t FloorDiv(int64_t nValue, int64_t nBy)
{
    const int64_t nQuotient = nValue / nBy;
    return (nValue % nBy != 0 && (nValue < 0) != (nBy < 0)) ? nQuotient - 1 : nQuotient;
}

// The civil-calendar conversions count in eras of 400 years, which repeat exactly.
int64_t DaysFromCivil(int nYear, int nMonth, int nDay)
{
    const int64_t y = static_cast<int64_t>(nYear) - (nMonth <= 2 ? 1 : 0);
    const int64_t nEra = FloorDiv(y, 400);
    const int64_t nYearOfEra = y - nEra * 400;
    const int64_t nDayOfYear = (153 * (nMonth + (nMonth > 2 ? -3 : 9)) + 2) / 5 + nDay - 1;
    const int64_t nDayOfEra = nYearOfEra * 365 + nYearOfEra / 4 - nYearOfEra / 100 + nDayOfYear;
    return nEra * 146097 + nDayOfEra - 719468;
}

CivilTime CivilFromMs(int64_t nWallMs)
{
    const int64_t nDays = FloorDiv(nWallMs, nMsPerDay);
    const int64_t nMsOfDay = nWallMs - nDays * nMsPerDay;
    const int64_t z = nDays + 719468;
    const int64_t nEra = FloorDiv(z, 146097);
    const int64_t nDayOfEra = z - nEra * 146097;
    const int64_t nYearOfEra = (nDayOfEra - nDayOfEra / 1460 + nDayOfEra / 36524 - nDayOfEra / 146096) / 365;
    const int64_t nDayOfYear = nDayOfEra - (365 * nYearOfEra + nYearOfEra / 4 - nYearOfEra / 100);
    const int64_t mp = (5 * nDayOfYear + 2) / 153;
    CivilTime time;
    time.nDay = static_cast<int>(nDayOfYear - (153 * mp + 2) / 5 + 1);
    time.nMonth = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    time.nYear = static_cast<int>(nYearOfEra + nEra * 400 + (time.nMonth <= 2 ? 1 : 0));
    time.nHour = static_cast<int>(nMsOfDay / nMsPerHour);
    time.nMinute = static_cast<int>(nMsOfDay % nMsPerHour / nMsPerMinute);
    time.nSecond = static_cast<int>(nMsOfDay % nMsPerMinute / nMsPerSecond);
    return time;
}

int64_t WallMsOf(const CivilTime& time)
{
    return DaysFromCivil(time.nYear, time.nMonth, time.nDay) * nMsPerDay + time.nHour * nMsPerHour +
           time.nMinute * nMsPerMinute + time.nSecond * nMsPerSecond;
}

int WeekdayOf(int64_t nDays)
{
    const int64_t nFromSunday = nDays + 4; // 1970-01-01 was a Thursday
    return static_cast<int>(nFromSunday - FloorDiv(nFromSunday, 7) * 7) + 1;
}

std::optional<ZimbraTimeText> ReadZimbraTime(std::string_view sText)
{
    ZimbraTimeText result;
    if (!sText.empty() && (sText.back() == 'Z' || sText.back() == 'z'))
    {
        result.bUtc = true;
        sText.remove_suffix(1);
    }
    const auto Digits = [&](size_t nAt, size_t nCount) -> std::optional<int> {
        int nValue = 0;
        for (size_t i = nAt; i < nAt + nCount; ++i)
        {
            if (i >= sText.size() || sText[i] < '0' || sText[i] > '9')
                return std::nullopt;
            nValue = nValue * 10 + (sText[i] - '0');
        }
        return nValue;
    };
    const auto nYear = Digits(0, 4), nMonth = Digits(4, 2), nDay = Digits(6, 2);
    if (!nYear || !nMonth || !nDay || *nMonth < 1 || *nMonth > 12 || *nDay < 1 || *nDay > 31)
        return std::nullopt;
    result.Time = {*nYear, *nMonth, *nDay, 0, 0, 0};
    if (sText.size() == 8)
    {
        result.bDateOnly = true;
        return result;
    }
    const auto nHour = Digits(9, 2), nMinute = Digits(11, 2), nSecond = Digits(13, 2);
    if (sText.size() != 15 || sText[8] != 'T' || !nHour || !nMinute || !nSecond || *nHour > 23 || *nMinute > 59 ||
        *nSecond > 60)
        return std::nullopt;
    result.Time.nHour = *nHour;
    result.Time.nMinute = *nMinute;
    result.Time.nSecond = *nSecond;
    return result;
}

int64_t LocalTime::ToLocal(int64_t nUtcMs) const
{
    return nUtcMs + Clock.LocalOffsetMinutesAt(nUtcMs) * nMsPerMinute;
}

int64_t LocalTime::ToUtc(int64_t nLocalMs) const
{
    // The offset before the wall time, then the offset at the instant that gives; where they differ the wall time
    // lies in a change, and the earlier offset is kept.
    const int64_t nBefore = Clock.LocalOffsetMinutesAt(nLocalMs - nMsPerDay) * nMsPerMinute;
    const int64_t nGuess = nLocalMs - nBefore;
    const int64_t nAt = Clock.LocalOffsetMinutesAt(nGuess) * nMsPerMinute;
    const int64_t nUtc = nLocalMs - nAt;
    return Clock.LocalOffsetMinutesAt(nUtc) * nMsPerMinute == nAt ? nUtc : nGuess;
}

std::optional<int64_t> ParseZimbraTime(std::string_view sText, const LocalTime& local)
{
    const std::optional<ZimbraTimeText> text = ReadZimbraTime(sText);
    if (!text)
        return std::nullopt;
    const int64_t nWall = WallMsOf(text->Time);
    return text->bUtc ? nWall : local.ToUtc(nWall);
}

} // namespace qv
