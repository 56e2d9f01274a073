// What only the POSIX backend has to get right: the files behind the objects, the folder that
// holds them, and "already exists" under processes racing to create.
#include "ProcessHelpers.h"
#include "platform/NamedObjects.h"
#include "support/PrivateEnvTest.h"

#include <csignal>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Exists(const char* name) {
    CHandle h(OpenEventA(EVENT_ALL_ACCESS, FALSE, name));
    return static_cast<bool>(h);
}

// Names of the object files, not counting the folder's lock file.
std::vector<std::string> ObjectFiles() {
    std::vector<std::string> names;
    const std::string folder = NamedObjectFolder();
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && name != ".lock") {
            names.push_back(name);
        }
    }
    closedir(dir);
    return names;
}

using PosixNamedObjectsTest = PrivateEnvTest;

TEST_F(PosixNamedObjectsTest, NoFileOutlivesItsObjectWhateverItsName) {
    {
        CHandle first(CreateEventA(nullptr, FALSE, FALSE, "Inst"));
        CHandle second(CreateEventA(nullptr, FALSE, FALSE, "Inst"));
        EXPECT_FALSE(Exists("Probed"));
    }
    EXPECT_TRUE(ObjectFiles().empty());

    // A holder killed with SIGKILL cannot remove its file; the next probe does.
    Signal held;
    const pid_t child = ForkChild([&] {
        CHandle event(CreateEventA(nullptr, FALSE, FALSE, "Killed"));
        held.Send();
        pause();
        return 0;
    });
    ASSERT_TRUE(held.Wait());
    kill(child, SIGKILL);
    EXPECT_EQ(WaitChild(child), 128 + SIGKILL);
    EXPECT_FALSE(Exists("Killed"));
    EXPECT_TRUE(ObjectFiles().empty());

    // Objects stay inside their folder whatever the name says.
    {
        std::vector<CHandle> handles;
        for (const std::string& name :
             std::vector<std::string>{"a/b", "..", ".", "/", std::string(250, '/')}) {
            handles.emplace_back(CreateEventA(nullptr, FALSE, FALSE, name.c_str()));
        }
        EXPECT_EQ(ObjectFiles().size(), 5u);
    }
    EXPECT_TRUE(ObjectFiles().empty());
    EXPECT_EQ(access((m_env.Root() + "/runtime/a").c_str(), F_OK), -1);
}

TEST_F(PosixNamedObjectsTest, RacingCreatorsNeverBothSeeThemselvesFirst) {
    constexpr int kProcesses = 8;
    constexpr int kRounds = 5;
    for (int round = 0; round < kRounds; ++round) {
        const std::string name = "Race" + std::to_string(round);
        Signal go;
        Signal done;
        Signal release;
        int report[2];
        ASSERT_EQ(pipe(report), 0);
        std::vector<pid_t> children;
        for (int i = 0; i < kProcesses; ++i) {
            children.push_back(ForkChild([&] {
                go.Wait();
                CHandle h(CreateEventA(nullptr, FALSE, FALSE, name.c_str()));
                const char first = h && GetLastError() == 0 ? '1' : '0';
                (void)!write(report[1], &first, 1);
                done.Send();
                release.Wait();
                return h ? 0 : 1;
            }));
        }
        close(report[1]);
        for (int i = 0; i < kProcesses; ++i) {
            go.Send();
        }
        for (int i = 0; i < kProcesses; ++i) {
            ASSERT_TRUE(done.Wait());
        }
        std::string firsts;
        char c;
        for (int i = 0; i < kProcesses && read(report[0], &c, 1) == 1; ++i) {
            firsts += c;
        }
        close(report[0]);
        EXPECT_EQ(std::count(firsts.begin(), firsts.end(), '1'), 1) << firsts;
        for (int i = 0; i < kProcesses; ++i) {
            release.Send();
        }
        for (const pid_t pid : children) {
            EXPECT_EQ(WaitChild(pid), 0);
        }
        EXPECT_FALSE(Exists(name.c_str()));
    }
}

class FallbackFolderTest : public PrivateEnvTest {
protected:
    FallbackFolderTest() {
        const char* tmp = std::getenv("TMPDIR");
        m_savedTmp = tmp != nullptr ? tmp : "";
        m_tmp = m_env.Root() + "/tmp";
        mkdir(m_tmp.c_str(), 0755);
        setenv("TMPDIR", m_tmp.c_str(), 1);
        unsetenv("XDG_RUNTIME_DIR");
        m_folder = m_tmp + "/quorvel-objects-" + std::to_string(geteuid());
    }
    ~FallbackFolderTest() override {
        if (m_savedTmp.empty()) {
            unsetenv("TMPDIR");
        } else {
            setenv("TMPDIR", m_savedTmp.c_str(), 1);
        }
    }
    std::string m_savedTmp;
    std::string m_tmp;
    std::string m_folder;
};

TEST_F(FallbackFolderTest, WithoutARuntimeFolderAPrivateFolderIsMadeAndUsed) {
    CHandle h(CreateEventA(nullptr, FALSE, FALSE, "Fallback"));
    ASSERT_TRUE(h);
    struct stat st {};
    ASSERT_EQ(stat(m_folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, geteuid());
    EXPECT_TRUE(Exists("Fallback"));
}

TEST_F(FallbackFolderTest, AFolderOpenToOthersIsRefused) {
    ASSERT_EQ(mkdir(m_folder.c_str(), 0700), 0);
    ASSERT_EQ(chmod(m_folder.c_str(), 0777), 0);
    std::string why;
    EXPECT_EQ(NamedObjectFolder(&why), "");
    EXPECT_NE(why.find(m_folder), std::string::npos) << why;
    EXPECT_FALSE(CHandle(CreateEventA(nullptr, FALSE, FALSE, "X")));
    EXPECT_FALSE(Exists("X"));
    // Nothing was put into the untrusted folder.
    EXPECT_EQ(access((m_folder + "/.lock").c_str(), F_OK), -1);
}

TEST_F(FallbackFolderTest, AFolderOfAnotherUserIsRefused) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to make a folder owned by another user";
    }
    ASSERT_EQ(mkdir(m_folder.c_str(), 0700), 0);
    ASSERT_EQ(chown(m_folder.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(CHandle(CreateEventA(nullptr, FALSE, FALSE, "X")));
    EXPECT_EQ(NamedObjectFolder(), "");
}

TEST_F(FallbackFolderTest, ASymlinkInPlaceOfTheFolderIsRefused) {
    const std::string elsewhere = m_env.Root() + "/elsewhere";
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
    ASSERT_EQ(symlink(elsewhere.c_str(), m_folder.c_str()), 0);
    EXPECT_FALSE(CHandle(CreateEventA(nullptr, FALSE, FALSE, "X")));
}

TEST_F(PosixNamedObjectsTest, ARuntimeFolderOpenToOthersIsRefused) {
    const std::string runtime = m_env.Root() + "/runtime";
    ASSERT_EQ(chmod(runtime.c_str(), 0777), 0);
    EXPECT_FALSE(CHandle(CreateEventA(nullptr, FALSE, FALSE, "X")));
    ASSERT_EQ(chmod(runtime.c_str(), 0700), 0);
    EXPECT_TRUE(CHandle(CreateEventA(nullptr, FALSE, FALSE, "X")));
}

} // namespace
