// Processor time of the idle Monitor: its own Xvfb, both switches of the URL monitor on and
// a 5 MB text left unchanged on the clipboard by xclip. Reads the Monitor's user and system
// time from /proc/<pid>/stat before and after the measuring period (60 s unless given as the
// second argument). Usage: bench_urlmon_idle [MONITOR [SECONDS]].
#include "BenchSupport.h"

#include "app/MonitorApp.h"
#include "platform/registry/Registry.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

// utime + stime in clock ticks, or -1.
long long CpuTicks(pid_t pid) {
    const std::string stat = bench::ReadFileText("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return -1;
    }
    // Fields after the command: state (3) ... utime (14), stime (15).
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long long utime = -1;
    long long stime = -1;
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14) {
            utime = std::stoll(field);
        } else if (index == 15) {
            stime = std::stoll(field);
        }
    }
    return utime < 0 || stime < 0 ? -1 : utime + stime;
}

} // namespace

int main(int argc, char** argv) {
    const std::string monitorPath = argc > 1 ? argv[1] : BuiltMonitor();
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    if (access(monitorPath.c_str(), X_OK) != 0 || seconds <= 0) {
        std::fprintf(stderr, "usage: %s [MONITOR [SECONDS]]\n", argv[0]);
        return 2;
    }
    if (!bench::Installed("Xvfb") || !bench::Installed("xclip")) {
        std::fprintf(stderr, "Xvfb and xclip are needed\n");
        return 2;
    }

    TestEnv folders;
    const std::string root = folders.Root();
    const std::string clientFolder = root + "/client";
    mkdir(clientFolder.c_str(), 0700);
    {
        std::ofstream(clientFolder + "/Quorvel PRO.exe")
            << "#!/bin/sh\necho started >> '" << root << "/starts.txt'\n";
        chmod((clientFolder + "/Quorvel PRO.exe").c_str(), 0755);
        CRegKey key;
        key.Create(HKEY_LOCAL_MACHINE, MonitorNames::SettingsKey);
        RegSetValueExA(key.Get(), "Path", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(clientFolder.data()),
                       static_cast<DWORD>(clientFolder.size()));
        CWinApp prefs;
        UseMonitorProfile(prefs);
        prefs.WriteProfileInt(MonitorNames::PreferencesSection, "URLMonitor", 1);
    }

    bench::CChild xvfb;
    const std::string display = bench::StartXvfb(xvfb, root + "/xvfb.log");
    if (display.empty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    bench::CChild xclip;
    const std::string xclipLog = root + "/xclip.log";
    if (!bench::CopyWithXclip(xclip, display, bench::FiveMegabyteText(), xclipLog)) {
        std::fprintf(stderr, "xclip could not take the clipboard\n");
        return 1;
    }
    bench::SleepMs(500);

    bench::CChild monitor;
    monitor.Start(
        {monitorPath},
        bench::Environment({"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb", "WAYLAND_DISPLAY"}), -1,
        root + "/monitor.log");
    // Settled once the Monitor has read the clipboard at start and a few ticks have passed.
    for (int waited = 0; waited < 30000; waited += 50) {
        if (bench::ReadFileText(xclipLog).find("request number 2") != std::string::npos) {
            break;
        }
        bench::SleepMs(50);
    }
    bench::SleepMs(3000);
    if (!monitor.Running()) {
        std::fprintf(stderr, "the Monitor ended:\n%s\n",
                     bench::ReadFileText(root + "/monitor.log").c_str());
        return 1;
    }

    const long long before = CpuTicks(monitor.Pid());
    const auto start = std::chrono::steady_clock::now();
    bench::SleepMs(seconds * 1000);
    const long long after = CpuTicks(monitor.Pid());
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const bool running = monitor.Running();
    monitor.End();
    xclip.End();
    xvfb.End();

    const double cpuSeconds = static_cast<double>(after - before) / sysconf(_SC_CLK_TCK);
    std::printf("monitor: %s\n", monitorPath.c_str());
    std::printf("measured over %.1f s: %.3f s of processor time = %.3f %% of one core\n", elapsed,
                cpuSeconds, 100.0 * cpuSeconds / elapsed);
    const std::string starts = bench::ReadFileText(root + "/starts.txt");
    std::printf("client starts during the run: %d (expected 0)\n",
                static_cast<int>(std::count(starts.begin(), starts.end(), '\n')));
    return running && before >= 0 && after >= 0 ? 0 : 1;
}
