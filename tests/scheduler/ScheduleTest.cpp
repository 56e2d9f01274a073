#include "scheduler/Schedule.h"

#include "platform/Clock.h"

#include "ClockChangeChecks.h"

#include <climits>

namespace {

// A schedule evaluated at a settable "now", in a zone without clock changes; the
// daylight-saving tests pick their zones themselves.
class ScheduleTest : public ::testing::Test {
protected:
    ScopedTimeZone zone{"UTC0"};
    CFakeClock clock;
    ScopedClock scoped{clock};

    void At(CTime t) { clock.SetNow(t.GetTime()); }

    // The text shown for a run: the C runtime's "%c", e.g. "Mon Jun  2 12:00:00 2025" here and
    // "06/02/25 12:00:00" on Windows.
    static std::string Text(CTime t) { return t.Format("%c"); }

    static CSchedule Repeating(int count, int unit, CTime anchor) {
        CSchedule s;
        s.m_bOnce = 0;
        s.m_nCount = count;
        s.m_nUnit = unit;
        s.m_timeStart = anchor;
        s.m_timeLastRun = anchor;
        return s;
    }

    // Advances and checks the promise every caller relies on: a further run is shown and
    // lies strictly after now.
    BOOL AdvanceChecked(CSchedule& s, std::string& text) {
        const BOOL more = s.Advance(text);
        if (more) {
            EXPECT_FALSE(text.empty());
            const auto next = s.GetNextRun();
            EXPECT_TRUE(next.has_value());
            if (next) {
                EXPECT_GT(next->GetTime(), clock.Now()) << Show(*next);
                EXPECT_EQ(text, next->Format("%c"));
            }
        }
        return more;
    }
};

TEST_F(ScheduleTest, NewScheduleTakesOneReadingOfNowAndRoundTripsThroughTheRecord) {
    At(Local(2025, 6, 1, 9, 0));
    CSchedule s;
    EXPECT_EQ(s.m_timeStart, Local(2025, 6, 1, 9, 0));
    EXPECT_EQ(s.m_timeEnd, s.m_timeStart);
    EXPECT_EQ(s.m_timeLastRun, s.m_timeStart);
    EXPECT_TRUE(s.m_bOnce);
    EXPECT_EQ(s.m_nCount, 1);
    EXPECT_FALSE(s.m_bLoaded);

    s.m_timeStart = CTime(INT32_MIN);
    s.m_timeEnd = CTime(INT32_MAX);
    s.m_timeLastRun = CTime(-5);
    s.m_bOnce = 0;
    s.m_bEndDate = 1;
    s.m_bDisabled = 0;
    s.m_nCount = -7;
    s.m_nUnit = 99;
    s.m_bCleared = 1;
    const auto record = s.CreateRecord();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->bEndDate, 1);
    EXPECT_EQ(record->bDisabled, 0);
    CSchedule back;
    back.LoadFromRecord(record.get());
    EXPECT_EQ(back.CreateRecord()->ToBytes(), record->ToBytes());
    EXPECT_TRUE(back.m_bLoaded);
    EXPECT_FALSE(back.IsCleared());
}

TEST_F(ScheduleTest, PeriodsOfEachUnit) {
    const std::vector<std::pair<std::pair<int, int>, std::int64_t>> cases = {
        {{1, 0}, 60},     {{5, 1}, 18000},
        {{2, 2}, 172800}, {{3, 3}, 1814400},
        {{1, 4}, 0},      {{1, -1}, 0},
        {{1, 99}, 0},     {{0, 2}, 0},
        {{-1, 0}, 0},     {{3550, 3}, 2147040000},
        {{3551, 3}, 0},   {{INT32_MAX, 0}, 0},
    };
    for (const auto& [input, seconds] : cases) {
        CSchedule s = Repeating(input.first, input.second, CTime(0));
        CTimeSpan span(-1);
        s.GetPeriod(span);
        EXPECT_EQ(span.GetTotalSeconds(), seconds) << input.first << " x unit " << input.second;
    }
}

