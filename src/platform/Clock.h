// The one source of "now" and of the millisecond tick count. Tests replace it so that
// schedules and countdowns can be driven without sleeping.
#pragma once

#include "platform/Types.h"

#include <cstdint>

class IClock {
public:
    virtual ~IClock() = default;
    // Seconds since 1970-01-01 00:00:00 UTC.
    virtual std::int64_t Now() const = 0;
    // Milliseconds since some fixed point, wrapping at 2^32 like the system tick count.
    virtual DWORD GetTickCount() const = 0;
};

// The clock in force; the system clock unless a test installed another.
const IClock& CurrentClock();

// Installs a clock for the lifetime of the object and restores the previous one after.
class ScopedClock {
public:
    explicit ScopedClock(const IClock& clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    const IClock* m_pPrevious;
};

DWORD GetTickCount();

// A clock that only moves when told to.
class CFakeClock : public IClock {
public:
    explicit CFakeClock(std::int64_t now = 0, DWORD tick = 0) : m_now(now), m_tick(tick) {}
    std::int64_t Now() const override { return m_now; }
    DWORD GetTickCount() const override { return m_tick; }
    void SetNow(std::int64_t now) { m_now = now; }
    void SetTick(DWORD tick) { m_tick = tick; }
    void Advance(std::int64_t seconds) { m_now += seconds; }
    void AdvanceTicks(DWORD ms) { m_tick += ms; }

private:
    std::int64_t m_now;
    DWORD m_tick;
};
