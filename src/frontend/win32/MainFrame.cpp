#include "frontend/win32/MainFrame.h"

#include "app/MonitorApp.h"
#include "frontend/win32/QueueTransfersDlg.h"
#include "platform/Contrast.h"
#include "platform/Time.h"

#include <algorithm>

namespace {

// Mouse messages the tray icon reports.
constexpr unsigned kLButtonDown = 0x201;
constexpr unsigned kLButtonDblClk = 0x203;
constexpr unsigned kRButtonDown = 0x204;

gui::MenuEntry Item(const char* text, UINT id) {
    return {text, id};
}

} // namespace

CMainFrame::CMainFrame(CMonitorApp& app) : CFrameCommands(app) {}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::Create(const CRect& rect) {
    const std::vector<std::pair<std::string, std::vector<gui::MenuEntry>>> menus = {
        {"&Monitor",
         {Item("&Start Quorvel PRO", Command::StartClient),
          Item("Load Monitor at startup", Command::LoadAtStartup), Item("", 0),
          Item("&Hide", Command::Hide), Item("&Exit", Command::Exit)}},
        {"&Edit",
         {Item("Co&py all to Clipboard", Command::CopyAll),
          Item("Copy &Selection to Clipboard", Command::CopySelection), Item("", 0),
          Item("&Clear Window", Command::ClearWindow)}},
        {"&Scheduler", {Item("Queue Transfers", Command::QueueTransfers)}},
        {"&Transfers", {Item("Resume Interrupted Transfers", Command::ResumeTransfers)}},
        {"&Options", {Item("&Enable URL Monitor", Command::ToggleUrlMonitor)}},
    };
    if (!m_window.Create(*this, MonitorNames::DisplayName, rect.left, rect.top, rect.Width(),
                         rect.Height(), menus, Command::Clock)) {
        return false;
    }
    const std::optional<COLORREF> background = LogRules::ProfileBackground(m_app);
    m_window.SetLogBackground(background ? static_cast<std::int64_t>(*background) : -1);
    m_entries.SetMaxLines(LogRules::ProfileMaxLines(m_app));
    AddTimeStamp();
    AddLine("Quorvel PRO Monitor started.\r\n", LogColor::Navy);
    return true;
}

void CMainFrame::ShowWindow(int nCmdShow) {
    if (nCmdShow == SW_HIDE) {
        m_window.Hide();
    } else {
        m_window.Show();
    }
}

UINT CMainFrame::SetTimer(UINT id, UINT elapseMs) {
    if (m_bDestroyed || !m_window.SetTimer(id, elapseMs)) {
        return 0;
    }
    m_timers.insert(id);
    return id;
}

BOOL CMainFrame::KillTimer(UINT id) {
    m_timers.erase(id);
    return m_window.KillTimer(id) ? TRUE : FALSE;
}

// ---- Log ----

void CMainFrame::AddTimeStamp() {
    m_bEntryStarts = true;
    AddLine(LogRules::TimeStampText().c_str(), LogColor::Navy);
}

void CMainFrame::AddLine(const char* text, COLORREF color) {
    if (!m_window.IsCreated()) {
        return;
    }
    std::string line = LogRules::LineText(text);
    const int lines = static_cast<int>(std::count(line.begin(), line.end(), '\n'));
    // The rich edit control takes CR LF as its line end.
    std::string shown;
    for (const char ch : line) {
        shown += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    }
    m_window.AppendLog(shown, ReadableTextColor(color, m_window.LogBackground()));
    const int drop = m_entries.Added(lines, m_bEntryStarts, m_window.LogLineCount());
    m_bEntryStarts = false;
    if (drop > 0) {
        m_window.RemoveFirstLogLines(drop);
    }
}

void CMainFrame::AddFailure(const char* text) {
    AddLine(text, LogColor::Maroon);
    // Hidden in the tray, the log is not seen: the failure must reach the user anyway.
    if (text != nullptr && m_bMinimizedToTray && m_bTrayIconAdded) {
        m_window.ShowTrayBalloon(MonitorNames::DisplayName, text);
    }
}

// ---- Commands and timers ----

void CMainFrame::UpdateClock() {
    // Changing an item of the bar while one of its menus is open would close it.
    if (m_bMinimizedToTray || m_window.IsMenuOpen()) {
        return;
    }
    std::string now = CTime::GetCurrentTime().Format("%H:%M:%S");
    if (now != m_strClock) {
        m_strClock = std::move(now);
        m_window.SetClockText(m_strClock);
    }
}

void CMainFrame::OnTimer(unsigned id) {
    UpdateClock();
    if (id == TimerId::UrlMonitor) {
        m_app.m_urlMonitor.OnTimerTick();
    } else if (id == TimerId::Scheduler) {
        m_app.m_scheduler.OnTimerTick();
    }
}

