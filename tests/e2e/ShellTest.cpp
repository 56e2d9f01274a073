// The Monitor as a user runs it without a display: its log on standard output, and an orderly
// end on SIGTERM, SIGINT and SIGHUP.
#include "app/MonitorApp.h"
#include "support/PrivateEnvTest.h"
#include "urlmon/XSession.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class MonitorProcess {
public:
    // Starts the built Monitor, its standard output into a pipe: headless, or on `display`.
    // `full`: a pipe already full, as one nobody reads.
    bool Start(const std::string& display = {}, bool full = false) {
        const std::string program = BuiltMonitor();
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) {
            return false;
        }
        if (full) {
            fcntl(out[1], F_SETPIPE_SZ, 4096);
            fcntl(out[1], F_SETFL, O_NONBLOCK);
            const char block[512] = {};
            while (write(out[1], block, sizeof block) > 0) {
            }
            fcntl(out[1], F_SETFL, 0);
        }
        m_pid = fork();
        if (m_pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDERR_FILENO);
            // No chosen platform: the Monitor picks one for the display, or the headless one.
            if (display.empty()) {
                unsetenv("DISPLAY");
            } else {
                setenv("DISPLAY", display.c_str(), 1);
            }
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("QT_QPA_PLATFORM");
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        m_fd = out[0];
        return m_pid > 0;
    }

    ~MonitorProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_fd >= 0) {
            close(m_fd);
        }
    }

    // Reads standard output until `text` appeared or the time is up.
    bool ReadUntil(const std::string& text, int timeoutMs) {
        for (int waited = 0; m_output.find(text) == std::string::npos; waited += 50) {
            if (waited > timeoutMs || !ReadSome(50)) {
                return m_output.find(text) != std::string::npos;
            }
        }
        return true;
    }

    // Waits for the end; the exit status, or -1 when it did not end in time. `read`: reads the
    // output meanwhile and to its end.
    int Wait(int timeoutMs, bool read = true) {
        for (int waited = 0; waited <= timeoutMs; waited += 20) {
            if (read) {
                ReadSome(0);
            }
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                while (read && ReadSome(100)) {
                }
                return status;
            }
            SleepMs(20);
        }
        return -1;
    }

    pid_t Pid() const { return m_pid; }
    const std::string& Output() const { return m_output; }

private:
    // False at the end of the output.
    bool ReadSome(int timeoutMs) {
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) {
            return true;
        }
        char buffer[4096];
        const ssize_t got = read(m_fd, buffer, sizeof buffer);
        if (got <= 0) {
            return false;
        }
        m_output.append(buffer, static_cast<size_t>(got));
        return true;
    }

    pid_t m_pid = -1;
    int m_fd = -1;
    std::string m_output;
};

class ShellTest : public PrivateEnvTest {};

TEST_F(ShellTest, HeadlessMonitorMirrorsItsLogAndEndsInOrderOnSignals) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        MonitorProcess monitor;
        ASSERT_TRUE(monitor.Start());
        ASSERT_TRUE(monitor.ReadUntil("  Quorvel PRO Monitor started.\n", 30000))
            << monitor.Output();
        EXPECT_TRUE(CMonitorApp::NamedEventExists(MonitorNames::InstanceEvent));
        ASSERT_EQ(kill(monitor.Pid(), sig), 0);
        const int status = monitor.Wait(20000);
        ASSERT_NE(status, -1) << "the Monitor did not end";
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 0);
        const std::string& out = monitor.Output();
        const size_t url = out.find("  URL Monitor Disabled.\n");
        const size_t scheduler = out.find("  Transfer Scheduler Disabled.\n");
        ASSERT_NE(url, std::string::npos) << out;
        ASSERT_NE(scheduler, std::string::npos) << out;
        EXPECT_LT(url, scheduler);
        // Each "Disabled" line comes once: the end ran once.
        EXPECT_EQ(out.find("  URL Monitor Disabled.\n", url + 1), std::string::npos);
        EXPECT_FALSE(CMonitorApp::NamedEventExists(MonitorNames::InstanceEvent));
        // It was the store's last user: its write-ahead log and index went with it.
        EXPECT_NE(access((m_env.UserStore() + "-wal").c_str(), F_OK), 0);
        EXPECT_NE(access((m_env.UserStore() + "-shm").c_str(), F_OK), 0);
    }
}

TEST_F(ShellTest, AnOutputNobodyReadsDoesNotHoldTheMonitorUp) {
    MonitorProcess monitor;
    ASSERT_TRUE(monitor.Start({}, true));
    ASSERT_TRUE(WaitFor(
        [] { return CMonitorApp::NamedEventExists(MonitorNames::InstanceEvent) != FALSE; }, 30000));
    SleepMs(1000); // its first log lines are waiting by now
    ASSERT_EQ(kill(monitor.Pid(), SIGTERM), 0);
    const int status = monitor.Wait(20000, false);
    ASSERT_NE(status, -1) << "the Monitor did not end while its output was full";
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(CMonitorApp::NamedEventExists(MonitorNames::InstanceEvent));
}

TEST_F(ShellTest, WithADisplayAndNoTerminalTheLogStaysInTheWindow) {
    if (!xsession::Installed("Xvfb")) {
        GTEST_SKIP() << "Xvfb is not installed";
    }
    xsession::CChild xvfb;
    const std::string display = xsession::StartXvfb(xvfb, m_env.Root() + "/xvfb.log");
    ASSERT_FALSE(display.empty());
    MonitorProcess monitor;
    ASSERT_TRUE(monitor.Start(display));
    ASSERT_TRUE(WaitFor(
        [] { return CMonitorApp::NamedEventExists(MonitorNames::InstanceEvent) != FALSE; }, 30000));
    // Give start-up time to write its first entry, which must not reach the pipe.
    SleepMs(1500);
    ASSERT_EQ(kill(monitor.Pid(), SIGTERM), 0);
    const int status = monitor.Wait(20000);
    ASSERT_NE(status, -1) << "the Monitor did not end";
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(monitor.Output(), "");
}

} // namespace
