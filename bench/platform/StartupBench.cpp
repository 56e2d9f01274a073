// Process start to running event loop, headless: from fork until the Monitor's instance event
// exists (start-up creates it first thing and then runs to the event loop without waiting),
// then until the first start-up log line is on its standard output, which is written once the
// main window exists. The Monitor is ended by pid after each run.
// Usage: bench_platform_startup [--benchmark_...] (QPM_MONITOR names the Monitor; default: the
// one of this build tree).
#include "support/TestEnv.h"

#include "app/MonitorApp.h"
#include "platform/NamedObjects.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

void BM_StartToEventLoopHeadless(benchmark::State& state) {
    TestEnv folders;
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string program = BuiltMonitor();
    const std::string log = folders.Root() + "/monitor.log";
    double totalToEvent = 0;
    double totalToLog = 0;
    for (auto _ : state) {
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
        bool up = false;
        auto eventAt = start;
        for (int polls = 0; polls < 20000 && !up; ++polls) {
            up = InstanceEventExists();
            if (!up) {
                usleep(200);
            }
        }
        eventAt = std::chrono::steady_clock::now();
        struct stat st {};
        for (int polls = 0; polls < 20000 && (stat(log.c_str(), &st) != 0 || st.st_size == 0);
             ++polls) {
            usleep(200);
        }
        const auto logAt = std::chrono::steady_clock::now();
        Stop(pid);
        if (!up) {
            state.SkipWithError("the Monitor did not start");
            break;
        }
        const double toEvent = std::chrono::duration<double>(eventAt - start).count();
        totalToEvent += toEvent;
        totalToLog += std::chrono::duration<double>(logAt - start).count();
        state.SetIterationTime(std::chrono::duration<double>(logAt - start).count());
    }
    if (state.iterations() > 0) {
        state.counters["to_instance_event_ms"] = totalToEvent * 1000 / state.iterations();
        state.counters["to_first_log_line_ms"] = totalToLog * 1000 / state.iterations();
    }
}
BENCHMARK(BM_StartToEventLoopHeadless)
    ->UseManualTime()
    ->Iterations(15)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
