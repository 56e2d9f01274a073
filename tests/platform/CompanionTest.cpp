// The companion's registry-file, event and open commands, run as a user runs them.
#include "app/Version.h"
#include "platform/NamedObjects.h"
#include "platform/registry/Registry.h"
#include "support/PrivateEnvTest.h"

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

class CompanionTest : public PrivateEnvTest {
protected:
    void SetUp() override {
        m_ctl = BuiltCompanion();
        ASSERT_EQ(access(m_ctl.c_str(), X_OK), 0) << m_ctl << " is not the built companion";
    }

    Result Run(const std::vector<std::string>& args) {
        std::string line = ShellQuote(m_ctl);
        for (const auto& arg : args) {
            line += " " + ShellQuote(arg);
        }
        const std::string errFile = m_env.Root() + "/stderr";
        Result result;
        result.status = RunCommand(line + " 2>" + ShellQuote(errFile), &result.out);
        result.err = ReadFileText(errFile);
        return result;
    }

    // Exit status 2 and exactly one line on standard error that mentions `what`.
    void ExpectRefused(const Result& result, const std::string& what) {
        EXPECT_EQ(result.status, 2) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_NE(result.err.find(what), std::string::npos) << result.err;
    }

    std::string m_ctl;
};

TEST_F(CompanionTest, HelpIsThereForTheToolAndEverySubcommand) {
    const Result top = Run({"--help"});
    EXPECT_EQ(top.status, 0);
    for (const char* sub : {"import", "export", "event", "open"}) {
        EXPECT_NE(top.out.find(sub), std::string::npos) << sub;
        const Result help = Run({sub, "--help"});
        EXPECT_EQ(help.status, 0) << sub;
        EXPECT_EQ(help.out.rfind("usage: quorvel-monitorctl " + std::string(sub), 0), 0u)
            << help.out;
        EXPECT_EQ(help.err, "") << sub;
    }
    const Result version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "quorvel-monitorctl " + std::string(MonitorVersion::Number) + "\n");
    ExpectRefused(Run({"frobnicate"}), "frobnicate");
    EXPECT_EQ(Run({}).status, 2);
    ExpectRefused(Run({"import"}), "import");
    ExpectRefused(Run({"export"}), "export");
    ExpectRefused(Run({"export", "--bogus", "HKCU"}), "--bogus");
    ExpectRefused(Run({"event", "hold", "X"}), "event");
    ExpectRefused(Run({"event", "probe"}), "event");
    ExpectRefused(Run({"open"}), "open");
}

TEST_F(CompanionTest, ImportExportRoundTripThroughFiles) {
    const std::string file =
        m_env.WriteFile("in.reg", "Windows Registry Editor Version 5.00\r\n\r\n"
                                  "[HKEY_CURRENT_USER\\Software\\Marrowfen\\QUORVEL PRO\\"
                                  "CurrentVersion\\Preferences]\r\n"
                                  "\"MonitorWStart\"=dword:00000000\r\n\r\n"
                                  "[HKLM\\Software\\Marrowfen\\QUORVEL PRO\\Settings]\r\n"
                                  "\"Path\"=\"/opt/quorvel\"\r\n");
    const Result imported = Run({"import", file});
    ASSERT_EQ(imported.status, 0) << imported.err;
    // The program ended as the store's last user: its write-ahead log went with it.
    EXPECT_NE(access((m_env.UserStore() + "-wal").c_str(), F_OK), 0);
    // What the tool stored, the Monitor's own registry code reads.
    CRegKey key;
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, "Software\\Marrowfen\\QUORVEL PRO\\Settings", KEY_READ),
              ERROR_SUCCESS);
    char path[64] = {};
    DWORD size = sizeof path;
    ASSERT_EQ(
        RegQueryValueExA(key.Get(), "Path", nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size),
        ERROR_SUCCESS);
    EXPECT_STREQ(path, "/opt/quorvel");

    const std::string out = m_env.Root() + "/out.reg";
    ASSERT_EQ(Run({"export", "HKCU\\Software", out}).status, 0);
    const std::string exported = ReadFileText(out);
    struct stat st {};
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(exported.rfind("\xFF\xFEW\0i\0n\0", 0), 0u);
    ASSERT_EQ(Run({"import", out}).status, 0);
    ASSERT_EQ(Run({"export", "HKCU\\Software", out}).status, 0);
    EXPECT_EQ(ReadFileText(out), exported);

    const Result toStdout = Run({"export", "--utf8", "HKLM\\Software\\Marrowfen"});
    EXPECT_EQ(toStdout.status, 0);
    EXPECT_NE(toStdout.out.find("\"Path\"=\"/opt/quorvel\"\r\n"), std::string::npos)
        << toStdout.out;

    const Result missing = Run({"export", "HKCU\\Software\\Nothing", out});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("HKCU\\Software\\Nothing"), std::string::npos);
    EXPECT_EQ(ReadFileText(out), exported) << "a failed export touched the file";
}

