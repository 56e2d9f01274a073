// The Monitor's entry point on Windows: start-up, then the message loop.
#include "app/MonitorApp.h"
#include "frontend/win32/Clipboard.h"
#include "frontend/win32/Win32Desktop.h"
#include "platform/Launch.h"

#include <string>

int main() {
    const std::string commandLine = gui::CommandLineAfterProgram();
    CWin32Desktop desktop;
    CWin32Clipboard clipboard;
    CMonitorApp app(desktop, clipboard, SystemShell());
    int status = 0;
    // A second start ends here, having asked the running Monitor to open when the user started it.
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
