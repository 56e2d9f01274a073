#include "scheduler/TransferScheduler.h"

#include "app/Desktop.h"
#include "app/SiblingPrograms.h"
#include "platform/WinApp.h"
#include "shell/ActivityLog.h"

CTransferScheduler::CTransferScheduler(CWinApp& app, ISiblingPrograms& siblings)
    : m_app(app), m_siblings(siblings) {}

UINT CTransferScheduler::Start(HWND hWnd) {
    m_bEnabled = 1;
    return hWnd != nullptr ? hWnd->SetTimer(TimerId::Scheduler, 60000) : 0;
}

BOOL CTransferScheduler::Stop(HWND hWnd) {
    m_bEnabled = 0;
    return hWnd != nullptr ? hWnd->KillTimer(TimerId::Scheduler) : FALSE;
}

void CTransferScheduler::SetEnabled(BOOL b) {
    m_bEnabled = b;
    if (m_pLog == nullptr) {
        return;
    }
    m_pLog->AddTimeStamp();
    m_pLog->AddLine(b ? "Transfer Scheduler Enabled.\r\n" : "Transfer Scheduler Disabled.\r\n",
                    LogColor::Navy);
}

void CTransferScheduler::OnTimerTick() {}
