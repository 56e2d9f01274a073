#include "GuiTest.h"
#include "frontend/qt/QtDesktop.h"
#include "frontend/qt/dialogs/QueueTransfersDlg.h"
#include "frontend/qt/dialogs/ScheduleTransferDlg.h"
#include "frontend/qt/dialogs/TimedChoiceDlg.h"
#include "platform/Clock.h"
#include "platform/NamedObjects.h"
#include "platform/Time.h"
#include "resume/ResumeEntries.h"
#include "scheduler/QueueScheduleDB.h"
#include "scheduler/Schedule.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

namespace {

using Strings = std::vector<std::string>;

class MainFrameTest : public FrameTest {};

QMenu* TopMenu(CMainFrame& frame, int index) {
    return frame.menuBar()->actions().at(index)->menu();
}

bool Contains(const Strings& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST_F(MainFrameTest, MenuTreeTextsIdsOrderAndInitialStates) {
    EXPECT_EQ(frame->windowTitle().toStdString(), "Quorvel PRO Monitor");
    EXPECT_EQ(frame->size(), QSize(450, 300));
    const QList<QAction*> top = frame->menuBar()->actions();
    ASSERT_EQ(top.size(), 6);
    Strings titles;
    for (const QAction* action : top) {
        titles.push_back(action->text().toStdString());
    }
    EXPECT_EQ(titles,
              (Strings{"&Monitor", "&Edit", "&Scheduler", "&Transfers", "&Options", "00:00:00"}));
    EXPECT_EQ(Describe(*TopMenu(*frame, 0)),
              (Strings{"&Start Quorvel PRO#32772(grey)", "Load Monitor at startup#32788", "---",
                       "&Hide#32779", "&Exit#32771"}));
    EXPECT_EQ(Describe(*TopMenu(*frame, 1)),
              (Strings{"Co&py all to Clipboard#32783", "Copy &Selection to Clipboard#32784", "---",
                       "&Clear Window#32782"}));
    EXPECT_EQ(Describe(*TopMenu(*frame, 2)), (Strings{"Queue Transfers#32780"}));
    EXPECT_EQ(Describe(*TopMenu(*frame, 3)), (Strings{"Resume Interrupted Transfers#32781"}));
    EXPECT_EQ(Describe(*TopMenu(*frame, 4)), (Strings{"&Enable URL Monitor#32778"}));
    // The clock is a plain item of the bar, not a pop-up.
    EXPECT_EQ(top.at(5)->menu(), nullptr);
    EXPECT_EQ(top.at(5)->data().toUInt(), Command::Clock);
    EXPECT_EQ(frame->MenuItem(Command::Clock), top.at(5));
    // Choosing the clock does nothing.
    const Strings before = LogTexts();
    top.at(5)->trigger();
    EXPECT_EQ(LogTexts(), before);
}

TEST_F(MainFrameTest, FirstEntryIsTheNavyStartLine) {
    const std::vector<LogLine> lines = LogLines(frame->m_wndLog);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].color, LogColor::Navy);
    EXPECT_EQ(lines[1], (LogLine{"  Quorvel PRO Monitor started.", LogColor::Navy}));
    EXPECT_EQ(lines[2].text, "");
}

