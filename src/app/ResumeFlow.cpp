// Resuming interrupted bulk transfers through the client's helper programs.
#include "app/MonitorApp.h"

BOOL CMonitorApp::CanResumeTransfers() {
    return FALSE;
}

void CMonitorApp::ResumeTransfers(BOOL) {}

void CMonitorApp::ResumeTransfer(int) {}
