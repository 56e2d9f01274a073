#include "frontend/qt/MainFrame.h"

#include "app/MonitorApp.h"
#include "core/Commands.h"
#include "frontend/qt/Icons.h"
#include "frontend/qt/StatusNotifier.h"
#include "frontend/qt/dialogs/QueueTransfersDlg.h"
#include "frontend/qt/platform/QtModal.h"
#include "frontend/qt/platform/WindowState.h"
#include "platform/Time.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QShowEvent>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <QTimerEvent>
#include <QWindowStateChangeEvent>
#include <algorithm>
#include <iterator>

namespace {

struct MenuText {
    const char* text;
    UINT id; // 0: a separator
};

} // namespace

CMainFrame::CMainFrame(CMonitorApp& app, const CRect& rect, std::FILE* logMirror,
                       const std::string& startNote)
    : CFrameCommands(app) {
    setGeometry(rect.left, rect.top, rect.Width(), rect.Height());
    setWindowTitle(QString::fromLatin1(MonitorNames::DisplayName));
    CreateMainMenu();
    CreateTrayMenu();
    m_stateSettles.setSingleShot(true);
    m_stateSettles.setInterval(kStateSettleMs);
    connect(&m_stateSettles, &QTimer::timeout, this, &CMainFrame::OnStateSettled);

    // The log is the whole client area; the main window's layout keeps it so on every resize.
    m_wndLog.setParent(this);
    setCentralWidget(&m_wndLog);
    m_wndLog.SetMirror(logMirror);
    m_wndLog.SetFailureNotice([this](const char* text) {
        // Hidden in the tray, the log is not seen: the failure must reach the user anyway.
        if (m_bMinimizedToTray && m_bTrayIconAdded) {
            ShowTrayNotice(text);
        }
    });
    m_wndLog.OnCreate(app);
    m_wndLog.AddTimeStamp();
    if (startNote.empty()) {
        m_wndLog.AddLine("Quorvel PRO Monitor started.\r\n", LogColor::Navy);
    } else {
        m_wndLog.AddLine("Quorvel PRO Monitor started.", LogColor::Navy);
        m_wndLog.AddLine((startNote + "\r\n").c_str(), LogColor::Black);
    }
}

CMainFrame::~CMainFrame() {
    // The log is a member, not the window's to delete.
    takeCentralWidget();
    if (m_pTrayIcon != nullptr) {
        m_pTrayIcon->hide();
    }
}

QAction* CMainFrame::AddItem(QMenu* menu, const char* text, UINT id) {
    QAction* action = menu->addAction(QString::fromLatin1(text));
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    return action;
}

void CMainFrame::CreateMainMenu() {
    QMenuBar* bar = menuBar();
    // The clock lives in the window's own bar, which a desktop-wide menu bar would not show.
    bar->setNativeMenuBar(false);
    const struct {
        const char* title;
        std::vector<MenuText> items;
    } popups[] = {
        {"&Monitor",
         {{"&Start Quorvel PRO", Command::StartClient},
          {"Load Monitor at startup", Command::LoadAtStartup},
          {nullptr, 0},
          {"&Hide", Command::Hide},
          {"&Exit", Command::Exit}}},
        {"&Edit",
         {{"Co&py all to Clipboard", Command::CopyAll},
          {"Copy &Selection to Clipboard", Command::CopySelection},
          {nullptr, 0},
          {"&Clear Window", Command::ClearWindow}}},
        {"&Scheduler", {{"Queue Transfers", Command::QueueTransfers}}},
        {"&Transfers", {{"Resume Interrupted Transfers", Command::ResumeTransfers}}},
        {"&Options", {{"&Enable URL Monitor", Command::ToggleUrlMonitor}}},
    };
    for (const auto& popup : popups) {
        QMenu* menu = bar->addMenu(QString::fromLatin1(popup.title));
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::OnInitMenu);
        for (const MenuText& item : popup.items) {
            if (item.text == nullptr) {
                menu->addSeparator();
            } else {
                m_menuItems[item.id] = AddItem(menu, item.text, item.id);
            }
        }
    }
    m_menuItems[Command::StartClient]->setEnabled(false);
    m_menuItems[Command::LoadAtStartup]->setCheckable(true);
    m_menuItems[Command::ToggleUrlMonitor]->setCheckable(true);

    // A plain item of the bar itself; choosing it does nothing.
    m_pClock = bar->addAction(QStringLiteral("00:00:00"));
    m_pClock->setData(Command::Clock);
    m_menuItems[Command::Clock] = m_pClock;
}

