#include "app/MonitorApp.h"

#include "core/Commands.h"
#include "platform/Launch.h"

#include <cstring>

CMonitorApp::CMonitorApp(IDesktop& desktop, IClipboard& clipboard, IShellOpen& shell)
    : m_urlMonitor(*this, *this, clipboard), m_scheduler(*this, *this), m_desktop(desktop),
      m_shell(shell) {
    m_pszAppName = MonitorNames::DisplayName;
}

CMonitorApp::~CMonitorApp() = default;

BOOL CMonitorApp::InitInstance(const std::string& commandLine) {
    m_lpCmdLine = commandLine;

    // Step 1, common controls and 3-D drawing, has no counterpart here.

    m_hInstanceEvent = CHandle(CreateEventA(nullptr, FALSE, FALSE, MonitorNames::InstanceEvent));
    if (!m_hInstanceEvent) {
        return FALSE;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        m_hInstanceEvent.Close();
        // A start by the user, unlike one at logon, wants to see the Monitor: without this it
        // would look as if nothing had happened.
        if (m_lpCmdLine.find("wstart") == std::string::npos) {
            m_desktop.OpenRunningMonitor();
        }
        return FALSE;
    }

    m_hMutex = CHandle(CreateMutexA(nullptr, FALSE, MonitorNames::Mutex));

    UseMonitorProfile(*this);

    if (m_lpCmdLine.find("wstart") != std::string::npos &&
        GetProfileInt(MonitorNames::PreferencesSection, "MonitorWStart", 1) == 0) {
        return FALSE;
    }

    m_strClientFolder = ReadClientFolder();

    CRect rect;
    rect.left = (m_desktop.GetScreenWidth() - 450) / 2;
    rect.top = (m_desktop.GetScreenHeight() - 300) / 2;
    rect.right = rect.left + 450;
    rect.bottom = rect.top + 300;
    m_pMainWnd = m_desktop.CreateMainFrame(*this, rect);
    if (m_pMainWnd == nullptr) {
        // Without a main window there is no log, no timer and no way to close the Monitor.
        return FALSE;
    }

    m_pMainWnd->ShowWindow(SW_HIDE);
    m_pMainWnd->UpdateWindow();
    m_pMainWnd->SendCommand(Command::Hide);

    m_urlMonitor.Attach(&m_pMainWnd->GetLog());
    m_urlMonitor.Start(m_pMainWnd->GetSafeHwnd());

    m_scheduler.Attach(&m_pMainWnd->GetLog());
    m_scheduler.Start(m_pMainWnd->GetSafeHwnd());
    m_scheduler.ReportUnfinishedHandovers();

    if (CanResumeTransfers()) {
        ResumeTransfers(TRUE);
    }
    return TRUE;
}

int CMonitorApp::ExitInstance() {
    m_hInstanceEvent.Close();
    return 0;
}

void CMonitorApp::ReadRegistryString(HKEY root, const char* subKey, const char* valueName,
                                     std::string& out) {
    out.clear();
    CRegKey key;
    if (key.Open(root, subKey, KEY_READ) != ERROR_SUCCESS) {
        return;
    }
    char buffer[1024];
    DWORD size = sizeof buffer;
    if (RegQueryValueExA(key.Get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                         &size) != ERROR_SUCCESS) {
        return;
    }
    // The stored bytes need not end in a NUL; the text stops at the first one or at the end.
    out.assign(buffer, strnlen(buffer, size));
}

std::string CMonitorApp::ReadClientFolder() {
    std::string folder;
    ReadRegistryString(HKEY_LOCAL_MACHINE, MonitorNames::SettingsKey, "Path", folder);
    if (folder.empty() || folder.back() != kFolderSeparator) {
        folder += kFolderSeparator;
    }
    return folder;
}

bool CMonitorApp::RefreshClientFolder(std::string& reason) {
    m_strClientFolder = ReadClientFolder();
    if (m_strClientFolder.size() > 1) {
        return true;
    }
    reason = "the client's folder is not set; set the machine-wide value \"Path\" under "
             "HKEY_LOCAL_MACHINE\\";
    reason += MonitorNames::SettingsKey;
    reason += " to it, e.g. with quorvel-monitorctl import (see quorvel-monitorctl(1))";
    return false;
}

BOOL CMonitorApp::NamedEventExists(const char* name) {
    HANDLE h = OpenEventA(SYNCHRONIZE, FALSE, name);
    if (h != nullptr) {
        CloseHandle(h);
        return TRUE;
    }
    return FALSE;
}

BOOL CMonitorApp::IsClientRunning() {
    return NamedEventExists(MonitorNames::ClientEvent);
}

BOOL CMonitorApp::IsDownloadHelperRunning() {
    return NamedEventExists(MonitorNames::DownloadHelperEvent);
}

ClientLaunch CMonitorApp::LaunchClient(const char* parameters, std::string* error) {
    if (IsClientRunning()) {
        return ClientLaunch::AlreadyRunning;
    }
    std::string reason;
    if (RefreshClientFolder(reason) &&
        m_shell.Open(m_strClientFolder + MonitorNames::ClientExe, parameters, &reason)) {
        return ClientLaunch::Started;
    }
    if (error != nullptr) {
        *error = "Could not start Quorvel PRO: " + reason + ".";
    }
    return ClientLaunch::Failed;
}
