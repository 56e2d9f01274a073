#include "scheduler/TransferScheduler.h"

#include "app/MonitorApp.h"
#include "core/SiblingPrograms.h"
#include "platform/Clock.h"
#include "platform/Launch.h"
#include "resume/TransferResumeDB.h"
#include "scheduler/QueueHandovers.h"
#include "scheduler/Schedule.h"
#include "support/Fakes.h"
#include "support/PrivateEnvTest.h"

#include "ProcessHelpers.h"
#include "SchedulerTestSupport.h"

#include <cstdio>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kRun = "Transfer Scheduler - Transferring Queue:";
const std::string kNoMore = "No more scheduled transfert for this queue.\r\n";

class TransferSchedulerTest : public PrivateEnvTest {
protected:
    ScopedTimeZone zone{"UTC0"};
    CFakeClock clock{Local(2025, 6, 2, 10, 0, 30).GetTime()};
    ScopedClock scoped{clock};
    CClientProfile app;
    CQueueScheduleDB db{&app};
    CFakeSiblings siblings;
    CFakeLog log;
    CTransferScheduler scheduler{app, siblings};
    CFakeWindow window;

    void SetUp() override {
        scheduler.Attach(&log);
        scheduler.Start(&window);
    }

    std::string Queue(const std::string& name) { return m_env.WriteFile(name, "queue"); }

    // Stores a schedule under `id` and returns the queue path.
    void Store(int id, const std::string& path, const CSchedule& s) {
        db.Write(id, s.CreateRecord().get(), path.c_str());
    }

    static CSchedule Once(CTime start) {
        CSchedule s;
        s.m_timeStart = s.m_timeLastRun = s.m_timeEnd = start;
        return s;
    }
    static CSchedule Every(int count, int unit, CTime anchor) {
        CSchedule s = Once(anchor);
        s.m_bOnce = 0;
        s.m_nCount = count;
        s.m_nUnit = unit;
        return s;
    }

    std::unique_ptr<SCHEDULEDATA> Stored(int id, std::string* name = nullptr) {
        std::string n;
        auto record = db.Read(id, n);
        if (name != nullptr) {
            *name = n;
        }
        return record;
    }

    static std::string Param(const std::string& path) { return "\"ftq://" + path + "\""; }
};

TEST_F(TransferSchedulerTest, StartStopAndSwitchingLogOnlyWhenSwitched) {
    EXPECT_EQ(window.timers.at(TimerId::Scheduler), 60000u);
    EXPECT_TRUE(scheduler.IsEnabled());
    EXPECT_TRUE(log.lines.empty());

    scheduler.SetEnabled(FALSE);
    scheduler.SetEnabled(TRUE);
    ASSERT_EQ(log.lines.size(), 4u);
    EXPECT_EQ(log.lines[1].text, "Transfer Scheduler Disabled.\r\n");
    EXPECT_EQ(log.lines[1].color, LogColor::Navy);
    EXPECT_EQ(log.lines[3].text, "Transfer Scheduler Enabled.\r\n");

    // A tick still queued after Stop finds the engine off.
    const std::string path = Queue("q.ftq");
    Store(1, path, Once(Local(2025, 6, 2, 10, 0)));
    scheduler.Stop(&window);
    EXPECT_EQ(window.timers.count(TimerId::Scheduler), 0u);
    scheduler.OnTimerTick();
    EXPECT_TRUE(siblings.launches.empty());
    EXPECT_NE(Stored(1), nullptr);
}

TEST_F(TransferSchedulerTest, OnceOnlyQueueRunsAndIsRemoved) {
    const std::string path = Queue("once.ftq");
    Store(1, path, Once(Local(2025, 6, 2, 10, 0)));
    scheduler.OnTimerTick();
    EXPECT_EQ(siblings.launches, std::vector<std::string>{Param(path)});
    EXPECT_EQ(log.Texts(), (std::vector<std::string>{"<timestamp>", kRun, path, kNoMore}));
    EXPECT_EQ(log.lines[1].color, LogColor::Green);
    EXPECT_EQ(log.lines[2].color, LogColor::Black);
    EXPECT_EQ(log.lines[3].color, LogColor::Maroon);
    EXPECT_FALSE(SubkeyExists("1"));

    scheduler.OnTimerTick();
    EXPECT_EQ(siblings.launches.size(), 1u);
}

