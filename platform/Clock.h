// Time and the user's way of writing it, injected so that tests decide when time passes and in which zone.
#pragma once

#include <cstdint>
#include <string>

namespace qv
{

class IClock
{
public:
    virtual ~IClock() = default;
    virtual int64_t NowUtcMs() = 0; // milliseconds since 1970-01-01 UTC
    // Milliseconds since some start, never set back: for intervals, which a corrected wall clock must not stretch.
    virtual int64_t MonotonicMs() = 0;
    // Local time minus UTC at that instant, in minutes (east positive), by the rules in force then: a time after
    // a daylight-saving change is shown with the offset of its own day, not today's.
    virtual int32_t LocalOffsetMinutesAt(int64_t nUtcMs) = 0;
};

// How the machine's user writes times and numbers.
class ILocale
{
public:
    virtual ~ILocale() = default;
    // A time of day in the user's long time format (with seconds, and an AM/PM designator where the user has one).
    virtual std::string LongTimeText(int nHour, int nMinute, int nSecond) = 0;
    virtual std::string DecimalSeparator() = 0;
};

enum class TimerId { Check, Browser };

class ITimers
{
public:
    virtual ~ITimers() = default;
    // Starting a running timer restarts it; the owner's handler runs on the user-interface thread.
    virtual void Start(TimerId nId, int64_t nMilliseconds) = 0;
    virtual void Stop(TimerId nId) = 0;
};

class ITimerEvents
{
public:
    virtual ~ITimerEvents() = default;
    virtual void OnTimer(TimerId nId) = 0;
};

} // namespace qv