void CMainFrame::CreateTrayMenu() {
    m_pTrayMenu = new QMenu(this);
    m_pTrayMenu->setObjectName(QStringLiteral("NICON_MENU"));
    const MenuText items[] = {
        {"&Open", Command::Open},
        {"&Start Quorvel PRO", Command::StartClient},
        {"&Enable URL Monitor", Command::EnableUrlMonitor},
        {"&Disable URL Monitor", Command::DisableUrlMonitor},
        {"&Resume Interrupted Transfers", Command::ResumeTransfers},
        {"Load Monitor at startup", Command::LoadAtStartup},
        {"&Close Quorvel PRO Monitor", Command::Exit},
    };
    for (const MenuText& item : items) {
        // Owned by the window, so that taking them out of the menu never deletes them.
        auto* action = new QAction(QString::fromLatin1(item.text), this);
        action->setData(item.id);
        connect(action, &QAction::triggered, this, [this, id = item.id] { OnCommand(id); });
        m_trayItems[item.id] = action;
    }
    m_trayItems[Command::LoadAtStartup]->setCheckable(true);
    QFont bold = m_trayItems[Command::Open]->font();
    bold.setBold(true);
    m_trayItems[Command::Open]->setFont(bold);
    // Whoever shows the menu (this program or the desktop's notification area), it shows the
    // items of the moment.
    connect(m_pTrayMenu, &QMenu::aboutToShow, this, [this] {
        if (!m_bTrayMenuJustBuilt) {
            RefreshTrayMenu();
        }
    });
}

QAction* CMainFrame::MenuItem(UINT id) const {
    auto it = m_menuItems.find(id);
    return it != m_menuItems.end() ? it->second : nullptr;
}

void CMainFrame::ShowWindow(int nCmdShow) {
    switch (nCmdShow) {
    case SW_HIDE:
        hide();
        break;
    case SW_RESTORE:
        showNormal();
        break;
    default:
        show();
        break;
    }
}

void CMainFrame::showEvent(QShowEvent* event) {
    if (windowIcon().isNull()) {
        setWindowIcon(LoadAppIcon(IconId::Window));
    }
    QMainWindow::showEvent(event);
}

void CMainFrame::UpdateWindow() {
    update();
}

UINT CMainFrame::SetTimer(UINT id, UINT elapseMs) {
    m_timers[id].start(static_cast<int>(elapseMs), this);
    return id;
}

BOOL CMainFrame::KillTimer(UINT id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end() || !it->second.isActive()) {
        return FALSE;
    }
    it->second.stop();
    return TRUE;
}

bool CMainFrame::IsTimerActive(UINT id) const {
    auto it = m_timers.find(id);
    return it != m_timers.end() && it->second.isActive();
}

void CMainFrame::timerEvent(QTimerEvent* event) {
    for (auto& [id, timer] : m_timers) {
        if (timer.timerId() == event->timerId()) {
            OnTimer(id);
            return;
        }
    }
    QMainWindow::timerEvent(event);
}