TEST_F(TransferSchedulerTest, AQueueTheClientCannotTakeStaysDueAndIsReportedOnce) {
    const std::string once = Queue("once.ftq");
    const std::string daily = Queue("daily.ftq");
    Store(1, once, Once(Local(2025, 6, 2, 10, 0)));
    Store(2, daily, Every(1, PeriodUnit::Days, Local(2025, 6, 1, 10, 0)));
    const auto first = Stored(1)->ToBytes();
    const auto second = Stored(2)->ToBytes();
    const std::string why =
        "Could not start Quorvel PRO: /opt/qp/Quorvel PRO.exe is not executable.";
    siblings.failure = why;
    const std::string kFailed = "Transfer Scheduler - Could not transfer queue:";

    for (int minute = 0; minute < 3; ++minute) {
        clock.SetNow(Local(2025, 6, 2, 10, minute, 30).GetTime());
        scheduler.OnTimerTick();
        ASSERT_NE(Stored(1), nullptr);
        EXPECT_EQ(Stored(1)->ToBytes(), first);
        EXPECT_EQ(Stored(2)->ToBytes(), second);
    }
    EXPECT_EQ(siblings.launches.size(), 6u); // tried at every tick, told of once
    EXPECT_EQ(log.Texts(), (std::vector<std::string>{"<timestamp>", kFailed, daily, why + "\r\n",
                                                     "<timestamp>", kFailed, once, why + "\r\n"}));
    EXPECT_EQ(log.lines[1].color, LogColor::Maroon);
    EXPECT_EQ(log.lines[3].color, LogColor::Maroon);

    siblings.failure.clear();
    log.lines.clear();
    scheduler.OnTimerTick();
    EXPECT_EQ(log.Texts(),
              (std::vector<std::string>{"<timestamp>", kRun, daily,
                                        "Next scheduled transfert for this queue: Tue Jun  3 "
                                        "10:00:00 2025\r\n",
                                        "<timestamp>", kRun, once, kNoMore}));
    EXPECT_FALSE(SubkeyExists("1"));
}

TEST_F(TransferSchedulerTest, NothingIsStartedWhoseRunCannotBeRecordedOrWasReplaced) {
    const std::string path = Queue("q.ftq");
    Store(1, path, Every(1, PeriodUnit::Hours, Local(2025, 6, 2, 9, 0)));
    const auto before = Stored(1)->ToBytes();
    CRegKey interrupted;
    ASSERT_EQ(interrupted.Create(HKEY_CURRENT_USER,
                                 (std::string(CTransferResumeDB::kKeyPath) + "\\5").c_str()),
              ERROR_SUCCESS);
    {
        // The store is open: each change below gets as far as its commit, which fails.
        ScopedWriteRefusal fullDisk;
        scheduler.OnTimerTick();
        EXPECT_EQ(db.Write(0, Stored(1).get(), path.c_str()), 0);
        EXPECT_FALSE(CTransferResumeDB(&app).DeleteAll());
    }
    EXPECT_TRUE(siblings.launches.empty());
    EXPECT_EQ(Stored(1)->ToBytes(), before);
    ASSERT_EQ(log.lines.size(), 4u);
    const std::string expected = "Could not record the next run, so the queue was not started: "
                                 "the store " +
                                 m_env.UserStore() + ": ";
    EXPECT_EQ(log.lines[3].text.rfind(expected, 0), 0u) << log.lines[3].text;

    // A failed start puts the entry back only while it is still the one that was read.
    const std::string other = Queue("other.ftq");
    siblings.failure = "Could not start Quorvel PRO: it is gone.";
    siblings.onLaunch = [&] { Store(1, other, Once(Local(2030, 1, 1, 0, 0))); };
    scheduler.OnTimerTick();
    EXPECT_EQ(siblings.launches.size(), 1u);
    std::string name;
    ASSERT_NE(Stored(1, &name), nullptr);
    EXPECT_EQ(name, other);
}

