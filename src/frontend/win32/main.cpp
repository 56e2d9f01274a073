// The Monitor's entry point on Windows: start-up, then the message loop.
#include "app/MonitorApp.h"
#include "frontend/win32/Clipboard.h"
#include "frontend/win32/Win32Desktop.h"
#include "platform/Launch.h"

#include <string>

int main() {
    const std::string commandLine = gui::CommandLineAfterProgram();
    // A second start ends at once; asked by the user rather than at logon, it first brings
    // the running Monitor's window up.
    if (CMonitorApp::NamedEventExists(MonitorNames::InstanceEvent) &&
        commandLine.find("wstart") == std::string::npos) {
        gui::AskRunningMonitorToOpen();
        return 0;
    }
    CWin32Desktop desktop;
    CWin32Clipboard clipboard;
    CMonitorApp app(desktop, clipboard, SystemShell());
    int status = 0;
    if (app.InitInstance(commandLine)) {
        CMainFrame* frame = desktop.MainFrame();
        if (frame != nullptr && !frame->IsDestroyed()) {
            status = frame->Run();
            // Whatever ended the loop, the monitors stop in order while the application lives.
            frame->EndSession();
        }
    }
    app.ExitInstance();
    return status;
}
