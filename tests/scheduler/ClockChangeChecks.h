// Schedule checks that must hold in every time zone, run per zone: ScheduleTest.cpp for the
// zones the Windows C runtime takes from TZ, ScheduleZoneTest.cpp for those of the zone database.
#pragma once

#include "scheduler/Schedule.h"

#include "platform/Clock.h"

#include "SchedulerTestSupport.h"

inline int DaysIn(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && year % 4 == 0 ? 29 : kDays[month - 1]; // 2023 to 2026 only
}

// For every day of three years and several times of day: one step lands on the anchor day (or
// the last day) of the following month, later than before.
inline void ExpectMonthStepsLandInTheFollowingMonth(const char* zone) {
    ScopedTimeZone tz(zone);
    ASSERT_TRUE(tz.Applies()) << zone;
    for (int year = 2023; year <= 2025; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= 31; ++day) {
                for (const auto& [hour, minute] : std::vector<std::pair<int, int>>{
                         {0, 0}, {0, 30}, {1, 30}, {2, 30}, {12, 0}, {23, 30}}) {
                    const CTime from = Local(year, month, day, hour, minute);
                    if (from.GetDay() != day) {
                        continue; // 31 April and the like
                    }
                    const auto to = CSchedule::StepMonth(from, day);
                    ASSERT_TRUE(to.has_value()) << zone << " " << Show(from);
                    EXPECT_GT(*to, from) << zone << " " << Show(from);
                    const int wantMonth = month % 12 + 1;
                    EXPECT_EQ(to->GetMonth(), wantMonth) << zone << " " << Show(from);
                    const int lastDay = DaysIn(year + (month == 12), wantMonth);
                    EXPECT_EQ(to->GetDay(), std::min(day, lastDay))
                        << zone << " " << Show(from) << " -> " << Show(*to);
                }
            }
        }
    }
}

// Daily at 09:00 on the day before a clock change: the next run is 24 hours later, which the
// wall clock shows an hour off.
struct DailyAcrossChange {
    const char* zone;
    int year, month, day;
    const char* next;
};

inline void ExpectDailyRunADayLater(const DailyAcrossChange& c) {
    ScopedTimeZone tz(c.zone);
    ASSERT_TRUE(tz.Applies()) << c.zone;
    CFakeClock clock;
    ScopedClock scoped(clock);
    const CTime anchor = Local(c.year, c.month, c.day, 9, 0);
    CSchedule s;
    s.m_bOnce = 0;
    s.m_nUnit = PeriodUnit::Days;
    s.m_timeLastRun = anchor;
    clock.SetNow(anchor.GetTime() + 86400);
    ASSERT_TRUE(s.IsDue()) << c.zone;
    std::string text;
    ASSERT_TRUE(s.Advance(text)) << c.zone;
    EXPECT_EQ(s.m_timeLastRun.GetTime(), anchor.GetTime() + 86400) << c.zone;
    EXPECT_EQ(Show(s.m_timeLastRun), c.next) << c.zone;
}

// Monthly from 00:30 shortly before the autumn change, where t + 31 days shows the day before
// the anchor day: the step must still move a month on.
struct MonthAcrossChange {
    const char* zone;
    int month;
    int day;
    const char* next;
};

inline void ExpectMonthStepPastTheChange(const MonthAcrossChange& c) {
    ScopedTimeZone tz(c.zone);
    ASSERT_TRUE(tz.Applies()) << c.zone;
    CFakeClock clock;
    ScopedClock scoped(clock);
    CSchedule s;
    s.m_bOnce = 0;
    s.m_nUnit = PeriodUnit::Months;
    s.m_timeLastRun = Local(2025, c.month, c.day, 0, 30);
    const auto next = s.GetNextRun();
    ASSERT_TRUE(next.has_value()) << c.zone;
    EXPECT_EQ(Show(*next), c.next) << c.zone;
    clock.SetNow(next->GetTime() + 30);
    ASSERT_TRUE(s.IsDue()) << c.zone;
    std::string text;
    EXPECT_TRUE(s.Advance(text)) << c.zone;
    EXPECT_EQ(s.m_timeLastRun, *next) << c.zone;
}