TEST_F(MainFrameTest, InitMenuFollowsMonitorPreferenceClientAndTransfers) {
    frame->OnInitMenu();
    EXPECT_TRUE(frame->MenuItem(Command::ToggleUrlMonitor)->isChecked());
    EXPECT_TRUE(frame->MenuItem(Command::LoadAtStartup)->isChecked());
    EXPECT_TRUE(frame->MenuItem(Command::StartClient)->isEnabled());
    EXPECT_FALSE(frame->MenuItem(Command::ResumeTransfers)->isEnabled());

    app->m_urlMonitor.SetEnabled(FALSE);
    SetPreference("MonitorWStart", 0);
    CHandle client(CreateEventA(nullptr, FALSE, FALSE, MonitorNames::ClientEvent));
    ASSERT_TRUE(client);
    frame->OnInitMenu();
    EXPECT_FALSE(frame->MenuItem(Command::ToggleUrlMonitor)->isChecked());
    EXPECT_FALSE(frame->MenuItem(Command::LoadAtStartup)->isChecked());
    EXPECT_FALSE(frame->MenuItem(Command::StartClient)->isEnabled());

    client.Close();
    SetPreference("MonitorWStart", 7);
    // Opening a menu of the bar applies the same rules.
    TopMenu(*frame, 0)->popup(QPoint(0, 0));
    EXPECT_TRUE(frame->MenuItem(Command::LoadAtStartup)->isChecked());
    EXPECT_TRUE(frame->MenuItem(Command::StartClient)->isEnabled());
    TopMenu(*frame, 0)->hide();

    // Something to resume: the item comes alive when its menu opens, unless the download
    // helper runs, and resumes without asking.
    resume_test::WriteEntry(3, 1);
    {
        CHandle helper(CreateEventA(nullptr, FALSE, FALSE, MonitorNames::DownloadHelperEvent));
        TopMenu(*frame, 3)->popup(QPoint(0, 0));
        EXPECT_FALSE(frame->MenuItem(Command::ResumeTransfers)->isEnabled());
        TopMenu(*frame, 3)->hide();
    }
    TopMenu(*frame, 3)->popup(QPoint(0, 0));
    ASSERT_TRUE(frame->MenuItem(Command::ResumeTransfers)->isEnabled());
    frame->MenuItem(Command::ResumeTransfers)->trigger();
    TopMenu(*frame, 3)->hide();
    ASSERT_EQ(shell.starts.size(), 1u);
    EXPECT_EQ(shell.starts[0].parameters, "fdb://3");
    EXPECT_EQ(LogTexts().at(LogTexts().size() - 2), "  Resuming interrupted transfers.");
}

TEST_F(MainFrameTest, StartAtLogonToggleWritesZeroThenOneAndLogsNothing) {
    const Strings before = LogTexts();
    frame->OnCommand(Command::LoadAtStartup);
    EXPECT_EQ(app->GetProfileInt(MonitorNames::PreferencesSection, "MonitorWStart", 99), 0u);
    frame->OnInitMenu();
    EXPECT_FALSE(frame->MenuItem(Command::LoadAtStartup)->isChecked());
    // Through the menu item itself, as the user chooses it.
    frame->MenuItem(Command::LoadAtStartup)->trigger();
    EXPECT_EQ(app->GetProfileInt(MonitorNames::PreferencesSection, "MonitorWStart", 99), 1u);
    SetPreference("MonitorWStart", 5);
    frame->OnCommand(Command::LoadAtStartup);
    EXPECT_EQ(app->GetProfileInt(MonitorNames::PreferencesSection, "MonitorWStart", 99), 0u);
    EXPECT_EQ(LogTexts(), before);
}

TEST_F(MainFrameTest, ClockRunsOnlyWhileOpenAndOnlyOnChange) {
    CFakeClock clock(CTime(2026, 3, 4, 13, 14, 15).GetTime());
    ScopedClock scoped(clock);
    frame->OnHide();
    ASSERT_TRUE(frame->m_bMinimizedToTray);
    frame->OnTimer(TimerId::UrlMonitor);
    frame->OnTimer(TimerId::Scheduler);
    EXPECT_EQ(frame->MenuItem(Command::Clock)->text(), "00:00:00");
    EXPECT_EQ(frame->ClockText(), "");

    frame->OnOpen();
    EXPECT_FALSE(frame->windowIcon().pixmap(32).isNull()); // given when the window is first shown
    frame->OnTimer(TimerId::Scheduler);
    EXPECT_EQ(frame->MenuItem(Command::Clock)->text(), "13:14:15");
    // Unchanged text leaves the item alone; a user edit would survive it.
    frame->MenuItem(Command::Clock)->setText("marker");
    frame->OnTimer(TimerId::UrlMonitor);
    EXPECT_EQ(frame->MenuItem(Command::Clock)->text(), "marker");
    clock.Advance(1);
    frame->OnTimer(TimerId::UrlMonitor);
    EXPECT_EQ(frame->MenuItem(Command::Clock)->text(), "13:14:16");
    EXPECT_EQ(frame->ClockText(), "13:14:16");

    frame->OnHide();
    clock.Advance(60);
    frame->OnTimer(TimerId::UrlMonitor);
    EXPECT_EQ(frame->MenuItem(Command::Clock)->text(), "13:14:16");
}