TEST_F(TransferSchedulerTest, RepeatingQueueIsRewrittenUnderItsIdWithTheNewAnchor) {
    const std::string path = Queue("every.ftq");
    CSchedule s = Every(2, PeriodUnit::Hours, Local(2025, 6, 2, 8, 0));
    s.m_bEndDate = 1;
    s.m_timeEnd = Local(2025, 6, 3, 0, 0);
    Store(4, path, s);
    scheduler.OnTimerTick();
    EXPECT_EQ(log.Texts(),
              (std::vector<std::string>{"<timestamp>", kRun, path,
                                        "Next scheduled transfert for this queue: Mon Jun  2 "
                                        "12:00:00 2025\r\n"}));
    EXPECT_EQ(log.lines[3].color, LogColor::Green);
    std::string name;
    auto record = Stored(4, &name);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(name, path);
    EXPECT_EQ(record->timeLastRun, Local(2025, 6, 2, 10, 0).GetTime());
    EXPECT_EQ(record->timeStart, s.m_timeStart.GetTime());
    EXPECT_EQ(record->bEndDate, 1);
    EXPECT_EQ(record->nCount, 2);

    // Not due again until 12:00.
    clock.SetNow(Local(2025, 6, 2, 11, 59, 59).GetTime());
    scheduler.OnTimerTick();
    EXPECT_EQ(siblings.launches.size(), 1u);
    clock.SetNow(Local(2025, 6, 2, 12, 0).GetTime());
    scheduler.OnTimerTick();
    EXPECT_EQ(siblings.launches.size(), 2u);
}

TEST_F(TransferSchedulerTest, AClockSteppingBackDuringAPassRunsNoQueueTwice) {
    Store(1, Queue("a.ftq"), Every(1, PeriodUnit::Days, Local(2025, 6, 1, 10, 0)));
    Store(2, Queue("b.ftq"), Every(1, PeriodUnit::Days, Local(2025, 6, 1, 10, 0)));
    siblings.onLaunch = [&] { clock.Advance(-3600); };
    scheduler.OnTimerTick();
    EXPECT_EQ(Stored(1)->timeLastRun, Local(2025, 6, 2, 10, 0).GetTime());
    clock.SetNow(Local(2025, 6, 2, 10, 1, 30).GetTime());
    scheduler.OnTimerTick();
    EXPECT_EQ(siblings.launches.size(), 2u);
}

TEST_F(TransferSchedulerTest, RepeatingQueuePastItsEndRunsOnceMoreAndIsRemoved) {
    const std::string path = Queue("daily.ftq");
    CSchedule s = Every(1, PeriodUnit::Days, Local(2025, 6, 1, 10, 0));
    s.m_bEndDate = 1;
    s.m_timeEnd = Local(2025, 6, 3, 9, 0);
    Store(1, path, s);
    scheduler.OnTimerTick();
    EXPECT_EQ(log.Texts(), (std::vector<std::string>{"<timestamp>", kRun, path, kNoMore}));
    EXPECT_EQ(siblings.launches.size(), 1u);
    EXPECT_FALSE(SubkeyExists("1"));
}

