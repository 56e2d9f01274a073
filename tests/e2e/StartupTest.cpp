// The built Monitor started headless as a user starts it: one instance per user, and the
// start-at-logon switch.
#include "app/MonitorApp.h"
#include "app/Version.h"
#include "platform/NamedObjects.h"
#include "platform/WinApp.h"
#include "platform/registry/Registry.h"
#include "support/PrivateEnvTest.h"
#include "urlmon/XSession.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool MonitorEventExists() {
    CHandle h(OpenEventA(EVENT_ALL_ACCESS, FALSE, MonitorNames::InstanceEvent));
    return static_cast<bool>(h);
}

// One Monitor process of ours. Ended by pid: SIGTERM first, SIGKILL when it does not go.
class Monitor {
public:
    Monitor(const std::string& log, const std::vector<std::string>& args = {},
            const std::string& program = BuiltMonitor()) {
        std::vector<std::string> owned = {program};
        owned.insert(owned.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& arg : owned) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        m_pid = fork();
        if (m_pid == 0) {
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            if (out >= 0) {
                dup2(out, 1);
                dup2(out, 2);
            }
            execv(program.c_str(), argv.data());
            _exit(127);
        }
    }
    ~Monitor() { Stop(); }
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    pid_t Pid() const { return m_pid; }
    bool Running() const { return m_pid > 0 && !m_exited; }

    // True when it ended within `ms`, with its status.
    bool WaitExit(int ms, int* status = nullptr) {
        if (m_exited) {
            if (status != nullptr) {
                *status = m_status;
            }
            return true;
        }
        const bool ended = WaitFor([this] { return Reap(); }, ms);
        if (ended && status != nullptr) {
            *status = m_status;
        }
        return ended;
    }

    // Non-blocking: true once the process has ended (and been reaped).
    bool Reap() {
        if (m_exited || m_pid <= 0) {
            return true;
        }
        int raw = 0;
        if (waitpid(m_pid, &raw, WNOHANG) == m_pid) {
            m_exited = true;
            m_status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        }
        return m_exited;
    }

    void Stop() {
        if (m_pid <= 0 || Reap()) {
            return;
        }
        kill(m_pid, SIGTERM);
        if (!WaitExit(5000)) {
            kill(m_pid, SIGKILL);
            WaitExit(5000);
        }
    }

private:
    pid_t m_pid = -1;
    bool m_exited = false;
    int m_status = -1;
};