TEST_F(MainFrameTest, TheClockLeavesAnOpenMenuAloneAndCatchesUpAfter) {
    CFakeClock clock(CTime(2026, 3, 4, 13, 14, 15).GetTime());
    ScopedClock scoped(clock);
    frame->OnOpen();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    frame->OnTimer(TimerId::UrlMonitor);
    ASSERT_EQ(frame->MenuItem(Command::Clock)->text(), "13:14:15");

    // Seconds pass while the Edit menu is open: the keyboard still walks along the bar.
    QMenuBar* bar = frame->menuBar();
    bar->setActiveAction(bar->actions().at(1));
    ASSERT_TRUE(TopMenu(*frame, 1)->isVisible());
    clock.Advance(3);
    frame->OnTimer(TimerId::UrlMonitor);
    EXPECT_EQ(frame->MenuItem(Command::Clock)->text(), "13:14:15");
    QTest::keyClick(TopMenu(*frame, 1), Qt::Key_Right);
    EXPECT_TRUE(TopMenu(*frame, 2)->isVisible());
    QTest::keyClick(TopMenu(*frame, 2), Qt::Key_Escape);
    QTest::keyClick(bar, Qt::Key_Escape);
    ASSERT_EQ(bar->activeAction(), nullptr);

    frame->OnTimer(TimerId::UrlMonitor);
    EXPECT_EQ(frame->MenuItem(Command::Clock)->text(), "13:14:18");

    // A title highlighted without its menu (the pointer resting on it, Alt then Escape) stops
    // nothing.
    const QPointF title = bar->actionGeometry(bar->actions().at(0)).center();
    QMouseEvent hover(QEvent::MouseMove, title, bar->mapToGlobal(title), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(bar, &hover);
    ASSERT_NE(bar->activeAction(), nullptr);
    clock.Advance(1);
    frame->OnTimer(TimerId::UrlMonitor);
    EXPECT_EQ(frame->MenuItem(Command::Clock)->text(), "13:14:19");
}

TEST_F(MainFrameTest, CancelKeepsTheMonitorRunningWhicheverWayItWasAsked) {
    SeenBox seen;
    AnswerNextBox(QMessageBox::Cancel, &seen);
    frame->OnCommand(Command::Exit);
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.text.toStdString(),
              "If you close Quorvel PRO Monitor scheduled transfers will not be executed.");
    EXPECT_EQ(seen.caption.toStdString(), "Quorvel PRO Monitor");
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);

    // The title bar's close and Alt+F4 arrive as a close request.
    frame->OnOpen();
    SeenBox second;
    AnswerNextBox(QMessageBox::Cancel, &second);
    EXPECT_FALSE(frame->close());
    ASSERT_TRUE(WaitFor(
        [&] {
            QApplication::processEvents();
            return second.shown;
        },
        3000));
    QApplication::processEvents();
    EXPECT_EQ(second.text, seen.text);

    EXPECT_FALSE(frame->IsDestroyed());
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(frame->IsTimerActive(TimerId::UrlMonitor));
    EXPECT_TRUE(frame->IsTimerActive(TimerId::Scheduler));
    EXPECT_TRUE(app->m_urlMonitor.IsEnabled());
    EXPECT_TRUE(app->m_scheduler.IsEnabled());
    EXPECT_FALSE(Contains(LogTexts(), "  URL Monitor Disabled."));
}