TEST_F(ScheduleTest, EveryTwoHours) {
    CSchedule s = Repeating(2, PeriodUnit::Hours, Local(2025, 6, 2, 8, 0));
    At(Local(2025, 6, 2, 9, 59, 59));
    EXPECT_FALSE(s.IsDue());
    At(Local(2025, 6, 2, 10, 0, 30));
    ASSERT_TRUE(s.IsDue());
    std::string text;
    EXPECT_TRUE(AdvanceChecked(s, text));
    EXPECT_EQ(s.m_timeLastRun, Local(2025, 6, 2, 10, 0));
    EXPECT_EQ(text, Text(Local(2025, 6, 2, 12, 0)));

    // Exactly on time.
    s = Repeating(2, PeriodUnit::Hours, Local(2025, 6, 2, 8, 0));
    At(Local(2025, 6, 2, 10, 0));
    ASSERT_TRUE(s.IsDue());
    EXPECT_TRUE(AdvanceChecked(s, text));
    EXPECT_EQ(s.m_timeLastRun, Local(2025, 6, 2, 10, 0));

    // Missed occurrences give one run, and the anchor skips them.
    s = Repeating(2, PeriodUnit::Hours, Local(2025, 6, 2, 8, 0));
    At(Local(2025, 6, 2, 13, 30));
    ASSERT_TRUE(s.IsDue());
    EXPECT_TRUE(AdvanceChecked(s, text));
    EXPECT_EQ(s.m_timeLastRun, Local(2025, 6, 2, 12, 0));
    EXPECT_EQ(text, Text(Local(2025, 6, 2, 14, 0)));
    EXPECT_FALSE(s.IsDue());
}

TEST_F(ScheduleTest, DailyUntilAnEndDate) {
    CSchedule s = Repeating(1, PeriodUnit::Days, Local(2025, 6, 1, 9, 0));
    s.m_bEndDate = 1;
    s.m_timeEnd = Local(2025, 6, 3, 12, 0);
    std::string text;
    At(Local(2025, 6, 2, 9, 0, 20));
    ASSERT_TRUE(s.IsDue());
    EXPECT_TRUE(AdvanceChecked(s, text));
    EXPECT_EQ(text, Text(Local(2025, 6, 3, 9, 0)));
    At(Local(2025, 6, 3, 9, 0, 20));
    ASSERT_TRUE(s.IsDue());
    EXPECT_FALSE(s.Advance(text));
    EXPECT_EQ(s.m_timeLastRun, Local(2025, 6, 3, 9, 0));

    // One second past the end is too late; without the flag the end is ignored.
    s = Repeating(1, PeriodUnit::Days, Local(2025, 6, 1, 9, 0));
    s.m_timeEnd = Local(2025, 6, 2, 9, 0);
    s.m_bEndDate = 1;
    At(Local(2025, 6, 2, 9, 0));
    EXPECT_TRUE(s.IsDue());
    At(Local(2025, 6, 2, 9, 0, 1));
    EXPECT_FALSE(s.IsDue());
    EXPECT_FALSE(s.Advance(text));
    EXPECT_TRUE(text.empty());
    s.m_bEndDate = 0;
    EXPECT_TRUE(s.IsDue());

    // A next run exactly at the end still counts.
    s = Repeating(1, PeriodUnit::Days, Local(2025, 6, 1, 9, 0));
    s.m_bEndDate = 1;
    s.m_timeEnd = Local(2025, 6, 3, 9, 0);
    At(Local(2025, 6, 2, 9, 0));
    EXPECT_TRUE(AdvanceChecked(s, text));
}

TEST_F(ScheduleTest, OnceOnlyAndDisabled) {
    CSchedule s;
    s.m_timeStart = Local(2025, 6, 2, 14, 30);
    s.m_timeLastRun = Local(2020, 1, 1, 0, 0);
    At(Local(2025, 6, 2, 14, 29, 59));
    EXPECT_FALSE(s.IsDue());
    At(Local(2025, 6, 2, 14, 30));
    EXPECT_TRUE(s.IsDue());
    // Long after the start and after an end date: still due once.
    s.m_bEndDate = 1;
    s.m_timeEnd = Local(2025, 6, 1, 0, 0);
    At(Local(2025, 7, 1, 0, 0));
    EXPECT_TRUE(s.IsDue());
    std::string text = "stale";
    EXPECT_FALSE(s.Advance(text));
    EXPECT_TRUE(text.empty());
    // Count and unit play no part.
    s.m_bEndDate = 0;
    s.m_nCount = 0;
    s.m_nUnit = 99;
    EXPECT_TRUE(s.IsDue());

    for (CSchedule d : {s, Repeating(1, PeriodUnit::Minutes, CTime(0))}) {
        d.m_bDisabled = 1;
        EXPECT_FALSE(d.IsDue());
    }
}

TEST_F(ScheduleTest, StartMadeTheAnchorRunsOnePeriodLater) {
    CSchedule s = Repeating(1, PeriodUnit::Days, Local(2025, 6, 1, 9, 0));
    At(Local(2025, 6, 1, 9, 0));
    EXPECT_FALSE(s.IsDue());
    At(Local(2025, 6, 2, 8, 59, 59));
    EXPECT_FALSE(s.IsDue());
    At(Local(2025, 6, 2, 9, 0));
    EXPECT_TRUE(s.IsDue());
}

