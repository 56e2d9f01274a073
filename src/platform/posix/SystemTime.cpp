#include "platform/SystemTime.h"

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

} // namespace

const IClock& SystemClock() {
    static const CSystemClock clock;
    return clock;
}

bool LocalTime(std::int64_t t, std::tm* out) {
    const auto value = static_cast<std::time_t>(t);
    return localtime_r(&value, out) != nullptr;
}