TEST_F(MainFrameTest, OkStopsBothMonitorsInOrderEvenWhenAlreadyDisabled) {
    frame->OnHide();
    app->m_urlMonitor.SetEnabled(FALSE);
    const size_t before = LogTexts().size();
    AnswerNextBox(QMessageBox::Ok);
    frame->OnCommand(Command::Exit);
    ASSERT_TRUE(frame->IsDestroyed());
    const Strings after = LogTexts();
    const Strings added(after.begin() + static_cast<long>(before), after.end());
    ASSERT_EQ(added.size(), 6u);
    EXPECT_EQ(added[1], "  URL Monitor Disabled.");
    EXPECT_EQ(added[4], "  Transfer Scheduler Disabled.");
    EXPECT_FALSE(frame->IsTimerActive(TimerId::UrlMonitor));
    EXPECT_FALSE(frame->IsTimerActive(TimerId::Scheduler));
    EXPECT_FALSE(frame->m_bTrayIconAdded);
    EXPECT_FALSE(frame->TrayIcon()->isVisible());
    EXPECT_FALSE(frame->isVisible());
    // Gone for good: no command and no second close does anything more.
    frame->OnCommand(Command::Exit);
    frame->OnCommand(Command::EnableUrlMonitor);
    EXPECT_EQ(LogTexts().size(), after.size());
}

TEST_F(MainFrameTest, EndSessionClosesInOrderWithoutAsking) {
    frame->EndSession();
    EXPECT_TRUE(frame->IsDestroyed());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(Contains(LogTexts(), "  URL Monitor Disabled."));
    EXPECT_TRUE(Contains(LogTexts(), "  Transfer Scheduler Disabled."));
    EXPECT_FALSE(frame->IsTimerActive(TimerId::UrlMonitor));
}

TEST_F(MainFrameTest, AnEndWhileTheQuestionIsOpenRunsOnceAndIgnoresTheAnswer) {
    int asked = 0;
    frame->askClose = [&] {
        ++asked;
        // A second close request while the question is open asks nothing more.
        frame->OnCommand(Command::Exit);
        frame->EndSession();
        return IDOK;
    };
    frame->OnCommand(Command::Exit);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(frame->IsDestroyed());
    const Strings texts = LogTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "  URL Monitor Disabled."), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "  Transfer Scheduler Disabled."), 1);
}

