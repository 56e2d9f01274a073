// What only a POSIX launcher has to get right: the child's streams, descriptors, signals and
// session, and the reasons it gives in this system's words.
#include "platform/Launch.h"
#include "support/PrivateEnvTest.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class PosixLaunchTest : public PrivateEnvTest {
protected:
    // A program that records what it was given and where it stands, then stays alive until
    // told to go, so that the test can look at it while it runs.
    std::string RecordingProgram() {
        const std::string out = m_env.Root() + "/report";
        return m_env.WriteScript("recorder",
                                 "out='" + out +
                                     "'\n"
                                     "s0=$(readlink /proc/$$/fd/0)\n"
                                     "s1=$(readlink /proc/$$/fd/1)\n"
                                     "s2=$(readlink /proc/$$/fd/2)\n"
                                     "{\n"
                                     "  echo \"streams=$s0 $s1 $s2\"\n"
                                     "  for a in \"$@\"; do printf '[%s]\\n' \"$a\"; "
                                     "done\n"
                                     "  echo \"pid=$$\"\n"
                                     "  echo \"stat=$(cat /proc/$$/stat)\"\n"
                                     "  for f in /proc/$$/fd/*; do echo \"fd=$(readlink "
                                     "$f)\"; done\n"
                                     // Read by the shell itself: a child reading it
                                     // could catch the mask the shell holds while forking.
                                     "  while IFS= read -r l; do case $l in "
                                     "SigBlk:*|SigIgn:*|PPid:*) echo \"$l\";; esac; "
                                     "done < /proc/$$/status\n"
                                     "} > \"$out.tmp\"\n"
                                     "mv \"$out.tmp\" \"$out\"\n"
                                     "while [ ! -e \"$out.stop\" ] && [ -e \"$out\" ]; "
                                     "do sleep 0.05; done\n");
    }
    std::string Report() {
        const std::string path = m_env.Root() + "/report";
        WaitFor([&] { return access(path.c_str(), F_OK) == 0; }, 10000);
        return ReadFileText(path);
    }
    // Tells the program to go and waits until it has, so that no test leaves it behind.
    void Stop() {
        const std::string report = ReadFileText(m_env.Root() + "/report");
        m_env.WriteFile("report.stop", "");
        const auto at = report.find("pid=");
        if (at == std::string::npos) {
            return;
        }
        const pid_t pid = static_cast<pid_t>(std::atoi(report.c_str() + at + 4));
        if (pid <= 0) {
            return;
        }
        if (!WaitFor([pid] { return kill(pid, 0) != 0; }, 5000)) {
            kill(pid, SIGKILL);
        }
    }
};

TEST_F(PosixLaunchTest, TheChildGetsTheExactArgumentsAndNothingElseOfOurs) {
    // A descriptor we leave open and inheritable must not reach the child.
    const std::string leak = m_env.WriteFile("leak-marker", "");
    const int leaked = open(leak.c_str(), O_RDONLY);
    ASSERT_GE(leaked, 0);
    // Neither must a blocked or ignored signal.
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGUSR1);
    sigset_t old;
    sigprocmask(SIG_BLOCK, &block, &old);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    sigaction(SIGUSR2, &ignore, &previous);

    std::string error;
    const bool started = SystemShell().Open(
        RecordingProgram(), "\"ftq:///home/u/my queue.ftq\" plain \"\" a\\\"b", &error);
    sigprocmask(SIG_SETMASK, &old, nullptr);
    sigaction(SIGUSR2, &previous, nullptr);
    close(leaked);
    ASSERT_TRUE(started) << error;
    const std::string report = Report();
    Stop();

    EXPECT_NE(report.find("[ftq:///home/u/my queue.ftq]\n[plain]\n[]\n[a\"b]\npid="),
              std::string::npos)
        << report;
    EXPECT_EQ(report.find("leak-marker"), std::string::npos) << report;
    EXPECT_NE(report.find("streams=/dev/null /dev/null /dev/null\n"), std::string::npos) << report;
    EXPECT_NE(report.find("SigBlk:\t0000000000000000"), std::string::npos) << report;
    EXPECT_NE(report.find("SigIgn:\t0000000000000000"), std::string::npos) << report;

    // Its own session: the session id (field 6 of stat) is its own pid.
    const auto pidAt = report.find("pid=");
    const std::string pid = report.substr(pidAt + 4, report.find('\n', pidAt) - pidAt - 4);
    const auto statAt = report.find("stat=");
    std::istringstream stat(report.substr(statAt + 5));
    std::string field;
    std::vector<std::string> fields;
    while (fields.size() < 6 && stat >> field) {
        fields.push_back(field);
    }
    ASSERT_EQ(fields.size(), 6u);
    EXPECT_EQ(fields[5], pid);
    // Not our child: nothing of it can ever become our zombie.
    EXPECT_EQ(report.find("PPid:\t" + std::to_string(getpid()) + "\n"), std::string::npos);
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(PosixLaunchTest, AProgramThatCannotBeStartedIsReported) {
    std::string error;
    const std::string missing = m_env.Root() + "/no such program";
    EXPECT_FALSE(SystemShell().Open(missing, nullptr, &error));
    EXPECT_EQ(error, missing + " does not exist");

    const std::string plain = m_env.WriteFile("not executable", "#!/bin/sh\nexit 0\n");
    chmod(plain.c_str(), 0644);
    error.clear();
    EXPECT_FALSE(SystemShell().Open(plain, "x", &error));
    EXPECT_EQ(error, plain + " is not executable");

    const std::string garbage = m_env.WriteFile("garbage", "\x7f"
                                                           "ELF but not really");
    chmod(garbage.c_str(), 0755);
    EXPECT_FALSE(SystemShell().Open(garbage, nullptr, &error));

    EXPECT_FALSE(SystemShell().Open(m_env.Root(), nullptr, &error));
    EXPECT_EQ(error, m_env.Root() + " is a folder, not a program");
    EXPECT_FALSE(SystemShell().Open("", nullptr, &error));
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
}

TEST_F(PosixLaunchTest, WorksWhenOurStandardStreamsAreClosed) {
    // The launcher's own pipe then lands on 0 and 1, where the child's streams go.
    const int savedIn = dup(0);
    const int savedOut = dup(1);
    const auto closeStreams = [] {
        close(0);
        close(1);
    };
    const auto restoreStreams = [&] {
        dup2(savedIn, 0);
        dup2(savedOut, 1);
    };
    std::string error;
    closeStreams();
    const bool started = SystemShell().Open(RecordingProgram(), "x", &error);
    restoreStreams();
    ASSERT_TRUE(started) << error;
    EXPECT_NE(Report().find("[x]"), std::string::npos);
    Stop();

    const std::string plain = m_env.WriteFile("plain", "x");
    chmod(plain.c_str(), 0644);
    closeStreams();
    const bool failed = !SystemShell().Open(plain, nullptr, &error);
    restoreStreams();
    close(savedIn);
    close(savedOut);
    EXPECT_TRUE(failed) << "a failed start was reported as a success";
}

} // namespace