TEST_F(TransferSchedulerTest, SchedulesThatAreNotDueAreLeftAlone) {
    const std::string path = Queue("q.ftq");
    CSchedule disabled = Once(Local(2025, 6, 2, 9, 0));
    disabled.m_bDisabled = 1;
    CSchedule ended = Every(1, PeriodUnit::Minutes, Local(2025, 6, 1, 0, 0));
    ended.m_bEndDate = 1;
    ended.m_timeEnd = Local(2025, 6, 2, 10, 0);
    Store(1, path, disabled);
    Store(2, path, ended);
    Store(3, path, Every(0, PeriodUnit::Minutes, Local(2025, 6, 1, 0, 0)));
    Store(4, path, Every(1, 99, Local(2025, 6, 1, 0, 0)));
    Store(5, path, Every(-1, PeriodUnit::Months, Local(2000, 6, 1, 0, 0)));
    SetRawEntry("6", path, 1, 32, std::string(31, 'x')); // unreadable, kept by the purge
    for (int tick = 0; tick < 3; ++tick) {
        scheduler.OnTimerTick();
        clock.Advance(60);
    }
    EXPECT_TRUE(log.lines.empty());
    EXPECT_TRUE(siblings.launches.empty());
    for (const char* id : {"1", "2", "3", "4", "5", "6"}) {
        EXPECT_TRUE(SubkeyExists(id)) << id;
    }
}

TEST_F(TransferSchedulerTest, APassWithNothingDueNeverWaitsForAnotherWriter) {
    // The client holding a long write must not stall the Monitor's only thread for its length.
    const std::string path = Queue("q.ftq");
    CRegTransaction setUp(HKEY_CURRENT_USER);
    for (int id = 1; id <= 1000; ++id) {
        Store(id, path, Every(1, PeriodUnit::Days, Local(2025, 6, 2, 9, 0)));
    }
    ASSERT_EQ(setUp.Commit(), ERROR_SUCCESS);
    Signal locked;
    Signal passed;
    const pid_t writer =
        ForkStoreHolder(m_env.UserStore(), "BEGIN IMMEDIATE", locked, 3000, &passed);
    ASSERT_TRUE(locked.Wait());
    scheduler.OnTimerTick();
    passed.Send();
    EXPECT_EQ(WaitChild(writer), 0) << "the pass waited for the other writer";
    EXPECT_TRUE(siblings.launches.empty());
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(Stored(1000)->timeLastRun, Local(2025, 6, 2, 9, 0).GetTime());
}

TEST_F(TransferSchedulerTest, InvalidEntriesArePurgedBeforeEvaluation) {
    Store(1, m_env.Root() + "/deleted.ftq", Once(Local(2025, 6, 2, 9, 0)));
    SetRawEntry("2", Queue("v2.ftq"), 2);
    scheduler.OnTimerTick();
    EXPECT_TRUE(siblings.launches.empty());
    EXPECT_TRUE(log.lines.empty());
    EXPECT_FALSE(SubkeyExists("1"));
    EXPECT_FALSE(SubkeyExists("2"));
}

TEST_F(TransferSchedulerTest, WhileTheClientRunsNothingIsTouchedAndMissedRunsGiveOneRunLater) {
    const std::string path = Queue("q.ftq");
    Store(1, path, Every(10, PeriodUnit::Minutes, Local(2025, 6, 2, 9, 50)));
    Store(2, m_env.Root() + "/missing.ftq", Once(Local(2025, 6, 2, 9, 0)));
    siblings.clientRunning = TRUE;
    clock.SetNow(Local(2025, 6, 2, 10, 0).GetTime());
    for (int tick = 0; tick < 20; ++tick) {
        scheduler.OnTimerTick();
        clock.Advance(60);
    }
    EXPECT_TRUE(siblings.launches.empty());
    EXPECT_TRUE(log.lines.empty());
    EXPECT_TRUE(SubkeyExists("2")); // not even purged

    siblings.clientRunning = FALSE;
    clock.SetNow(Local(2025, 6, 2, 10, 20, 15).GetTime());
    scheduler.OnTimerTick();
    scheduler.OnTimerTick();
    EXPECT_EQ(siblings.launches.size(), 1u);
    EXPECT_EQ(Stored(1)->timeLastRun, Local(2025, 6, 2, 10, 20).GetTime());
}