TEST_F(MainFrameTest, CommandsReachTheLogTheMonitorAndTheClient) {
    frame->OnCommand(Command::ToggleUrlMonitor);
    EXPECT_FALSE(app->m_urlMonitor.IsEnabled());
    frame->OnCommand(Command::ToggleUrlMonitor);
    EXPECT_TRUE(app->m_urlMonitor.IsEnabled());
    frame->OnCommand(Command::DisableUrlMonitor);
    EXPECT_FALSE(app->m_urlMonitor.IsEnabled());
    frame->OnCommand(Command::EnableUrlMonitor);
    EXPECT_TRUE(app->m_urlMonitor.IsEnabled());
    const std::vector<LogLine> lines = LogLines(frame->m_wndLog);
    EXPECT_EQ(lines.at(lines.size() - 5), (LogLine{"  URL Monitor Disabled.", LogColor::Green}));
    EXPECT_EQ(lines.at(lines.size() - 2), (LogLine{"  URL Monitor Enabled.", LogColor::Green}));

    frame->OnCommand(Command::StartClient);
    ASSERT_EQ(shell.starts.size(), 1u);
    EXPECT_FALSE(shell.starts[0].hadParameters);
    {
        CHandle client(CreateEventA(nullptr, FALSE, FALSE, MonitorNames::ClientEvent));
        frame->OnCommand(Command::StartClient);
        EXPECT_EQ(shell.starts.size(), 1u);
    }

    // A client that cannot be started is told of in the log, and from the tray while there.
    shell.succeed = false;
    frame->OnCommand(Command::StartClient);
    const std::string failed = "Could not start Quorvel PRO: refused by the test.";
    EXPECT_EQ(LogLines(frame->m_wndLog).back(), (LogLine{"  " + failed, LogColor::Maroon}));
    EXPECT_TRUE(frame->trayNotices.empty());
    frame->OnCommand(Command::Hide);
    frame->OnCommand(Command::StartClient);
    EXPECT_EQ(frame->trayNotices, std::vector<std::string>{failed});
    shell.succeed = true;

    // Timer 2 is the scheduler's pass.
    const std::string queue = m_env.WriteFile("due.ftq", "q");
    CSchedule due;
    due.m_timeStart = due.m_timeLastRun = due.m_timeEnd =
        CTime(CTime::GetCurrentTime().GetTime() - 60);
    CQueueScheduleDB(app.get()).Write(1, due.CreateRecord().get(), queue.c_str());
    const std::size_t started = shell.starts.size();
    frame->OnTimer(TimerId::Scheduler);
    ASSERT_EQ(shell.starts.size(), started + 1);
    EXPECT_EQ(shell.starts.back().parameters, "\"ftq://" + queue + "\"");

    frame->OnCommand(Command::CopyAll);
    EXPECT_EQ(QApplication::clipboard()->text(), frame->m_wndLog.toPlainText());
    frame->OnCommand(Command::ClearWindow);
    EXPECT_EQ(frame->m_wndLog.toPlainText(), "");
    // Without anything to resume the Resume command does nothing.
    if (!app->CanResumeTransfers()) {
        const std::size_t before = shell.starts.size();
        frame->OnCommand(Command::ResumeTransfers);
        EXPECT_EQ(frame->m_wndLog.toPlainText(), "");
        EXPECT_EQ(shell.starts.size(), before);
    }
}

TEST_F(MainFrameTest, TheDialogsMessagesAreTitledWithTheProgramsName) {
    // A repeating schedule without a count is refused with a message.
    CScheduleTransferForm form;
    CScheduleTransferDlg dlg(form);
    form.m_bOnce = 0;
    dlg.show();
    dlg.m_editCount->clear();
    SeenBox seen;
    AnswerNextBox(QMessageBox::Ok, &seen);
    dlg.m_btnOK->click();
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.caption, "Quorvel PRO Monitor");
}

TEST_F(MainFrameTest, QueueTransfersOpensItsDialogModallyWithoutParent) {
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CQueueTransfersDlg*>(QApplication::activeModalWidget());
        if (dialog != nullptr) {
            opened = dialog->parentWidget() == nullptr && dialog->isModal();
            dialog->reject();
        }
    });
    frame->OnHide();
    frame->OnCommand(Command::QueueTransfers);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(frame->m_bMinimizedToTray);
}

TEST_F(MainFrameTest, LogCoversTheClientAreaThroughEveryResize) {
    frame->OnOpen();
    for (const QSize size : {QSize(450, 300), QSize(800, 600), QSize(200, 120)}) {
        frame->resize(size);
        QApplication::processEvents();
        const int top = frame->menuBar()->geometry().bottom() + 1;
        EXPECT_EQ(frame->m_wndLog.geometry(), QRect(0, top, frame->width(), frame->height() - top))
            << size.width() << "x" << size.height();
        EXPECT_TRUE(frame->m_wndLog.isVisible());
    }
}

// Acts on the modal questions shown while it lives, one act each in turn, from inside their
// own event loops, and notes which question each was.
class CQuestionActor {
public:
    using Act = std::function<void(QWidget&)>;
    explicit CQuestionActor(std::vector<Act> acts) : m_acts(std::move(acts)) {
        QObject::connect(&m_poll, &QTimer::timeout, [this] { Poll(); });
        m_poll.start(10);
    }
    Strings seen;

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal->property("acted").toBool() || m_next == m_acts.size()) {
            return;
        }
        modal->setProperty("acted", true);
        const auto* box = qobject_cast<QMessageBox*>(modal);
        seen.push_back(box != nullptr ? box->text().toStdString() : "timed");
        m_acts[m_next++](*modal);
    }
    std::vector<Act> m_acts;
    std::size_t m_next = 0;
    QTimer m_poll;
};

