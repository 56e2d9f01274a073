// One scheduler pass over stores of different sizes, in a private store of its own.
#include "app/MonitorApp.h"
#include "core/SiblingPrograms.h"
#include "platform/Launch.h"
#include "platform/Time.h"
#include "platform/WinApp.h"
#include "platform/registry/Registry.h"
#include "scheduler/QueueScheduleDB.h"
#include "scheduler/Schedule.h"
#include "scheduler/TransferScheduler.h"
#include "support/TestEnv.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace {

class CProfile : public CWinApp {
public:
    CProfile() { UseMonitorProfile(*this); }
};

// The client as the engine sees it; launches go to a program that exits at once.
class CBenchSiblings : public ISiblingPrograms {
public:
    BOOL IsClientRunning() override { return FALSE; }
    BOOL IsDownloadHelperRunning() override { return FALSE; }
    ClientLaunch LaunchClient(const char* parameters, std::string* error) override {
        ++launches;
        return client.empty() || SystemShell().Open(client, parameters, error)
                   ? ClientLaunch::Started
                   : ClientLaunch::Failed;
    }
    std::string client;
    long launches = 0;
};

void WriteEntries(CQueueScheduleDB& db, int first, int count, const std::string& queue,
                  CTime anchor) {
    // One transaction for the lot: setting up 10,000 entries one durable write at a time
    // would take longer than the measurement.
    CRegTransaction transaction(HKEY_CURRENT_USER);
    CSchedule s;
    s.m_bOnce = 0;
    s.m_nUnit = PeriodUnit::Days;
    s.m_timeStart = s.m_timeLastRun = anchor;
    const auto record = s.CreateRecord();
    for (int id = first; id < first + count; ++id) {
        db.Write(id, record.get(), queue.c_str());
    }
    transaction.Commit();
}

// A store per size, filled once: the benchmark library calls a benchmark more than once.
const TestEnv& StoreWithEntries(int count) {
    static std::map<int, std::unique_ptr<TestEnv>> stores;
    auto& store = stores[count];
    if (store == nullptr) {
        store = std::make_unique<TestEnv>();
        CProfile app;
        CQueueScheduleDB db(&app);
        const std::string queue = store->Root() + "/queue.ftq";
        std::ofstream(queue) << "q";
        WriteEntries(db, 1, count, queue, CTime::GetCurrentTime());
    }
    store->Activate();
    return *store;
}

// Another program's connection to the store, as the client's would be.
class COtherConnection {
public:
    explicit COtherConnection(const TestEnv& store) {
        sqlite3_open(store.UserStore().c_str(), &m_db);
    }
    ~COtherConnection() { sqlite3_close(m_db); }
    COtherConnection(const COtherConnection&) = delete;
    COtherConnection& operator=(const COtherConnection&) = delete;
    // A change elsewhere in the store: every cached read of the Monitor's is stale after it.
    bool Write() {
        return Exec("INSERT INTO vals(key, name, fold, type, data)"
                    " VALUES(1, CAST('Other' AS BLOB), CAST('OTHER' AS BLOB), 3, randomblob(8))"
                    " ON CONFLICT(key, fold) DO UPDATE SET data=excluded.data");
    }
    bool Exec(const char* sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == 0; }

private:
    sqlite3* m_db = nullptr;
};

enum class Before { Nothing, OtherWrite, NewProcess, OtherHoldsWrite };

// Passes with nothing due, warm (the store unchanged since the last pass), right after another
// connection wrote, as the first pass of a process (no connection, nothing cached), and while
// another connection holds a write transaction open.
void PassNoneDue(benchmark::State& state, Before before) {
    const TestEnv& store = StoreWithEntries(static_cast<int>(state.range(0)));
    COtherConnection other(store);
    CProfile app;
    CBenchSiblings siblings;
    CTransferScheduler scheduler(app, siblings);
    scheduler.SetEnabled(TRUE);
    scheduler.OnTimerTick();
    if (before == Before::OtherHoldsWrite && !other.Exec("BEGIN IMMEDIATE")) {
        state.SkipWithError("the other connection could not take the write lock");
    }
    for (auto _ : state) {
        if (before == Before::OtherWrite || before == Before::NewProcess) {
            state.PauseTiming();
            if (before == Before::OtherWrite) {
                if (!other.Write()) {
                    state.SkipWithError("the other connection could not write");
                }
            } else {
                RegCloseStores();
            }
            state.ResumeTiming();
        }
        scheduler.OnTimerTick();
    }
    if (before == Before::OtherHoldsWrite) {
        other.Exec("COMMIT");
    }
    if (siblings.launches != 0) {
        state.SkipWithError("an entry was due");
    }
    state.counters["entries"] = static_cast<double>(state.range(0));
}

void BM_PassNoneDue(benchmark::State& state) {
    PassNoneDue(state, Before::Nothing);
}
void BM_PassNoneDueAfterOtherWrite(benchmark::State& state) {
    PassNoneDue(state, Before::OtherWrite);
}
void BM_PassNoneDueFirstOfProcess(benchmark::State& state) {
    PassNoneDue(state, Before::NewProcess);
}
void BM_PassNoneDueWhileOtherHoldsWrite(benchmark::State& state) {
    PassNoneDue(state, Before::OtherHoldsWrite);
}
// 50,000 beside 10,000: a pass must cost no more than its entries, at any size.
BENCHMARK(BM_PassNoneDue)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(BM_PassNoneDueAfterOtherWrite)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(BM_PassNoneDueFirstOfProcess)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(BM_PassNoneDueWhileOtherHoldsWrite)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

void BM_PassHundredDue(benchmark::State& state) {
    const TestEnv& store = StoreWithEntries(0);
    CProfile app;
    CQueueScheduleDB db(&app);
    const std::string queue = store.Root() + "/queue.ftq";
    std::ofstream(queue) << "q";
    CBenchSiblings siblings;
    // Argument 1: launches really start a client that exits at once; 0: launches are only
    // counted, which isolates the store's share of the pass.
    if (state.range(0) != 0) {
        siblings.client = store.Root() + "/client";
        std::ofstream(siblings.client) << "#!/bin/sh\nexit 0\n";
        std::filesystem::permissions(siblings.client, std::filesystem::perms::owner_all);
    }
    CTransferScheduler scheduler(app, siblings);
    scheduler.SetEnabled(TRUE);
    const CTime due(CTime::GetCurrentTime().GetTime() - 86400 - 60);
    for (auto _ : state) {
        state.PauseTiming();
        WriteEntries(db, 1, 100, queue, due);
        state.ResumeTiming();
        scheduler.OnTimerTick();
    }
    state.counters["launches"] = benchmark::Counter(static_cast<double>(siblings.launches),
                                                    benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PassHundredDue)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
