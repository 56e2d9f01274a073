// The SQLite store's own promises: files, damage, locks, other processes and transactions.
#include "ProcessHelpers.h"
#include "RegistryHelpers.h"
#include "platform/registry/Registry.h"
#include "platform/sqlite/Store.h"
#include "support/PrivateEnvTest.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using RegistryTest = PrivateEnvTest;

TEST_F(RegistryTest, ANameLongerThanAnyKeyMayHaveIsRefusedRatherThanCut) {
    // 255 characters at most, as on Windows (Wine takes longer ones, so this is ours alone).
    CRegKey huge;
    EXPECT_NE(huge.Create(HKEY_CURRENT_USER, std::string(256, 'c').c_str()), ERROR_SUCCESS);
    EXPECT_EQ(huge.Create(HKEY_CURRENT_USER, std::string(255, 'c').c_str()), ERROR_SUCCESS);
    // Counted in UTF-16 units, as there: 255 "é" are 510 bytes and one name too few.
    std::string longest;
    for (int i = 0; i < 256; ++i) {
        longest += "\xC3\xA9";
    }
    EXPECT_NE(huge.Create(HKEY_CURRENT_USER, longest.c_str()), ERROR_SUCCESS);
}

TEST_F(RegistryTest, WritesAreDurableAndSeenByOtherProcesses) {
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Shared"), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(key.Get(), "parent", REG_SZ, "p"), ERROR_SUCCESS);
    // Listings and paths this process has looked at must not hide the other's changes.
    EXPECT_TRUE(Subkeys(key.Get()).empty());
    CRegKey probe;
    EXPECT_EQ(probe.Open(HKEY_CURRENT_USER, "Shared\\FromChild", KEY_READ), ERROR_FILE_NOT_FOUND);

    const pid_t child = ForkChild([] {
        CRegKey shared;
        if (shared.Open(HKEY_CURRENT_USER, "Shared", KEY_ALL_ACCESS) != ERROR_SUCCESS) {
            return 1;
        }
        DWORD type = 0;
        std::string bytes;
        if (GetBytes(shared.Get(), "parent", &type, &bytes) != ERROR_SUCCESS || bytes != "p") {
            return 2;
        }
        CRegKey sub;
        if (sub.Create(shared.Get(), "FromChild") != ERROR_SUCCESS ||
            SetBytes(sub.Get(), "v", REG_SZ, "c") != ERROR_SUCCESS) {
            return 3;
        }
        return 0;
    });
    ASSERT_EQ(WaitChild(child), 0);
    EXPECT_EQ(Subkeys(key.Get()), std::vector<std::string>{"FromChild"});
    ASSERT_EQ(probe.Open(HKEY_CURRENT_USER, "Shared\\FromChild", KEY_READ), ERROR_SUCCESS);

    registry::Store::CloseAll();
    DWORD type = 0;
    std::string bytes;
    ASSERT_EQ(GetBytes(probe.Get(), "v", &type, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, "c");
}

TEST_F(RegistryTest, WhatThisProcessReadBeforeNeverHidesAnotherProcessesChange) {
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Seen\\Sub"), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(key.Get(), "v", REG_SZ, "start"), ERROR_SUCCESS);
    Signal changed;
    Signal next;
    constexpr int kRounds = 40;
    const pid_t child = ForkChild([&] {
        for (int i = 0; i < kRounds; ++i) {
            if (!next.Wait()) {
                return 1;
            }
            CRegKey sub;
            if (sub.Open(HKEY_CURRENT_USER, "Seen\\Sub", KEY_ALL_ACCESS) != ERROR_SUCCESS ||
                SetBytes(sub.Get(), "v", REG_SZ, std::to_string(i)) != ERROR_SUCCESS) {
                return 2;
            }
            changed.Send();
        }
        next.Wait();
        return RegDeleteTreeA(HKEY_CURRENT_USER, "Seen") == ERROR_SUCCESS ? 0 : 3;
    });
    const auto visited = [] {
        std::string seen;
        RegVisitValuesA(HKEY_CURRENT_USER, "Seen\\Sub", [&](const RegValueView& value) {
            seen.assign(reinterpret_cast<const char*>(value.data), value.size);
        });
        return seen;
    };
    for (int i = 0; i < kRounds; ++i) {
        // Every other round the change comes while this process reads from a snapshot, which
        // must neither hold the writer up nor leave anything stale behind once it ends.
        CRegReadTransaction snapshot(HKEY_CURRENT_USER);
        if (i % 2 == 0) {
            snapshot.End();
        }
        const std::string before = i == 0 ? "start" : std::to_string(i - 1);
        // Read through every path a reader takes, so that each has something to remember.
        DWORD type = 0;
        std::string bytes;
        ASSERT_EQ(GetBytes(key.Get(), "v", &type, &bytes), ERROR_SUCCESS);
        BYTE buffer[32];
        DWORD size = sizeof buffer;
        ASSERT_EQ(RegQueryValueAtA(HKEY_CURRENT_USER, "Seen\\Sub", "v", nullptr, buffer, &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(visited(), before);
        if (i % 2 == 1) {
            EXPECT_NE(SetBytes(key.Get(), "w", REG_SZ, "inside a read"), ERROR_SUCCESS);
        }
        next.Send();
        ASSERT_TRUE(changed.Wait());
        if (i % 2 == 1) {
            ASSERT_EQ(GetBytes(key.Get(), "v", &type, &bytes), ERROR_SUCCESS);
            EXPECT_EQ(bytes, before);
            EXPECT_EQ(visited(), before);
            snapshot.End();
        }
        ASSERT_EQ(GetBytes(key.Get(), "v", &type, &bytes), ERROR_SUCCESS);
        EXPECT_EQ(bytes, std::to_string(i));
        size = sizeof buffer;
        ASSERT_EQ(RegQueryValueAtA(HKEY_CURRENT_USER, "Seen\\Sub", "v", nullptr, buffer, &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), std::to_string(i));
        EXPECT_EQ(visited(), std::to_string(i));
    }
    next.Send();
    EXPECT_EQ(WaitChild(child), 0);
    BYTE buffer[32];
    DWORD size = sizeof buffer;
    EXPECT_EQ(RegQueryValueAtA(HKEY_CURRENT_USER, "Seen\\Sub", "v", nullptr, buffer, &size),
              ERROR_FILE_NOT_FOUND);
    DWORD type = 0;
    std::string bytes;
    EXPECT_EQ(GetBytes(key.Get(), "v", &type, &bytes), ERROR_KEY_DELETED);
}

TEST_F(RegistryTest, FilesAreCreatedPrivate) {
    ::umask(0);
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Private"), ERROR_SUCCESS);
    ::umask(022);
    struct stat st {};
    const std::string file = m_env.UserStore();
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(file.substr(0, file.rfind('/')).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    for (const char* suffix : {"-wal", "-shm"}) {
        if (stat((file + suffix).c_str(), &st) == 0) {
            EXPECT_EQ(st.st_mode & 0077, 0u) << suffix;
        }
    }
}

TEST_F(RegistryTest, MachineRootIsAFileOfItsOwnCreatedOnTheFirstWrite) {
    CRegKey missing;
    EXPECT_EQ(missing.Open(HKEY_LOCAL_MACHINE, "Software", KEY_READ), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(Subkeys(HKEY_LOCAL_MACHINE).empty());
    EXPECT_NE(access(m_env.MachineStore().c_str(), F_OK), 0);

    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, "Software\\Machine"), ERROR_SUCCESS);
    EXPECT_EQ(access(m_env.MachineStore().c_str(), F_OK), 0);
    CRegKey user;
    EXPECT_EQ(user.Open(HKEY_CURRENT_USER, "Software\\Machine", KEY_READ), ERROR_FILE_NOT_FOUND);
}

class DamagedStoreTest : public PrivateEnvTest {
protected:
    // Puts `content` where the user store belongs, then checks that the registry behaves as
    // empty, refuses writes, says so once on standard error naming the file, and leaves the
    // file exactly as it was.
    void ExpectRefused(const std::string& content) {
        const std::string file = m_env.UserStore();
        mkdir((m_env.Root() + "/config/quorvel-registry").c_str(), 0700);
        {
            FILE* out = fopen(file.c_str(), "wb");
            ASSERT_NE(out, nullptr);
            fwrite(content.data(), 1, content.size(), out);
            fclose(out);
        }
        registry::Store::CloseAll();
        testing::internal::CaptureStderr();
        CRegKey key;
        const LSTATUS open = key.Open(HKEY_CURRENT_USER, "Software", KEY_READ);
        const auto subkeys = Subkeys(HKEY_CURRENT_USER);
        CRegKey created;
        const LSTATUS create = created.Create(HKEY_CURRENT_USER, "Software\\New");
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(open, ERROR_FILE_NOT_FOUND);
        EXPECT_TRUE(subkeys.empty());
        EXPECT_NE(create, ERROR_SUCCESS);
        EXPECT_NE(err.find(file), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        registry::Store::CloseAll();
        EXPECT_EQ(ReadFileText(file), content);
    }
};

TEST_F(DamagedStoreTest, AFileThatIsNotADatabaseIsLeftAlone) {
    ExpectRefused("these are somebody's notes, not a registry\n");
}

TEST_F(DamagedStoreTest, ATruncatedStoreIsLeftAlone) {
    {
        CRegKey key;
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\Filler"), ERROR_SUCCESS);
        const std::string big(3000, 'x');
        for (int i = 0; i < 200; ++i) {
            ASSERT_EQ(SetBytes(key.Get(), std::to_string(i).c_str(), REG_BINARY, big),
                      ERROR_SUCCESS);
        }
    }
    registry::Store::CloseAll();
    const std::string whole = ReadFileText(m_env.UserStore());
    ASSERT_GT(whole.size(), 100000u);
    ExpectRefused(whole.substr(0, whole.size() / 3));
}

TEST_F(DamagedStoreTest, ADatabaseOfAnotherProgramIsLeftAlone) {
    const std::string file = m_env.Root() + "/other.db";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE notes(t TEXT); INSERT INTO notes VALUES('mine');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    ExpectRefused(ReadFileText(file));
}

TEST_F(RegistryTest, AStoreOtherUsersCanChangeIsRefusedWithTheReason) {
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Planted"), ERROR_SUCCESS);
    key.Close();
    const std::string file = m_env.UserStore();
    const std::string folder = file.substr(0, file.rfind('/'));
    for (const auto& [path, open, closed] :
         {std::tuple{folder, 0777, 0700}, std::tuple{file, 0666, 0600}}) {
        RegCloseStores();
        ASSERT_EQ(chmod(path.c_str(), static_cast<mode_t>(open)), 0);
        EXPECT_NE(key.Open(HKEY_CURRENT_USER, "Planted", KEY_READ), ERROR_SUCCESS) << path;
        EXPECT_NE(RegStoreProblem(HKEY_CURRENT_USER).find(path + " can be changed by other users"),
                  std::string::npos)
            << RegStoreProblem(HKEY_CURRENT_USER);
        ASSERT_EQ(chmod(path.c_str(), static_cast<mode_t>(closed)), 0);
    }
    RegCloseStores();
    EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Planted", KEY_READ), ERROR_SUCCESS);
    if (geteuid() != 0) {
        GTEST_SKIP() << "a file of another user's needs root to be made (chown)";
    }
    RegCloseStores();
    ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0); // nobody's, mode still 0600
    EXPECT_NE(key.Open(HKEY_CURRENT_USER, "Planted", KEY_READ), ERROR_SUCCESS);
    EXPECT_NE(RegStoreProblem(HKEY_CURRENT_USER).find(file + " belongs to another user"),
              std::string::npos)
        << RegStoreProblem(HKEY_CURRENT_USER);
}

TEST_F(RegistryTest, AStoreFolderThatCannotBeMadeGivesAnEmptyStoreThatTakesNoWrites) {
    const std::string blocker = m_env.WriteFile("not-a-folder", "x");
    setenv("XDG_CONFIG_HOME", blocker.c_str(), 1);
    registry::Store::CloseAll();
    testing::internal::CaptureStderr();
    CRegKey key;
    EXPECT_NE(key.Create(HKEY_CURRENT_USER, "Software"), ERROR_SUCCESS);
    EXPECT_TRUE(Subkeys(HKEY_CURRENT_USER).empty());
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(blocker), std::string::npos) << err;
    EXPECT_EQ(ReadFileText(blocker), "x");
}

TEST_F(RegistryTest, AStoreFolderWithoutWriteAccessGivesAnEmptyStoreThatTakesNoWrites) {
    // Root may write anywhere; the check runs as an ordinary user then.
    const std::string folder = m_env.Root() + "/config/quorvel-registry";
    ASSERT_EQ(mkdir(folder.c_str(), 0500), 0);
    const pid_t child = ForkChild([&] {
        if (geteuid() == 0) {
            chmod(m_env.Root().c_str(), 0755);
            chmod((m_env.Root() + "/config").c_str(), 0755);
            if (setgid(65534) != 0 || setuid(65534) != 0) {
                return 10;
            }
        }
        CRegKey key;
        if (key.Create(HKEY_CURRENT_USER, "Software") == ERROR_SUCCESS) {
            return 1;
        }
        return access((folder + "/user.db").c_str(), F_OK) == 0 ? 2 : 0;
    });
    EXPECT_EQ(WaitChild(child), 0);
}

TEST_F(RegistryTest, AStoreHeldLockedByAnotherProcessIsWaitedOut) {
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Locked"), ERROR_SUCCESS);
    key.Close();
    Signal locked;
    const std::string file = m_env.UserStore();
    const pid_t child = ForkStoreHolder(file, "BEGIN EXCLUSIVE", locked, 2000);
    ASSERT_TRUE(locked.Wait());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "Locked", KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_EQ(SetBytes(key.Get(), "v", REG_SZ, "after the lock"), ERROR_SUCCESS);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(1000));
    EXPECT_EQ(WaitChild(child), 0);
    DWORD type = 0;
    std::string bytes;
    EXPECT_EQ(GetBytes(key.Get(), "v", &type, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, "after the lock");
}

TEST_F(RegistryTest, AStoreAnotherProcessIsCreatingIsWaitedForLikeAnyWriter) {
    const std::string file = m_env.WriteFile("new.db", "");
    setenv("QUORVEL_REGISTRY_USER", file.c_str(), 1);
    RegCloseStores();
    Signal locked;
    const pid_t child = ForkStoreHolder(file, "BEGIN IMMEDIATE", locked, 1500);
    ASSERT_TRUE(locked.Wait());
    CRegKey key;
    EXPECT_EQ(key.Create(HKEY_CURRENT_USER, "Made"), ERROR_SUCCESS)
        << RegStoreProblem(HKEY_CURRENT_USER);
    WaitChild(child); // its own empty commit may meet our lock and give up: no matter
}

TEST_F(RegistryTest, AMachineStoreLockedAgainstReadersIsWaitedOutToo) {
    // The machine file keeps a rollback journal, where a writer shuts readers out as well.
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, "Software\\Settings"), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(key.Get(), "Path", REG_SZ, "/opt/before"), ERROR_SUCCESS);
    key.Close();
    Signal locked;
    const std::string file = m_env.MachineStore();
    const pid_t child = ForkStoreHolder(
        file, "BEGIN EXCLUSIVE; UPDATE vals SET data=x'2f6f70742f616674657200'", locked, 2000);
    ASSERT_TRUE(locked.Wait());
    const auto start = std::chrono::steady_clock::now();
    char path[32] = {};
    DWORD size = sizeof path;
    ASSERT_EQ(RegQueryValueAtA(HKEY_LOCAL_MACHINE, "Software\\Settings", "Path", nullptr,
                               reinterpret_cast<BYTE*>(path), &size),
              ERROR_SUCCESS);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_STREQ(path, "/opt/after");
    EXPECT_EQ(WaitChild(child), 0);
}