TEST_F(TransferSchedulerTest, QueuesDueAfterTheClientCameUpInAPassStayDueAndWait) {
    const std::string a = Queue("a.ftq");
    const std::string b = Queue("b.ftq");
    Store(1, a, Once(Local(2025, 6, 2, 9, 0)));
    Store(2, b, Every(1, PeriodUnit::Hours, Local(2025, 6, 2, 9, 0)));
    const auto first = Stored(1)->ToBytes();
    siblings.onLaunch = [&] { siblings.clientRunning = TRUE; };
    scheduler.OnTimerTick();
    EXPECT_EQ(siblings.launches, std::vector<std::string>{Param(b)});
    EXPECT_EQ(log.Texts().back(), a);
    EXPECT_EQ(log.Texts()[5], "Transfer Scheduler - Queue waits until Quorvel PRO is closed:");
    EXPECT_EQ(Stored(1)->ToBytes(), first);

    // The client that comes up between the look and the start: nothing started, kept due.
    siblings.onLaunch = nullptr;
    siblings.clientRunning = FALSE;
    int looks = 0;
    struct LateClient : CFakeSiblings {
        int* looks;
        BOOL IsClientRunning() override { return ++*looks > 2 ? TRUE : FALSE; }
    } late;
    late.looks = &looks;
    CTransferScheduler other(app, late);
    other.Start(&window);
    other.OnTimerTick();
    EXPECT_EQ(Stored(1)->ToBytes(), first);
    EXPECT_TRUE(CQueueHandovers::Unfinished().empty());

    scheduler.OnTimerTick();
    EXPECT_EQ(siblings.launches.back(), Param(a));
    EXPECT_FALSE(SubkeyExists("1"));
}

TEST_F(TransferSchedulerTest, AMonitorDyingBetweenRecordingAndStartingIsReportedAtTheNextStart) {
    const std::string path = Queue("q.ftq");
    Store(1, path, Once(Local(2025, 6, 2, 9, 0)));
    Store(2, path, Once(Local(2025, 6, 2, 9, 0)));
    siblings.onLaunch = [&] {
        if (siblings.launches.size() == 2) {
            throw 9; // the process ends here, with the run recorded
        }
    };
    EXPECT_THROW(scheduler.OnTimerTick(), int);
    EXPECT_EQ(db.GetIdList(), nullptr);

    CFakeLog next;
    CTransferScheduler restarted(app, siblings);
    restarted.Attach(&next);
    restarted.ReportUnfinishedHandovers();
    restarted.ReportUnfinishedHandovers();
    EXPECT_EQ(next.Texts(), (std::vector<std::string>{
                                "<timestamp>",
                                "Transfer Scheduler - The Monitor stopped while handing over "
                                "queue:",
                                path, "Quorvel PRO may not have been started with it.\r\n"}));
}

