#include "urlmon/UrlMonitor.h"

#include "app/Desktop.h"
#include "app/SiblingPrograms.h"
#include "platform/Clipboard.h"
#include "platform/WinApp.h"
#include "shell/ActivityLog.h"

CUrlMonitor::CUrlMonitor(CWinApp& app, ISiblingPrograms& siblings, IClipboard& clipboard)
    : m_app(app), m_siblings(siblings), m_clipboard(clipboard) {}

void CUrlMonitor::Attach(IActivityLog* pLog) {
    m_pLog = pLog;
    m_strLastText = GetClipboardText();
}

UINT CUrlMonitor::Start(HWND hWnd) {
    m_bEnabled = 1;
    return hWnd != nullptr ? hWnd->SetTimer(TimerId::UrlMonitor, 500) : 0;
}

BOOL CUrlMonitor::Stop(HWND hWnd) {
    m_bEnabled = 0;
    return hWnd != nullptr ? hWnd->KillTimer(TimerId::UrlMonitor) : FALSE;
}

void CUrlMonitor::SetEnabled(BOOL bEnable) {
    m_bEnabled = bEnable;
    if (m_pLog == nullptr) {
        return;
    }
    m_pLog->AddTimeStamp();
    m_pLog->AddLine(bEnable ? "URL Monitor Enabled.\r\n" : "URL Monitor Disabled.\r\n",
                    LogColor::Green);
}

std::string CUrlMonitor::GetClipboardText() {
    return m_clipboard.GetText();
}

void CUrlMonitor::OnTimerTick() {}