TEST_F(RegistryTest, TwoProcessesWritingIntoOneKeyLoseNothing) {
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Busy"), ERROR_SUCCESS);
    key.Close();
    Signal go;
    std::vector<pid_t> writers;
    for (int writer = 0; writer < 2; ++writer) {
        writers.push_back(ForkChild([&go, writer] {
            go.Wait();
            CRegKey busy;
            if (busy.Open(HKEY_CURRENT_USER, "Busy", KEY_ALL_ACCESS) != ERROR_SUCCESS) {
                return 1;
            }
            for (int i = 0; i < 1000; ++i) {
                const std::string name = std::to_string(writer) + "-" + std::to_string(i);
                if (SetBytes(busy.Get(), name.c_str(), REG_SZ, name) != ERROR_SUCCESS) {
                    return 2;
                }
            }
            return 0;
        }));
    }
    go.Send();
    go.Send();
    for (const pid_t pid : writers) {
        EXPECT_EQ(WaitChild(pid), 0);
    }
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "Busy", KEY_READ), ERROR_SUCCESS);
    const auto names = ValueNames(key.Get());
    EXPECT_EQ(names.size(), 2000u);
    for (const auto& name : names) {
        DWORD type = 0;
        std::string bytes;
        ASSERT_EQ(GetBytes(key.Get(), name.c_str(), &type, &bytes), ERROR_SUCCESS);
        ASSERT_EQ(bytes, name);
    }
}