// A restore renames another store over the one the engine has open; a store folder moves to
// another disk behind a symlink. The engine reads what is there now, and nobody reads the new
// file mixed with the log the engine still holds for the old one.
TEST_F(TransferSchedulerTest, AStoreReplacedOrMovedWhileOpenIsReadAfreshAndNeverMixed) {
    const std::string due = Queue("due.ftq");
    const std::string restored = m_env.Root() + "/restored.db", again = m_env.Root() + "/again.db";
    ASSERT_EQ(WaitChild(ForkChild([&] {
                  setenv("QUORVEL_REGISTRY_USER", again.c_str(), 1);
                  Store(4, Queue("kept.ftq"), Once(Local(2025, 6, 2, 12, 0)));
                  RegCloseStores();
                  setenv("QUORVEL_REGISTRY_USER", restored.c_str(), 1);
                  Store(1, Queue("later.ftq"), Once(Local(2025, 6, 2, 12, 0)));
                  Store(2, due, Once(Local(2025, 6, 2, 9, 0)));
                  return 0;
              })),
              0);
    for (int id = 1; id <= 3; ++id) {
        Store(id, Queue("old.ftq"), Once(Local(2025, 6, 2, 12, 0)));
    }
    scheduler.OnTimerTick();
    ASSERT_EQ(rename(restored.c_str(), m_env.UserStore().c_str()), 0);
    const std::string ctl = "'" + BuiltCompanion() + "' schedule ";
    std::string out;
    EXPECT_EQ(RunCommand(ctl + "list 2>&1", &out), 2) << out;
    EXPECT_NE(out.find("replaced a file that another program still has open"), std::string::npos);
    scheduler.OnTimerTick();
    EXPECT_EQ(siblings.launches, std::vector<std::string>{Param(due)});
    EXPECT_EQ(Stored(1)->timeStart, Local(2025, 6, 2, 12, 0).GetTime());
    EXPECT_FALSE(SubkeyExists("2"));
    EXPECT_FALSE(SubkeyExists("3"));
    // Replaced between a pass's read and its purge: "4" of the file there now is valid.
    SetRawEntry("4", m_env.Root() + "/gone.ftq");
    db.Scan([&](int, const std::string&, const SCHEDULEDATA&) {
        rename(again.c_str(), m_env.UserStore().c_str());
    });
    EXPECT_TRUE(SubkeyExists("4"));

    const std::string disk = m_env.Root() + "/disk", link = m_env.Root() + "/store";
    ASSERT_EQ(mkdir(disk.c_str(), 0700) | symlink(disk.c_str(), link.c_str()), 0);
    setenv("QUORVEL_REGISTRY_USER", (link + "/user.db").c_str(), 1);
    RegCloseStores();
    Store(1, Queue("later.ftq"), Once(Local(2025, 6, 2, 12, 0)));
    scheduler.OnTimerTick();
    const std::string moved = Queue("moved.ftq");
    ASSERT_EQ(RunCommand("cp -a " + disk + " " + disk + "2 && rm -r " + disk + " && ln -sfn " +
                         disk + "2 " + link + " && " + ctl + "add " + moved +
                         " --start '2025-06-02 09:00' --once >/dev/null"),
              0);
    scheduler.OnTimerTick();
    EXPECT_EQ(siblings.launches.back(), Param(moved));
}

TEST_F(TransferSchedulerTest, ANestedTickReturnsAtOnce) {
    const std::string a = Queue("a.ftq");
    Store(1, a, Once(Local(2025, 6, 2, 9, 0)));
    Store(2, a, Once(Local(2025, 6, 2, 9, 0)));
    int nested = 0;
    siblings.onLaunch = [&] {
        ++nested;
        scheduler.OnTimerTick();
    };
    scheduler.OnTimerTick();
    EXPECT_EQ(nested, 2);
    EXPECT_EQ(siblings.launches.size(), 2u);
    EXPECT_EQ(db.GetIdList(), nullptr);
    // The guard is released afterwards.
    Store(3, a, Once(Local(2025, 6, 2, 9, 0)));
    siblings.onLaunch = nullptr;
    scheduler.OnTimerTick();
    EXPECT_EQ(siblings.launches.size(), 3u);
}

TEST_F(TransferSchedulerTest, AnUnreadableStoreIsToldAtStartOnceAndLookedAtAgainAtEveryTick) {
    const std::string file = m_env.WriteFile("user.db", std::string(4096, 'x'));
    setenv("QUORVEL_REGISTRY_USER", file.c_str(), 1);
    RegCloseStores();
    scheduler.ReportUnfinishedHandovers(); // at start-up
    EXPECT_EQ(log.lines.size(), 3u);
    scheduler.OnTimerTick();
    ASSERT_EQ(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[1].color, LogColor::Maroon);
    EXPECT_EQ(log.lines[2].text.rfind(file + ": it is not a database", 0), 0u) << log.lines[2].text;

    ASSERT_EQ(unlink(file.c_str()), 0); // a good store comes back
    scheduler.OnTimerTick();
    Store(1, Queue("q.ftq"), Once(Local(2025, 6, 2, 9, 0)));
    scheduler.OnTimerTick();
    EXPECT_EQ(siblings.launches.size(), 1u);
}