void CMainFrame::OnInitMenu() {
    const bool asking = gui::IsAsking();
    m_window.SetMenuState(Command::ToggleUrlMonitor, true, m_app.m_urlMonitor.IsEnabled() != 0);
    m_window.SetMenuState(Command::LoadAtStartup, true, StartAtLogon() != 0);
    m_window.SetMenuState(Command::ResumeTransfers, !asking && m_app.CanResumeTransfers(), false);
    m_window.SetMenuState(Command::StartClient, m_app.IsClientRunning() == FALSE, false);
    m_window.SetMenuState(Command::Exit, !asking, false);
    m_window.SetMenuState(Command::QueueTransfers, !asking, false);
}

void CMainFrame::OnQueueTransfers() {
    // Without owner: it stays usable while the main window sits in the tray.
    CWin32QueueTransfersDlg dlg;
    dlg.Run();
}

void CMainFrame::ClearLog() {
    m_window.ClearLog();
    m_entries.Clear();
}

void CMainFrame::OnClose() {
    // One question at a time: the tray menu stays usable while the box is open.
    if (m_bDestroyed || m_bClosing || gui::IsAsking()) {
        return;
    }
    m_bClosing = true;
    // Owned by the window while it is open; from the tray the box stands on its own.
    void* owner = m_window.IsVisible() && !m_window.IsMinimized() ? m_window.Handle() : nullptr;
    const int answer = gui::QuestionBox(owner, kCloseQuestion, MonitorNames::DisplayName, false);
    m_bClosing = false;
    if (answer != IDOK || m_bDestroyed) {
        return;
    }
    EndSession();
}

void CMainFrame::EndSession() {
    if (m_bDestroyed) {
        return;
    }
    m_bDestroyed = true;
    StopMonitors(this);
    for (const UINT id : std::set<UINT>(m_timers)) {
        KillTimer(id);
    }
    m_window.RemoveTrayIcon();
    m_bTrayIconAdded = FALSE;
    gui::EndQuestions();
    m_window.Hide();
    m_window.Quit(0);
}

// ---- Tray ----

void CMainFrame::AddTrayIcon() {
    if (!m_bTrayIconAdded) {
        m_bTrayIconAdded = m_window.AddTrayIcon(MonitorNames::DisplayName) ? TRUE : FALSE;
    }
}

void CMainFrame::OnTaskbarCreated() {
    // The notification area was made anew and knows no icons: ours goes back in.
    if (m_bTrayIconAdded) {
        m_bTrayIconAdded = FALSE;
        AddTrayIcon();
    }
}

void CMainFrame::OnSysCommand(unsigned command) {
    const BOOL wasInTray = m_bMinimizedToTray;
    if (command == gui::kSysMinimize) {
        m_bMinimizedToTray = TRUE;
        if (!wasInTray) {
            m_window.Hide();
            AddTrayIcon();
            // Without a notification area the task bar is the only way back.
            if (!m_bTrayIconAdded) {
                m_window.ShowMinimized();
            }
        }
    } else if (command == gui::kSysRestore) {
        OnOpen();
    }
}

void CMainFrame::OnHide() {
    m_window.Hide();
    OnSysCommand(gui::kSysMinimize);
}

void CMainFrame::OnOpen() {
    if (m_bDestroyed) {
        return;
    }
    m_bMinimizedToTray = FALSE;
    m_window.Open();
    m_window.RemoveTrayIcon();
    m_bTrayIconAdded = FALSE;
    UpdateClock();
}

void CMainFrame::OnTrayNotify(unsigned mouseMessage) {
    switch (mouseMessage) {
    case kLButtonDblClk:
        OnOpen();
        break;
    case kLButtonDown:
    case kRButtonDown:
        OnContextMenu();
        break;
    default:
        break;
    }
}

void CMainFrame::OnContextMenu() {
    if (m_bMinimizedToTray) {
        ShowTrayMenu();
    }
}

void CMainFrame::ShowTrayMenu() {
    const BOOL clientRunning = m_app.IsClientRunning();
    const BOOL urlMonitorOn = m_app.m_urlMonitor.IsEnabled();
    const bool asking = gui::IsAsking();
    std::vector<gui::MenuEntry> entries;
    entries.push_back({"&Open", Command::Open, true, false, true});
    if (!clientRunning) {
        entries.push_back(Item("&Start Quorvel PRO", Command::StartClient));
    }
    entries.push_back(urlMonitorOn ? Item("&Disable URL Monitor", Command::DisableUrlMonitor)
                                   : Item("&Enable URL Monitor", Command::EnableUrlMonitor));
    if (m_app.CanResumeTransfers()) {
        entries.push_back({"&Resume Interrupted Transfers", Command::ResumeTransfers, !asking});
    }
    entries.push_back(
        {"Load Monitor at startup", Command::LoadAtStartup, true, StartAtLogon() != 0});
    entries.push_back({"&Close Quorvel PRO Monitor", Command::Exit, !asking});
    const unsigned chosen = m_window.TrackTrayMenu(entries);
    if (chosen != 0) {
        OnCommand(chosen);
    }
}
