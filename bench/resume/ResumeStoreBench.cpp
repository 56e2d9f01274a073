// What the resume store costs with many entries: CountValid runs at every opening of the main
// and tray menus, ListEntries (which judges every entry) and Read once per resume.
#include "app/MonitorApp.h"
#include "platform/WinApp.h"
#include "platform/registry/Registry.h"
#include "resume/TransferResumeDB.h"
#include "support/TestEnv.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Fill(int count) {
    {
        CRegKey parent;
        parent.Create(HKEY_CURRENT_USER,
                      "Software\\Marrowfen\\QUORVEL PRO\\CurrentVersion\\KTXfer");
        RegDeleteTreeA(parent.Get(), "DB");
    }
    CRegTransaction transaction(HKEY_CURRENT_USER);
    const BYTE two[4] = {2, 0, 0, 0};
    const BYTE size[4] = {0x20, 0x03, 0, 0};
    const std::vector<BYTE> data(800, 1);
    for (int id = 1; id <= count; ++id) {
        CRegKey key;
        key.Create(HKEY_CURRENT_USER,
                   (std::string(CTransferResumeDB::kKeyPath) + "\\" + std::to_string(id)).c_str());
        RegSetValueExA(key.Get(), "DBVER", 0, REG_DWORD, two, 4);
        RegSetValueExA(key.Get(), "DataSize", 0, REG_DWORD, size, 4);
        RegSetValueExA(key.Get(), "Data", 0, REG_BINARY, data.data(), 800);
    }
    transaction.Commit();
}

CWinApp& Profile() {
    static TestEnv store;
    static CWinApp app;
    UseMonitorProfile(app);
    return app;
}

void BM_CountValid(benchmark::State& state) {
    CWinApp& app = Profile();
    Fill(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CTransferResumeDB db(&app);
        benchmark::DoNotOptimize(db.CountValid());
    }
}
BENCHMARK(BM_CountValid)->Arg(1)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_ListEntries(benchmark::State& state) {
    CWinApp& app = Profile();
    Fill(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CTransferResumeDB db(&app);
        const auto entries = db.ListEntries();
        if (entries.size() != static_cast<std::size_t>(state.range(0)) ||
            !entries.front().strRefusal.empty()) {
            state.SkipWithError("unexpected entry list");
            break;
        }
    }
}
BENCHMARK(BM_ListEntries)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_ReadAll(benchmark::State& state) {
    CWinApp& app = Profile();
    const int count = static_cast<int>(state.range(0));
    Fill(count);
    for (auto _ : state) {
        CTransferResumeDB db(&app);
        for (int id = count; id >= 1; --id) {
            benchmark::DoNotOptimize(db.Read(id));
        }
    }
}
BENCHMARK(BM_ReadAll)->Arg(10)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
