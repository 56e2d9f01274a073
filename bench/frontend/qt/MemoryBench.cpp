// Resident memory: the idle headless Monitor beside the floor program, and a main window to which
// 100,000 log lines were written (it keeps the newest, up to its line limit).
#include "BenchEnv.h"
#include "app/MonitorApp.h"
#include "frontend/qt/MainFrame.h"
#include "support/Fakes.h"

#include <QApplication>
#include <QTextDocument>
#include <benchmark/benchmark.h>
#include <csignal>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void Stop(pid_t pid, int fd, int* status) {
    kill(pid, SIGTERM);
    waitpid(pid, status, 0);
    close(fd);
}

// The Monitor and the floor program (a bare window of the same parts) idle side by side for
// ten seconds, so that their ratio holds on a busy machine.
void BM_IdleMonitorResident(benchmark::State& state) {
    UsePrivateFolders();
    for (auto _ : state) {
        int fd = -1;
        const pid_t pid = StartHeadlessMonitor(&fd);
        if (pid <= 0) {
            state.SkipWithError("cannot start the Monitor");
            return;
        }
#ifdef QPM_FLOOR_WINDOW
        int floorFd = -1;
        const pid_t floor = StartHeadless(QPM_FLOOR_WINDOW, "Floor window started.", &floorFd,
                                          {"QT_QPA_PLATFORM=offscreen"});
#endif
        sleep(10);
        const double rss = ResidentMB(pid);
        // Private memory (heap, stacks, written pages) apart from the pages of the program and
        // its libraries, which are shared with every other program that maps them.
        const double anon = ResidentMB(pid, "RssAnon:");
        int status = 0;
        Stop(pid, fd, &status);
        state.counters["rss_MB"] = rss;
        state.counters["anon_MB"] = anon;
        state.counters["exit_status"] = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#ifdef QPM_FLOOR_WINDOW
        if (floor > 0) {
            const double floorRss = ResidentMB(floor);
            const double floorAnon = ResidentMB(floor, "RssAnon:");
            int floorStatus = 0;
            Stop(floor, floorFd, &floorStatus);
            state.counters["floor_rss_MB"] = floorRss;
            state.counters["ratio_to_floor"] = rss / floorRss;
            state.counters["floor_anon_MB"] = floorAnon;
            state.counters["anon_ratio_to_floor"] = anon / floorAnon;
        }
#endif
    }
}

void BM_MainFrameWith100kLines(benchmark::State& state) {
    UsePrivateFolders();
    EnsureBenchApplication();
    for (auto _ : state) {
        CFakeDesktop desktop;
        CFakeClipboard clipboard;
        CFakeShell shell;
        CMonitorApp app(desktop, clipboard, shell);
        UseMonitorProfile(app);
        CMainFrame frame(app, CRect{0, 0, 450, 300});
        frame.OnHide();
        QApplication::processEvents();
        const double before = ResidentMB(getpid());
        for (int i = 0; i < 100000; ++i) {
            const std::string text =
                "URL: ftp://user@example.com/pub/releases/file-" + std::to_string(i) + ".zip";
            frame.m_wndLog.AddLine(text.c_str(), 0x8000);
            // As in the Monitor, the event loop runs between appends.
            if (i % 100 == 0) {
                QApplication::processEvents();
            }
        }
        QApplication::processEvents();
        const double after = ResidentMB(getpid());
        state.counters["rss_before_MB"] = before;
        state.counters["rss_after_MB"] = after;
        state.counters["growth_MB"] = after - before;
        state.counters["lines_kept"] = frame.m_wndLog.document()->blockCount() - 1;
    }
}

BENCHMARK(BM_IdleMonitorResident)->Iterations(1)->Repetitions(3)->Unit(benchmark::kSecond);
BENCHMARK(BM_MainFrameWith100kLines)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