TEST_F(ScheduleTest, Monthly) {
    CSchedule s = Repeating(1, PeriodUnit::Months, Local(2025, 5, 15, 18, 0));
    At(Local(2025, 6, 15, 17, 59));
    EXPECT_FALSE(s.IsDue());
    At(Local(2025, 6, 15, 18, 0));
    EXPECT_TRUE(s.IsDue());

    s = Repeating(1, PeriodUnit::Months, Local(2025, 1, 10, 10, 0));
    At(Local(2025, 2, 10, 10, 0, 30));
    ASSERT_TRUE(s.IsDue());
    std::string text;
    EXPECT_TRUE(AdvanceChecked(s, text));
    EXPECT_EQ(s.m_timeLastRun, Local(2025, 2, 10, 10, 0));
    EXPECT_EQ(text, Text(Local(2025, 3, 10, 10, 0)));

    // Every three months after missed runs: the rhythm restarts from the latest month.
    s = Repeating(3, PeriodUnit::Months, Local(2025, 1, 10, 10, 0));
    At(Local(2025, 4, 10, 9, 59));
    EXPECT_FALSE(s.IsDue());
    At(Local(2025, 5, 15, 12, 0));
    ASSERT_TRUE(s.IsDue());
    EXPECT_TRUE(AdvanceChecked(s, text));
    EXPECT_EQ(s.m_timeLastRun, Local(2025, 5, 10, 10, 0));
    EXPECT_EQ(text, Text(Local(2025, 8, 10, 10, 0)));
}

TEST_F(ScheduleTest, MonthStepAcrossMonthLengthsAndLeapYears) {
    struct Case {
        CTime from;
        CTime to;
    };
    const std::vector<Case> cases = {
        {Local(2025, 1, 10, 10, 0), Local(2025, 2, 10, 10, 0)},
        {Local(2025, 2, 10, 10, 0), Local(2025, 3, 10, 10, 0)},
        {Local(2025, 1, 31, 10, 0), Local(2025, 2, 28, 10, 0)},
        {Local(2024, 1, 31, 10, 0), Local(2024, 2, 29, 10, 0)},
        {Local(2025, 1, 29, 23, 59, 59), Local(2025, 2, 28, 23, 59, 59)},
        {Local(2024, 1, 29, 0, 0), Local(2024, 2, 29, 0, 0)},
        {Local(2024, 2, 29, 12, 0), Local(2024, 3, 29, 12, 0)},
        {Local(2100, 1, 30, 12, 0), Local(2100, 2, 28, 12, 0)}, // beyond the range: see below
        {Local(2000, 1, 30, 12, 0), Local(2000, 2, 29, 12, 0)},
        {Local(2025, 5, 31, 8, 0), Local(2025, 6, 30, 8, 0)},
        {Local(2025, 8, 31, 8, 0), Local(2025, 9, 30, 8, 0)},
        {Local(2025, 7, 31, 8, 0), Local(2025, 8, 31, 8, 0)},
        {Local(2025, 12, 31, 8, 0), Local(2026, 1, 31, 8, 0)},
        {Local(2025, 11, 30, 8, 0), Local(2025, 12, 30, 8, 0)},
    };
    for (const auto& c : cases) {
        if (c.from.GetTime() == -1) {
            continue; // 2100 does not fit 32 bits
        }
        const auto to = CSchedule::StepMonth(c.from, c.from.GetDay());
        ASSERT_TRUE(to.has_value()) << Show(c.from);
        EXPECT_EQ(Show(*to), Show(c.to)) << "from " << Show(c.from);
    }
    // A later step goes back to the anchor day where the month has it.
    EXPECT_EQ(CSchedule::StepMonth(Local(2025, 2, 28, 10, 0), 30), Local(2025, 3, 30, 10, 0));
    EXPECT_EQ(CSchedule::StepMonth(Local(2025, 4, 30, 10, 0), 31), Local(2025, 5, 31, 10, 0));
    EXPECT_FALSE(CSchedule::StepMonth(Local(2025, 4, 30, 10, 0), 0).has_value());
    EXPECT_FALSE(CSchedule::StepMonth(CTime(INT32_MAX - 86400), 18).has_value());
}

TEST_F(ScheduleTest, MonthlyFromTheThirtiethKeepsTheDayWhileWalkingMissedMonths) {
    CSchedule s = Repeating(1, PeriodUnit::Months, Local(2025, 1, 30, 7, 0));
    At(Local(2025, 2, 28, 7, 0));
    EXPECT_TRUE(s.IsDue());
    At(Local(2025, 3, 31, 12, 0));
    std::string text;
    EXPECT_TRUE(AdvanceChecked(s, text));
    EXPECT_EQ(Show(s.m_timeLastRun), "2025-03-30 07:00:00"); // via 28 Feb, back to day 30
    EXPECT_EQ(text, Text(Local(2025, 4, 30, 7, 0)));

    // From the 31st the anchor settles on the shorter day once it has moved there.
    s = Repeating(1, PeriodUnit::Months, Local(2025, 1, 31, 7, 0));
    At(Local(2025, 2, 28, 7, 0));
    ASSERT_TRUE(s.IsDue());
    EXPECT_TRUE(AdvanceChecked(s, text));
    EXPECT_EQ(Show(s.m_timeLastRun), "2025-02-28 07:00:00");
    EXPECT_EQ(text, Text(Local(2025, 3, 28, 7, 0)));
}

