// The companion's schedule commands, run as the built program against the private store.
#include "scheduler/QueueScheduleDB.h"
#include "scheduler/Schedule.h"
#include "support/PrivateEnvTest.h"

#include "SchedulerTestSupport.h"

#include <set>
#include <sstream>
#include <sys/stat.h>

namespace {

class ScheduleCommandTest : public PrivateEnvTest {
protected:
    ScopedTimeZone zone{"UTC0"}; // inherited by the companion
    CClientProfile app;
    CQueueScheduleDB db{&app};

    static std::string Quote(const std::string& s) {
        std::string out = "'";
        for (char c : s) {
            out += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        return out + "'";
    }

    int Ctl(const std::string& args, std::string* out = nullptr) {
        std::string text;
        const int status =
            RunCommand(Quote(BuiltCompanion()) + " schedule " + args + " 2>/dev/null", &text);
        if (out != nullptr) {
            *out = text;
        }
        return status;
    }
};

TEST_F(ScheduleCommandTest, AddStoresWhatTheDialogStoresAndRemoveFindsIt) {
    const std::string path = m_env.WriteFile("my queue.ftq", "q");
    std::string out;
    ASSERT_EQ(Ctl("add " + Quote(path) +
                      " --start '2025-06-01 09:30' --every 3 weeks --end '2025-12-24 18:00'",
                  &out),
              0);
    EXPECT_EQ(out, "1\n");
    std::string name;
    auto rec = db.Read(1, name);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(name, path);
    EXPECT_EQ(rec->timeStart, Local(2025, 6, 1, 9, 30).GetTime());
    EXPECT_EQ(rec->timeLastRun, rec->timeStart);
    EXPECT_EQ(rec->timeEnd, Local(2025, 12, 24, 18, 0).GetTime());
    EXPECT_EQ(rec->bOnce, 0);
    EXPECT_EQ(rec->bEndDate, 1);
    EXPECT_EQ(rec->bDisabled, 0);
    EXPECT_EQ(rec->nCount, 3);
    EXPECT_EQ(rec->nUnit, PeriodUnit::Weeks);

    ASSERT_EQ(Ctl("add " + Quote(path) + " --start '2030-01-02 03:04' --once --disabled", &out), 0);
    EXPECT_EQ(out, "2\n");
    rec = db.Read(2, name);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->bOnce, 1);
    EXPECT_EQ(rec->bDisabled, 1);
    EXPECT_EQ(rec->bEndDate, 0);
    EXPECT_GE(rec->timeEnd, rec->timeStart); // the end pickers never show less than the start
    EXPECT_EQ(rec->timeEnd % 60, 0);

    ASSERT_EQ(Ctl("add " + Quote(path) + " --start '2025-01-31 00:00' --every 32767 months"), 0);
    EXPECT_EQ(Ctl("remove " + Quote(path), &out), 0);
    EXPECT_EQ(out, "removed 1\n");
    EXPECT_EQ(Ctl("remove 3", &out), 0);
    EXPECT_EQ(Ctl("remove 3"), 1);
    EXPECT_EQ(Ctl("remove /no/such/queue"), 1);
    auto ids = db.GetIdList();
    ASSERT_NE(ids, nullptr);
    EXPECT_EQ(*ids, std::vector<UINT>{2});
}

TEST_F(ScheduleCommandTest, ConcurrentAddsTakeDistinctIdsAndAnUnsavedAddIsNotReported) {
    const std::string path = Quote(m_env.WriteFile("q.ftq", "q"));
    const std::string add =
        Quote(BuiltCompanion()) + " schedule add " + path + " --start '2030-01-01 00:00' --once";
    // Eight writers adding eight each, all at once.
    std::string out;
    ASSERT_EQ(RunCommand("for w in 1 2 3 4 5 6 7 8; do (for i in 1 2 3 4 5 6 7 8; do " + add +
                             " 2>&1 || echo failed; done) & done; wait",
                         &out),
              0);
    std::set<std::string> ids;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(ids.insert(line).second) << "id " << line << " reported twice";
    }
    EXPECT_EQ(ids.size(), 64u) << out;
    EXPECT_EQ(ids.count("failed"), 0u);
    auto stored = db.GetIdList();
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->size(), 64u);

    // A store that takes no writes: no id, status 1, one line naming the file.
    const std::string damaged = m_env.WriteFile("damaged.db", std::string(4096, 'x'));
    EXPECT_EQ(
        RunCommand("QUORVEL_REGISTRY_USER=" + Quote(damaged) + " " + add + " 2>/dev/null", &out),
        1);
    EXPECT_EQ(out, "");
    RunCommand("QUORVEL_REGISTRY_USER=" + Quote(damaged) + " " + add + " 2>&1 >/dev/null", &out);
    EXPECT_NE(out.find("quorvel-monitorctl: schedule add: not saved: the store " + damaged),
              std::string::npos)
        << out;
    EXPECT_EQ(RunCommand("QUORVEL_REGISTRY_USER=" + Quote(damaged) + " " + Quote(BuiltCompanion()) +
                             " schedule list 2>&1",
                         &out),
              2);
    EXPECT_NE(
        out.find("cannot be read: " + damaged + ": it is not a database: file is not a database"),
        std::string::npos)
        << out;
    // A disk that lets no file grow: its own reason, not what SQLite said after it.
    RunCommand("ulimit -f 0; trap '' XFSZ; " + add + " 2>&1 >/dev/null", &out);
    EXPECT_NE(out.find("disk I/O error"), std::string::npos) << out;
    EXPECT_EQ(out.find("no transaction"), std::string::npos) << out;
    // The same at the commit of a removal, the store open and read (held here, as by the
    // Monitor): not reported removed.
    ASSERT_TRUE(SubkeyExists("1"));
    RunCommand("ulimit -f 0; trap '' XFSZ; " + Quote(BuiltCompanion()) + " schedule remove 1 2>&1",
               &out);
    EXPECT_NE(out.find("schedule remove: not saved: the store"), std::string::npos) << out;
    EXPECT_EQ(out.find("removed"), std::string::npos) << out;
    EXPECT_TRUE(SubkeyExists("1"));
}