TEST_F(RegistryTest, TheWriteAheadLogIsEmptiedAfterEachChangeAndGoesWithTheLastConnection) {
    const std::string wal = m_env.UserStore() + "-wal";
    const auto size = [](const std::string& path) {
        struct stat st {};
        return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1L;
    };
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Big"), ERROR_SUCCESS);
    {
        // One large transaction grows the log as far as it needs ...
        registry::WriteTransaction tx(registry::Store::For(registry::Root::CurrentUser));
        const std::string chunk(64 * 1024, 'x');
        for (int i = 0; i < 96; ++i) {
            ASSERT_EQ(SetBytes(key.Get(), ("v" + std::to_string(i)).c_str(), REG_BINARY, chunk),
                      ERROR_SUCCESS);
        }
        ASSERT_EQ(tx.Commit(), registry::Status::Ok);
    }
    // ... and once committed it is empty, as after a single write: a killed program leaves
    // nothing that would be read over a file restored at the path.
    EXPECT_EQ(size(wal), 0L);
    ASSERT_EQ(SetBytes(key.Get(), "small", REG_SZ, "1"), ERROR_SUCCESS);
    EXPECT_EQ(size(wal), 0L);
    registry::Store::CloseAll();
    EXPECT_EQ(size(wal), -1L);
    EXPECT_EQ(size(m_env.UserStore() + "-shm"), -1L);
}