// Zones with clock changes that the Windows C runtime knows too: TZ "EST5EDT", to which it
// gives the United States' rules, as the zone database does. Other zones: ScheduleZoneTest.cpp.
TEST(ScheduleDstTest, MonthStepsLandInTheFollowingMonth) {
    ExpectMonthStepsLandInTheFollowingMonth("EST5EDT");
}

TEST(ScheduleDstTest, PeriodsAreExactSecondsAcrossClockChanges) {
    ExpectDailyRunADayLater({"EST5EDT", 2025, 3, 8, "2025-03-09 10:00:00"});
    ExpectDailyRunADayLater({"EST5EDT", 2025, 11, 1, "2025-11-02 08:00:00"});
}

TEST(ScheduleDstTest, MonthStepThatAClockChangeWouldCarryBackToItsStart) {
    ExpectMonthStepPastTheChange({"EST5EDT", 10, 5, "2025-11-05 00:30:00"});
}

TEST_F(ScheduleTest, ValuesOutsideTheModelNeverLoopNeverOverflowNeverRepeat) {
    const CTime now = Local(2025, 6, 2, 12, 0);
    At(now);
    std::string text;
    // No valid period: never due, finished if asked to move on.
    for (int unit : {-1, 0, 1, 2, 3, 4, 5, 99, INT32_MIN, INT32_MAX}) {
        for (int count : {0, -1, INT32_MIN}) {
            CSchedule s = Repeating(count, unit, CTime(INT32_MIN));
            EXPECT_FALSE(s.IsDue()) << count << " x " << unit;
            EXPECT_FALSE(s.Advance(text)) << count << " x " << unit;
        }
    }
    for (int unit : {-1, 5, 99}) {
        CSchedule s = Repeating(1, unit, CTime(INT32_MIN));
        EXPECT_FALSE(s.IsDue()) << unit;
    }
    for (int unit : {0, 1, 2, 3, 4}) {
        CSchedule s = Repeating(INT32_MAX, unit, CTime(INT32_MIN));
        EXPECT_FALSE(s.IsDue()) << unit; // the period runs past the end of time
    }

    // Valid, but with the anchor at the start of time: one run, and the anchor jumps.
    CSchedule minutes = Repeating(1, PeriodUnit::Minutes, CTime(INT32_MIN));
    ASSERT_TRUE(minutes.IsDue());
    EXPECT_TRUE(AdvanceChecked(minutes, text));
    EXPECT_LE(minutes.m_timeLastRun, now);
    EXPECT_GT(minutes.m_timeLastRun.GetTime(), now.GetTime() - 60);
    EXPECT_FALSE(minutes.IsDue());

    // Months need the local date, which the Windows C runtime gives from 1970 on only.
    CSchedule months = Repeating(2, PeriodUnit::Months, CTime(0));
    ASSERT_TRUE(months.IsDue());
    EXPECT_TRUE(AdvanceChecked(months, text));
    EXPECT_EQ(months.m_timeLastRun.GetDay(), 1);
    EXPECT_FALSE(months.IsDue());

    // The longest period that fits.
    CSchedule longest = Repeating(35791394, PeriodUnit::Minutes, CTime(INT32_MIN));
    ASSERT_TRUE(longest.IsDue());
    EXPECT_TRUE(AdvanceChecked(longest, text));

    // Anchors and ends at the very end of time.
    CSchedule late = Repeating(1, PeriodUnit::Hours, CTime(INT32_MAX - 10));
    EXPECT_FALSE(late.IsDue());
    late.m_bEndDate = 1;
    late.m_timeEnd = CTime(INT32_MAX);
    EXPECT_FALSE(late.IsDue());
    late.m_timeEnd = CTime(INT32_MIN);
    EXPECT_FALSE(late.IsDue());
}

TEST_F(ScheduleTest, ARunThatCannotBeRepresentedEndsTheSchedule) {
    // The clock itself at the end of time: the run is due, but the next one does not exist,
    // so the schedule is finished instead of staying due with an empty text.
    clock.SetNow(INT32_MAX);
    for (int unit : {0, 1, 2, 3, 4}) {
        CSchedule s = Repeating(1, unit, CTime(INT32_MAX - 40 * 86400));
        ASSERT_TRUE(s.IsDue()) << unit;
        std::string text = "stale";
        EXPECT_FALSE(s.Advance(text)) << unit;
        EXPECT_TRUE(text.empty()) << unit;
    }
}

} // namespace
