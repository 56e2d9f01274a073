// Zones of the zone database, one test per zone. The Windows C runtime takes them only as the
// system's own zone, which Wine takes from the host's TZ when the program starts; so under Wine
// each of these runs in a program of its own, started in its zone (tests/scheduler/CMakeLists.txt).
#include "ClockChangeChecks.h"

namespace {

TEST(ScheduleZoneTest, Berlin) {
    if (!ScopedTimeZone("Europe/Berlin").Applies()) {
        GTEST_SKIP() << "not this program's zone";
    }
    ExpectMonthStepsLandInTheFollowingMonth("Europe/Berlin");
    ExpectDailyRunADayLater({"Europe/Berlin", 2025, 3, 29, "2025-03-30 10:00:00"});
    ExpectDailyRunADayLater({"Europe/Berlin", 2025, 10, 25, "2025-10-26 08:00:00"});
    ExpectMonthStepPastTheChange({"Europe/Berlin", 10, 10, "2025-11-10 00:30:00"});
    ExpectMonthStepPastTheChange({"Europe/Berlin", 10, 31, "2025-11-30 00:30:00"});
}

TEST(ScheduleZoneTest, Sydney) {
    if (!ScopedTimeZone("Australia/Sydney").Applies()) {
        GTEST_SKIP() << "not this program's zone";
    }
    ExpectMonthStepsLandInTheFollowingMonth("Australia/Sydney");
    ExpectMonthStepPastTheChange({"Australia/Sydney", 3, 20, "2025-04-20 00:30:00"});
}

} // namespace
