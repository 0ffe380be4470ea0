// Calendar arithmetic on millisecond counts, and the machine's local time at a given instant.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Clock.h"

namespace qv
{

inline constexpr int64_t nMsPerSecond = 1000;
inline constexpr int64_t nMsPerMinute = 60 * nMsPerSecond;
inline constexpr int64_t nMsPerHour = 60 * nMsPerMinute;
inline constexpr int64_t nMsPerDay = 24 * nMsPerHour;

int64_t FloorDiv(int64_t nValue, int64_t nBy);

struct CivilTime
{
    int nYear = 1970, nMonth = 1, nDay = 1, nHour = 0, nMinute = 0, nSecond = 0;
};

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back.
int64_t DaysFromCivil(int nYear, int nMonth, int nDay);
CivilTime CivilFromMs(int64_t nWallMs);
int64_t WallMsOf(const CivilTime& time);
// 1 for Sunday to 7 for Saturday.
int WeekdayOf(int64_t nDays);

// "YYYYMMDD" or "YYYYMMDDThhmmss" with an optional final "Z" (either case); nothing for anything else.
struct ZimbraTimeText
{
    CivilTime Time;
    bool bDateOnly = false;
    bool bUtc = false;
};
std::optional<ZimbraTimeText> ReadZimbraTime(std::string_view sText);

// Local wall-clock milliseconds (as if the local time were UTC) and UTC instants, by the rules of each instant.
class LocalTime
{
public:
    explicit LocalTime(IClock& clock) : Clock(clock) {}
    int64_t ToLocal(int64_t nUtcMs) const;
    // A wall time that a daylight-saving change skips or repeats takes the offset in force just before it.
    int64_t ToUtc(int64_t nLocalMs) const;
    int64_t LocalDay(int64_t nUtcMs) const { return FloorDiv(ToLocal(nUtcMs), nMsPerDay); }

private:
    IClock& Clock;
};

// A time of the server's text form: "Z" is UTC, anything else the machine's local time.
std::optional<int64_t> ParseZimbraTime(std::string_view sText, const LocalTime& local);

} // namespace qv
