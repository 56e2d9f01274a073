// The application object: single instance, profile root, start-at-logon switch, the client's
// folder, the main window and the two monitors, and the operations on the sibling programs.
#pragma once

#include "core/Desktop.h"
#include "core/SiblingPrograms.h"
#include "platform/Launch.h"
#include "platform/NamedObjects.h"
#include "platform/WinApp.h"
#include "platform/registry/Registry.h"
#include "scheduler/TransferScheduler.h"
#include "urlmon/UrlMonitor.h"

#include <string>

class IClipboard;
class IShellOpen;

namespace MonitorNames {
constexpr const char* DisplayName = "Quorvel PRO Monitor";
constexpr const char* InstanceEvent = "QVRLPROMONITORInstance";
constexpr const char* Mutex = "QVRLPROMONITOR";
constexpr const char* ClientEvent = "QVRLPROInstance";
constexpr const char* DownloadHelperEvent = "QVRLPROKETTRINDLInstance";
constexpr const char* RegistryKey = "Marrowfen";
constexpr const char* ProfileName = "QUORVEL PRO";
constexpr const char* SettingsKey = "Software\\Marrowfen\\QUORVEL PRO\\Settings";
constexpr const char* PreferencesSection = "CurrentVersion\\Preferences";
constexpr const char* ColorsSection = "CurrentVersion\\Colors";
constexpr const char* ClientExe = "Quorvel PRO.exe";
} // namespace MonitorNames

// Roots a profile where the Monitor, the client and its helpers keep their settings:
// HKEY_CURRENT_USER\Software\Marrowfen\QUORVEL PRO.
inline void UseMonitorProfile(CWinApp& app) {
    app.SetRegistryKey(MonitorNames::RegistryKey);
    app.SetProfileName(MonitorNames::ProfileName);
}

class CMonitorApp : public CWinApp, public ISiblingPrograms {
public:
    CMonitorApp(IDesktop& desktop, IClipboard& clipboard, IShellOpen& shell);
    ~CMonitorApp() override;

    // Start-up; `commandLine` is the text after the program name. FALSE ends the program.
    BOOL InitInstance(const std::string& commandLine);
    int ExitInstance();

    static BOOL NamedEventExists(const char* name);
    BOOL IsClientRunning() override;
    BOOL IsDownloadHelperRunning() override;
    ClientLaunch LaunchClient(const char* parameters, std::string* error = nullptr) override;

    // The client's folder as the machine-wide "Path" gives it now, ending in one separator
    // (the separator alone when the value is absent or cannot be read).
    static std::string ReadClientFolder();

    // Reads a text value into `out` (empty when the key or value cannot be read, or when it
    // does not fit the 1,024-byte buffer).
    static void ReadRegistryString(HKEY root, const char* subKey, const char* valueName,
                                   std::string& out);

    // Interrupted-transfer resume.
    BOOL CanResumeTransfers();
    void ResumeTransfers(BOOL bAsk);
    void ResumeTransfer(int id);

    IMainFrame* m_pMainWnd = nullptr;
    std::string m_lpCmdLine;
    CHandle m_hInstanceEvent;
    std::string m_strClientFolder;
    CUrlMonitor m_urlMonitor;
    CTransferScheduler m_scheduler;

private:
    // Reads the client's folder afresh into m_strClientFolder: "Path" may be set or changed
    // while the Monitor runs. False, with the reason, when it is not set.
    bool RefreshClientFolder(std::string& reason);

    IDesktop& m_desktop;
    IShellOpen& m_shell;
    // The mutex only tells others that a Monitor runs; it is held until the process ends.
    CHandle m_hMutex;
};