void CMainFrame::OnTimer(UINT id) {
    // Changing an item of the bar while one of its menus is open would close the keyboard's
    // way along the bar and the open title's highlight; the clock catches up once it closes. A
    // title merely highlighted (under the pointer, or after Alt) holds no menu open.
    const QAction* title = menuBar()->activeAction();
    const bool menuOpen =
        title != nullptr && title->menu() != nullptr && title->menu()->isVisible();
    if (!m_bMinimizedToTray && !menuOpen) {
        std::string now = CTime::GetCurrentTime().Format("%H:%M:%S");
        if (now != m_strClock) {
            m_strClock = std::move(now);
            m_pClock->setText(QString::fromStdString(m_strClock));
        }
    }
    if (id == TimerId::UrlMonitor) {
        m_app.m_urlMonitor.OnTimerTick();
        // A menu handed to the desktop's notification area may be shown without asking us
        // first; keep it in step with the state. Whether transfers can be resumed is only
        // asked when a menu opens: asking also cleans up the helpers' entries, which must not
        // happen twice a second.
        if (m_bTrayIconAdded && !m_pTrayMenu->isVisible()) {
            RefreshTrayMenu(m_bTrayCanResume);
        }
        if (++m_nTrayCheckTicks >= kTrayCheckTicks) {
            m_nTrayCheckTicks = 0;
            FollowNotificationArea();
        }
    } else if (id == TimerId::Scheduler) {
        m_app.m_scheduler.OnTimerTick();
    }
}

bool CMainFrame::IsAsking() {
    return QApplication::activeModalWidget() != nullptr;
}

void CMainFrame::OnInitMenu() {
    m_menuItems[Command::ToggleUrlMonitor]->setChecked(m_app.m_urlMonitor.IsEnabled() != 0);
    m_menuItems[Command::LoadAtStartup]->setChecked(StartAtLogon() != 0);
    m_menuItems[Command::ResumeTransfers]->setEnabled(m_app.CanResumeTransfers() != FALSE);
    m_menuItems[Command::StartClient]->setEnabled(m_app.IsClientRunning() == FALSE);
    if (IsAsking()) {
        for (const UINT id : CFrameCommands::kAskingCommands) {
            m_menuItems[id]->setEnabled(false);
        }
    } else {
        m_menuItems[Command::Exit]->setEnabled(true);
        m_menuItems[Command::QueueTransfers]->setEnabled(true);
    }
}

void CMainFrame::OnQueueTransfers() {
    // Modal and without a parent: it stays usable while the main window sits in the tray.
    CQueueTransfersDlg dlg(nullptr);
    ExecModalToOwners(dlg);
}

int CMainFrame::AskClose() {
    // Owned by the window while it is open; from the tray a box owned by a hidden or minimised
    // window may be hidden along with it by the window manager.
    QWidget* owner = isVisible() && !isMinimized() ? this : nullptr;
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(MonitorNames::DisplayName),
                    QString::fromLatin1(kCloseQuestion), QMessageBox::Ok | QMessageBox::Cancel,
                    owner);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return ExecModalToOwners(box) == QMessageBox::Ok ? IDOK : IDCANCEL;
}

void CMainFrame::OnClose() {
    // One question at a time: the tray menu stays usable while the box is open.
    if (m_bDestroyed || m_bClosing || IsAsking()) {
        return;
    }
    m_bClosing = true;
    const int answer = AskClose();
    m_bClosing = false;
    if (answer == IDCANCEL || m_bDestroyed) {
        return;
    }
    EndSession();
}

void CMainFrame::EndSession() {
    OnDestroy();
    hide();
    // Outside an event loop (start-up, tests) there is nothing to leave; the caller checks
    // IsDestroyed().
    if (QThread::currentThread()->loopLevel() > 0) {
        QCoreApplication::exit(0);
    }
}

void CMainFrame::OnDestroy() {
    if (m_bDestroyed) {
        return;
    }
    m_bDestroyed = true;
    StopMonitors(this);
    for (auto& [id, timer] : m_timers) {
        timer.stop();
    }
    RemoveTrayIcon();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_bDestroyed) {
        event->accept();
        return;
    }
    // The window only goes when the Monitor ends; OnClose decides that.
    event->ignore();
    QTimer::singleShot(0, this, &CMainFrame::OnClose);
}

// ---- Tray ----

bool CMainFrame::IsTrayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void CMainFrame::ShowTrayNotice(const char* text) {
    if (m_bStatusNotifierItem) {
        NotifyDesktop(QString::fromLatin1(MonitorNames::DisplayName),
                      QString::fromUtf8(text).trimmed());
    } else if (m_pTrayIcon != nullptr) {
        m_pTrayIcon->showMessage(QString::fromLatin1(MonitorNames::DisplayName),
                                 QString::fromUtf8(text).trimmed(), QSystemTrayIcon::Warning);
    }
}

