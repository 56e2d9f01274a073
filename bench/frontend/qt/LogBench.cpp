// Appending to the activity log: 100,000 lines in entries of a timestamp and four lines, the last
// thousand (which also drop the oldest entries beyond the log's line limit) against the first
// thousand.
#include "BenchEnv.h"
#include "app/MonitorApp.h"
#include "frontend/qt/LogCtrl.h"

#include <QApplication>
#include <QTextDocument>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>
#include <string>

namespace {

constexpr int kLines = 100000;
constexpr int kSample = 1000;

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Processor time of this thread: the machine may be shared, and waiting is not the log's cost.
double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// `shown`: the window is open (laid out and painted) rather than in the tray.
void AppendLines(benchmark::State& state, bool shown) {
    UsePrivateFolders();
    EnsureBenchApplication();
    CWinApp profile;
    UseMonitorProfile(profile);
    for (auto _ : state) {
        CLogCtrl log;
        log.OnCreate(profile);
        log.resize(450, 260);
        if (shown) {
            log.show();
        }
        double first = 0;
        double last = 0;
        const auto start = std::chrono::steady_clock::now();
        const double startCpu = CpuSeconds();
        for (int i = 0; i < kLines; ++i) {
            const std::string text =
                "URL: ftp://user@example.com/pub/releases/file-" + std::to_string(i) + ".zip";
            const double before = CpuSeconds();
            if (i % 5 == 0) {
                log.AddTimeStamp();
            } else {
                log.AddLine(text.c_str(), i % 3 == 0 ? 0x800000 : 0x8000);
            }
            const double took = CpuSeconds() - before;
            if (i < kSample) {
                first += took;
            } else if (i >= kLines - kSample) {
                last += took;
            }
            // The event loop runs between appends in the Monitor: it paints, and it delivers
            // the updates the control posts (left undelivered, they pile up without bound).
            if (i % 100 == 0) {
                QApplication::processEvents();
            }
        }
        QApplication::processEvents();
        state.counters["total_wall_s"] = Seconds(std::chrono::steady_clock::now() - start);
        state.counters["total_cpu_s"] = CpuSeconds() - startCpu;
        state.counters["first1000_ms"] = first * 1000;
        state.counters["last1000_ms"] = last * 1000;
        state.counters["last_to_first"] = last / first;
        state.counters["lines_kept"] = log.document()->blockCount() - 1;
    }
}

void BM_AddLine100k_InTray(benchmark::State& state) {
    AppendLines(state, false);
}
void BM_AddLine100k_Open(benchmark::State& state) {
    AppendLines(state, true);
}

BENCHMARK(BM_AddLine100k_InTray)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_AddLine100k_Open)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
