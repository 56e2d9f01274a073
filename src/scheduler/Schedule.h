// One schedule in working form: is a run due now, and where does it go after a run.
//
// Repeating schedules run one period after their anchor (m_timeLastRun); periods of minutes to
// weeks are exact numbers of seconds, a month is a calendar step (StepMonth). Values the model
// does not allow can arrive from the client or from a typed dialog entry; they are decided
// here so that evaluation always ends and never runs a schedule over and over:
//
// - A repeating schedule with a count below 1, a unit outside 0 to 4, or a minutes-to-weeks
//   period longer than a signed 32-bit number of seconds has no valid period. It is never
//   due, GetPeriod gives 0, and Advance reports it finished. The entry stays as the user left
//   it, so the schedule can still be mended in the dialog. A once-only schedule ignores count
//   and unit, as before.
// - A month step from day 29, 30 or 31 into a month without that day yields the last day of
//   the following month, at the same time of day. The anchor moves there after a run, so such
//   a monthly schedule goes on from the shorter day (31 Jan, 28 Feb, 28 Mar, ...).
// - When a daylight-saving change puts t + 31 days on the day before the target day, the step
//   yields the target day at the local time of day of t. Every step yields a later time.
// - Times are computed in 64 bits and never wrap. A run that would fall after the last time a
//   CTime can hold (2038-01-19 03:14:07 UTC) does not exist: IsDue says not due, Advance says
//   finished. Advance also says finished when the next run cannot be shown in local time, so
//   that a schedule can never be left due and unrewritten to start the client every minute.
// - Missed periods are skipped arithmetically, so an anchor decades in the past costs one
//   division, not one loop round per period.
#pragma once

#include "platform/Time.h"
#include "platform/Types.h"
#include "scheduler/ScheduleData.h"

#include <memory>
#include <optional>
#include <string>

// Period unit codes, as stored and as the period combo box carries them.
namespace PeriodUnit {
constexpr int Minutes = 0;
constexpr int Hours = 1;
constexpr int Days = 2;
constexpr int Weeks = 3;
constexpr int Months = 4;
} // namespace PeriodUnit

class IScheduleTransferDialog;

class CSchedule {
public:
    CSchedule();
    virtual ~CSchedule() = default;

    void LoadFromRecord(const SCHEDULEDATA* pData);
    std::unique_ptr<SCHEDULEDATA> CreateRecord() const;
    // The period of units 0 to 3; 0 for months, unknown units and invalid counts.
    void GetPeriod(CTimeSpan& span) const;
    BOOL IsDue() const { return IsDue(CTime::GetCurrentTime()); }
    BOOL IsDue(CTime now) const;
    // Moves the anchor to the latest occurrence not later than now; `next` receives the next
    // run as text. FALSE when no run remains.
    BOOL Advance(std::string& next) { return Advance(next, CTime::GetCurrentTime()); }
    // The same with the "now" a caller judged the schedule due by: a run and its advance must
    // see one time, or a clock stepping back in between leaves the run due a second time.
    BOOL Advance(std::string& next, CTime now);
    BOOL IsCleared() const { return m_bCleared; }
    // Runs a front end's Schedule Transfer dialog over this schedule's fields; FALSE when it
    // was cancelled (nothing changed). Cleared or confirmed, see CScheduleTransferForm::SaveTo.
    BOOL Edit(IScheduleTransferDialog& dialog);
    // Counts the next run from `anchor`, or from the start when the start lies after it.
    void CountFrom(CTime anchor) { m_timeLastRun = anchor < m_timeStart ? m_timeStart : anchor; }

    // True when a repeating schedule has a period it can run by (see above).
    bool HasValidPeriod() const;
    // The next run a repeating schedule waits for: one period (or count month steps) after the
    // anchor. Nothing when it has no valid period or the run lies beyond the CTime range.
    std::optional<CTime> GetNextRun() const;
    // One month step from `t` towards day `anchorDay` of the following month.
    static std::optional<CTime> StepMonth(CTime t, int anchorDay);

    CTime m_timeStart;
    CTime m_timeEnd;
    CTime m_timeLastRun;
    BOOL m_bOnce = 1;
    BOOL m_bDisabled = 0;
    BOOL m_bEndDate = 0;
    BOOL m_bCleared = 0;
    LONG m_nCount = 1;
    LONG m_nUnit = 0;
    BOOL m_bLoaded = 0;

private:
    // `from` moved on by m_nCount month steps towards its own day of the month; stops early
    // (with the first time later than `stopAfter`) when one is given.
    std::optional<CTime> StepMonths(CTime from, std::optional<CTime> stopAfter) const;
};
