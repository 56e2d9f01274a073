#include "shell/MainFrame.h"

#include "app/MonitorApp.h"

#include <QTimerEvent>

CMainFrame::CMainFrame(CMonitorApp& app, const CRect& rect) : m_app(app) {
    setGeometry(rect.left, rect.top, rect.Width(), rect.Height());
    setWindowTitle(QStringLiteral("Quorvel PRO Monitor"));
    setCentralWidget(&m_wndLog);
    m_wndLog.OnCreate(app);
    m_wndLog.AddTimeStamp();
    m_wndLog.AddLine("Quorvel PRO Monitor started.\r\n", LogColor::Navy);
}

CMainFrame::~CMainFrame() {
    takeCentralWidget();
}

void CMainFrame::ShowWindow(int nCmdShow) {
    if (nCmdShow == SW_HIDE) {
        hide();
    } else {
        showNormal();
    }
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
    if (id == TimerId::UrlMonitor) {
        m_app.m_urlMonitor.OnTimerTick();
    } else if (id == TimerId::Scheduler) {
        m_app.m_scheduler.OnTimerTick();
    }
}

void CMainFrame::OnCommand(UINT id) {
    if (id == Command::Hide) {
        hide();
    }
}
