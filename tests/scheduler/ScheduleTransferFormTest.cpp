#include "scheduler/ScheduleTransferForm.h"
#include "scheduler/Schedule.h"
#include "scheduler/SchedulerTestSupport.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

// A dialog that does to the form what a user would, then ends with `result`.
class CScriptedDialog : public IScheduleTransferDialog {
public:
    CScriptedDialog(std::function<void(CScheduleTransferForm&)> user, int result)
        : m_user(std::move(user)), m_result(result) {}
    int DoModal(CScheduleTransferForm& form) override {
        m_user(form);
        return m_result;
    }

private:
    std::function<void(CScheduleTransferForm&)> m_user;
    int m_result;
};

std::unique_ptr<SCHEDULEDATA> Record(const CSchedule& s) {
    return s.CreateRecord();
}

TEST(ScheduleTransferFormTest, SwitchesDecideWhatIsEnabledAndAnEndDateMeansRepeating) {
    CScheduleTransferForm fresh;
    fresh.LoadFrom(CSchedule());
    EXPECT_FALSE(fresh.IsClearEnabled());

    SCHEDULEDATA both = StoredSchedule();
    both.bOnce = 1; // once and an end date together open as a repeating schedule
    CScheduleTransferForm form;
    form.LoadFrom(LoadedSchedule(both));
    EXPECT_TRUE(form.IsClearEnabled());
    form.SetEndDate(form.m_bEndDate);
    EXPECT_EQ(form.m_bOnce, 0);
    EXPECT_FALSE(form.IsOnceEnabled());
    EXPECT_TRUE(form.IsPeriodEnabled());
    EXPECT_TRUE(form.IsEndEnabled());

    // Unchecking the end date offers "Transfer once" again but leaves the schedule repeating.
    form.SetEndDate(FALSE);
    EXPECT_TRUE(form.IsOnceEnabled());
    EXPECT_FALSE(form.IsEndEnabled());
    EXPECT_EQ(form.m_bOnce, 0);
    form.SetOnce(TRUE);
    EXPECT_FALSE(form.IsPeriodEnabled());
}

TEST(ScheduleTransferFormTest, AnEndBeforeTheStartJumpsToItAnEqualOneStays) {
    CScheduleTransferForm form;
    form.m_timeStartDate = CTime(2026, 3, 9, 1, 0, 0);
    form.m_timeStartTime = CTime(2020, 1, 1, 15, 35, 0);
    form.m_timeEndDate = CTime(2026, 3, 2, 23, 0, 0);
    form.m_timeEndTime = CTime(2026, 3, 2, 16, 0, 0);
    EXPECT_TRUE(form.OnDateTimeChange());
    EXPECT_EQ(form.m_timeEndDate, form.m_timeStartDate);
    EXPECT_EQ(form.m_timeEndTime, form.m_timeStartTime);

    // Equal by day and minute, whatever else the fields hold: left as it is.
    form.m_timeEndDate = CTime(2026, 3, 9, 8, 0, 0);
    form.m_timeEndTime = CTime(2021, 5, 5, 15, 35, 59);
    EXPECT_FALSE(form.OnDateTimeChange());
    EXPECT_EQ(form.m_timeEndTime, CTime(2021, 5, 5, 15, 35, 59));
}