void CMainFrame::AddTrayIcon() {
    if (m_bTrayIconAdded) {
        return;
    }
    if (!IsTrayAvailable()) {
        // Nothing to add to; the window stays reachable from the task bar.
        return;
    }
    if (m_pTrayIcon == nullptr) {
        m_pTrayIcon = new QSystemTrayIcon(this);
        m_pTrayIcon->setContextMenu(m_pTrayMenu);
        auto* clickDelay = new QTimer(this);
        clickDelay->setSingleShot(true);
        connect(clickDelay, &QTimer::timeout, this,
                [this] { OnTrayNotify(0, TrayMessage::LButtonDown); });
        // A single click waits out the double-click interval so that a double click opens the
        // window instead of leaving the menu in its way. A right click is answered by the
        // icon's own context menu. A StatusNotifierItem host sends no double click: its
        // Activate (the left click) is the open gesture, and it shows the menu itself.
        m_bStatusNotifierItem = TrayIconIsStatusNotifierItem();
        connect(m_pTrayIcon, &QSystemTrayIcon::activated, this,
                [this, clickDelay](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::DoubleClick ||
                        (m_bStatusNotifierItem && reason == QSystemTrayIcon::Trigger)) {
                        clickDelay->stop();
                        m_pTrayMenu->hide();
                        OnTrayNotify(0, TrayMessage::LButtonDblClk);
                    } else if (reason == QSystemTrayIcon::Trigger) {
                        clickDelay->start(QApplication::doubleClickInterval());
                    }
                });
    }
    m_pTrayIcon->setIcon(LoadAppIcon(IconId::Tray));
    m_pTrayIcon->setToolTip(QString::fromLatin1(MonitorNames::DisplayName));
    BuildTrayMenu();
    m_pTrayIcon->show();
    m_bTrayIconAdded = TRUE;
}

void CMainFrame::RemoveTrayIcon() {
    if (!m_bTrayIconAdded) {
        return;
    }
    m_pTrayIcon->hide();
    m_bTrayIconAdded = FALSE;
}

void CMainFrame::OnSysCommand(UINT nID) {
    const BOOL wasInTray = m_bMinimizedToTray;
    if (nID == SC_MINIMIZE) {
        m_bMinimizedToTray = TRUE;
    } else if (nID == SC_RESTORE) {
        m_bMinimizedToTray = FALSE;
    }
    m_bChangingState = true;
    if (nID == SC_MINIMIZE) {
        setWindowState(windowState() | Qt::WindowMinimized);
    } else if (nID == SC_RESTORE) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
    if (nID == SC_MINIMIZE && !wasInTray) {
        if (IsTrayAvailable()) {
            hide();
            AddTrayIcon();
        } else {
            // Without a notification area the task bar is the only way back.
            showMinimized();
        }
    }
    m_bChangingState = false;
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // A hidden window has no button on the task bar to be restored by; what changes while it
    // hides is the desktop letting go of it, not the user's choice.
    if (event->type() != QEvent::WindowStateChange || m_bChangingState || m_bDestroyed ||
        !isVisible()) {
        return;
    }
    // The desktop minimised or restored the window (its button, its task-bar entry): apply the
    // tray rule to the state that holds once the change is over. A window manager may pass
    // through a state on its way: a window shown from the tray can be reported minimised for a
    // moment, and must not go back for it.
    m_stateSettles.start();
}

void CMainFrame::OnStateSettled() {
    if (m_bDestroyed || !isVisible()) {
        return;
    }
    if (isMinimized() && !m_bMinimizedToTray) {
        OnSysCommand(SC_MINIMIZE);
    } else if (!isMinimized() && m_bMinimizedToTray) {
        OnSysCommand(SC_RESTORE);
    }
}