TEST_F(RegistryTest, WriteTransactionIsAllOrNothing) {
    registry::Store& store = registry::Store::For(registry::Root::CurrentUser);
    {
        registry::WriteTransaction tx(store);
        ASSERT_EQ(tx.Started(), registry::Status::Ok);
        CRegKey key;
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Tx\\Dropped"), ERROR_SUCCESS);
        ASSERT_EQ(SetBytes(key.Get(), "v", REG_SZ, "x"), ERROR_SUCCESS);
    }
    CRegKey dropped;
    EXPECT_EQ(dropped.Open(HKEY_CURRENT_USER, "Tx\\Dropped", KEY_READ), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(Subkeys(HKEY_CURRENT_USER).empty());
    {
        registry::WriteTransaction tx(store);
        CRegKey key;
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Tx\\Kept"), ERROR_SUCCESS);
        ASSERT_EQ(tx.Commit(), registry::Status::Ok);
    }
    CRegKey kept;
    EXPECT_EQ(kept.Open(HKEY_CURRENT_USER, "Tx\\Kept", KEY_READ), ERROR_SUCCESS);
}

// A restore renames another store over the open one: keys opened in the old file name nothing
// in the new one, and a change made across the rename is not taken for saved.
TEST_F(RegistryTest, AStoreRenamedOverTheOpenOneIsTheOneUsedFromThen) {
    const std::string other = m_env.Root() + "/other.db";
    ASSERT_EQ(WaitChild(ForkChild([&] {
                  setenv("QUORVEL_REGISTRY_USER", other.c_str(), 1);
                  CRegKey key;
                  return key.Create(HKEY_CURRENT_USER, "New") == ERROR_SUCCESS ? 0 : 1;
              })),
              0);
    CRegKey old;
    ASSERT_EQ(old.Create(HKEY_CURRENT_USER, "Old"), ERROR_SUCCESS);
    registry::Store& store = registry::Store::For(registry::Root::CurrentUser);
    {
        registry::WriteTransaction tx(store);
        ASSERT_EQ(SetBytes(old.Get(), "v", REG_SZ, "x"), ERROR_SUCCESS);
        ASSERT_EQ(rename(other.c_str(), m_env.UserStore().c_str()), 0);
        EXPECT_EQ(tx.Commit(), registry::Status::Unavailable);
        EXPECT_EQ(store.LastError(), "the file was replaced while the change was being made");
    }
    EXPECT_EQ(SetBytes(old.Get(), "v", REG_SZ, "x"), ERROR_KEY_DELETED);
    EXPECT_EQ(Subkeys(HKEY_CURRENT_USER), std::vector<std::string>{"New"});
}

} // namespace

