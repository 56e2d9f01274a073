// Profile reads as the Monitor makes them: one integer preference read again and again, and
// the scheduler's pass over 1,000 queue entries (list the ids, then read the four values of
// each entry through the profile), warm and with the store changed before every pass.
#include "platform/registry/Registry.h"
#include "support/TestEnv.h"

#include "platform/WinApp.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

constexpr const char* kQueue = "CurrentVersion\\Scheduler\\Queue";

CWinApp& Profile() {
    static CWinApp app;
    static const bool rooted = [] {
        app.SetRegistryKey("Marrowfen");
        app.SetProfileName("QUORVEL PRO");
        return true;
    }();
    (void)rooted;
    return app;
}

void BM_GetProfileIntExisting(benchmark::State& state) {
    TestEnv folders;
    CWinApp& app = Profile();
    app.WriteProfileInt("CurrentVersion\\Preferences", "URLMonitor", 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(app.GetProfileInt("CurrentVersion\\Preferences", "URLMonitor", 0));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetProfileIntExisting);

void BM_SchedulerPassOver1000Entries(benchmark::State& state) {
    TestEnv folders;
    CWinApp& app = Profile();
    const int entries = static_cast<int>(state.range(0));
    {
        // Written in one transaction: only the reads are measured.
        CRegTransaction tx(HKEY_CURRENT_USER);
        BYTE record[32] = {};
        for (int id = 1; id <= entries; ++id) {
            char section[64];
            std::snprintf(section, sizeof section, "%s\\%i\\", kQueue, id);
            const std::string queue = "/home/user/queues/queue" + std::to_string(id) + ".ftq";
            app.WriteProfileString(section, "QueueName", queue.c_str());
            app.WriteProfileInt(section, "DBVER", 1);
            app.WriteProfileInt(section, "DataSize", 32);
            app.WriteProfileBinary(section, "Data", record, sizeof record);
        }
        tx.Commit();
    }
    const std::string queuePath = app.GetProfileRoot() + "\\" + kQueue;
    const bool cold = state.range(1) != 0;
    int round = 0;
    for (auto _ : state) {
        if (cold) {
            // A write between passes, as the client or the Monitor makes them: nothing this
            // process remembered of the store may be used for the next pass.
            state.PauseTiming();
            app.WriteProfileInt("CurrentVersion\\Preferences", "Touched", ++round);
            state.ResumeTiming();
        }
        std::vector<std::string> ids;
        CRegKey key;
        if (key.Open(HKEY_CURRENT_USER, queuePath.c_str(), KEY_READ) == ERROR_SUCCESS) {
            char name[128];
            for (DWORD i = 0; RegEnumKeyA(key.Get(), i, name, sizeof name) == ERROR_SUCCESS; ++i) {
                ids.emplace_back(name);
            }
        }
        std::size_t bytes = 0;
        for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
            const std::string section = std::string(kQueue) + "\\" + *it + "\\";
            bytes += app.GetProfileString(section.c_str(), "QueueName").size();
            bytes += app.GetProfileInt(section.c_str(), "DBVER", 0);
            bytes += app.GetProfileInt(section.c_str(), "DataSize", 0);
            std::unique_ptr<BYTE[]> data;
            UINT size = 0;
            app.GetProfileBinary(section.c_str(), "Data", &data, &size);
            bytes += size;
        }
        if (ids.size() != static_cast<std::size_t>(entries)) {
            state.SkipWithError("the entries were not all listed");
            break;
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * entries);
}
BENCHMARK(BM_SchedulerPassOver1000Entries)
    ->ArgNames({"entries", "cold"})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