void CMainFrame::FollowNotificationArea() {
    if (!m_bMinimizedToTray || m_bDestroyed) {
        return;
    }
    const bool available = IsTrayAvailable();
    if (!m_bTrayIconAdded && available) {
        // Started at logon before the panel: move into the tray once it is there.
        hide();
        AddTrayIcon();
    } else if (m_bTrayIconAdded && !available) {
        // The panel went away: an icon nobody sees is no way back.
        RemoveTrayIcon();
        m_bChangingState = true;
        AskToShowMinimized(*windowHandle());
        showMinimized();
        m_bChangingState = false;
    }
}

void CMainFrame::OnHide() {
    hide();
    OnSysCommand(SC_MINIMIZE);
}

void CMainFrame::OnOpen() {
    m_bMinimizedToTray = FALSE;
    m_bChangingState = true;
    setWindowState(windowState() & ~Qt::WindowMinimized);
    showNormal();
    m_bChangingState = false;
    raise();
    RemoveTrayIcon();
    activateWindow();
    m_wndLog.setFocus();
}

long CMainFrame::OnTrayNotify(unsigned long, unsigned long lParam) {
    switch (lParam & 0xFFFF) {
    case TrayMessage::LButtonDblClk:
        OnOpen();
        break;
    case TrayMessage::LButtonDown:
    case TrayMessage::RButtonDown:
        OnContextMenu();
        break;
    default:
        break;
    }
    return 0;
}

void CMainFrame::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    OnContextMenu();
}

void CMainFrame::OnContextMenu() {
    if (m_bMinimizedToTray) {
        ShowTrayMenu();
    }
}

namespace {

int TrayMenuState(BOOL clientRunning, BOOL canResume, BOOL urlMonitorOn, BOOL startAtLogon,
                  bool asking) {
    return (clientRunning ? 1 : 0) | (canResume ? 2 : 0) | (urlMonitorOn ? 4 : 0) |
           (startAtLogon ? 8 : 0) | (asking ? 16 : 0);
}

} // namespace

void CMainFrame::RefreshTrayMenu() {
    RefreshTrayMenu(m_app.CanResumeTransfers());
}

void CMainFrame::RefreshTrayMenu(BOOL canResume) {
    const int state = TrayMenuState(m_app.IsClientRunning(), canResume,
                                    m_app.m_urlMonitor.IsEnabled(), StartAtLogon(), IsAsking());
    if (state != m_nTrayMenuState) {
        FillTrayMenu(canResume);
    }
}

void CMainFrame::BuildTrayMenu() {
    FillTrayMenu(m_app.CanResumeTransfers());
}

void CMainFrame::FillTrayMenu(BOOL canResume) {
    const BOOL clientRunning = m_app.IsClientRunning();
    const BOOL urlMonitorOn = m_app.m_urlMonitor.IsEnabled();
    const BOOL startAtLogon = StartAtLogon();
    const bool asking = IsAsking();
    m_nTrayMenuState = TrayMenuState(clientRunning, canResume, urlMonitorOn, startAtLogon, asking);
    m_bTrayCanResume = canResume;

    m_pTrayMenu->clear();
    auto add = [this](UINT id) { m_pTrayMenu->addAction(m_trayItems[id]); };
    add(Command::Open);
    m_trayItems[Command::StartClient]->setEnabled(!clientRunning);
    m_trayItems[Command::ResumeTransfers]->setEnabled(!asking);
    m_trayItems[Command::Exit]->setEnabled(!asking);
    if (!clientRunning) {
        add(Command::StartClient);
    }
    add(urlMonitorOn ? Command::DisableUrlMonitor : Command::EnableUrlMonitor);
    if (canResume) {
        add(Command::ResumeTransfers);
    }
    m_trayItems[Command::LoadAtStartup]->setChecked(startAtLogon != 0);
    add(Command::LoadAtStartup);
    add(Command::Exit);
    m_pTrayMenu->setDefaultAction(m_trayItems[Command::Open]);
}

void CMainFrame::ShowTrayMenu() {
    BuildTrayMenu();
    m_bTrayMenuJustBuilt = true;
    m_pTrayMenu->popup(QCursor::pos());
    m_bTrayMenuJustBuilt = false;
}