namespace {

// A store of the earlier version folded ASCII letters only and may hold 8-bit text.
TEST_F(RegistryTest, AnEarlierStoreIsFoldedAgainAndLosesNothing) {
    CRegKey old;
    ASSERT_EQ(old.Create(HKEY_CURRENT_USER, "Old"), ERROR_SUCCESS);
    registry::Store::CloseAll();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_env.UserStore().c_str(), &db), SQLITE_OK);
    const auto blob = [](const char* text) { return std::string("CAST('") + text + "' AS BLOB)"; };
    const std::string rows =
        "INSERT INTO keys(parent, name, fold) SELECT id, " + blob("Schl\xC3\xBCssel \xC3\x84") +
        ", " + blob("SCHL\xC3\xBCSSEL \xC3\x84") + " FROM keys WHERE name=CAST('Old' AS BLOB);" +
        "INSERT INTO keys(parent, name, fold) SELECT id, " + blob("SCHL\xC3\x9CSSEL \xC3\xA4") +
        ", " + blob("SCHL\xC3\x9CSSEL \xC3\xA4") + " FROM keys WHERE name=CAST('Old' AS BLOB);" +
        "INSERT INTO vals SELECT id, " + blob("Caf\xC3\xA9") + ", " + blob("CAF\xC3\xA9") +
        ", 1, x'6AF6726700' FROM keys WHERE name=CAST('Old' AS BLOB);" +
        "INSERT INTO vals SELECT id, " + blob("CAF\xC3\x89") + ", " + blob("CAF\xC3\x89") +
        ", 1, x'00' FROM keys WHERE name=CAST('Old' AS BLOB); PRAGMA user_version=1;";
    ASSERT_EQ(sqlite3_exec(db, rows.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    testing::internal::CaptureStderr();
    ASSERT_EQ(old.Open(HKEY_CURRENT_USER, "OLD", KEY_READ), ERROR_SUCCESS);
    testing::internal::GetCapturedStderr();
    auto keys = Subkeys(old.Get());
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<std::string>{"SCHL\xC3\x9CSSEL \xC3\xA4 (2)",
                                              "Schl\xC3\xBCssel \xC3\x84"}));
    CRegKey sub;
    EXPECT_EQ(sub.Open(old.Get(), "SCHL\xC3\x9CSSEL \xC3\xA4", KEY_READ), ERROR_SUCCESS);
    DWORD type = 0;
    std::string bytes;
    ASSERT_EQ(GetBytes(old.Get(), "caf\xC3\xA9 (2)", &type, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, std::string("j\xF6rg\0", 5)); // 8-bit text kept as it was
    EXPECT_EQ(GetBytes(old.Get(), "caf\xC3\xA9", &type, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, std::string(1, '\0'));
}

} // namespace