TEST_F(ScheduleCommandTest, BadInputIsRefusedAndNothingIsWritten) {
    const std::string path = Quote(m_env.WriteFile("q.ftq", "q"));
    const std::string missing = Quote(m_env.Root() + "/missing.ftq");
    const std::string fifo = m_env.Root() + "/fifo.ftq";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& args : std::vector<std::string>{
             "add " + missing + " --start '2025-06-01 09:00' --once",
             "add " + Quote(m_env.Root()) + " --start '2025-06-01 09:00' --once",
             "add " + Quote(fifo) + " --start '2025-06-01 09:00' --once",
             "add " + path + " --start '2025-06-01 09:00' --every ' 5' days",
             "add " + path + " --start '2025-06-01 09:00' --every +5 days",
             "add " + path + " --start '2026-+1-01 10:00' --once",
             "add " + path + " --start '2026-01-01 1:00 ' --once",
             "add " + path + " --start '2025-06-01 09:00' --every 0 days",
             "add " + path + " --start '2025-06-01 09:00' --every -1 days",
             "add " + path + " --start '2025-06-01 09:00' --every 32768 days",
             "add " + path + " --start '2025-06-01 09:00' --every 2147483648 days",
             "add " + path + " --start '2025-06-01 09:00' --every 1x days",
             "add " + path + " --start '2025-06-01 09:00' --every 1 fortnights",
             "add " + path + " --start '2025-06-01 09:00' --every 1 days --end '2025-06-01 08:59'",
             "add " + path + " --start '2025-02-29 09:00' --once",
             "add " + path + " --start '2025-13-01 09:00' --once",
             "add " + path + " --start '2025-06-01 24:00' --once",
             "add " + path + " --start '2025-06-01 9:00' --once",
             "add " + path + " --start 'tomorrow' --once",
             "add " + path + " --start '2040-01-01 00:00' --once",
             "add " + path + " --start '2025-06-01 09:00'",
             "add " + path + " --start '2025-06-01 09:00' --once --every 1 days",
             "add " + path + " --once",
             std::string("add --start '2025-06-01 09:00' --once"),
             std::string("frobnicate"),
         }) {
        EXPECT_EQ(Ctl(args), 2) << args;
    }
    EXPECT_EQ(db.GetIdList(), nullptr);
}

TEST_F(ScheduleCommandTest, ListShowsEveryEntryWithItsStateAndWhyItIsUnreadable) {
    const std::string path = m_env.WriteFile("q\"uote\\d.ftq", "q");
    CSchedule due;
    due.m_bOnce = 0;
    due.m_nUnit = PeriodUnit::Days;
    due.m_timeStart = due.m_timeLastRun = Local(2020, 1, 1, 8, 0);
    db.Write(1, due.CreateRecord().get(), path.c_str());
    SetRawEntry("2", path, 1, 32, std::string(31, 'x'));
    CSchedule off;
    off.m_bDisabled = 1;
    db.Write(3, off.CreateRecord().get(), "/gone.ftq");

    std::string out;
    ASSERT_EQ(Ctl("list", &out), 0);
    EXPECT_NE(out.find("every 1 days from 2020-01-01 08:00"), std::string::npos) << out;
    EXPECT_NE(out.find("due now"), std::string::npos) << out;
    EXPECT_NE(out.find("unreadable: Data holds 31 bytes, not 32"), std::string::npos) << out;
    EXPECT_NE(out.find("/gone.ftq  [queue file missing]"), std::string::npos) << out;
    EXPECT_NE(out.find(", disabled"), std::string::npos) << out;
    EXPECT_NE(out.find("next due none"), std::string::npos) << out;

    ASSERT_EQ(Ctl("list --json", &out), 0);
    EXPECT_EQ(out.rfind("[\n  {\"id\": 1, ", 0), 0u) << out;
    EXPECT_NE(out.find("\"queue\": \"" + m_env.Root() + "/q\\\"uote\\\\d.ftq\""), std::string::npos)
        << out;
    EXPECT_NE(out.find("\"dueNow\": true"), std::string::npos) << out;
    EXPECT_NE(out.find("\"readable\": false, \"reason\": \"Data holds 31 bytes, not 32\""),
              std::string::npos)
        << out;
    EXPECT_NE(
        out.find("\"anchor\": {\"epoch\": " + std::to_string(Local(2020, 1, 1, 8, 0).GetTime()) +
                 ", \"local\": \"2020-01-01T08:00:00+00:00\"}"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("\"disabled\": true"), std::string::npos) << out;
    EXPECT_NE(out.find("\"nextDue\": null"), std::string::npos) << out;

    db.Delete(1);
    db.Delete(2);
    db.Delete(3);
    ASSERT_EQ(Ctl("list --json", &out), 0);
    EXPECT_EQ(out, "[]\n");
}

} // namespace
