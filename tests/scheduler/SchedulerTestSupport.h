// Helpers shared by the scheduler tests: the client's profile, raw entry values, time zones.
#pragma once

#include "app/MonitorApp.h"
#include "platform/Time.h"
#include "platform/WinApp.h"
#include "platform/registry/Registry.h"
#include "scheduler/QueueScheduleDB.h"
#include "scheduler/Schedule.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

// The application's profile as the Monitor sets it up.
class CClientProfile : public CWinApp {
public:
    CClientProfile() { UseMonitorProfile(*this); }
};

// Writes one raw value into subkey `name` of the Queue key, creating it.
inline void SetRawValue(const std::string& name, const char* value, DWORD type,
                        const std::string& bytes) {
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER,
                         (std::string(CQueueScheduleDB::kKeyPath) + "\\" + name).c_str()),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.Get(), value, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
}

inline std::string Dword(DWORD v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
}

// Writes an entry value by value as the client would; each part can be spoiled by a test.
inline void SetRawEntry(const std::string& name, const std::string& queueName, DWORD version = 1,
                        DWORD dataSize = 32, const std::string& data = std::string(32, '\0')) {
    SetRawValue(name, "QueueName", REG_SZ, queueName + std::string(1, '\0'));
    SetRawValue(name, "DBVER", REG_DWORD, Dword(version));
    SetRawValue(name, "DataSize", REG_DWORD, Dword(dataSize));
    SetRawValue(name, "Data", REG_BINARY, data);
}

inline bool SubkeyExists(const std::string& name) {
    CRegKey key;
    return key.Open(HKEY_CURRENT_USER,
                    (std::string(CQueueScheduleDB::kKeyPath) + "\\" + name).c_str(),
                    KEY_READ) == ERROR_SUCCESS;
}

// A schedule with every field set: every three days from a start in whole minutes, up to an end
// date, run once already; what the dialog tests open, edit and compare.
inline SCHEDULEDATA StoredSchedule() {
    SCHEDULEDATA d;
    d.timeStart = CTime(2026, 3, 2, 9, 15, 0).GetTime();
    d.timeEnd = CTime(2026, 4, 30, 18, 0, 0).GetTime();
    d.timeLastRun = CTime(2026, 3, 9, 9, 15, 0).GetTime();
    d.bOnce = 0;
    d.bEndDate = 1;
    d.bDisabled = 0;
    d.nCount = 3;
    d.nUnit = PeriodUnit::Days;
    return d;
}

inline CSchedule LoadedSchedule(const SCHEDULEDATA& d) {
    CSchedule s;
    s.LoadFromRecord(&d);
    return s;
}

// What a new schedule holds after the dialog's edit that both dialog tests make: start
// 2026-03-02 (date picker) at 14:35 (time picker, seconds dropped), an end date 2026-05-01 at
// 23:59, every 2 hours, disabled; the new schedule counts from its start.
inline void ExpectTheEditedFreshSchedule(const CSchedule& fresh) {
    EXPECT_EQ(fresh.m_timeStart, CTime(2026, 3, 2, 14, 35, 0));
    EXPECT_EQ(fresh.m_timeEnd, CTime(2026, 5, 1, 23, 59, 0));
    EXPECT_EQ(fresh.m_timeLastRun, fresh.m_timeStart);
    EXPECT_EQ(fresh.m_bOnce, 0);
    EXPECT_EQ(fresh.m_bEndDate, 1);
    EXPECT_EQ(fresh.m_bDisabled, 1);
    EXPECT_EQ(fresh.m_nCount, 2);
    EXPECT_EQ(fresh.m_nUnit, PeriodUnit::Hours);
}

// An entry as the client stores one: every two hours from a start in whole minutes, as the
// dialogs' pickers show it, so that an unchanged schedule saves the same bytes.
inline SCHEDULEDATA QueueRecord(std::int32_t start = 1'779'999'960) {
    SCHEDULEDATA d;
    d.timeStart = start;
    d.timeEnd = start + 86400 * 30;
    d.timeLastRun = start + 3600;
    d.bOnce = 0;
    d.bEndDate = 0;
    d.bDisabled = 0;
    d.nCount = 2;
    d.nUnit = PeriodUnit::Hours;
    return d;
}

// Writes entry `id` for the queue file `path` into the running application's store.
inline void PutQueue(int id, const std::string& path, const SCHEDULEDATA& d = QueueRecord()) {
    CQueueScheduleDB().Write(id, &d, path.c_str());
}

// Switches the process's local time zone for one scope, where this system can (Applies()).
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        const char* old = std::getenv("TZ");
        m_hadOld = old != nullptr;
        if (m_hadOld) {
            m_old = old;
        }
        m_applies = SetTimeZone(zone);
    }
    ~ScopedTimeZone() { SetTimeZone(m_hadOld ? m_old.c_str() : nullptr); }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;
    bool Applies() const { return m_applies; }

private:
    bool m_hadOld = false;
    bool m_applies = false;
    std::string m_old;
};

// A local wall-clock time; the caller makes sure it exists in the zone in force.
inline CTime Local(int year, int month, int day, int hour, int minute, int second = 0) {
    return CTime(year, month, day, hour, minute, second);
}

// "YYYY-MM-DD HH:MM:SS" in local time, for readable failures.
inline std::string Show(CTime t) {
    return t.Format("%Y-%m-%d %H:%M:%S");
}
