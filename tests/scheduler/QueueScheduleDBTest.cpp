#include "scheduler/QueueScheduleDB.h"
#include "scheduler/ScheduleData.h"
#include "support/PrivateEnvTest.h"

#include "SchedulerTestSupport.h"

#include <algorithm>

namespace {

class QueueScheduleDBTest : public PrivateEnvTest {
protected:
    CClientProfile app;
    CQueueScheduleDB db{&app};

    std::string Queue(const std::string& name) { return m_env.WriteFile(name, "queue"); }

    static SCHEDULEDATA Record(std::int32_t start) {
        SCHEDULEDATA d;
        d.timeStart = start;
        d.timeEnd = start + 100;
        d.timeLastRun = start + 7;
        d.bOnce = 0;
        d.bEndDate = 1;
        d.bDisabled = 0;
        d.nCount = 3;
        d.nUnit = 2;
        return d;
    }

    std::vector<UINT> Ids() {
        auto list = db.GetIdList();
        std::vector<UINT> ids = list ? *list : std::vector<UINT>{};
        CQueueScheduleDB::FreeIdList(std::move(list));
        return ids;
    }
};

TEST(ScheduleDataTest, LayoutIsEightLittleEndianFieldsWithFlagsByMeaning) {
    SCHEDULEDATA d;
    d.timeStart = 0x01020304;
    d.timeEnd = -2;
    d.timeLastRun = 0x01020304;
    d.bOnce = 0;
    d.bEndDate = 1;
    d.bDisabled = 0;
    d.nCount = 2;
    d.nUnit = 2;
    const auto bytes = d.ToBytes();
    const std::array<BYTE, 32> expected = {4, 3, 2, 1, 0xFE, 0xFF, 0xFF, 0xFF, 4, 3, 2,
                                           1, 0, 0, 0, 0,    1,    0,    0,    0, 0, 0,
                                           0, 0, 2, 0, 0,    0,    2,    0,    0, 0};
    EXPECT_EQ(bytes, expected);

    d.bDisabled = 1;
    d.bEndDate = 0;
    d.timeStart = INT32_MIN;
    d.nCount = INT32_MAX;
    const SCHEDULEDATA back = SCHEDULEDATA::FromBytes(d.ToBytes().data());
    EXPECT_EQ(back.timeStart, INT32_MIN);
    EXPECT_EQ(back.timeEnd, -2);
    EXPECT_EQ(back.bDisabled, 1);
    EXPECT_EQ(back.bEndDate, 0);
    EXPECT_EQ(back.nCount, INT32_MAX);
    EXPECT_EQ(d.ToBytes()[20], 1); // bDisabled sits at offset 20
}

TEST_F(QueueScheduleDBTest, EmptyStoreHasNoEntriesAndIgnoresRequests) {
    EXPECT_EQ(db.GetIdList(), nullptr);
    db.PurgeInvalid();
    EXPECT_EQ(db.FindIdByName("/x"), 0);
    EXPECT_EQ(db.GetNextFreeId(), 1);
    db.Delete(1);
    std::string name = "untouched";
    EXPECT_EQ(db.Read(1, name), nullptr);
    EXPECT_EQ(name, "");
    // An existing but empty Queue key is no different.
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, CQueueScheduleDB::kKeyPath), ERROR_SUCCESS);
    EXPECT_EQ(db.GetIdList(), nullptr);
    CQueueScheduleDB::FreeIdList(nullptr);
}

