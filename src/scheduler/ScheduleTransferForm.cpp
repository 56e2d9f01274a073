#include "scheduler/ScheduleTransferForm.h"

#include <cstdint>
#include <cstdlib>

void CScheduleTransferForm::LoadFrom(const CSchedule& schedule) {
    m_bEndDate = schedule.m_bEndDate;
    m_bOnce = schedule.m_bOnce;
    m_bDisabled = schedule.m_bDisabled;
    m_nCount = static_cast<DWORD>(schedule.m_nCount);
    m_nUnit = schedule.m_nUnit;
    m_timeStartDate = m_timeStartTime = schedule.m_timeStart;
    m_timeEndDate = m_timeEndTime = schedule.m_timeEnd;
    m_bCanClear = schedule.m_bLoaded;
    m_bCleared = 0;
}

void CScheduleTransferForm::SaveTo(CSchedule& schedule) const {
    schedule.m_bCleared = m_bCleared;
    if (m_bCleared) {
        return;
    }
    schedule.m_bEndDate = m_bEndDate;
    schedule.m_bOnce = m_bOnce;
    schedule.m_bDisabled = m_bDisabled;
    schedule.m_nUnit = m_nUnit;
    schedule.m_nCount = static_cast<LONG>(m_nCount);
    schedule.m_timeStart = CombineDateAndTime(m_timeStartDate, m_timeStartTime);
    schedule.m_timeEnd = CombineDateAndTime(m_timeEndDate, m_timeEndTime);
    // The next run is counted from the anchor: a new schedule counts from its start, an
    // existing one keeps counting from its last run unless the start moved past it.
    schedule.CountFrom(schedule.m_bLoaded ? schedule.m_timeLastRun : schedule.m_timeStart);
}

void CScheduleTransferForm::SetEndDate(BOOL bEndDate) {
    m_bEndDate = bEndDate;
    if (m_bEndDate) {
        m_bOnce = 0;
    }
}

BOOL CScheduleTransferForm::OnDateTimeChange() {
    const CTime start = CombineDateAndTime(m_timeStartDate, m_timeStartTime);
    const CTime end = CombineDateAndTime(m_timeEndDate, m_timeEndTime);
    if (!(end < start)) {
        return FALSE;
    }
    m_timeEndDate = m_timeStartDate;
    m_timeEndTime = m_timeStartTime;
    return TRUE;
}

CScheduleTransferForm::Refusal CScheduleTransferForm::OnOK(const std::string& countText,
                                                           int nSelectedUnit) {
    char* end = nullptr;
    const unsigned long long count = std::strtoull(countText.c_str(), &end, 10);
    const bool digits = !countText.empty() && *end == '\0' &&
                        countText.find_first_not_of("0123456789") == std::string::npos;
    const bool readable = digits && count <= 0xFFFFFFFFULL;
    if (m_bOnce) {
        if (readable) {
            m_nCount = static_cast<DWORD>(count);
        }
    } else if (!readable || count == 0 || count > static_cast<unsigned long long>(INT32_MAX)) {
        // A repeating schedule needs at least one unit per period, and the stored count is a
        // signed 32-bit number.
        return Refusal::Count;
    } else {
        m_nCount = static_cast<DWORD>(count);
    }
    if (nSelectedUnit != kNoUnit) {
        m_nUnit = nSelectedUnit;
    } else if (!m_bOnce) {
        // A repeating schedule without a unit would never run again.
        return Refusal::Unit;
    }
    return Refusal::None;
}

CTime CScheduleTransferForm::CombineDateAndTime(const CTime& date, const CTime& time) {
    return CTime(date.GetYear(), date.GetMonth(), date.GetDay(), time.GetHour(), time.GetMinute(),
                 0, -1);
}

BOOL CSchedule::Edit(IScheduleTransferDialog& dialog) {
    CScheduleTransferForm form;
    form.LoadFrom(*this);
    if (dialog.DoModal(form) != IDOK) {
        return FALSE;
    }
    form.SaveTo(*this);
    return TRUE;
}
