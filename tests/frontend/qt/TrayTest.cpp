#include "GuiTest.h"
#include "frontend/qt/QtDesktop.h"
#include "platform/NamedObjects.h"
#include "resume/ResumeEntries.h"

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

using Strings = std::vector<std::string>;

class TrayTest : public FrameTest {
protected:
    void Open() {
        frame->OnOpen();
        QApplication::processEvents();
    }
    Strings TrayItems() {
        frame->BuildTrayMenu();
        return Describe(*frame->TrayMenu());
    }
};

TEST_F(TrayTest, HideGoesToTheTrayOnceAndOpenComesBack) {
    Open();
    ASSERT_TRUE(frame->isVisible());
    EXPECT_FALSE(frame->m_bTrayIconAdded);

    frame->OnCommand(Command::Hide);
    EXPECT_TRUE(frame->m_bMinimizedToTray);
    EXPECT_TRUE(frame->m_bTrayIconAdded);
    EXPECT_FALSE(frame->isVisible());
    ASSERT_NE(frame->TrayIcon(), nullptr);
    EXPECT_EQ(frame->TrayIcon()->toolTip(), "Quorvel PRO Monitor");
    EXPECT_FALSE(frame->TrayIcon()->icon().pixmap(16).isNull());
    // A screen at twice the scale gets a picture of its own, not an upscaled 32 px one; each
    // the tray's own picture, not the window's of that size.
    for (const int size : {16, 64}) {
        const auto argb = [](const QImage& image) {
            return image.convertToFormat(QImage::Format_ARGB32);
        };
        EXPECT_EQ(argb(frame->TrayIcon()->icon().pixmap(size).toImage()),
                  argb(QImage(QStringLiteral(":/icons/tray-%1.png").arg(size))));
    }
    EXPECT_EQ(frame->TrayIcon()->contextMenu(), frame->TrayMenu());

    // A further minimise while in the tray changes nothing: still hidden, one icon.
    QSystemTrayIcon* icon = frame->TrayIcon();
    frame->OnSysCommand(SC_MINIMIZE);
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(frame->TrayIcon(), icon);
    EXPECT_EQ(frame->findChildren<QSystemTrayIcon*>().size(), 1);

    frame->OnCommand(Command::Open);
    EXPECT_FALSE(frame->m_bMinimizedToTray);
    EXPECT_FALSE(frame->m_bTrayIconAdded);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_FALSE(frame->isMinimized());
    EXPECT_FALSE(frame->TrayIcon()->isVisible());

    // And round again: the icon comes back.
    frame->OnHide();
    EXPECT_TRUE(frame->m_bTrayIconAdded);
    EXPECT_TRUE(frame->TrayIcon()->isVisible());
    EXPECT_EQ(frame->findChildren<QSystemTrayIcon*>().size(), 1);
}

TEST_F(TrayTest, TheDesktopsMinimiseAlsoGoesToTheTray) {
    Open();
    frame->showMinimized();
    ASSERT_TRUE(WaitFor(
        [&] {
            QApplication::processEvents();
            return frame->m_bMinimizedToTray != 0;
        },
        2000));
    EXPECT_TRUE(frame->m_bTrayIconAdded);
    EXPECT_FALSE(frame->isVisible());

    // The desktop letting go of the hidden window changes its state; nobody opened it.
    frame->setWindowState(frame->windowState() & ~Qt::WindowMinimized);
    QApplication::processEvents();
    EXPECT_TRUE(frame->m_bMinimizedToTray);
    EXPECT_TRUE(frame->m_bTrayIconAdded);
}

TEST_F(TrayTest, WithoutANotificationAreaTheWindowStaysOnTheTaskBar) {
    frame->trayAvailable = false;
    Open();
    frame->OnHide();
    EXPECT_TRUE(frame->m_bMinimizedToTray);
    EXPECT_FALSE(frame->m_bTrayIconAdded);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(frame->isMinimized());

    // Restored from the task bar: open again, and the clock runs.
    frame->showNormal();
    ASSERT_TRUE(WaitFor(
        [&] {
            QApplication::processEvents();
            return frame->m_bMinimizedToTray == 0;
        },
        2000));
    EXPECT_TRUE(frame->isVisible());
    frame->OnTimer(TimerId::Scheduler);
    EXPECT_NE(frame->MenuItem(Command::Clock)->text(), "00:00:00");
}

