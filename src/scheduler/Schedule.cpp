#include "scheduler/Schedule.h"

#include <algorithm>
#include <ctime>
#include <new>

namespace {

constexpr std::int64_t kDay = 86400;

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) {
        return 29;
    }
    return kDays[month - 1];
}

// A local date as one comparable number.
long DateKey(const std::tm& tm) {
    return (static_cast<long>(tm.tm_year) * 12 + tm.tm_mon) * 32 + tm.tm_mday;
}

} // namespace

CSchedule::CSchedule() {
    const CTime now = CTime::GetCurrentTime();
    m_timeStart = now;
    m_timeEnd = now;
    m_timeLastRun = now;
}

void CSchedule::LoadFromRecord(const SCHEDULEDATA* pData) {
    if (pData == nullptr) {
        return;
    }
    m_timeStart = CTime(pData->timeStart);
    m_timeEnd = CTime(pData->timeEnd);
    m_timeLastRun = CTime(pData->timeLastRun);
    m_bOnce = pData->bOnce;
    m_bEndDate = pData->bEndDate;
    m_bDisabled = pData->bDisabled;
    m_nCount = pData->nCount;
    m_nUnit = pData->nUnit;
    m_bLoaded = 1;
}

std::unique_ptr<SCHEDULEDATA> CSchedule::CreateRecord() const {
    std::unique_ptr<SCHEDULEDATA> record;
    try {
        record = std::make_unique<SCHEDULEDATA>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    record->timeStart = m_timeStart.GetTime();
    record->timeEnd = m_timeEnd.GetTime();
    record->timeLastRun = m_timeLastRun.GetTime();
    record->bOnce = m_bOnce;
    record->bEndDate = m_bEndDate;
    record->bDisabled = m_bDisabled;
    record->nCount = m_nCount;
    record->nUnit = m_nUnit;
    return record;
}

void CSchedule::GetPeriod(CTimeSpan& span) const {
    static constexpr std::int64_t kUnitSeconds[] = {60, 3600, kDay, 7 * kDay};
    span = CTimeSpan(0);
    if (m_nCount < 1 || m_nUnit < PeriodUnit::Minutes || m_nUnit > PeriodUnit::Weeks) {
        return;
    }
    const std::int64_t seconds = static_cast<std::int64_t>(m_nCount) * kUnitSeconds[m_nUnit];
    if (seconds <= CTime::kMax) {
        span = CTimeSpan(seconds);
    }
}

bool CSchedule::HasValidPeriod() const {
    if (m_nUnit == PeriodUnit::Months) {
        return m_nCount >= 1;
    }
    CTimeSpan period;
    GetPeriod(period);
    return period.GetTotalSeconds() > 0;
}

std::optional<CTime> CSchedule::StepMonth(CTime t, int anchorDay) {
    std::tm from{};
    if (anchorDay < 1 || anchorDay > 31 || !t.GetLocalTm(&from)) {
        return std::nullopt;
    }
    int year = from.tm_year + 1900;
    int month = from.tm_mon + 2;
    if (month > 12) {
        month = 1;
        ++year;
    }
    const int day = std::min(anchorDay, DaysInMonth(year, month));
    std::tm target{};
    target.tm_year = year - 1900;
    target.tm_mon = month - 1;
    target.tm_mday = day;
    const long targetKey = DateKey(target);

    // Thirty-one days on, then back a day at a time until the target day: the time of day
    // moves only by a daylight-saving change in between.
    std::optional<CTime> u = t.Plus(CTimeSpan(31 * kDay));
    for (int i = 0; u && i < 8; ++i) {
        std::tm tm{};
        if (!u->GetLocalTm(&tm)) {
            return std::nullopt;
        }
        const long key = DateKey(tm);
        if (key == targetKey) {
            return u;
        }
        if (key < targetKey) {
            break; // a clock change carried the walk past the target day
        }
        u = u->Plus(CTimeSpan(-kDay));
    }

    // The target day at the wall-clock time of t.
    target.tm_hour = from.tm_hour;
    target.tm_min = from.tm_min;
    target.tm_sec = from.tm_sec;
    target.tm_isdst = -1;
    const auto made = static_cast<std::int64_t>(std::mktime(&target));
    if (made > t.GetTime() && made <= CTime::kMax) {
        return CTime(static_cast<std::int32_t>(made));
    }
    if (u && *u > t) {
        return u;
    }
    return std::nullopt;
}

std::optional<CTime> CSchedule::StepMonths(CTime from, std::optional<CTime> stopAfter) const {
    const int anchorDay = from.GetDay();
    std::optional<CTime> t = from;
    // Every step moves at least four weeks, so the CTime range ends the walk after some 1,800
    // steps whatever the count.
    for (LONG i = 0; i < m_nCount && t; ++i) {
        if (stopAfter && *t > *stopAfter) {
            break;
        }
        t = StepMonth(*t, anchorDay);
    }
    return t;
}

std::optional<CTime> CSchedule::GetNextRun() const {
    if (!HasValidPeriod()) {
        return std::nullopt;
    }
    if (m_nUnit == PeriodUnit::Months) {
        return StepMonths(m_timeLastRun, std::nullopt);
    }
    CTimeSpan period;
    GetPeriod(period);
    return m_timeLastRun.Plus(period);
}

BOOL CSchedule::IsDue(CTime now) const {
    if (m_bDisabled) {
        return FALSE;
    }
    if (m_bOnce) {
        return now >= m_timeStart;
    }
    if (m_bEndDate && now > m_timeEnd) {
        return FALSE;
    }
    if (!HasValidPeriod()) {
        return FALSE;
    }
    std::optional<CTime> next;
    if (m_nUnit == PeriodUnit::Months) {
        next = StepMonths(m_timeLastRun, now);
    } else {
        next = GetNextRun();
    }
    return next && now >= *next;
}

BOOL CSchedule::Advance(std::string& next, CTime now) {
    next.clear();
    if (m_bEndDate && now > m_timeEnd) {
        return FALSE;
    }
    if (m_bOnce) {
        m_timeLastRun = now;
        return FALSE;
    }
    if (!HasValidPeriod()) {
        return FALSE;
    }

    if (m_nUnit == PeriodUnit::Months) {
        // Single months up to now, whatever the count: after missed runs the rhythm restarts
        // from the latest monthly date.
        const int anchorDay = m_timeLastRun.GetDay();
        CTime last = m_timeLastRun;
        std::optional<CTime> t = m_timeLastRun;
        while (t && now >= *t) {
            last = *t;
            t = StepMonth(*t, anchorDay);
        }
        m_timeLastRun = last;
    } else {
        CTimeSpan period;
        GetPeriod(period);
        const std::int64_t p = period.GetTotalSeconds();
        const std::int64_t elapsed = (now - m_timeLastRun).GetTotalSeconds();
        if (elapsed >= p) {
            // Lands on or before now, so it fits 32 bits.
            m_timeLastRun =
                CTime(static_cast<std::int32_t>(m_timeLastRun.GetTime() + elapsed / p * p));
        }
    }

    const std::optional<CTime> nextRun = GetNextRun();
    if (!nextRun) {
        return FALSE;
    }
    next = nextRun->Format("%c");
    if (next.empty()) {
        return FALSE;
    }
    return !m_bEndDate || *nextRun <= m_timeEnd;
}