TEST_F(CompanionTest, AMalformedFileIsRefusedWholeWithItsLine) {
    const std::string file = m_env.WriteFile("bad.reg", "REGEDIT4\n\n[HKCU\\Software\\A]\n"
                                                        "\"fine\"=\"yes\"\n"
                                                        "[HKCU\\Software\\B]\n"
                                                        "\"broken\"=dword:nothex\n");
    ExpectRefused(Run({"import", file}), "line 6");
    CRegKey a;
    EXPECT_EQ(a.Open(HKEY_CURRENT_USER, "Software\\A", KEY_READ), ERROR_FILE_NOT_FOUND);
    ExpectRefused(Run({"import", m_env.Root() + "/no-such.reg"}), "no-such.reg");
}

TEST_F(CompanionTest, EventHoldRunsTheCommandWhileTheEventExists) {
    EXPECT_EQ(Run({"event", "probe", "QVRLPROInstance"}).status, 1);
    // The command sees the event; the tool exits with the command's status.
    EXPECT_EQ(
        Run({"event", "hold", "QVRLPROInstance", "--", m_ctl, "event", "probe", "QVRLPROInstance"})
            .status,
        0);
    EXPECT_EQ(Run({"event", "hold", "X", "--", "sh", "-c", "exit 3"}).status, 3);
    EXPECT_FALSE(CHandle(OpenEventA(EVENT_ALL_ACCESS, FALSE, "X")));
    ExpectRefused(Run({"event", "hold", "X", "--", m_env.Root() + "/missing-program"}),
                  "missing-program");
}

TEST_F(CompanionTest, EndingTheHolderEndsTheCommandAndReleasesTheEvent) {
    const pid_t holder = fork();
    if (holder == 0) {
        execl(m_ctl.c_str(), m_ctl.c_str(), "event", "hold", "Held", "--", "sleep", "30",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_TRUE(WaitFor([] { return static_cast<bool>(CHandle(OpenEventA(0, FALSE, "Held"))); }));
    EXPECT_EQ(Run({"event", "probe", "Held"}).status, 0);
    kill(holder, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(holder, &status, 0), holder);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
    EXPECT_EQ(Run({"event", "probe", "Held"}).status, 1);
}

TEST_F(CompanionTest, OpenStartsTheProgramWithTheSplitParameters) {
    const std::string out = m_env.Root() + "/args";
    const std::string program =
        m_env.WriteScript("program", "for a in \"$@\"; do printf '[%s]' \"$a\"; done > '" + out +
                                         ".tmp'\nmv '" + out + ".tmp' '" + out + "'\n");
    ASSERT_EQ(Run({"open", program, "\"ftq://a b\" --help x\\\"y"}).status, 0);
    ASSERT_TRUE(WaitFor([&] { return access(out.c_str(), F_OK) == 0; }));
    EXPECT_EQ(ReadFileText(out), "[ftq://a b][--help][x\"y]");

    const Result missing = Run({"open", m_env.Root() + "/Quorvel PRO.exe"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Quorvel PRO.exe"), std::string::npos);
    ExpectRefused(Run({"open", program, "a", "b"}), "open");
}

} // namespace
