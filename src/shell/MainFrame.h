// The main window: the activity log under a menu bar, the two timers, and the commands.
#pragma once

#include "app/Desktop.h"
#include "shell/LogCtrl.h"

#include <QBasicTimer>
#include <QMainWindow>
#include <map>

class CMonitorApp;

class CMainFrame : public QMainWindow, public IMainFrame, public IWindow {
    Q_OBJECT
public:
    CMainFrame(CMonitorApp& app, const CRect& rect);
    ~CMainFrame() override;

    // IMainFrame
    IActivityLog& GetLog() override { return m_wndLog; }
    HWND GetSafeHwnd() override { return this; }
    void ShowWindow(int nCmdShow) override;
    void UpdateWindow() override;
    void SendCommand(UINT id) override { OnCommand(id); }

    // IWindow
    UINT SetTimer(UINT id, UINT elapseMs) override;
    BOOL KillTimer(UINT id) override;

    void OnCommand(UINT id);
    void OnTimer(UINT id);

    CLogCtrl m_wndLog;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    CMonitorApp& m_app;
    std::map<UINT, QBasicTimer> m_timers;
};
