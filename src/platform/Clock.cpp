#include "platform/Clock.h"

#include <ctime>

namespace {

class CSystemClock : public IClock {
public:
    std::int64_t Now() const override { return static_cast<std::int64_t>(std::time(nullptr)); }
    DWORD GetTickCount() const override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        const auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                        static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
        return static_cast<DWORD>(ms);
    }
};

const CSystemClock g_systemClock;
const IClock* g_pClock = &g_systemClock;

} // namespace

const IClock& CurrentClock() {
    return *g_pClock;
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
