// What the system itself says about time, one backend per system: the real clock and tick
// count, and local-time breakdown and formatting in the C locale.
#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <ctime>
#include <string>

// The system's clock: time() and the millisecond tick count.
const IClock& SystemClock();

// The local-time breakdown of `t` seconds since 1970; false when the system cannot give one.
bool LocalTime(std::int64_t t, std::tm* out);

// strftime in the C locale whatever the process locale, so that names and formats never follow
// the user's language settings.
std::string FormatTimeC(const char* format, const std::tm& tm);