class StartupTest : public PrivateEnvTest {
protected:
    void SetUp() override {
        ASSERT_EQ(access(BuiltMonitor().c_str(), X_OK), 0) << BuiltMonitor();
        // Headless, whatever the session running the tests has.
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    std::string Log() const { return m_env.Root() + "/monitor.log"; }

    // The instance event comes before the start-at-logon switch is read: a Monitor that is
    // about to end has it for a moment, so only one still there a while later has stayed.
    void ExpectToStay(Monitor& monitor) const {
        EXPECT_TRUE(WaitFor(MonitorEventExists, 20000)) << ReadFileText(Log());
        SleepMs(1500);
        EXPECT_FALSE(monitor.Reap()) << ReadFileText(Log());
        EXPECT_TRUE(MonitorEventExists());
    }

    static void SetWStart(int value) {
        CWinApp prefs;
        UseMonitorProfile(prefs);
        ASSERT_TRUE(
            prefs.WriteProfileInt(MonitorNames::PreferencesSection, "MonitorWStart", value));
        RegCloseStores();
    }
};

TEST_F(StartupTest, ASecondMonitorEndsAtOnceAndLeavesTheFirstRunning) {
    Monitor first(Log());
    ASSERT_TRUE(WaitFor(MonitorEventExists, 20000)) << ReadFileText(Log());

    const std::string secondLog = m_env.Root() + "/second.log";
    Monitor second(secondLog);
    int status = -1;
    ASSERT_TRUE(second.WaitExit(20000)) << "the second Monitor kept running";
    second.WaitExit(0, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFileText(secondLog), "") << "the second Monitor ends without a word";

    EXPECT_FALSE(first.Reap()) << "the first Monitor ended";
    EXPECT_TRUE(MonitorEventExists());
    first.Stop();
    EXPECT_FALSE(MonitorEventExists());
}

// A display number nothing answers on.
std::string UnusedDisplay() {
    const std::string sockets = ReadFileText("/proc/net/unix");
    for (int n = 4000;; ++n) {
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        if (access(socket.c_str(), F_OK) != 0 &&
            sockets.find("@" + socket + "\n") == std::string::npos) {
            return ":" + std::to_string(n);
        }
    }
}

TEST_F(StartupTest, AMonitorThatCannotStartSaysWhyInOneLineAndFails) {
    const auto expectRefusal = [&](const std::string& what, const std::string& why) {
        const std::string log = m_env.Root() + "/refused.log";
        unlink(log.c_str());
        Monitor monitor(log);
        int status = -1;
        ASSERT_TRUE(monitor.WaitExit(20000)) << what;
        monitor.WaitExit(0, &status);
        EXPECT_NE(status, 0) << what;
        EXPECT_NE(status, 128 + SIGABRT) << what;
        const std::string text = ReadFileText(log);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
        EXPECT_NE(text.find(what), std::string::npos) << text;
        EXPECT_NE(text.find(why), std::string::npos) << text;
        EXPECT_FALSE(MonitorEventExists());
    };
    const std::string runtime = m_env.Root() + "/open-runtime";
    ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
    ASSERT_EQ(chmod(runtime.c_str(), 0777), 0);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    expectRefusal(runtime, "open to other users");

    // Without XDG_RUNTIME_DIR: a fallback folder that is a link to somewhere else.
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string savedTmpdir = tmpdir != nullptr ? tmpdir : "";
    const std::string tmp = m_env.Root() + "/tmp";
    ASSERT_EQ(mkdir(tmp.c_str(), 0700), 0);
    const std::string fallback = tmp + "/quorvel-objects-" + std::to_string(geteuid());
    ASSERT_EQ(symlink(runtime.c_str(), fallback.c_str()), 0);
    unsetenv("XDG_RUNTIME_DIR");
    setenv("TMPDIR", tmp.c_str(), 1);
    expectRefusal(fallback, "symbolic link");
    if (savedTmpdir.empty()) {
        unsetenv("TMPDIR");
    } else {
        setenv("TMPDIR", savedTmpdir.c_str(), 1);
    }

    // A display that cannot be reached, as a stale terminal's.
    m_env.Activate();
    const std::string display = UnusedDisplay();
    setenv("DISPLAY", display.c_str(), 1);
    unsetenv("QT_QPA_PLATFORM");
    expectRefusal("'" + display + "'", "cannot be reached");
}

TEST_F(StartupTest, OfTwentyMonitorsStartedAtOnceExactlyOneStays) {
    std::vector<std::unique_ptr<Monitor>> monitors;
    for (int i = 0; i < 20; ++i) {
        monitors.push_back(std::make_unique<Monitor>(Log()));
    }
    const auto running = [&] {
        int count = 0;
        for (auto& monitor : monitors) {
            count += monitor->Reap() ? 0 : 1;
        }
        return count;
    };
    ASSERT_TRUE(WaitFor([&] { return running() <= 1; }, 120000))
        << running() << " Monitors still run\n"
        << ReadFileText(Log());
    // Give a late loser no chance to hide: the one left must stay.
    SleepMs(1000);
    EXPECT_EQ(running(), 1);
    EXPECT_TRUE(MonitorEventExists());
    for (auto& monitor : monitors) {
        int status = -1;
        if (monitor->WaitExit(0, &status)) {
            EXPECT_EQ(status, 0) << "pid " << monitor->Pid();
        }
    }
}

// Answered before any display is opened: with a display that cannot be reached, starting a
// Monitor would abort.
TEST_F(StartupTest, HelpAndVersionAnswerWithoutAMonitorOrADisplay) {
    const std::string run = "env -u QT_QPA_PLATFORM DISPLAY=:4711 '" + BuiltMonitor() + "' ";
    std::string out;
    EXPECT_EQ(RunCommand(run + "--version", &out), 0);
    EXPECT_EQ(out, "quorvel-monitor " + std::string(MonitorVersion::Number) + "\n");
    EXPECT_EQ(RunCommand(run + "--help", &out), 0);
    EXPECT_EQ(out.rfind("usage: quorvel-monitor [wstart]\n", 0), 0u) << out;
    // An unknown option or word, also beside them, is one line and exit 2: nothing starts.
    for (const char* words : {"--verison", "--help x", "wstart -platform offscreen stray"}) {
        EXPECT_EQ(RunCommand(run + words + " 2>&1", &out), 2) << words;
        EXPECT_EQ(out.find("quorvel-monitor: unknown option '"), 0u) << out;
        EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
    }
    EXPECT_FALSE(MonitorEventExists());
    // Qt's options with their values and words holding "wstart" are the Monitor's own.
    Monitor monitor(Log(), {"-platform", "offscreen", "-wstart"});
    ExpectToStay(monitor);
}

TEST_F(StartupTest, StartedAtLogonWithTheSwitchOffItEndsAtOnce) {
    SetWStart(0);
    for (const char* arg : {"wstart", "-wstart", "xwstartx"}) {
        Monitor monitor(Log(), {arg});
        int status = -1;
        ASSERT_TRUE(monitor.WaitExit(20000)) << arg;
        monitor.WaitExit(0, &status);
        EXPECT_EQ(status, 0) << arg;
        EXPECT_FALSE(MonitorEventExists()) << arg;
    }
    // Only the exact lower-case word counts; without it the switch is not read.
    Monitor upper(Log(), {"/WSTART"});
    ExpectToStay(upper);
}

TEST_F(StartupTest, StartedAtLogonWithTheSwitchOnOrAbsentItRuns) {
    {
        Monitor absent(Log(), {"wstart"});
        ExpectToStay(absent);
    }
    EXPECT_TRUE(WaitFor([] { return !MonitorEventExists(); }));
    SetWStart(1);
    Monitor on(Log(), {"wstart"});
    ExpectToStay(on);
}

// On a Wayland desktop the clipboard watcher comes from its plug-in, loaded as installed
// beside the built Monitor. A Monitor without it still runs, as where the compositor offers no
// data-control, and its log says why.
TEST_F(StartupTest, OnWaylandTheClipboardPlugInIsLoadedOrTheLogSaysWhyNot) {
    if (!xsession::Installed("sway")) {
        GTEST_SKIP() << "needs sway (scripts/setup.sh --test)";
    }
    char dir[] = "/tmp/qpm-sway-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    xsession::CChild sway;
    const std::string socket = xsession::StartHeadlessSway(sway, dir, false, Log() + ".sway");
    ASSERT_FALSE(socket.empty()) << ReadFileText(Log() + ".sway");
    setenv("WAYLAND_DISPLAY", socket.c_str(), 1);
    const auto logHas = [](const std::string& log, const std::string& text) {
        return ReadFileText(log).find(text) != std::string::npos;
    };
    {
        Monitor monitor(Log());
        EXPECT_TRUE(
            WaitFor([&] { return logHas(Log(), "followed through wlr-data-control"); }, 20000))
            << ReadFileText(Log());
    }
    EXPECT_TRUE(WaitFor([] { return !MonitorEventExists(); }));
    const std::string alone = m_env.Root() + "/bin/quorvel-monitor";
    std::filesystem::create_directories(m_env.Root() + "/bin");
    std::filesystem::copy_file(BuiltMonitor(), alone);
    const std::string log = m_env.Root() + "/alone.log";
    Monitor monitor(log, {}, alone);
    EXPECT_TRUE(WaitFor(MonitorEventExists, 20000)) << ReadFileText(log);
    SleepMs(1500);
    EXPECT_FALSE(monitor.Reap()) << ReadFileText(log);
    for (const char* said :
         {"quorvel-monitor: the Wayland clipboard watcher could not be loaded (",
          "wayland-clipboard.so: cannot open shared object file",
          "Desktop: none (offscreen); the Wayland clipboard watcher could not"}) {
        EXPECT_TRUE(logHas(log, said)) << said << "\n" << ReadFileText(log);
    }
    monitor.Stop();
    sway.End();
    std::filesystem::remove_all(dir);
}

} // namespace
