#include "resume/TransferResumeDB.h"
#include "ResumeEntries.h"
#include "app/MonitorApp.h"
#include "platform/WinApp.h"
#include "platform/registry/Registry.h"
#include "scheduler/QueueScheduleDB.h"
#include "support/PrivateEnvTest.h"

using namespace resume_test;

namespace {

using Names = std::vector<std::string>;

class TransferResumeDBTest : public PrivateEnvTest {
protected:
    TransferResumeDBTest() { UseMonitorProfile(m_app); }
    CWinApp m_app;
};

TEST_F(TransferResumeDBTest, CountValidCountsVersionTwoAndDeletesEveryOtherVersion) {
    WriteEntry("1", Entry{1, 800, Record(1)});
    WriteEntry("2", Entry{std::nullopt, 800, Record(1)});
    WriteEntry("3", Entry{2, 799, Record(1, 799)}); // counted even though Read refuses it
    WriteEntry("4", Entry{2, 800, Record(0)});
    {
        // A version stored as text is no version.
        CRegKey key;
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER,
                             (std::string(CTransferResumeDB::kKeyPath) + "\\5").c_str()),
                  ERROR_SUCCESS);
        RegSetValueExA(key.Get(), "DBVER", 0, REG_SZ, reinterpret_cast<const BYTE*>("2"), 2);
    }
    CTransferResumeDB db(&m_app);
    EXPECT_EQ(db.CountValid(), 2);
    EXPECT_EQ(EntryNames(), (Names{"3", "4"}));
    EXPECT_EQ(db.CountValid(), 2);
}

TEST_F(TransferResumeDBTest,
       ReadAcceptsOnlyVersionTwoWithEightHundredBytesAndLeavesRefusedEntries) {
    struct Case {
        const char* what;
        Entry entry;
    };
    const std::vector<Case> refused = {
        {"version 1", {1, 800, Record(1)}},
        {"no version", {std::nullopt, 800, Record(1)}},
        {"DataSize 799", {2, 799, Record(1, 799)}},
        {"DataSize 801", {2, 801, Record(1, 801)}},
        {"no DataSize", {2, std::nullopt, Record(1)}},
        {"Data of 0 bytes", {2, 800, std::vector<BYTE>{}}},
        {"Data of 799 bytes", {2, 800, Record(1, 799)}},
        {"Data of 4096 bytes", {2, 800, Record(1, 4096)}},
        {"no Data", {2, 800, std::nullopt}},
    };
    CTransferResumeDB db(&m_app);
    int id = 1;
    for (const auto& c : refused) {
        WriteEntry(std::to_string(id), c.entry);
        EXPECT_EQ(db.Read(id), nullptr) << c.what;
        TRANSFERENTRY entry;
        ASSERT_TRUE(db.ReadEntry(id, entry));
        EXPECT_NE(CTransferResumeDB::Refusal(entry), "") << c.what;
        ++id;
    }
    EXPECT_EQ(EntryNames().size(), refused.size());

    std::vector<BYTE> bytes = Record(1);
    for (std::size_t i = 4; i < bytes.size(); ++i) {
        bytes[i] = static_cast<BYTE>(i * 7);
    }
    WriteEntry("42", Entry{2, 800, bytes});
    const auto record = db.Read(42);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(std::vector<BYTE>(record->bytes, record->bytes + 800), bytes);
    EXPECT_EQ(db.Read(43), nullptr);
}

TEST_F(TransferResumeDBTest, ReadNeverLooksBelowIdOne) {
    WriteEntry("0", Entry{});
    CTransferResumeDB db(&m_app);
    EXPECT_EQ(db.Read(0), nullptr);
    EXPECT_EQ(db.Read(-3), nullptr);
    EXPECT_EQ(EntryNames(), Names{"0"});
}

TEST_F(TransferResumeDBTest, OnlyTheFirstLittleEndianFieldTellsDownloadFromUpload) {
    CTransferResumeDB db(&m_app);
    struct Case {
        std::vector<BYTE> first4;
        DWORD expected;
    };
    const std::vector<Case> cases = {{{1, 0, 0, 0}, 1},
                                     {{0, 0, 0, 1}, 0x01000000},
                                     {{0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFF},
                                     {{0, 0, 0, 0}, 0}};
    for (const auto& c : cases) {
        std::vector<BYTE> bytes(800, 0xFF); // opaque part never matters
        std::copy(c.first4.begin(), c.first4.end(), bytes.begin());
        WriteEntry("9", Entry{2, 800, bytes});
        const auto record = db.Read(9);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->bDownload(), c.expected);
        const RESUMETARGET target = GetResumeTarget("/opt/c/", 9, *record);
        EXPECT_EQ(target.file, c.expected != 0 ? "/opt/c/KettrinDL.exe" : "/opt/c/KettrinUL.exe");
        EXPECT_EQ(target.parameters, "fdb://9");
    }
}

// Each subkey as "name id refusal".
Names Listed(CTransferResumeDB& db) {
    Names listed;
    for (const TRANSFERSUBKEY& entry : db.ListEntries()) {
        listed.push_back(entry.strName + " " + std::to_string(entry.nId) + " " + entry.strRefusal);
    }
    return listed;
}

