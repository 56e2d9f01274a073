// What the system itself says about time, one backend per system: the real clock and tick
// count, and the local-time breakdown.
#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <ctime>
#include <string>

// The system's clock: time() and the millisecond tick count.
const IClock& SystemClock();

// The local-time breakdown of `t` seconds since 1970; false when the system cannot give one.
bool LocalTime(std::int64_t t, std::tm* out);
