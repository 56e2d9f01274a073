// Hands due queues to the client once a minute and moves their schedules on.
#pragma once

#include "platform/Time.h"
#include "platform/Types.h"
#include "platform/Window.h"
#include "scheduler/QueueScheduleDB.h"

#include <map>
#include <string>

class CSchedule;
class CWinApp;
struct SCHEDULEDATA;
class IActivityLog;
class ISiblingPrograms;

class CTransferScheduler {
public:
    CTransferScheduler(CWinApp& app, ISiblingPrograms& siblings);
    virtual ~CTransferScheduler() = default;

    void Attach(IActivityLog* pLog) { m_pLog = pLog; }
    // Switches on without a log line and starts timer 2 (60,000 ms).
    UINT Start(HWND hWnd);
    // Switches off without a log line and kills timer 2.
    BOOL Stop(HWND hWnd);
    // Switches and logs "Transfer Scheduler Enabled./Disabled." on every call.
    void SetEnabled(BOOL b);
    BOOL IsEnabled() const { return m_bEnabled; }
    // One scheduler pass.
    void OnTimerTick();
    // At start-up: tells of queues an earlier Monitor was handing to the client when it ended.
    void ReportUnfinishedHandovers();

    // The client's parameter string for a queue file: "ftq://<path>" as one quoted argument.
    static std::string ClientParameters(const std::string& queuePath);

private:
    void TransferQueue(CQueueScheduleDB& db, int id, const std::string& name,
                       const SCHEDULEDATA& read, CSchedule& schedule, CTime now);
    // Changes the entry from `expected` to `next` and notes (handOver) or forgets the handover,
    // all or nothing.
    CQueueScheduleDB::Change RecordRun(CQueueScheduleDB& db, int id, const std::string& name,
                                       const SCHEDULEDATA* expected, const SCHEDULEDATA* next,
                                       bool handOver);
    void ReportFailure(int id, const std::string& name, const std::string& why);
    void ReportWaiting(int id, const std::string& name);
    void ReportStoreProblem();
    // Nothing is logged before Attach.
    void LogTimeStamp();
    void LogLine(const char* text, COLORREF color);

    BOOL m_bEnabled = 0;
    BOOL m_bBusy = 0;
    IActivityLog* m_pLog = nullptr;
    CWinApp& m_app;
    ISiblingPrograms& m_siblings;
    // The failure last told of for each queue id, until the queue runs.
    std::map<int, std::string> m_reported;
    // Why the store could not be read at the last tick; empty while it can.
    std::string m_storeProblem;
};