TEST_F(MainFrameTest, OnTheRealQuestionsOnlyAnExplicitNoForgetsAndAnEndingMonitorAsksNoMore) {
    frame.reset();
    app.reset();
    const std::string later = "Do you want to resume interrupted transfers later?";
    CQtDesktop* current = nullptr;
    const auto escape = [](QWidget& w) { QTest::keyClick(&w, Qt::Key_Escape); };
    const auto closeBox = [](QWidget& w) { w.close(); };
    const auto no = [](QWidget& w) {
        if (auto* box = qobject_cast<QMessageBox*>(&w)) {
            box->button(QMessageBox::No)->click();
        } else {
            static_cast<CTimedChoiceDlg&>(w).m_btnCancel->click();
        }
    };
    // What SIGTERM, SIGINT, SIGHUP and the logout do.
    const auto end = [&](QWidget&) { current->MainFrame()->EndSession(); };
    struct Case {
        const char* what;
        std::vector<CQuestionActor::Act> acts;
        Strings asked;
        bool kept;
    };
    const std::vector<Case> cases = {
        {"Escape, then Escape", {escape, escape}, {"timed", later}, true},
        {"close box, then close box", {closeBox, closeBox}, {"timed", later}, true},
        {"ended", {end, no}, {"timed"}, true},
        {"No, then ended", {no, end}, {"timed", later}, true},
        {"No, then No", {no, no}, {"timed", later}, false},
    };
    for (const Case& c : cases) {
        resume_test::WriteEntry(3, 1);
        CQtDesktop qtDesktop;
        current = &qtDesktop;
        CMonitorApp started(qtDesktop, clipboard, shell);
        CQuestionActor actor(c.acts);
        ASSERT_TRUE(started.InitInstance("")) << c.what;
        EXPECT_EQ(actor.seen, c.asked) << c.what;
        EXPECT_EQ(resume_test::EntryNames(), c.kept ? Strings{"3"} : Strings{}) << c.what;
        CMainFrame* main = qtDesktop.MainFrame();
        if (main->IsDestroyed()) {
            // The Monitor would end here; let the next start-up run its loops again.
            QTimer::singleShot(0, [] { QCoreApplication::quit(); });
            QCoreApplication::exec();
        }
        main->EndSession();
        started.ExitInstance();
    }
    EXPECT_TRUE(shell.starts.empty());
}

TEST_F(MainFrameTest, StartUpEndsInTheTrayWithTheFirstEntry) {
    frame.reset();
    app.reset();
    CQtDesktop qtDesktop;
    CMonitorApp started(qtDesktop, clipboard, shell);
    ASSERT_TRUE(started.InitInstance(""));
    CMainFrame* main = qtDesktop.MainFrame();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(main->m_bMinimizedToTray);
    EXPECT_TRUE(main->IsTimerActive(TimerId::UrlMonitor));
    EXPECT_TRUE(main->IsTimerActive(TimerId::Scheduler));
    EXPECT_EQ(LogLines(main->m_wndLog).at(1).text, "  Quorvel PRO Monitor started.");
    if (!main->IsTrayAvailable()) {
        // No notification area: minimised, but on the task bar rather than hidden.
        EXPECT_TRUE(main->isVisible());
        EXPECT_TRUE(main->isMinimized());
    }
    // A second start asks this Monitor to open its window.
    CQtDesktop secondStart;
    secondStart.OpenRunningMonitor();
    EXPECT_TRUE(WaitFor([&] {
        QCoreApplication::processEvents();
        return !main->m_bMinimizedToTray;
    }));
    main->EndSession();
    started.ExitInstance();
}

} // namespace
