// Local times the Windows C runtime cannot give, so checked on this system only: zones other
// than the United States' (it reads TZ as a name and an offset and gives every zone their
// daylight rules, so that Europe and the southern hemisphere come out wrong), and dates before
// 1970.
#include "ClockChangeChecks.h"

#include <climits>

namespace {

TEST(ScheduleZoneTest, MonthStepsLandInTheFollowingMonth) {
    for (const char* zone : {"Europe/Berlin", "Australia/Sydney"}) {
        ExpectMonthStepsLandInTheFollowingMonth(zone);
    }
}

TEST(ScheduleZoneTest, PeriodsAreExactSecondsAcrossClockChanges) {
    ExpectDailyRunADayLater({"Europe/Berlin", 2025, 3, 29, "2025-03-30 10:00:00"});
    ExpectDailyRunADayLater({"Europe/Berlin", 2025, 10, 25, "2025-10-26 08:00:00"});
}

TEST(ScheduleZoneTest, MonthStepThatAClockChangeWouldCarryBackToItsStart) {
    ExpectMonthStepPastTheChange({"Europe/Berlin", 10, 10, "2025-11-10 00:30:00"});
    ExpectMonthStepPastTheChange({"Europe/Berlin", 10, 31, "2025-11-30 00:30:00"});
    ExpectMonthStepPastTheChange({"Australia/Sydney", 3, 20, "2025-04-20 00:30:00"});
}

TEST(ScheduleZoneTest, MonthsFromAnAnchorBefore1970RunOnceAndJump) {
    ScopedTimeZone tz("UTC0");
    CFakeClock clock(Local(2025, 6, 2, 12, 0).GetTime());
    ScopedClock scoped(clock);
    CSchedule months;
    months.m_bOnce = 0;
    months.m_nCount = 2;
    months.m_nUnit = PeriodUnit::Months;
    months.m_timeLastRun = CTime(INT32_MIN);
    ASSERT_TRUE(months.IsDue());
    std::string text;
    EXPECT_TRUE(months.Advance(text));
    EXPECT_EQ(months.m_timeLastRun.GetDay(), CTime(INT32_MIN).GetDay());
    EXPECT_FALSE(months.IsDue());
}

} // namespace