TEST_F(QueueScheduleDBTest, WriteThenReadGivesTheRecordAndStoresTheClientFormat) {
    const std::string path = Queue("a.ftq");
    const SCHEDULEDATA in = Record(1700000000);
    EXPECT_EQ(db.Write(0, &in, path.c_str()), 1);
    std::string name;
    auto out = db.Read(1, name);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(name, path);
    EXPECT_EQ(out->ToBytes(), in.ToBytes());

    CRegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, (std::string(CQueueScheduleDB::kKeyPath) + "\\1").c_str(),
                       KEY_READ),
              ERROR_SUCCESS);
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExA(key.Get(), "DBVER", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    ASSERT_EQ(RegQueryValueExA(key.Get(), "Data", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 32u);
    ASSERT_EQ(RegQueryValueExA(key.Get(), "QueueName", nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
}

TEST_F(QueueScheduleDBTest, ReadRefusesEveryMalformedEntryButStillGivesItsName) {
    const std::string path = Queue("q.ftq");
    const std::string good(32, '\x01');
    struct Case {
        const char* what;
        std::function<void()> write;
    };
    const std::vector<Case> cases = {
        {"DBVER 0", [&] { SetRawEntry("1", path, 0); }},
        {"DBVER 2", [&] { SetRawEntry("1", path, 2); }},
        {"DBVER as text",
         [&] {
             SetRawEntry("1", path);
             SetRawValue("1", "DBVER", REG_SZ, std::string("1\0", 2));
         }},
        {"0 bytes", [&] { SetRawEntry("1", path, 1, 0, ""); }},
        {"31 bytes", [&] { SetRawEntry("1", path, 1, 31, std::string(31, 'x')); }},
        {"33 bytes", [&] { SetRawEntry("1", path, 1, 33, std::string(33, 'x')); }},
        {"4096 bytes", [&] { SetRawEntry("1", path, 1, 4096, std::string(4096, 'x')); }},
        {"DataSize 32, Data 31", [&] { SetRawEntry("1", path, 1, 32, std::string(31, 'x')); }},
        {"DataSize 33, Data 32", [&] { SetRawEntry("1", path, 1, 33, good); }},
        {"Data missing",
         [&] {
             SetRawEntry("1", path);
             CRegKey key;
             key.Open(HKEY_CURRENT_USER, (std::string(CQueueScheduleDB::kKeyPath) + "\\1").c_str(),
                      KEY_ALL_ACCESS);
             RegDeleteValueA(key.Get(), "Data");
         }},
    };
    for (const auto& c : cases) {
        db.Delete(1);
        c.write();
        std::string name;
        EXPECT_EQ(db.Read(1, name), nullptr) << c.what;
        EXPECT_EQ(name, path) << c.what;
    }

    db.Delete(1);
    SetRawEntry("1", "", 1, 32, good);
    std::string name = "old";
    EXPECT_EQ(db.Read(1, name), nullptr);
    EXPECT_EQ(name, "");

    SetRawEntry("1", path, 1, 32, good);
    name = "kept";
    EXPECT_EQ(db.Read(0, name), nullptr);
    EXPECT_EQ(db.Read(-3, name), nullptr);
    EXPECT_EQ(name, "kept");
    EXPECT_NE(db.Read(1, name), nullptr);
}

TEST_F(QueueScheduleDBTest, PurgeRemovesEveryInvalidEntryInOnePassAndKeepsTheRest) {
    const std::string kept = Queue("kept.ftq");
    const std::string data(32, '\0');
    SetRawEntry("1", kept);
    SetRawEntry("2", m_env.Root() + "/gone-2.ftq");
    SetRawEntry("3", m_env.Root() + "/gone-3.ftq");
    SetRawEntry("4", m_env.Root() + "/gone-4.ftq");
    SetRawEntry("5", kept, 2);                           // wrong version, file exists
    SetRawEntry("6", "");                                // empty path
    SetRawEntry("8", kept, 1, 32, std::string(31, 'x')); // unreadable, yet not purged
    SetRawValue("9", "QueueName", REG_SZ, kept + '\0');  // no DBVER at all
    SetRawEntry("7", kept);                              // valid ...
    SetRawEntry("7x", m_env.Root() + "/gone-7x.ftq");    // ... and an invalid namesake
    SetRawEntry("abc", m_env.Root() + "/gone-abc.ftq");
    db.PurgeInvalid();

    for (const char* gone : {"2", "3", "4", "5", "6", "9", "7x", "abc"}) {
        EXPECT_FALSE(SubkeyExists(gone)) << gone;
    }
    for (const char* stays : {"1", "7", "8"}) {
        EXPECT_TRUE(SubkeyExists(stays)) << stays;
    }
    std::string name;
    EXPECT_EQ(db.Read(8, name), nullptr);
}

TEST_F(QueueScheduleDBTest, IdListFollowsEnumerationOrderAndParsesNamesLikeAtoi) {
    const std::string path = Queue("q.ftq");
    for (const char* name : {"2", "10", "1", "0", "-3", "abc", "7x", "99999999999", "0012"}) {
        SetRawEntry(name, path);
    }
    // Case-insensitive name order, as the registry lists subkeys.
    const std::vector<UINT> expected = {static_cast<UINT>(-3), 0, 12, 1, 10, 2, 7, 0, 0};
    EXPECT_EQ(Ids(), expected);
}

TEST_F(QueueScheduleDBTest, OverlongSubkeyNameHidesNothingAfterIt) {
    const std::string path = Queue("q.ftq");
    SetRawEntry("1", path);
    SetRawEntry(std::string(128, '1'), path);
    SetRawEntry("2", path);
    SetRawEntry("3", m_env.Root() + "/missing.ftq");
    EXPECT_EQ(Ids(), (std::vector<UINT>{1, 2, 3}));
    EXPECT_EQ(db.FindIdByName(path.c_str()), 1);
    db.Delete(1);
    EXPECT_EQ(db.FindIdByName(path.c_str()), 2);
    db.PurgeInvalid();
    EXPECT_FALSE(SubkeyExists("3"));
    EXPECT_TRUE(SubkeyExists("2"));
    EXPECT_TRUE(SubkeyExists(std::string(128, '1'))); // cannot be listed, so left alone
}

TEST_F(QueueScheduleDBTest, FindIdByNameIsExactAndTakesTheFirstCanonicalEntry) {
    const std::string path = m_env.Root() + "/Queue.ftq";
    SetRawEntry("7x", path); // not an entry id: acting on id 7 would hit another entry
    SetRawEntry("07", path);
    SetRawEntry("5", path);
    SetRawEntry("3", path);
    SetRawEntry("4", m_env.Root() + "/queue.ftq");
    EXPECT_EQ(db.FindIdByName(path.c_str()), 3);
    EXPECT_EQ(db.FindIdByName((m_env.Root() + "/QUEUE.ftq").c_str()), 0);
    EXPECT_EQ(db.FindIdByName((m_env.Root() + "/queue.ftq").c_str()), 4);
    EXPECT_EQ(db.FindIdByName(""), 0);
    EXPECT_EQ(db.FindIdByName(nullptr), 0);
}

TEST_F(QueueScheduleDBTest, OddPathsSurviveTheRoundTrip) {
    const std::vector<std::string> paths = {
        m_env.Root() + "/with spaces/a b.ftq",
        m_env.Root() + "/quote\"d 'x'.ftq",
        m_env.Root() + "/n\xC3\xA4me \xE2\x82\xAC.ftq",
        m_env.Root() + "/" + std::string(4000, 'p'),
    };
    const SCHEDULEDATA rec = Record(0);
    for (const auto& p : paths) {
        db.Write(0, &rec, p.c_str());
    }
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const int id = db.FindIdByName(paths[i].c_str());
        EXPECT_EQ(id, static_cast<int>(i) + 1);
        std::string name;
        EXPECT_NE(db.Read(id, name), nullptr);
        EXPECT_EQ(name, paths[i]);
    }
}

TEST_F(QueueScheduleDBTest, WriteFillsGapsAndRewritesInPlace) {
    const std::string path = Queue("q.ftq");
    SCHEDULEDATA rec = Record(1000);
    db.Write(1, &rec, path.c_str());
    db.Write(3, &rec, path.c_str());
    EXPECT_EQ(db.GetNextFreeId(), 2);
    EXPECT_EQ(db.Write(0, &rec, "/other"), 2);
    EXPECT_EQ(db.FindIdByName("/other"), 2);
    EXPECT_EQ(db.GetNextFreeId(), 4);

    // An existing subkey without "DataSize" counts as free; its other values are kept.
    SetRawValue("4", "Extra", REG_SZ, std::string("x\0", 2));
    EXPECT_EQ(db.GetNextFreeId(), 4);
    rec.nCount = 9;
    EXPECT_EQ(db.Write(-5, &rec, "/new"), 4);
    std::string name;
    auto out = db.Read(4, name);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->nCount, 9);
    EXPECT_EQ(name, "/new");
    EXPECT_EQ(app.GetProfileString(CQueueScheduleDB::SectionForId(4).c_str(), "Extra"), "x");
    EXPECT_EQ(db.Write(1, nullptr, "/x"), 0);
}

TEST_F(QueueScheduleDBTest, DeleteRemovesOnlyThatEntry) {
    const std::string path = Queue("q.ftq");
    const SCHEDULEDATA rec = Record(0);
    db.Write(1, &rec, path.c_str());
    db.Write(12, &rec, path.c_str());
    db.Delete(2);
    db.Delete(0);
    db.Delete(-12);
    EXPECT_EQ(Ids(), (std::vector<UINT>{1, 12}));
    db.Delete(12);
    EXPECT_EQ(Ids(), (std::vector<UINT>{1}));
}

TEST_F(QueueScheduleDBTest, NullApplicationMeansTheRunningOne) {
    const std::string path = Queue("q.ftq");
    CQueueScheduleDB implicit; // app is the most recent CWinApp
    const SCHEDULEDATA rec = Record(0);
    implicit.Write(0, &rec, path.c_str());
    std::string name;
    EXPECT_NE(db.Read(1, name), nullptr);
}

TEST(QueueScheduleDBNames, IdsFromSubkeyNames) {
    EXPECT_EQ(CQueueScheduleDB::IdFromName("17"), 17);
    EXPECT_EQ(CQueueScheduleDB::IdFromName(" 5z"), 5);
    EXPECT_EQ(CQueueScheduleDB::IdFromName("-3"), -3);
    EXPECT_EQ(CQueueScheduleDB::IdFromName("2147483647"), INT32_MAX);
    EXPECT_EQ(CQueueScheduleDB::IdFromName("2147483648"), 0);
    EXPECT_EQ(CQueueScheduleDB::IdFromName("-2147483648"), INT32_MIN);
    EXPECT_EQ(CQueueScheduleDB::IdFromName(std::string(128, '9').c_str()), 0);
    EXPECT_TRUE(CQueueScheduleDB::IsCanonicalIdName("12"));
    for (const char* bad : {"0", "012", "+12", "12 ", "-1", "", "2147483648"}) {
        EXPECT_FALSE(CQueueScheduleDB::IsCanonicalIdName(bad)) << bad;
    }
}

} // namespace
