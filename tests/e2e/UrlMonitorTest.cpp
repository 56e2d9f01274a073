// The built Monitor on its own X server: copying an FTP URL starts the client once.
#include "app/MonitorApp.h"
#include "platform/registry/Registry.h"
#include "support/TestEnv.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// A child process of this test, ended by its pid when the object goes.
class CChild {
public:
    CChild() = default;
    CChild(const CChild&) = delete;
    CChild& operator=(const CChild&) = delete;
    ~CChild() { End(); }

    // Starts argv[0] (searched in PATH) with the environment, standard input from `stdinFd`
    // (or /dev/null), output to `outputPath` (or /dev/null) and `extraFd` as descriptor 3.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               int stdinFd = -1, const std::string& outputPath = "/dev/null", int extraFd = -1) {
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        std::vector<char*> envp;
        for (const auto& e : env) {
            envp.push_back(const_cast<char*>(e.c_str()));
        }
        envp.push_back(nullptr);
        m_pid = fork();
        if (m_pid == 0) {
            const int in = stdinFd >= 0 ? stdinFd : open("/dev/null", O_RDONLY);
            const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            dup2(in, 0);
            dup2(out, 1);
            dup2(out, 2);
            if (extraFd >= 0) {
                dup2(extraFd, 3);
            }
            execvpe(args[0], args.data(), envp.data());
            _exit(127);
        }
        return m_pid > 0;
    }

    bool Running() {
        if (m_pid <= 0) {
            return false;
        }
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return false;
        }
        return true;
    }

    void End() {
        if (!Running()) {
            return;
        }
        kill(m_pid, SIGTERM);
        if (!WaitFor([this] { return !Running(); }, 5000)) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

bool Installed(const std::string& program) {
    return RunCommand("command -v " + program + " >/dev/null 2>&1") == 0;
}

// This process's environment with the given variables replaced ("NAME=value") or, for a bare
// "NAME", removed.
std::vector<std::string> Environment(const std::vector<std::string>& changes) {
    std::vector<std::string> env;
    auto nameOf = [](const std::string& s) { return s.substr(0, s.find('=')); };
    for (char** e = environ; *e != nullptr; ++e) {
        bool changed = false;
        for (const auto& c : changes) {
            changed = changed || nameOf(*e) == nameOf(c);
        }
        if (!changed) {
            env.emplace_back(*e);
        }
    }
    for (const auto& c : changes) {
        if (c.find('=') != std::string::npos) {
            env.push_back(c);
        }
    }
    return env;
}

// $QPM_MONITOR, or the Monitor of the build tree this test belongs to.
std::string MonitorPath() {
    const char* path = std::getenv("QPM_MONITOR");
    if (path != nullptr && *path != '\0') {
        return path;
    }
    char self[4096] = {};
    const ssize_t size = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir(self, size > 0 ? static_cast<std::size_t>(size) : 0);
    dir = dir.substr(0, dir.rfind('/')); // <build>/tests/e2e
    return dir + "/../../src/app/quorvel-monitor";
}

int CountLines(const std::string& text) {
    int lines = 0;
    for (char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines;
}

class UrlMonitorE2eTest : public PrivateEnvTest {
protected:
    void SetUp() override {
        if (!Installed("Xvfb")) {
            GTEST_SKIP() << "Xvfb is not installed";
        }
        ASSERT_TRUE(Installed("xclip")) << "xclip is needed to fill the clipboard";
        StartXvfb();
    }

    void StartXvfb() {
        int fds[2];
        ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
        // The server picks a free display number and writes it to descriptor 3 once ready.
        const bool started = m_xvfb.Start(
            {"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "640x480x24"},
            Environment({}), -1, m_env.Root() + "/xvfb.log", fds[1]);
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (started && poll(&p, 1, 15000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(fds[0]);
        ASSERT_FALSE(number.empty()) << ReadFileText(m_env.Root() + "/xvfb.log");
        m_display = ":" + number;
    }

    // Puts the text on the clipboard through a new xclip, which serves it until another
    // program takes the clipboard over; its requests are noted in `log`.
    void Copy(const std::string& text, const std::string& log = "/dev/null") {
        int fds[2];
        ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
        m_xclips.emplace_back(std::make_unique<CChild>());
        ASSERT_TRUE(m_xclips.back()->Start({"xclip", "-selection", "clipboard", "-verbose"},
                                           Environment({"DISPLAY=" + m_display}), fds[0], log));
        close(fds[0]);
        ASSERT_EQ(write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
        close(fds[1]);
    }

    std::string Starts() const { return ReadFileText(m_env.Root() + "/starts.txt"); }

    CChild m_xvfb;
    std::string m_display;
    std::vector<std::unique_ptr<CChild>> m_xclips;
};

TEST_F(UrlMonitorE2eTest, CopiedFtpUrlStartsTheClientOnceAndNothingElseDoes) {
    const std::string monitorPath = MonitorPath();
    ASSERT_EQ(access(monitorPath.c_str(), X_OK), 0) << monitorPath;

    const std::string folder = m_env.Root() + "/client";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    m_env.WriteScript("client/Quorvel PRO.exe",
                      "echo \"$# [$*]\" >> '" + m_env.Root() + "/starts.txt'\n");
    {
        CRegKey key;
        ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, MonitorNames::SettingsKey), ERROR_SUCCESS);
        RegSetValueExA(key.Get(), "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.data()),
                       static_cast<DWORD>(folder.size()));
        CWinApp prefs;
        prefs.SetRegistryKey(MonitorNames::RegistryKey);
        prefs.SetProfileName(MonitorNames::ProfileName);
        ASSERT_TRUE(prefs.WriteProfileInt(MonitorNames::PreferencesSection, "URLMonitor", 1));
    }

    // A URL already there at start is not new. Once the Monitor has asked for it, it has
    // remembered it, and everything copied from then on is new to it.
    const std::string firstLog = m_env.Root() + "/xclip-first.log";
    Copy("ftp://present-at-start/file.zip", firstLog);
    CChild monitor;
    ASSERT_TRUE(monitor.Start(
        {monitorPath},
        Environment({"DISPLAY=" + m_display, "QT_QPA_PLATFORM=xcb", "WAYLAND_DISPLAY"}), -1,
        m_env.Root() + "/monitor.log"));
    ASSERT_TRUE(WaitFor(
        [&] { return ReadFileText(firstLog).find("request number 2") != std::string::npos; },
        20000))
        << ReadFileText(m_env.Root() + "/monitor.log");
    SleepMs(1500);
    ASSERT_TRUE(monitor.Running()) << ReadFileText(m_env.Root() + "/monitor.log");
    EXPECT_EQ(Starts(), "");

    Copy("ftp://host/dir/file.zip");
    EXPECT_TRUE(WaitFor([&] { return !Starts().empty(); }, 2000));
    SleepMs(300); // a second start, were there one, would show now
    EXPECT_EQ(Starts(), "0 []\n");

    Copy("ftp://host/dir/file.zip");
    SleepMs(2000);
    EXPECT_EQ(CountLines(Starts()), 1) << "the same text again";

    Copy("http://host/page.html");
    SleepMs(2000);
    EXPECT_EQ(CountLines(Starts()), 1) << "an HTTP URL";

    // Still watching: the silence above was not a dead Monitor.
    Copy("ftp://other/x");
    EXPECT_TRUE(WaitFor([&] { return CountLines(Starts()) == 2; }, 2000));
    EXPECT_TRUE(monitor.Running());

    monitor.End();
    m_xclips.clear();
    m_xvfb.End();
}

} // namespace
