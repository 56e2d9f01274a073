// Resident memory of the Monitor over a simulated month: ten queues due every minute, a fake
// client that only notes its starts, and the Monitor's clock run fast by libfaketime (Debian
// faketime). Reports the resident memory at the start, after an hour, a day, each week and at
// the end, with the transfers the Monitor logged and the client starts it made by then: on a
// machine where starting a process is slow, the Monitor cannot start ten clients every
// simulated minute and does fewer passes, which the figures show.
//
// Usage: bench_qt_MonthBench [DAYS [SPEED]]   (default 30 days at 1440 times real time,
// half an hour); a plain program, it measures another process.
#include "BenchEnv.h"
#include "support/TestEnv.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kQueues = 10;
constexpr const char* kFakeStart = "2027-01-04 00:00:00";

double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return -1;
    }
    // After the command: state is field 3, utime 14 and stime 15.
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index >= 14) {
            ticks += std::stod(field);
        }
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long FileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

// Counts the scheduler's transfers in the Monitor's mirrored log as it arrives.
class CLogCounter {
public:
    explicit CLogCounter(int fd) : m_fd(fd) {}
    // Reads what is there, waiting up to `timeoutMs`; false at the end of the output.
    bool Drain(int timeoutMs) {
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) {
            return true;
        }
        char buffer[65536];
        const ssize_t got = read(m_fd, buffer, sizeof buffer);
        if (got <= 0) {
            return false;
        }
        m_pending.append(buffer, static_cast<std::size_t>(got));
        std::size_t start = 0;
        for (std::size_t end; (end = m_pending.find('\n', start)) != std::string::npos;
             start = end + 1) {
            if (m_pending.compare(start, 42, "  Transfer Scheduler - Transferring Queue:") == 0) {
                ++m_transfers;
            }
        }
        m_pending.erase(0, start);
        return true;
    }
    long Transfers() const { return m_transfers; }

private:
    int m_fd;
    std::string m_pending;
    long m_transfers = 0;
};

} // namespace

int main(int argc, char** argv) {
    const double days = argc > 1 ? std::atof(argv[1]) : 30;
    const double speed = argc > 2 ? std::atof(argv[2]) : 1440;
    if (days <= 0 || speed < 1) {
        std::fprintf(stderr, "usage: %s [DAYS [SPEED]]\n", argv[0]);
        return 2;
    }
    const std::string fakeTimeLibrary = QPM_LIBFAKETIME;
    if (fakeTimeLibrary.empty() || access(fakeTimeLibrary.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "libfaketime is needed: apt-get install faketime\n");
        return 2;
    }

    TestEnv folders;
    const std::string root = folders.Root();
    const std::string starts = root + "/client-starts";
    const std::string client = root + "/client";
    mkdir(client.c_str(), 0700);
    folders.WriteScript("client/Quorvel PRO.exe", "printf . >> '" + starts + "'\n");
    // Set up through the companion, so that this process holds no connection to the store.
    const std::string ctl = "'" + BuiltCompanion() + "' ";
    const std::string settings = folders.WriteFile(
        "client.reg",
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Marrowfen\\QUORVEL PRO\\Settings]\n"
        "\"Path\"=\"" +
            client + "\"\n");
    std::vector<std::string> commands = {ctl + "import '" + settings + "'"};
    for (int i = 0; i < kQueues; ++i) {
        const std::string queue = folders.WriteFile("queue" + std::to_string(i) + ".ftq", "q");
        commands.push_back(ctl + "schedule add '" + queue + "' --start '" +
                           std::string(kFakeStart).substr(0, 16) + "' --every 1 minutes");
    }
    for (const std::string& command : commands) {
        if (RunCommand(command + " >/dev/null") != 0) {
            std::fprintf(stderr, "failed: %s\n", command.c_str());
            return 1;
        }
    }

    char speedText[32];
    std::snprintf(speedText, sizeof speedText, "%g", speed);
    int fd = -1;
    const auto started = std::chrono::steady_clock::now();
    const pid_t monitor =
        StartHeadlessMonitor(&fd,
                             {"LD_PRELOAD=" + fakeTimeLibrary,
                              "FAKETIME=@" + std::string(kFakeStart) + " x" + speedText},
                             root + "/monitor-errors.txt");
    if (monitor <= 0) {
        std::fprintf(stderr, "the Monitor did not start\n");
        return 1;
    }
    CLogCounter log(fd);
    const auto fakeSeconds = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() *
               speed;
    };

    std::printf("Monitor %s, %d queues due every minute, %g days at %gx\n", BuiltMonitor().c_str(),
                kQueues, days, speed);
    std::printf("%-10s %8s %8s %10s %10s %10s %8s\n", "simulated", "real_s", "rss_MB", "transfers",
                "due", "starts", "cpu_s");
    // The start is sampled as soon as the Monitor has started (its clock already runs fast
    // while it starts); then an hour, a day, each week and the end, as far as they come after.
    std::vector<double> marks = {0, 3600, 86400};
    for (int week = 1; week * 7 < days; ++week) {
        marks.push_back(week * 7 * 86400.0);
    }
    marks.push_back(days * 86400);
    double startRss = -1;
    double lastRss = -1;
    bool running = true;
    for (const double mark : marks) {
        if (mark > days * 86400 || (mark > 0 && mark < fakeSeconds())) {
            continue;
        }
        while (running && fakeSeconds() < mark) {
            running = log.Drain(200);
        }
        if (!running) {
            break;
        }
        lastRss = ResidentMB(monitor);
        if (startRss < 0) {
            startRss = lastRss;
        }
        const double at = fakeSeconds();
        char label[32];
        std::snprintf(label, sizeof label, "%.0fd%02.0fh", std::floor(at / 86400),
                      std::floor(std::fmod(at, 86400) / 3600));
        std::printf("%-10s %8.0f %8.1f %10ld %10.0f %10ld %8.1f\n", label, at / speed, lastRss,
                    log.Transfers(), kQueues * at / 60, FileSize(starts), CpuSeconds(monitor));
        std::fflush(stdout);
    }
    const double peak = ResidentMB(monitor, "VmHWM:");
    kill(monitor, SIGTERM);
    while (log.Drain(200)) {
    }
    int status = 0;
    waitpid(monitor, &status, 0);
    close(fd);
    if (!running) {
        std::printf("the Monitor ended early; its errors:\n%s\n",
                    ReadFileText(root + "/monitor-errors.txt").c_str());
        return 1;
    }
    std::printf("peak %.1f MB; end - start = %.1f MB; exit status %d\n", peak, lastRss - startRss,
                WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return 0;
}
