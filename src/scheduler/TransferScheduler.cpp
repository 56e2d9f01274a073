#include "scheduler/TransferScheduler.h"

#include "core/ActivityLog.h"
#include "core/Commands.h"
#include "core/Desktop.h"
#include "core/SiblingPrograms.h"
#include "platform/Launch.h"
#include "platform/WinApp.h"
#include "platform/registry/Registry.h"
#include "scheduler/QueueHandovers.h"
#include "scheduler/QueueScheduleDB.h"
#include "scheduler/Schedule.h"

#include <string>
#include <vector>

namespace {

// Resets the busy flag however the pass ends.
class BusyScope {
public:
    explicit BusyScope(BOOL& flag) : m_flag(flag) { m_flag = 1; }
    ~BusyScope() { m_flag = 0; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    BOOL& m_flag;
};

} // namespace

std::string CTransferScheduler::ClientParameters(const std::string& queuePath) {
    // One quoted argument, escaped by the rules the launcher splits with, so that a path
    // holding a quote still arrives whole instead of as a different file plus stray arguments.
    return QuoteArgument("ftq://" + queuePath, true);
}

CTransferScheduler::CTransferScheduler(CWinApp& app, ISiblingPrograms& siblings)
    : m_app(app), m_siblings(siblings) {}

UINT CTransferScheduler::Start(HWND hWnd) {
    m_bEnabled = 1;
    return hWnd != nullptr ? hWnd->SetTimer(TimerId::Scheduler, 60000) : 0;
}

BOOL CTransferScheduler::Stop(HWND hWnd) {
    m_bEnabled = 0;
    return hWnd != nullptr ? hWnd->KillTimer(TimerId::Scheduler) : FALSE;
}

void CTransferScheduler::SetEnabled(BOOL b) {
    m_bEnabled = b;
    if (m_pLog == nullptr) {
        return;
    }
    m_pLog->AddTimeStamp();
    m_pLog->AddLine(b ? "Transfer Scheduler Enabled.\r\n" : "Transfer Scheduler Disabled.\r\n",
                    LogColor::Navy);
}

void CTransferScheduler::OnTimerTick() {
    if (!m_bEnabled || m_bBusy) {
        return;
    }
    if (m_siblings.IsClientRunning()) {
        return;
    }
    BusyScope busy(m_bBusy);
    // A store found unreadable is looked at afresh at every tick until it can be read again
    // (a sync tool or a restore may put a good file back).
    if (!m_storeProblem.empty()) {
        RegCloseStores();
    }

    // One "now" for the whole pass: each run's advance is counted from the time it was found
    // due, so a clock stepping back during the pass cannot leave a queue that just ran due again.
    const CTime now = CTime::GetCurrentTime();
    CQueueScheduleDB db(&m_app);
    // The due entries are picked out in one read of the store that waits for no other writer
    // and holds none up; each is then acted on, from the last to the first, with nothing held
    // while the client starts.
    struct DueEntry {
        int id;
        std::string name;
        SCHEDULEDATA record;
    };
    std::vector<DueEntry> due;
    db.Scan([&due, now](int id, const std::string& name, const SCHEDULEDATA& record) {
        CSchedule schedule;
        schedule.LoadFromRecord(&record);
        if (schedule.IsDue(now)) {
            due.push_back({id, name, record});
        }
    });
    ReportStoreProblem();
    for (auto entry = due.rbegin(); entry != due.rend(); ++entry) {
        CSchedule schedule;
        schedule.LoadFromRecord(&entry->record);
        TransferQueue(db, entry->id, entry->name, entry->record, schedule, now);
    }
}

// Nothing lost, nothing reported done that was not: each due run is either handed to the
// client and recorded, or neither. The advanced entry (or its deletion) is committed first,
// together with a note that the queue is being handed over, and only then is the client
// started; the note goes once it started. A start that fails, or that found the client already
// running and so started nothing, puts the entry back as it was read: it stays due and is
// tried at a later tick. A queue whose advance cannot be recorded is not started, since it
// would run every minute. A Monitor that dies between the two finds the note at its next start
// and reports the run as possibly not started (ReportUnfinishedHandovers).
void CTransferScheduler::TransferQueue(CQueueScheduleDB& db, int id, const std::string& name,
                                       const SCHEDULEDATA& read, CSchedule& schedule, CTime now) {
    if (m_siblings.IsClientRunning()) {
        ReportWaiting(id, name); // started by an earlier queue of this pass
        return;
    }
    std::string next;
    const BOOL more = schedule.Advance(next, now);
    const std::unique_ptr<SCHEDULEDATA> advanced = more ? schedule.CreateRecord() : nullptr;
    if (more && advanced == nullptr) {
        return;
    }
    switch (RecordRun(db, id, name, &read, advanced.get(), true)) {
    case CQueueScheduleDB::Change::Changed:
        return; // replaced or removed by another program since it was read
    case CQueueScheduleDB::Change::Failed:
        ReportFailure(id, name,
                      "Could not record the next run, so the queue was not started: " +
                          RegLastFailure(HKEY_CURRENT_USER) + ".");
        return;
    case CQueueScheduleDB::Change::Saved:
        break;
    }

    std::string error;
    const ClientLaunch launch = m_siblings.LaunchClient(ClientParameters(name).c_str(), &error);
    if (launch != ClientLaunch::Started) {
        if (RecordRun(db, id, name, advanced.get(), &read, false) ==
            CQueueScheduleDB::Change::Failed) {
            error += " The queue's schedule moved on and could not be put back: " +
                     RegLastFailure(HKEY_CURRENT_USER) + ".";
            ReportFailure(id, name, error);
        } else if (launch == ClientLaunch::AlreadyRunning) {
            ReportWaiting(id, name);
        } else {
            ReportFailure(id, name, error);
        }
        return;
    }
    CQueueHandovers::End(id);
    m_reported.erase(id);
    LogTimeStamp();
    LogLine("Transfer Scheduler - Transferring Queue:", LogColor::Green);
    LogLine(name.c_str(), LogColor::Black);
    if (!more) {
        LogLine("No more scheduled transfert for this queue.\r\n", LogColor::Maroon);
    } else {
        const std::string line = "Next scheduled transfert for this queue: " + next + "\r\n";
        LogLine(line.c_str(), LogColor::Green);
    }
}

CQueueScheduleDB::Change CTransferScheduler::RecordRun(CQueueScheduleDB& db, int id,
                                                       const std::string& name,
                                                       const SCHEDULEDATA* expected,
                                                       const SCHEDULEDATA* next, bool handOver) {
    // Handing over notes the queue and putting back forgets it, in the transaction that
    // changes the entry. The note is written first: where the store has no transactions, a
    // crash in between then errs towards a report, never towards silence.
    using Change = CQueueScheduleDB::Change;
    Change change = Change::Failed;
    {
        CRegTransaction transaction(HKEY_CURRENT_USER);
        if (transaction.Started() == ERROR_SUCCESS &&
            (!handOver || CQueueHandovers::Begin(id, name))) {
            change = db.Replace(id, name, expected, next);
            if (change == Change::Saved && !handOver && !CQueueHandovers::End(id)) {
                change = Change::Failed;
            }
            if (change == Change::Saved && transaction.Commit() != ERROR_SUCCESS) {
                change = Change::Failed;
            }
        }
    }
    // A note for an entry that is no longer ours, or for a handover that was not recorded,
    // must not be reported at the next start as a run that may be lost. (A put-back that
    // failed keeps its note: that run really may never start.)
    if (change == Change::Changed || (handOver && change == Change::Failed)) {
        CQueueHandovers::End(id);
    }
    return change;
}

void CTransferScheduler::ReportUnfinishedHandovers() {
    // Nothing lost, nothing reported done that was not: a run whose start is uncertain after a
    // crash is told of, once, with the tray's notification; its schedule has already moved on,
    // so it is never started twice behind the user's back.
    const auto unfinished = CQueueHandovers::Unfinished();
    ReportStoreProblem(); // told at start-up, not only at the first pass a minute later
    for (const auto& [id, name] : unfinished) {
        if (m_pLog == nullptr) {
            return;
        }
        m_pLog->AddTimeStamp();
        m_pLog->AddLine("Transfer Scheduler - The Monitor stopped while handing over queue:",
                        LogColor::Maroon);
        m_pLog->AddLine(name.c_str(), LogColor::Black);
        m_pLog->AddFailure("Quorvel PRO may not have been started with it.\r\n");
        CQueueHandovers::End(id);
    }
}

void CTransferScheduler::ReportStoreProblem() {
    // Nothing lost, nothing reported done that was not: an unreadable store reads as one with
    // nothing due, so the user is told, in the log and the tray, once until it changes.
    const std::string problem = RegStoreProblem(HKEY_CURRENT_USER);
    if (problem == m_storeProblem) {
        return;
    }
    m_storeProblem = problem;
    if (problem.empty() || m_pLog == nullptr) {
        return;
    }
    m_pLog->AddTimeStamp();
    m_pLog->AddLine("Transfer Scheduler - The scheduled queues cannot be read:", LogColor::Maroon);
    m_pLog->AddFailure((problem + "\r\n").c_str());
}

void CTransferScheduler::ReportWaiting(int id, const std::string& name) {
    // Nothing lost, nothing reported done that was not: a call while the client runs starts
    // nothing, so the queue stays due and the log says so, once while it waits.
    std::string& reported = m_reported[id];
    if (reported == name + "\nwaiting") {
        return;
    }
    reported = name + "\nwaiting";
    LogTimeStamp();
    LogLine("Transfer Scheduler - Queue waits until Quorvel PRO is closed:", LogColor::Navy);
    LogLine(name.c_str(), LogColor::Black);
}

void CTransferScheduler::ReportFailure(int id, const std::string& name, const std::string& why) {
    // A queue that keeps failing in the same way is told of once, not every minute.
    std::string& reported = m_reported[id];
    if (reported == name + '\n' + why) {
        return;
    }
    reported = name + '\n' + why;
    if (m_pLog == nullptr) {
        return;
    }
    m_pLog->AddTimeStamp();
    m_pLog->AddLine("Transfer Scheduler - Could not transfer queue:", LogColor::Maroon);
    m_pLog->AddLine(name.c_str(), LogColor::Black);
    m_pLog->AddFailure((why + "\r\n").c_str());
}

void CTransferScheduler::LogTimeStamp() {
    if (m_pLog != nullptr) {
        m_pLog->AddTimeStamp();
    }
}

void CTransferScheduler::LogLine(const char* text, COLORREF color) {
    if (m_pLog != nullptr) {
        m_pLog->AddLine(text, color);
    }
}
