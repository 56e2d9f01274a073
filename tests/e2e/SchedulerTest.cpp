// The built Monitor, headless, hands a due queue to the client at its first scheduler tick.
#include "app/MonitorApp.h"
#include "platform/Time.h"
#include "platform/WinApp.h"
#include "platform/registry/Registry.h"
#include "scheduler/QueueScheduleDB.h"
#include "scheduler/Schedule.h"
#include "support/PrivateEnvTest.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

class CProfile : public CWinApp {
public:
    CProfile() { UseMonitorProfile(*this); }
};

// Starts a program with the test's environment, its output into a file; ends it by pid.
class Child {
public:
    Child(const std::string& program, const std::string& output) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv, environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() { End(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t Pid() const { return m_pid; }
    void End() {
        if (m_pid <= 0) {
            return;
        }
        kill(m_pid, SIGTERM);
        for (int i = 0; i < 250; ++i) {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
            SleepMs(20);
        }
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

int CountLines(const std::string& text) {
    int n = 0;
    for (char c : text) {
        n += c == '\n';
    }
    return n;
}

class SchedulerE2ETest : public PrivateEnvTest {};

TEST_F(SchedulerE2ETest, FirstTickStartsTheClientOnceWithTheQueueAndAdvancesTheEntry) {
    const std::string monitor = BuiltMonitor();
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");

    // The client folder with a fake client that records its arguments, one per line.
    const std::string folder = m_env.Root() + "/client";
    ASSERT_EQ(RunCommand("mkdir -p '" + folder + "'"), 0);
    const std::string record = m_env.Root() + "/client-args.txt";
    m_env.WriteScript("client/Quorvel PRO.exe",
                      "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + record + "'; done\n");
    {
        CRegKey key;
        ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, "Software\\Marrowfen\\QUORVEL PRO\\Settings"),
                  ERROR_SUCCESS);
        RegSetValueExA(key.Get(), "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>(folder.size() + 1));
    }

    // A daily queue whose run fell due a minute ago.
    const std::string queue = m_env.WriteFile("my queue.ftq", "queue");
    const CTime now = CTime::GetCurrentTime();
    CSchedule s;
    s.m_bOnce = 0;
    s.m_nUnit = PeriodUnit::Days;
    s.m_timeStart = s.m_timeLastRun = CTime(now.GetTime() - 86400 - 60);
    CProfile app;
    CQueueScheduleDB db(&app);
    db.Write(5, s.CreateRecord().get(), queue.c_str());

    const std::string log = m_env.Root() + "/monitor.log";
    Child child(monitor, log);
    ASSERT_GT(child.Pid(), 0);

    // The first tick comes a minute after start-up.
    ASSERT_TRUE(WaitFor([&] { return !ReadFileText(record).empty(); }, 100000))
        << ReadFileText(log);
    const std::int32_t expectedAnchor = now.GetTime() - 60;
    EXPECT_TRUE(WaitFor(
        [&] {
            std::string name;
            auto rec = db.Read(5, name);
            return rec != nullptr && rec->timeLastRun == expectedAnchor;
        },
        10000));
    SleepMs(1500); // room for a wrongful second start
    child.End();

    const std::string args = ReadFileText(record);
    EXPECT_EQ(args, "ftq://" + queue + "\n");
    EXPECT_EQ(CountLines(args), 1);
    std::string name;
    auto rec = db.Read(5, name);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(name, queue);
    EXPECT_EQ(rec->timeLastRun, expectedAnchor);
    const std::string output = ReadFileText(log);
    EXPECT_NE(output.find("Transfer Scheduler - Transferring Queue:"), std::string::npos) << output;
    EXPECT_NE(output.find("Next scheduled transfert for this queue:"), std::string::npos) << output;
}

} // namespace
