#include "platform/SystemTime.h"

#include "platform/win32/Api.h"

namespace {

class CSystemClock : public IClock {
public:
    std::int64_t Now() const override { return static_cast<std::int64_t>(std::time(nullptr)); }
    DWORD GetTickCount() const override { return win32::TickCount(); }
};

} // namespace

const IClock& SystemClock() {
    static const CSystemClock clock;
    return clock;
}

bool LocalTime(std::int64_t t, std::tm* out) {
    const auto value = static_cast<__time64_t>(t);
    return _localtime64_s(out, &value) == 0;
}
