// Time, injected so that tests decide when it passes.
#pragma once

#include <cstdint>

namespace qv
{

class IClock
{
public:
    virtual ~IClock() = default;
    virtual int64_t NowUtcMs() = 0;            // milliseconds since 1970-01-01 UTC
    virtual int32_t TimeZoneBiasMinutes() = 0; // UTC = local + bias, as Windows counts it
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
