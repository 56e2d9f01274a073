// Local dates before 1970, which the Windows C runtime does not give: this system only.
#include "ClockChangeChecks.h"

#include <climits>

namespace {

TEST(ScheduleBefore1970Test, MonthsFromAnAnchorBefore1970RunOnceAndJump) {
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
