#include "app/FrameCommands.h"

#include "app/MonitorApp.h"
#include "core/ActivityLog.h"

#include <algorithm>
#include <iterator>
#include <string>

bool CFrameCommands::Asks(UINT id) {
    return std::find(std::begin(kAskingCommands), std::end(kAskingCommands), id) !=
           std::end(kAskingCommands);
}

BOOL CFrameCommands::StartAtLogon() {
    return m_app.GetProfileInt(MonitorNames::PreferencesSection, "MonitorWStart", 1) != 0;
}

void CFrameCommands::OnToggleStartAtLogon() {
    const UINT value = m_app.GetProfileInt(MonitorNames::PreferencesSection, "MonitorWStart", 1);
    m_app.WriteProfileInt(MonitorNames::PreferencesSection, "MonitorWStart", value == 0 ? 1 : 0);
}

void CFrameCommands::StartClient() {
    std::string error;
    if (m_app.LaunchClient(nullptr, &error) == ClientLaunch::Failed) {
        IActivityLog& log = CommandLog();
        log.AddTimeStamp();
        log.AddFailure(error.c_str());
    }
}

void CFrameCommands::OnCommand(UINT id) {
    if (IsEnded() || (Asks(id) && IsQuestionOpen())) {
        return;
    }
    switch (id) {
    case Command::Exit:
        OnClose();
        break;
    case Command::StartClient:
        StartClient();
        break;
    case Command::EnableUrlMonitor:
        m_app.m_urlMonitor.SetEnabled(TRUE);
        break;
    case Command::DisableUrlMonitor:
        m_app.m_urlMonitor.SetEnabled(FALSE);
        break;
    case Command::ToggleUrlMonitor:
        m_app.m_urlMonitor.SetEnabled(m_app.m_urlMonitor.IsEnabled() ? FALSE : TRUE);
        break;
    case Command::Open:
        OnOpen();
        break;
    case Command::Hide:
        OnHide();
        break;
    case Command::QueueTransfers:
        OnQueueTransfers();
        break;
    case Command::ResumeTransfers:
        if (m_app.CanResumeTransfers()) {
            m_app.ResumeTransfers(FALSE);
        }
        break;
    case Command::ClearWindow:
        ClearLog();
        break;
    case Command::CopyAll:
        CopyAllLog();
        break;
    case Command::CopySelection:
        CopyLogSelection();
        break;
    case Command::LoadAtStartup:
        OnToggleStartAtLogon();
        break;
    default:
        break;
    }
}

void CFrameCommands::StopMonitors(HWND window) {
    m_app.m_urlMonitor.SetEnabled(FALSE);
    m_app.m_scheduler.SetEnabled(FALSE);
    m_app.m_urlMonitor.Stop(window);
    m_app.m_scheduler.Stop(window);
}