TEST(ScheduleTransferFormTest, ARepeatingScheduleNeedsAPositiveCountAndAUnit) {
    CScheduleTransferForm form;
    form.m_bOnce = 0;
    form.m_nCount = 5;
    form.m_nUnit = PeriodUnit::Days;
    using Refusal = CScheduleTransferForm::Refusal;
    for (const char* bad : {"", "0", "4294967296", "2147483648", "-1", "1x"}) {
        EXPECT_EQ(form.OnOK(bad, PeriodUnit::Hours), Refusal::Count) << bad;
    }
    EXPECT_EQ(form.m_nCount, 5u);
    EXPECT_EQ(form.OnOK("40000", CScheduleTransferForm::kNoUnit), Refusal::Unit);
    EXPECT_EQ(form.OnOK("2147483647", PeriodUnit::Hours), Refusal::None);
    EXPECT_EQ(form.m_nCount, 2147483647u);
    EXPECT_EQ(form.m_nUnit, PeriodUnit::Hours);

    // A single transfer keeps a count and a unit that were not the user's to change.
    form.SetOnce(TRUE);
    EXPECT_EQ(form.OnOK("", CScheduleTransferForm::kNoUnit), Refusal::None);
    EXPECT_EQ(form.OnOK("0", CScheduleTransferForm::kNoUnit), Refusal::None);
    EXPECT_EQ(form.m_nCount, 0u);
    EXPECT_EQ(form.m_nUnit, PeriodUnit::Hours);
}

TEST(ScheduleTransferFormTest, EditCombinesDayAndMinuteAndKeepsTheAnchorOfARunSchedule) {
    // Not stored: counts from its start, even from a later last run; seconds are dropped.
    CSchedule fresh;
    fresh.m_timeLastRun = CTime(2027, 1, 1, 0, 0, 0);
    CScriptedDialog set(
        [](CScheduleTransferForm& f) {
            f.m_timeStartDate = CTime(2026, 3, 2, 1, 2, 3);
            f.m_timeStartTime = CTime(2025, 7, 9, 14, 35, 47);
            f.m_timeEndDate = CTime(2026, 5, 1, 0, 0, 0);
            f.m_timeEndTime = CTime(2024, 2, 2, 23, 59, 58);
            f.SetEndDate(TRUE);
            f.m_bDisabled = 1;
            ASSERT_EQ(f.OnOK("2", PeriodUnit::Hours), CScheduleTransferForm::Refusal::None);
        },
        IDOK);
    EXPECT_TRUE(fresh.Edit(set));
    ExpectTheEditedFreshSchedule(fresh);

    // Stored and already run after the new start: keeps counting from that run; a start moved
    // past the last run becomes the anchor.
    for (const int day : {5, 20}) {
        CSchedule ran = LoadedSchedule(StoredSchedule());
        const CTime lastRun = ran.m_timeLastRun;
        CScriptedDialog move(
            [day](CScheduleTransferForm& f) { f.m_timeStartDate = CTime(2026, 3, day, 0, 0, 0); },
            IDOK);
        EXPECT_TRUE(ran.Edit(move));
        EXPECT_EQ(ran.m_timeStart, CTime(2026, 3, day, 9, 15, 0));
        EXPECT_EQ(ran.m_timeLastRun, day == 5 ? lastRun : ran.m_timeStart);
    }
}

TEST(ScheduleTransferFormTest, ClearCopiesOnlyTheMarkAndCancelCopiesNothing) {
    const CSchedule stored = LoadedSchedule(StoredSchedule());
    CSchedule cleared = stored;
    CScriptedDialog clear(
        [](CScheduleTransferForm& f) {
            f.m_bDisabled = 1;
            f.m_timeStartDate = CTime(2026, 6, 1, 0, 0, 0);
            f.OnClear();
        },
        IDOK);
    EXPECT_TRUE(cleared.Edit(clear));
    EXPECT_TRUE(cleared.IsCleared());
    cleared.m_bCleared = 0;
    EXPECT_EQ(Record(cleared)->ToBytes(), Record(stored)->ToBytes());

    CSchedule cancelled = stored;
    CScriptedDialog cancel([](CScheduleTransferForm& f) { f.SetOnce(TRUE), f.OnClear(); },
                           IDCANCEL);
    EXPECT_FALSE(cancelled.Edit(cancel));
    EXPECT_FALSE(cancelled.IsCleared());
    EXPECT_EQ(Record(cancelled)->ToBytes(), Record(stored)->ToBytes());
}

} // namespace
