// The companion's registry-file, event and open commands, run as a user runs them.
#include "app/Version.h"
#include "platform/NamedObjects.h"
#include "platform/registry/Registry.h"
#include "support/PrivateEnvTest.h"

#include <csignal>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
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

// Files an export writes beside its target before renaming.
int TemporaryFiles(const std::string& folder) {
    int count = 0;
    DIR* dir = opendir(folder.c_str());
    while (const dirent* entry = dir != nullptr ? readdir(dir) : nullptr) {
        count += std::strstr(entry->d_name, ".tmp-") != nullptr ? 1 : 0;
    }
    if (dir != nullptr) {
        closedir(dir);
    }
    return count;
}

class CompanionTest : public PrivateEnvTest {
protected:
    void SetUp() override {
        m_ctl = BuiltCompanion();
        ASSERT_EQ(access(m_ctl.c_str(), X_OK), 0) << m_ctl << " is not the built companion";
    }

    // `prefix`: shell words run before, e.g. limits for the companion's process.
    Result Run(const std::vector<std::string>& args, const std::string& prefix = "") {
        std::string line = prefix + ShellQuote(m_ctl);
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
    // A missing subcommand: one line pointing to the help.
    ExpectRefused(Run({}), "--help");
    ExpectRefused(Run({"schedule"}), "--help");
    ExpectRefused(Run({"resume"}), "--help");
    ExpectRefused(Run({"event"}), "--help");
    ExpectRefused(Run({"event", "probe", ""}), "empty");
    ExpectRefused(Run({"event", "hold", "", "--", "true"}), "empty");
    // The help states the limits and the name of standard output.
    const std::string importHelp = Run({"import", "--help"}).out;
    for (const char* limit : {"255", "16,383", "512 levels", "256 MiB"}) {
        EXPECT_NE(importHelp.find(limit), std::string::npos) << limit;
    }
    EXPECT_NE(Run({"export", "--help"}).out.find("'-'"), std::string::npos);
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

TEST_F(CompanionTest, ExportWritesIntoWhatIsNotARegularFileAndReplacesOnlyRegularFiles) {
    ASSERT_EQ(
        Run({"import", m_env.WriteFile("in.reg", "REGEDIT4\n[HKCU\\E]\n\"v\"=\"x\"\n")}).status, 0);
    const std::string key = "HKCU\\E";
    const std::string expected = Run({"export", "--utf8", key, "-"}).out;
    ASSERT_NE(expected.find("\"v\"=\"x\""), std::string::npos) << expected;
    // Standard output named as a file, here a pipe.
    EXPECT_EQ(Run({"export", "--utf8", key, "/dev/stdout"}).out, expected);

    // A FIFO stands for a device: written in place, itself or through a link.
    const std::string fifo = m_env.Root() + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(symlink(fifo.c_str(), (m_env.Root() + "/fifo-link").c_str()), 0);
    for (const std::string name : {"fifo", "fifo-link"}) {
        std::string read;
        std::thread reader([&] { read = ReadFileText(fifo); });
        EXPECT_EQ(Run({"export", "--utf8", key, m_env.Root() + "/" + name}).status, 0) << name;
        reader.join();
        EXPECT_EQ(read, expected) << name;
        struct stat st {};
        ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
    }

    // A regular file behind a link is replaced and keeps its mode; the link stays a link.
    const std::string target = m_env.WriteFile("target.reg", "old");
    ASSERT_EQ(chmod(target.c_str(), 0644), 0);
    const std::string link = m_env.Root() + "/link.reg";
    ASSERT_EQ(symlink("target.reg", link.c_str()), 0);
    EXPECT_EQ(Run({"export", "--utf8", key, link}).status, 0);
    EXPECT_EQ(ReadFileText(target), expected);
    struct stat st {};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    // A link to nothing yet makes the file it names, private.
    const std::string dangling = m_env.Root() + "/new-link.reg";
    ASSERT_EQ(symlink("made.reg", dangling.c_str()), 0);
    EXPECT_EQ(Run({"export", "--utf8", key, dangling}).status, 0);
    ASSERT_EQ(lstat(dangling.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat((m_env.Root() + "/made.reg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadFileText(m_env.Root() + "/made.reg"), expected);

    ExpectRefused(Run({"export", key, m_env.Root()}), "cannot write");
    EXPECT_EQ(TemporaryFiles(m_env.Root()), 0);
}

TEST_F(CompanionTest, AnExportThatFailsOrIsEndedLeavesNoFileBehind) {
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Big"), ERROR_SUCCESS);
    const std::vector<BYTE> bytes(64 * 1024, 0x5A);
    ASSERT_EQ(RegSetValueExA(key.Get(), "v", 0, REG_BINARY, bytes.data(),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    const std::string out = m_env.WriteFile("out.reg", "old");
    // Files may grow to 8 KiB: the write fails (the signal ignored) or the signal ends the
    // companion, midway either way.
    for (const std::string prefix :
         {"ulimit -c 0; ulimit -f 16; trap '' XFSZ; exec ", "ulimit -c 0; ulimit -f 16; exec "}) {
        const Result result = Run({"export", "HKCU\\Big", out}, prefix);
        EXPECT_NE(result.status, 0) << prefix;
        EXPECT_TRUE(ReadFileText(out) == "old") << prefix << "the file was changed";
        EXPECT_EQ(TemporaryFiles(m_env.Root()), 0) << prefix;
    }
}

TEST_F(CompanionTest, ImportReadsAtMost256MiB) {
    // An input that does not end (one byte more than the limit will do), and a file that says
    // it is larger.
    ExpectRefused(Run({"import", "-"}, "head -c 268435457 /dev/zero | "), "256 MiB");
    const std::string sparse = m_env.WriteFile("huge.reg", "REGEDIT4\n");
    ASSERT_EQ(truncate(sparse.c_str(), (off_t{256} << 20) + 1), 0);
    ExpectRefused(Run({"import", sparse}), "256 MiB");
}

TEST_F(CompanionTest, AStoreThatCannotBeUsedIsNamedForWhatIsWrong) {
    // Damaged: an export cannot tell whether a key is there.
    const std::string damaged = m_env.WriteFile("damaged.db", std::string(8192, 'x'));
    const Result result =
        Run({"export", "HKCU\\Software"}, "QUORVEL_REGISTRY_USER=" + ShellQuote(damaged) + " ");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("cannot be read"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("no such key"), std::string::npos) << result.err;

    // A store in a folder that cannot be written (closed, so without its journal files beside
    // it); as root, the companion runs as nobody.
    {
        CRegKey made;
        ASSERT_EQ(made.Create(HKEY_CURRENT_USER, "A"), ERROR_SUCCESS);
    }
    RegCloseStores();
    const std::string folder = m_env.Root() + "/config/quorvel-registry";
    std::string asUser;
    if (geteuid() == 0) {
        ASSERT_EQ(RunCommand("chown -R 65534 '" + folder + "' && chmod 0755 '" + m_env.Root() +
                             "' '" + m_env.Root() + "/config'"),
                  0);
        asUser = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
    ASSERT_EQ(chmod(folder.c_str(), 0500), 0);
    const Result readOnly =
        Run({"import", m_env.WriteFile("a.reg", "REGEDIT4\n[HKCU\\B]\n")}, asUser);
    EXPECT_EQ(readOnly.status, 2);
    EXPECT_NE(readOnly.err.find("folder that cannot be written (" + folder), std::string::npos)
        << readOnly.err;
    EXPECT_EQ(readOnly.err.find("not a database"), std::string::npos) << readOnly.err;
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
