// The built Monitor, started headless with two interrupted transfers and nobody to answer its
// question, starts the right helper programs once each when the countdown runs out.
#include "app/MonitorApp.h"
#include "platform/registry/Registry.h"
#include "support/PrivateEnvTest.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void SetValue(HKEY root, const std::string& path, const char* name, DWORD type,
              const std::vector<BYTE>& data) {
    CRegKey key;
    ASSERT_EQ(key.Create(root, path.c_str()), ERROR_SUCCESS) << path;
    ASSERT_EQ(
        RegSetValueExA(key.Get(), name, 0, type, data.data(), static_cast<DWORD>(data.size())),
        ERROR_SUCCESS);
}

void WriteEntry(int id, BYTE download) {
    const std::string path =
        std::string("Software\\Marrowfen\\QUORVEL PRO\\CurrentVersion\\KTXfer\\DB\\") +
        std::to_string(id);
    SetValue(HKEY_CURRENT_USER, path, "DBVER", REG_DWORD, {2, 0, 0, 0});
    SetValue(HKEY_CURRENT_USER, path, "DataSize", REG_DWORD, {0x20, 0x03, 0, 0});
    std::vector<BYTE> data(800, 0x5A);
    data[0] = download;
    data[1] = data[2] = data[3] = 0;
    SetValue(HKEY_CURRENT_USER, path, "Data", REG_BINARY, data);
}

// Starts the Monitor without a display, its output in `logFile`; the caller ends it by pid.
pid_t StartMonitor(const std::string& logFile) {
    const std::string monitor = BuiltMonitor();
    const pid_t pid = fork();
    if (pid == 0) {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        const int fd = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 1);
        dup2(fd, 2);
        execl(monitor.c_str(), monitor.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

class ResumeEndToEnd : public PrivateEnvTest {
protected:
    // A client folder whose helpers each write their process id (which orders the starts),
    // name and arguments into `record`, and two entries to resume.
    void SetUp() override {
        const std::string client = m_env.Root() + "/client";
        ASSERT_EQ(mkdir(client.c_str(), 0700), 0);
        for (const char* helper : {"KettrinDL.exe", "KettrinUL.exe"}) {
            m_env.WriteScript(std::string("client/") + helper,
                              "printf '%s %s %s\\n' \"$$\" \"${0##*/}\" \"$*\" >> '" + record +
                                  "'\n");
        }
        const std::string folder = client + "/";
        SetValue(HKEY_LOCAL_MACHINE, MonitorNames::SettingsKey, "Path", REG_SZ,
                 std::vector<BYTE>(folder.begin(), folder.end() + 1));
        WriteEntry(3, 1); // a download
        WriteEntry(7, 0); // an upload
        RegCloseStores();
    }

    const std::string record = m_env.Root() + "/starts.txt";
};

TEST_F(ResumeEndToEnd, UnansweredQuestionResumesEachTransferOnceFromTheLastIdToTheFirst) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t monitor = StartMonitor(m_env.Root() + "/monitor.log");
    ASSERT_GT(monitor, 0);

    const bool started = WaitFor([&] { return Lines(ReadFileText(record)).size() >= 2; }, 30000);
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    SleepMs(1000); // any extra start would show by now
    kill(monitor, SIGTERM);
    int status = 0;
    waitpid(monitor, &status, 0);

    ASSERT_TRUE(started) << ReadFileText(m_env.Root() + "/monitor.log");
    // The countdown answers at its first tick after nine seconds, not before.
    EXPECT_GE(seconds, 9.0);
    std::vector<std::pair<long, std::string>> starts;
    for (const auto& line : Lines(ReadFileText(record))) {
        const auto space = line.find(' ');
        starts.emplace_back(std::stol(line.substr(0, space)), line.substr(space + 1));
    }
    std::sort(starts.begin(), starts.end());
    std::vector<std::string> order;
    for (const auto& s : starts) {
        order.push_back(s.second);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"KettrinUL.exe fdb://7", "KettrinDL.exe fdb://3"}));
    EXPECT_NE(ReadFileText(m_env.Root() + "/monitor.log").find("Resuming interrupted transfers."),
              std::string::npos);
    EXPECT_TRUE(WIFEXITED(status)) << status;
}

TEST_F(ResumeEndToEnd, EndedWhileTheQuestionIsOpenItKeepsEveryEntryAndEndsInOrder) {
    const std::string log = m_env.Root() + "/monitor.log";
    const pid_t monitor = StartMonitor(log);
    ASSERT_GT(monitor, 0);
    SleepMs(2000);
    kill(monitor, SIGTERM);
    int status = 0;
    ASSERT_TRUE(WaitFor([&] { return waitpid(monitor, &status, WNOHANG) == monitor; }, 20000))
        << ReadFileText(log);
    SleepMs(500); // a helper started at the end would have written by now

    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << ReadFileText(log);
    EXPECT_EQ(ReadFileText(record), "");
    const std::string text = ReadFileText(log);
    EXPECT_NE(text.find("Transfer Scheduler Disabled."), std::string::npos) << text;
    EXPECT_EQ(text.find("Resuming interrupted transfers."), std::string::npos) << text;
    std::string listed;
    ASSERT_EQ(RunCommand(BuiltCompanion() + " resume list --json", &listed), 0);
    EXPECT_NE(listed.find("\"subkey\":\"3\",\"id\":3,\"version\":2,\"readable\":true"),
              std::string::npos)
        << listed;
    EXPECT_NE(listed.find("\"subkey\":\"7\",\"id\":7,\"version\":2,\"readable\":true"),
              std::string::npos)
        << listed;
}

} // namespace
