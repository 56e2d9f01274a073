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
    // Our own time texts: the offset, never the C runtime's zone name.
    const ScopedTimeZone zone("Europe/Berlin");
    EXPECT_EQ(CTime(2025, 7, 1, 9, 5, 0).Format("%Y-%m-%dT%H:%M:%S%z %c %I%p"),
              "2025-07-01T09:05:00+0200 Tue Jul  1 09:05:00 2025 09AM");
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
    const ScopedTimeZone zone("Australia/Sydney");
    EXPECT_EQ(CTime(2025, 1, 1, 0, 0, 0).Format("%z %B %A"), "+1100 January Wednesday");
    ExpectMonthStepPastTheChange({"Australia/Sydney", 3, 20, "2025-04-20 00:30:00"});
}

} // namespace