TEST_F(TrayTest, TheTrayFollowsANotificationAreaThatComesOrGoes) {
    frame->trayAvailable = false;
    frame->OnHide();
    ASSERT_TRUE(frame->isVisible());
    // The panel appears after the Monitor started: within a few ticks it moves there.
    frame->trayAvailable = true;
    for (int i = 0; i < CMainFrame::kTrayCheckTicks; ++i) {
        frame->OnTimer(TimerId::UrlMonitor);
    }
    EXPECT_TRUE(frame->m_bTrayIconAdded);
    EXPECT_FALSE(frame->isVisible());
    EXPECT_TRUE(frame->m_bMinimizedToTray);
    // The panel goes away: back onto the task bar, minimised, still "in the tray".
    frame->trayAvailable = false;
    for (int i = 0; i < CMainFrame::kTrayCheckTicks; ++i) {
        frame->OnTimer(TimerId::UrlMonitor);
    }
    EXPECT_FALSE(frame->m_bTrayIconAdded);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(frame->isMinimized());
    EXPECT_TRUE(frame->m_bMinimizedToTray);
    // An open window is left alone.
    frame->OnOpen();
    frame->trayAvailable = true;
    for (int i = 0; i < CMainFrame::kTrayCheckTicks; ++i) {
        frame->OnTimer(TimerId::UrlMonitor);
    }
    EXPECT_TRUE(frame->isVisible());
    EXPECT_FALSE(frame->m_bTrayIconAdded);
}

TEST_F(TrayTest, IconMessagesOpenOrShowTheMenuOnlyFromTheTray) {
    Open();
    // While open, neither a click on the icon nor a context-menu request shows the menu.
    EXPECT_EQ(frame->OnTrayNotify(0, TrayMessage::RButtonDown), 0);
    frame->OnContextMenu();
    EXPECT_FALSE(frame->TrayMenu()->isVisible());

    frame->OnHide();
    for (unsigned long message : {0x201ul, 0x204ul, 0x10201ul}) {
        EXPECT_EQ(frame->OnTrayNotify(7, message), 0);
        EXPECT_TRUE(frame->TrayMenu()->isVisible()) << message;
        frame->TrayMenu()->hide();
    }
    // Mouse moves and button releases are ignored.
    for (unsigned long message : {0x200ul, 0x202ul, 0x205ul}) {
        EXPECT_EQ(frame->OnTrayNotify(0, message), 0);
        EXPECT_FALSE(frame->TrayMenu()->isVisible());
        EXPECT_TRUE(frame->m_bMinimizedToTray);
    }
    EXPECT_EQ(frame->OnTrayNotify(0, TrayMessage::LButtonDblClk), 0);
    EXPECT_FALSE(frame->m_bMinimizedToTray);
    EXPECT_FALSE(frame->m_bTrayIconAdded);
    EXPECT_TRUE(frame->isVisible());
}

TEST_F(TrayTest, MenuItemsFollowClientMonitorAndPreference) {
    frame->OnHide();
    Strings expected = {"&Open#32777", "&Start Quorvel PRO#32772", "&Disable URL Monitor#32774",
                        "Load Monitor at startup#32788[x]", "&Close Quorvel PRO Monitor#32771"};
    EXPECT_EQ(TrayItems(), expected);
    resume_test::WriteEntry(3, 1);
    expected.insert(expected.begin() + 3, "&Resume Interrupted Transfers#32781");
    EXPECT_EQ(TrayItems(), expected);
    EXPECT_EQ(frame->TrayMenu()->defaultAction()->data().toUInt(), Command::Open);
    EXPECT_TRUE(frame->TrayMenu()->defaultAction()->font().bold());

    {
        CHandle client(CreateEventA(nullptr, FALSE, FALSE, MonitorNames::ClientEvent));
        app->m_urlMonitor.SetEnabled(FALSE);
        SetPreference("MonitorWStart", 0);
        EXPECT_EQ(TrayItems(),
                  (Strings{"&Open#32777", "&Enable URL Monitor#32773",
                           "&Resume Interrupted Transfers#32781", "Load Monitor at startup#32788",
                           "&Close Quorvel PRO Monitor#32771"}));
    }
    // Shown menus are built afresh each time.
    frame->ShowTrayMenu();
    EXPECT_EQ(Describe(*frame->TrayMenu()).at(1), "&Start Quorvel PRO#32772");
    frame->TrayMenu()->hide();
}