TEST_F(TransferSchedulerTest, NoEntriesNoLines) {
    scheduler.OnTimerTick();
    EXPECT_TRUE(log.lines.empty());
    EXPECT_TRUE(siblings.launches.empty());
}

TEST_F(TransferSchedulerTest, ARunWithNoRepresentableSuccessorRunsOnceAndEnds) {
    // At the end of time a due hourly queue has no next run; it must not stay due and start
    // the client at every tick.
    const std::string path = Queue("late.ftq");
    Store(1, path, Every(1, PeriodUnit::Hours, CTime(INT32_MAX - 5000)));
    clock.SetNow(INT32_MAX);
    scheduler.OnTimerTick();
    scheduler.OnTimerTick();
    EXPECT_EQ(siblings.launches.size(), 1u);
    EXPECT_EQ(log.Texts().back(), kNoMore);
    EXPECT_FALSE(SubkeyExists("1"));
}

TEST(ClientParametersTest, EveryPathArrivesAsOneArgument) {
    EXPECT_EQ(CTransferScheduler::ClientParameters("/home/u/q.ftq"), "\"ftq:///home/u/q.ftq\"");
    EXPECT_EQ(CTransferScheduler::ClientParameters("/a b/c d.ftq"), "\"ftq:///a b/c d.ftq\"");
    for (const std::string path : {"/a b/c.ftq", "/q\"uote.ftq", "/back\\slash", "/ends\\",
                                   "/two\\\\\"x", "\"", "", "/n\xC3\xA4me.ftq", "/ tab\there"}) {
        EXPECT_EQ(SplitCommandLine(CTransferScheduler::ClientParameters(path)),
                  std::vector<std::string>{"ftq://" + path})
            << path;
    }
}

// The engine inside the application object, reaching the client through the shell.
TEST_F(TransferSchedulerTest, InTheApplicationTheClientIsStartedFromItsFolder) {
    {
        CRegKey key;
        ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, MonitorNames::SettingsKey), ERROR_SUCCESS);
        const std::string folder = "/opt/quorvel";
        RegSetValueExA(key.Get(), "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>(folder.size() + 1));
    }
    CFakeDesktop desktop;
    CFakeClipboard clipboard;
    CFakeShell shell;
    SetUrlMonitorSwitch(1);
    CMonitorApp monitor(desktop, clipboard, shell);
    ASSERT_TRUE(monitor.InitInstance(""));
    const std::string path = Queue("my queue.ftq");
    Store(1, path, Once(Local(2025, 6, 2, 9, 0)));
    Store(2, path, Once(Local(2025, 6, 2, 9, 0)));
    CHandle started;
    shell.onOpen = [&] {
        started = CHandle(CreateEventA(nullptr, FALSE, FALSE, MonitorNames::ClientEvent));
    };

    {
        CHandle client(CreateEventA(nullptr, FALSE, FALSE, MonitorNames::ClientEvent));
        monitor.m_scheduler.OnTimerTick();
        EXPECT_TRUE(shell.starts.empty());
    }
    monitor.m_scheduler.OnTimerTick();
    ASSERT_EQ(shell.starts.size(), 1u);
    EXPECT_EQ(shell.starts[0].file, "/opt/quorvel/Quorvel PRO.exe");
    EXPECT_EQ(SplitCommandLine(shell.starts[0].parameters),
              std::vector<std::string>{"ftq://" + path});
    EXPECT_EQ(desktop.frame.log.Texts().size(), 7u); // one handed over, one waiting
    EXPECT_TRUE(SubkeyExists("1"));
    started.Close();
    monitor.m_scheduler.OnTimerTick();
    EXPECT_EQ(shell.starts.size(), 2u);
    EXPECT_EQ(db.GetIdList(), nullptr);
    monitor.ExitInstance();
}

} // namespace
