// Process start to running event loop, headless: from fork until the Monitor's instance event
// exists (start-up creates it first thing and then runs to the event loop without waiting),
// then until the first start-up log line is on its standard output, which is written once the
// main window exists. Each run is paired with one of the floor program (a bare window of the same
// parts) so that the ratio holds on a busy machine; the time each spent on a processor until its
// line is the steadier figure where other programs compete for the processors. Every program is
// ended by pid after its run. Usage: bench_platform_startup [--benchmark_...] (QPM_MONITOR names
// the Monitor; default: the one of this build tree).
#include "support/TestEnv.h"

#include "app/MonitorApp.h"
#include "platform/NamedObjects.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

bool InstanceEventExists() {
    CHandle h(OpenEventA(EVENT_ALL_ACCESS, FALSE, MonitorNames::InstanceEvent));
    return static_cast<bool>(h);
}

void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    for (int waited = 0; waited < 5000; waited += 5) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            return;
        }
        usleep(5000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

struct StartTimes {
    double toEventMs = 0; // until the instance event exists; the Monitor only
    double toOutputMs = 0;
    double cpuToOutputMs = 0; // the program's own time on a processor until then
    bool up = false;
};

// A process's time on a processor so far, in ms (the scheduler's own count, in ns): unlike the
// time since its start, it does not grow with what else the machine runs.
double ProcessorMs(pid_t pid) {
    std::FILE* file = std::fopen(("/proc/" + std::to_string(pid) + "/schedstat").c_str(), "r");
    unsigned long long ns = 0;
    if (file != nullptr) {
        if (std::fscanf(file, "%llu", &ns) != 1) {
            ns = 0;
        }
        std::fclose(file);
    }
    return static_cast<double>(ns) / 1e6;
}

// Starts `program` with its output into `log`, times it and ends it.
StartTimes TimeStart(const std::string& program, const std::string& log, bool monitor) {
    truncate(log.c_str(), 0);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(out, 2);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto since = [&start] {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    };
    StartTimes times;
    times.up = !monitor;
    for (int polls = 0; polls < 20000 && !times.up; ++polls) {
        times.up = InstanceEventExists();
        if (!times.up) {
            usleep(200);
        }
    }
    times.toEventMs = since();
    struct stat st {};
    for (int polls = 0; polls < 20000 && (stat(log.c_str(), &st) != 0 || st.st_size == 0);
         ++polls) {
        usleep(200);
    }
    times.toOutputMs = since();
    times.cpuToOutputMs = ProcessorMs(pid);
    times.up = times.up && st.st_size > 0;
    Stop(pid);
    return times;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void BM_StartToEventLoopHeadless(benchmark::State& state) {
    TestEnv folders;
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string monitor = BuiltMonitor();
    const std::string log = folders.Root() + "/monitor.log";
    std::vector<double> toEvent;
    std::vector<double> toLog;
    std::vector<double> floor;
    std::vector<double> cpu;
    std::vector<double> floorCpu;
    for (auto _ : state) {
        const StartTimes times = TimeStart(monitor, log, true);
        if (!times.up) {
            state.SkipWithError("the Monitor did not start");
            break;
        }
        toEvent.push_back(times.toEventMs);
        toLog.push_back(times.toOutputMs);
        cpu.push_back(times.cpuToOutputMs);
        state.SetIterationTime(times.toOutputMs / 1000);
#ifdef QPM_FLOOR_WINDOW
        state.PauseTiming();
        const StartTimes floorTimes = TimeStart(QPM_FLOOR_WINDOW, log, false);
        if (floorTimes.up) {
            floor.push_back(floorTimes.toOutputMs);
            floorCpu.push_back(floorTimes.cpuToOutputMs);
        }
        state.ResumeTiming();
#endif
    }
    state.counters["to_instance_event_ms"] = Median(toEvent);
    state.counters["to_first_log_line_ms"] = Median(toLog);
    if (!floor.empty()) {
        state.counters["floor_to_first_line_ms"] = Median(floor);
        state.counters["ratio_to_floor"] = Median(toLog) / Median(floor);
        state.counters["cpu_to_first_line_ms"] = Median(cpu);
        state.counters["floor_cpu_ms"] = Median(floorCpu);
        state.counters["cpu_ratio_to_floor"] = Median(cpu) / Median(floorCpu);
    }
}
BENCHMARK(BM_StartToEventLoopHeadless)
    ->UseManualTime()
    ->Iterations(15)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
