// One scheduler pass over stores of different sizes, in a private store of its own.
#include "app/MonitorApp.h"
#include "app/SiblingPrograms.h"
#include "platform/Launch.h"
#include "platform/Time.h"
#include "platform/WinApp.h"
#include "platform/registry/Registry.h"
#include "scheduler/QueueScheduleDB.h"
#include "scheduler/Schedule.h"
#include "scheduler/TransferScheduler.h"
#include "support/TestEnv.h"

#include <benchmark/benchmark.h>

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
    BOOL LaunchClient(const char* parameters, std::string* error) override {
        ++launches;
        return client.empty() || SystemShell().Open(client, parameters, error) ? TRUE : FALSE;
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

void BM_PassNoneDue(benchmark::State& state) {
    StoreWithEntries(static_cast<int>(state.range(0)));
    CProfile app;
    CBenchSiblings siblings;
    CTransferScheduler scheduler(app, siblings);
    scheduler.SetEnabled(TRUE);
    for (auto _ : state) {
        scheduler.OnTimerTick();
    }
    if (siblings.launches != 0) {
        state.SkipWithError("an entry was due");
    }
    state.counters["entries"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_PassNoneDue)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

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
