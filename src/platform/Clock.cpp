#include "platform/Clock.h"

#include "platform/SystemTime.h"

namespace {

const IClock* g_pClock = nullptr; // the system clock

} // namespace

const IClock& CurrentClock() {
    return g_pClock != nullptr ? *g_pClock : SystemClock();
}

ScopedClock::ScopedClock(const IClock& clock) : m_pPrevious(g_pClock) {
    g_pClock = &clock;
}

ScopedClock::~ScopedClock() {
    g_pClock = m_pPrevious;
}

DWORD GetTickCount() {
    return CurrentClock().GetTickCount();
}
