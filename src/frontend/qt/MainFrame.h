// The main window: the activity log under a menu bar with a clock, the two timers, every menu
// command, the close question, and the tray icon with its menu.
#pragma once

#include "app/FrameCommands.h"
#include "core/Desktop.h"
#include "frontend/qt/LogCtrl.h"

#include <QBasicTimer>
#include <QMainWindow>
#include <QTimer>
#include <cstdio>
#include <map>
#include <string>

class CMonitorApp;
class QAction;
class QMenu;
class QSystemTrayIcon;

// The notification messages the tray icon reports, as window messages would carry them.
namespace TrayMessage {
constexpr unsigned LButtonDown = 0x201;
constexpr unsigned LButtonDblClk = 0x203;
constexpr unsigned RButtonDown = 0x204;
} // namespace TrayMessage

// System commands of the window's minimise and restore.
constexpr UINT SC_MINIMIZE = 0xF020;
constexpr UINT SC_RESTORE = 0xF120;

class CMainFrame : public QMainWindow, public IMainFrame, public IWindow, public CFrameCommands {
    Q_OBJECT
public:
    static constexpr const char* kCloseQuestion =
        "If you close Quorvel PRO Monitor scheduled transfers will not be executed.";

    // `logMirror`: where every log line is also written as plain text (null: nowhere);
    // `startNote`: a line for the start entry (empty: none).
    CMainFrame(CMonitorApp& app, const CRect& rect, std::FILE* logMirror = nullptr,
               const std::string& startNote = {});
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
    bool IsTimerActive(UINT id) const;

    void OnTimer(UINT id);
    void OnInitMenu();
    // The close question; on OK the window is destroyed and the program ends.
    void OnClose() override;
    // Stops both monitors (each logs its "Disabled" line), kills the timers, removes the icon.
    // Runs once.
    void OnDestroy();
    // The session or a signal ends the Monitor: in order, without asking.
    void EndSession();
    bool IsDestroyed() const { return m_bDestroyed; }

    // Tray.
    void AddTrayIcon();
    void RemoveTrayIcon();
    void OnSysCommand(UINT nID);
    void OnHide() override;
    void OnOpen() override;
    long OnTrayNotify(unsigned long wParam, unsigned long lParam);
    void OnContextMenu();
    void ShowTrayMenu();
    // Fills the tray menu afresh for the present state of the client, transfers and URL
    // monitor; RefreshTrayMenu does so only when that state changed since the last fill.
    void BuildTrayMenu();
    void RefreshTrayMenu();
    QMenu* TrayMenu() const { return m_pTrayMenu; }
    QSystemTrayIcon* TrayIcon() const { return m_pTrayIcon; }
    // Whether the desktop has a notification area; without one the tray is the task bar.
    virtual bool IsTrayAvailable() const;
    // While in the tray: into the notification area when one has appeared, onto the task bar
    // when it has gone. Checked every few seconds, since asking the desktop is not free.
    void FollowNotificationArea();
    static constexpr int kTrayCheckTicks = 10;

    // A window that waits for an answer is open (a question, Queue Transfers).
    static bool IsAsking();

    // The main menu's item with this command id (null if none).
    QAction* MenuItem(UINT id) const;
    const std::string& ClockText() const { return m_strClock; }

    BOOL m_bMinimizedToTray = 0;
    BOOL m_bTrayIconAdded = 0;
    CLogCtrl m_wndLog;

protected:
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Gives the window its icon when it is first shown: most starts stay in the tray, and
    // rendering the icon is part of what start-up costs above a bare window.
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Asks the close question; IDOK or IDCANCEL.
    virtual int AskClose();
    // A notification from the tray icon, for a failure the log alone would hide.
    virtual void ShowTrayNotice(const char* text);

private:
    void CreateMainMenu();
    void CreateTrayMenu();
    QAction* AddItem(QMenu* menu, const char* text, UINT id);
    // RefreshTrayMenu with a known answer to whether transfers can be resumed.
    void RefreshTrayMenu(BOOL canResume);
    void FillTrayMenu(BOOL canResume);
    void OnStateSettled();
    void OnQueueTransfers() override;
    // CFrameCommands
    bool IsEnded() const override { return m_bDestroyed; }
    bool IsQuestionOpen() const override { return IsAsking(); }
    IActivityLog& CommandLog() override { return m_wndLog; }
    void ClearLog() override { m_wndLog.Clear(); }
    void CopyAllLog() override { m_wndLog.CopyAll(); }
    void CopyLogSelection() override { m_wndLog.CopySelection(); }

    std::map<UINT, QBasicTimer> m_timers;
    std::map<UINT, QAction*> m_menuItems;
    std::map<UINT, QAction*> m_trayItems;
    QAction* m_pClock = nullptr;
    QMenu* m_pTrayMenu = nullptr;
    QSystemTrayIcon* m_pTrayIcon = nullptr;
    std::string m_strClock;
    int m_nTrayMenuState = -1;
    BOOL m_bTrayCanResume = FALSE;
    bool m_bTrayMenuJustBuilt = false;
    int m_nTrayCheckTicks = 0;
    // The icon is a StatusNotifierItem (its host's Activate opens; notifications by D-Bus).
    bool m_bStatusNotifierItem = false;
    bool m_bDestroyed = false;
    bool m_bClosing = false;
    // Set while the window is minimised or restored by this code, so that the state change
    // it causes is not taken for the user's.
    bool m_bChangingState = false;
    // The desktop's own change of the window's state is acted on once it has held this long.
    static constexpr int kStateSettleMs = 150;
    QTimer m_stateSettles;
};
