// What only the POSIX companion has to get right: devices, links and modes of the files it
// writes, limits and signals, standard input, and the SQLite store's own failures.
#include "CompanionTest.h"

#include "platform/NamedObjects.h"
#include "platform/registry/Registry.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

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

class PosixCompanionTest : public CompanionTest {
protected:
    // `prefix`: shell words run before, e.g. limits for the companion's process.
    ProgramResult Run(const std::vector<std::string>& args, const std::string& prefix = "") {
        std::string line = prefix + ShellQuote(m_ctl);
        for (const auto& arg : args) {
            line += " " + ShellQuote(arg);
        }
        const std::string errFile = m_env.Root() + "/stderr";
        ProgramResult result;
        result.status = RunCommand(line + " 2>" + ShellQuote(errFile), &result.out);
        result.err = ReadFileText(errFile);
        return result;
    }
};

TEST_F(PosixCompanionTest, ExportsArePrivateAndTheStoreEndsWithoutItsLog) {
    ASSERT_EQ(
        Run({"import", m_env.WriteFile("in.reg", "REGEDIT4\n[HKCU\\E]\n\"v\"=\"x\"\n")}).status, 0);
    // The program ended as the store's last user: its write-ahead log went with it.
    EXPECT_NE(access((m_env.UserStore() + "-wal").c_str(), F_OK), 0);
    const std::string out = m_env.Root() + "/out.reg";
    ASSERT_EQ(Run({"export", "HKCU\\E", out}).status, 0);
    struct stat st {};
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(PosixCompanionTest, MachineStoreIsReadableByAllAndUnwrittenOutputFails) {
    const std::string folder = m_env.Root() + "/system/quorvel";
    const std::string store = folder + "/machine.db";
    ASSERT_EQ(Run({"import", m_env.WriteFile("m.reg", "REGEDIT4\n[HKLM\\M]\n")},
                  "umask 077; QUORVEL_REGISTRY_MACHINE=" + ShellQuote(store) + " ")
                  .status,
              0);
    struct stat st {};
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    ASSERT_EQ(stat(store.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--help"},
                                               {"--version"},
                                               {"schedule", "list", "--json"},
                                               {"resume", "list", "--json"}}) {
        EXPECT_EQ(Run(args, "exec >/dev/full; ").status, 1) << args[0];
    }
}

TEST_F(PosixCompanionTest, ExportWritesIntoWhatIsNotARegularFileAndReplacesOnlyRegularFiles) {
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

TEST_F(PosixCompanionTest, AnExportThatFailsOrIsEndedLeavesNoFileBehind) {
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
        const ProgramResult result = Run({"export", "HKCU\\Big", out}, prefix);
        EXPECT_NE(result.status, 0) << prefix;
        EXPECT_TRUE(ReadFileText(out) == "old") << prefix << "the file was changed";
        EXPECT_EQ(TemporaryFiles(m_env.Root()), 0) << prefix;
    }
}

TEST_F(PosixCompanionTest, ImportReadsItsInputOnceAndAtMost256MiB) {
    // An input that does not end (one byte more than the limit will do).
    ExpectRefused(Run({"import", "-"}, "head -c 268435457 /dev/zero | "), "256 MiB");
    // Read once, whole, before any of it is stored: a pipe named as the file can be imported,
    // and a file edited meanwhile cannot give the storing pass other lines than the check saw.
    const std::string file =
        m_env.WriteFile("in.reg", "REGEDIT4\n\n[" + m_env.RootForPrograms("HKCU") +
                                      "\\Software\\P]\n\"v\"=\"1\"\n");
    const ProgramResult piped = Run({"import", "/dev/stdin"}, "cat " + ShellQuote(file) + " | ");
    ASSERT_EQ(piped.status, 0) << piped.err;
    CRegKey key;
    EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\P", KEY_READ), ERROR_SUCCESS);
}

TEST_F(PosixCompanionTest, AStoreThatCannotBeUsedIsNamedForWhatIsWrong) {
    // Damaged: an export cannot tell whether a key is there.
    const std::string damaged = m_env.WriteFile("damaged.db", std::string(8192, 'x'));
    const ProgramResult result =
        Run({"export", "HKCU\\Software"}, "QUORVEL_REGISTRY_USER=" + ShellQuote(damaged) + " ");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("cannot be read"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("no such key"), std::string::npos) << result.err;

    {
        CRegKey made;
        ASSERT_EQ(made.Create(HKEY_CURRENT_USER, "A"), ERROR_SUCCESS);
    }
    RegCloseStores();
    // A file system that refuses every lock, with an entry stored: said at once, not after a
    // minute's wait and an empty list.
    const auto start = std::chrono::steady_clock::now();
    const ProgramResult noLocks = Run({"schedule", "list"}, "LD_PRELOAD=" QPM_REFUSE_LOCKS_PATH
                                                            " ASAN_OPTIONS=verify_asan_link_order=0"
                                                            ":detect_leaks=0 ");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(noLocks.status, 2);
    EXPECT_NE(noLocks.err.find("refuses the file locks every program sharing it needs (No locks"),
              std::string::npos)
        << noLocks.err;

    // A store in a folder that cannot be written (closed, so without its journal files beside
    // it); as root, the companion runs as nobody.
    const std::string folder = m_env.Root() + "/config/quorvel-registry";
    std::string asUser;
    if (geteuid() == 0) {
        ASSERT_EQ(RunCommand("chown -R 65534 '" + folder + "' && chmod 0755 '" + m_env.Root() +
                             "' '" + m_env.Root() + "/config'"),
                  0);
        asUser = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
    ASSERT_EQ(chmod(folder.c_str(), 0500), 0);
    const ProgramResult readOnly =
        Run({"import", m_env.WriteFile("a.reg", "REGEDIT4\n[HKCU\\B]\n")}, asUser);
    EXPECT_EQ(readOnly.status, 2);
    EXPECT_NE(readOnly.err.find("folder that cannot be written (" + folder), std::string::npos)
        << readOnly.err;
    EXPECT_EQ(readOnly.err.find("not a database"), std::string::npos) << readOnly.err;
}

TEST_F(PosixCompanionTest, EndingTheHolderEndsTheCommandAndReleasesTheEvent) {
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

} // namespace