TEST_F(TransferResumeDBTest, ListingNamesEverySubkeyInOrderWithWhyItCannotBeResumed) {
    CTransferResumeDB db(&m_app);
    EXPECT_TRUE(db.ListEntries().empty()); // no database key at all
    WriteEntry(3, 1);
    WriteEntry(12, 1);
    WriteEntry("4", Entry{1, 800, Record(1)});
    WriteEntry("5", Entry{2, 799, Record(1, 799)});
    WriteEntry("6", Entry{2, 800, std::nullopt});
    WriteEntry("12x", Entry{});
    WriteEntry("abc", Entry{});
    // Names enumerate in text order; only plainly written ids address an entry.
    EXPECT_EQ(Listed(db),
              (Names{"12 12 ", "12x 0 its name is not an entry id", "3 3 ",
                     "4 4 DBVER is 1, not 2 (or not a number)", "5 5 DataSize is 799, not 800",
                     "6 6 Data holds 0 bytes, not 800", "abc 0 its name is not an entry id"}));
    db.DeleteAll();
    EXPECT_EQ(EntryNames(), (Names{"12x", "abc"}));
    db.Delete(3); // already gone: nothing happens
    db.DeleteSubkey("abc");
    EXPECT_EQ(EntryNames(), Names{"12x"});
}

TEST_F(TransferResumeDBTest, DeleteAllForgetsEveryEntryNamedByAnId) {
    for (int id : {1, 2, 5, 10, 400}) {
        WriteEntry(id, 1);
    }
    CTransferResumeDB db(&m_app);
    db.DeleteAll();
    EXPECT_TRUE(EntryNames().empty());
    EXPECT_EQ(db.CountValid(), 0);
}

TEST_F(TransferResumeDBTest, OddNamesAreNeverTakenForAnotherEntry) {
    WriteEntry("12", Entry{});
    for (const char* name : {"0", "abc", "12x", "012", " 12"}) {
        WriteEntry(name, Entry{1, 800, Record(1)});
    }
    CTransferResumeDB db(&m_app);
    // "0" names itself and goes; the others would address entry 12, which must stay.
    EXPECT_EQ(db.CountValid(), 1);
    EXPECT_EQ(EntryNames(), (Names{" 12", "012", "12", "12x", "abc"}));
    ASSERT_NE(db.Read(12), nullptr);
    EXPECT_EQ(CQueueScheduleDB::IdFromName("12x"), 12);
    EXPECT_EQ(CQueueScheduleDB::IdFromName(" -4"), -4);
    EXPECT_EQ(CQueueScheduleDB::IdFromName("99999999999"), 0);
}

TEST_F(TransferResumeDBTest, NameTooLongForTheBufferIsSkippedAndHidesNothing) {
    const std::string fits(127, '1');
    const std::string tooLong = std::string(128, '1') + "0";
    WriteEntry(fits, Entry{1, 800, Record(1)});
    WriteEntry(tooLong, Entry{1, 800, Record(1)});
    WriteEntry("2", Entry{});
    CTransferResumeDB db(&m_app);
    // Neither long name is an id, so neither is deleted; "2", listed after the one too long for
    // the buffer, still counts and is listed.
    EXPECT_EQ(db.CountValid(), 1);
    EXPECT_EQ(Listed(db), (Names{fits + " 0 its name is not an entry id", "2 2 "}));
    db.DeleteAll();
    EXPECT_EQ(EntryNames(), (Names{fits, tooLong}));
}

TEST_F(TransferResumeDBTest, WithoutTheDatabaseKeyNothingHappens) {
    CTransferResumeDB db(&m_app);
    EXPECT_EQ(db.CountValid(), 0);
    EXPECT_EQ(db.Read(1), nullptr);
    db.Delete(1);
    db.DeleteAll();
    CRegKey key;
    EXPECT_NE(key.Open(HKEY_CURRENT_USER, CTransferResumeDB::kKeyPath, KEY_READ), ERROR_SUCCESS);
}

TEST_F(TransferResumeDBTest, AProfileRootedElsewhereJudgesNothingAndDeletesNothing) {
    WriteEntry(1, 1);
    WriteEntry("2", Entry{1, 800, Record(1)});
    CWinApp stranger; // no registry key: its profile cannot see the database
    CTransferResumeDB db(&stranger);
    EXPECT_EQ(db.CountValid(), 0);
    EXPECT_EQ(db.Read(1), nullptr);
    EXPECT_EQ(EntryNames(), (Names{"1", "2"}));
}

TEST_F(TransferResumeDBTest, AThousandEntries) {
    {
        CRegTransaction transaction(HKEY_CURRENT_USER);
        for (int id = 1; id <= 1000; ++id) {
            WriteEntry(std::to_string(id), Entry{id % 10 == 0 ? 1u : 2u, 800, Record(1)});
        }
        ASSERT_EQ(transaction.Commit(), ERROR_SUCCESS);
    }
    CTransferResumeDB db(&m_app);
    EXPECT_EQ(db.CountValid(), 900);
    EXPECT_EQ(db.ListEntries().size(), 900u);
    db.DeleteAll();
    EXPECT_TRUE(db.ListEntries().empty());
}

} // namespace