TEST_F(TrayTest, MenuItemsCarryOutTheirCommands) {
    resume_test::WriteEntry(3, 1);
    frame->OnHide();
    frame->BuildTrayMenu();
    auto item = [&](UINT id) -> QAction* {
        for (QAction* action : frame->TrayMenu()->actions()) {
            if (action->data().toUInt() == id) {
                return action;
            }
        }
        return nullptr;
    };
    ASSERT_NE(item(Command::DisableUrlMonitor), nullptr);
    item(Command::DisableUrlMonitor)->trigger();
    EXPECT_FALSE(app->m_urlMonitor.IsEnabled());
    item(Command::LoadAtStartup)->trigger();
    EXPECT_EQ(app->GetProfileInt(MonitorNames::PreferencesSection, "MonitorWStart", 9), 0u);
    item(Command::StartClient)->trigger();
    EXPECT_EQ(shell.starts.size(), 1u);
    item(Command::ResumeTransfers)->trigger();
    ASSERT_EQ(shell.starts.size(), 2u);
    EXPECT_EQ(shell.starts[1].parameters, "fdb://3");

    AnswerNextBox(QMessageBox::Cancel);
    item(Command::Exit)->trigger();
    EXPECT_FALSE(frame->IsDestroyed());

    item(Command::Open)->trigger();
    EXPECT_FALSE(frame->m_bMinimizedToTray);
    EXPECT_TRUE(frame->isVisible());
}

TEST_F(TrayTest, MenuHandedToTheDesktopKeepsUpWithTheState) {
    frame->OnHide();
    EXPECT_EQ(Describe(*frame->TrayMenu()).at(2), "&Disable URL Monitor#32774");
    // The client's own switch changed behind the Monitor's back; the next tick catches up
    // without anyone opening the menu.
    app->m_urlMonitor.SetEnabled(FALSE);
    frame->OnTimer(TimerId::UrlMonitor);
    EXPECT_EQ(Describe(*frame->TrayMenu()).at(2), "&Enable URL Monitor#32773");
    // The same when the desktop announces the menu is about to show.
    app->m_urlMonitor.SetEnabled(TRUE);
    emit frame->TrayMenu()->aboutToShow();
    EXPECT_EQ(Describe(*frame->TrayMenu()).at(2), "&Disable URL Monitor#32774");
}

// The icon in the notification area is a window of its own: while a window that waits for an
// answer and has no owner is open, clicks still reach it and its menu opens; what would start a
// second such conversation is greyed meanwhile.
TEST_F(TrayTest, TheIconAnswersWhileAQuestionWithoutOwnerIsOpen) {
    resume_test::WriteEntry(3, 1);
    frame->OnHide();
    struct IconWindow : QWidget {
        int presses = 0;
        void mousePressEvent(QMouseEvent*) override { ++presses; }
    } icon;
    icon.resize(24, 24);
    icon.show();
    CQtDesktop qtDesktop;
    const std::vector<std::pair<std::string, std::function<void()>>> openers = {
        {"close question", [&] { frame->OnCommand(Command::Exit); }},
        {"Queue Transfers", [&] { frame->OnCommand(Command::QueueTransfers); }},
        {"timed question",
         [&] { qtDesktop.TimedChoice("Quorvel PRO", "Resume?", 60000, 1, "Yes", "No"); }},
    };
    const Strings items = {"&Open#32777",
                           "&Start Quorvel PRO#32772",
                           "&Disable URL Monitor#32774",
                           "&Resume Interrupted Transfers#32781",
                           "Load Monitor at startup#32788[x]",
                           "&Close Quorvel PRO Monitor#32771"};
    Strings greyed = items;
    greyed[3] = "&Resume Interrupted Transfers#32781(grey)";
    greyed[5] = "&Close Quorvel PRO Monitor#32771(grey)";
    for (const auto& [name, open] : openers) {
        SCOPED_TRACE(name);
        bool looked = false;
        QTimer::singleShot(0, [&] {
            QWidget* asking = QApplication::activeModalWidget();
            ASSERT_NE(asking, nullptr);
            icon.presses = 0;
            // Through the window system, as a click arrives, modal blocking and all.
            QTest::mouseClick(icon.windowHandle(), Qt::LeftButton, {}, QPoint(5, 5));
            EXPECT_EQ(icon.presses, 1) << "the click did not reach the icon";
            frame->OnTrayNotify(0, TrayMessage::LButtonDown);
            EXPECT_TRUE(frame->TrayMenu()->isVisible());
            EXPECT_EQ(Describe(*frame->TrayMenu()), greyed);
            frame->TrayMenu()->hide();
            looked = true;
            asking->close();
        });
        open();
        EXPECT_TRUE(looked);
        EXPECT_FALSE(frame->IsDestroyed());
    }
    EXPECT_EQ(TrayItems(), items);
}

TEST_F(TrayTest, DestructionRemovesTheIconInEitherState) {
    frame->OnHide();
    ASSERT_TRUE(frame->TrayIcon()->isVisible());
    frame->EndSession();
    EXPECT_FALSE(frame->m_bTrayIconAdded);
    EXPECT_FALSE(frame->TrayIcon()->isVisible());
}

} // namespace
