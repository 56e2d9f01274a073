// The main window of the Win32 front end: the activity log under a menu bar with a clock, the
// two timers, every menu command, the close question, the tray icon with its menu, and the
// orderly end at log-off.
#pragma once

#include "app/FrameCommands.h"
#include "core/ActivityLog.h"
#include "core/Commands.h"
#include "core/Desktop.h"
#include "core/LogRules.h"
#include "frontend/win32/Gui.h"

#include <set>
#include <string>

class CMonitorApp;

class CMainFrame : public IMainFrame,
                   public IWindow,
                   public IActivityLog,
                   public gui::IFrameEvents,
                   public CFrameCommands {
public:
    static constexpr const char* kCloseQuestion =
        "If you close Quorvel PRO Monitor scheduled transfers will not be executed.";

    explicit CMainFrame(CMonitorApp& app);
    ~CMainFrame() override;
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Creates the window hidden at `rect` and writes the log's first entry.
    bool Create(const CRect& rect);

    // IMainFrame
    IActivityLog& GetLog() override { return *this; }
    HWND GetSafeHwnd() override { return this; }
    void ShowWindow(int nCmdShow) override;
    void UpdateWindow() override {}
    void SendCommand(UINT id) override { OnCommand(id); }

    // IWindow
    UINT SetTimer(UINT id, UINT elapseMs) override;
    BOOL KillTimer(UINT id) override;

    // IActivityLog
    void AddTimeStamp() override;
    void AddLine(const char* text, COLORREF color) override;
    void AddFailure(const char* text) override;

    // gui::IFrameEvents
    void OnCommand(unsigned id) override { CFrameCommands::OnCommand(id); }
    void OnTimer(unsigned id) override;
    void OnInitMenu() override;
    void OnTrayNotify(unsigned mouseMessage) override;
    void OnContextMenu() override;
    void OnCloseBox() override { OnClose(); }
    void OnSysCommand(unsigned command) override;
    void OnTaskbarCreated() override;
    void OnOpenRequest() override { OnCommand(Command::Open); }
    void OnEndSession() override { EndSession(); }

    // The close question; on OK the Monitor ends.
    void OnClose() override;
    // Stops both monitors (each logs its "Disabled" line), kills the timers, removes the icon,
    // ends every open question and leaves the message loop. Runs once.
    void EndSession();
    bool IsDestroyed() const { return m_bDestroyed; }
    // Runs the message loop until the Monitor ends.
    int Run() { return m_window.Run(); }

private:
    // CFrameCommands
    bool IsEnded() const override { return m_bDestroyed; }
    bool IsQuestionOpen() const override { return gui::IsAsking(); }
    IActivityLog& CommandLog() override { return *this; }
    void OnOpen() override;
    void OnHide() override;
    void OnQueueTransfers() override;
    void ClearLog() override;
    void CopyAllLog() override { m_window.CopyAllLog(); }
    void CopyLogSelection() override { m_window.CopyLogSelection(); }

    void AddTrayIcon();
    void ShowTrayMenu();
    void UpdateClock();

    gui::CFrameWindow m_window;
    std::set<UINT> m_timers;
    CLogEntries m_entries;
    bool m_bEntryStarts = false;
    std::string m_strClock;
    BOOL m_bMinimizedToTray = FALSE;
    BOOL m_bTrayIconAdded = FALSE;
    bool m_bDestroyed = false;
    bool m_bClosing = false;
};
