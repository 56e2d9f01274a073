// One schedule in working form: is a run due now, and where does it go after a run.
#pragma once

#include "platform/Time.h"
#include "platform/Types.h"
#include "scheduler/ScheduleData.h"

#include <memory>
#include <string>

// Period unit codes, as stored and as the period combo box carries them.
namespace PeriodUnit {
constexpr int Minutes = 0;
constexpr int Hours = 1;
constexpr int Days = 2;
constexpr int Weeks = 3;
constexpr int Months = 4;
} // namespace PeriodUnit

class CSchedule {
public:
    CSchedule();
    virtual ~CSchedule() = default;

    void LoadFromRecord(const SCHEDULEDATA* pData);
    std::unique_ptr<SCHEDULEDATA> CreateRecord() const;
    // The period of units 0 to 3; 0 for months and unknown units.
    void GetPeriod(CTimeSpan& span) const;
    BOOL IsDue() const;
    // Moves the anchor to the latest occurrence not later than now; `next` receives the next
    // run as text. FALSE when no run remains.
    BOOL Advance(std::string& next);
    BOOL IsCleared() const { return m_bCleared; }
    // Runs the Schedule Transfer dialog on this schedule (Qt; see ScheduleTransferDlg).
    BOOL Edit();

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
};
