// What start-up and the resume flow need of the desktop. The Qt shell implements it; tests
// use fakes, so that start-up and the flows run without a display.
#pragma once

#include "platform/Types.h"
#include "platform/Window.h"

class CMonitorApp;
class IActivityLog;

// Menu command ids, shared by the menus, the start-up sequence and the tests.
namespace Command {
constexpr UINT Exit = 32771;
constexpr UINT StartClient = 32772;
constexpr UINT EnableUrlMonitor = 32773;
constexpr UINT DisableUrlMonitor = 32774;
constexpr UINT Open = 32777;
constexpr UINT ToggleUrlMonitor = 32778;
constexpr UINT Hide = 32779;
constexpr UINT QueueTransfers = 32780;
constexpr UINT ResumeTransfers = 32781;
constexpr UINT ClearWindow = 32782;
constexpr UINT CopyAll = 32783;
constexpr UINT CopySelection = 32784;
constexpr UINT Clock = 32786;
constexpr UINT LoadAtStartup = 32788;
} // namespace Command

// Timer ids of the main window.
namespace TimerId {
constexpr UINT UrlMonitor = 1;
constexpr UINT Scheduler = 2;
} // namespace TimerId

struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// The main window as start-up and the flows use it.
class IMainFrame {
public:
    virtual ~IMainFrame() = default;
    virtual IActivityLog& GetLog() = 0;
    virtual HWND GetSafeHwnd() = 0;
    virtual void ShowWindow(int nCmdShow) = 0;
    virtual void UpdateWindow() = 0;
    // Carries out a menu command as if it had been chosen (WM_COMMAND).
    virtual void SendCommand(UINT id) = 0;
};

class IDesktop {
public:
    virtual ~IDesktop() = default;
    virtual int GetScreenWidth() = 0;
    virtual int GetScreenHeight() = 0;
    // Creates the main window hidden, with no title, at `rect`; it stays the desktop's until
    // the program ends. Null when it cannot be created.
    virtual IMainFrame* CreateMainFrame(CMonitorApp& app, const CRect& rect) = 0;
    // The timed two-button question: IDOK for button 1, IDCANCEL for button 2, Escape or the
    // close box; IDNOANSWER when it was ended because the Monitor is ending.
    virtual int TimedChoice(const char* caption, const char* message, DWORD timeoutMs,
                            int defaultButton, const char* okText, const char* cancelText) = 0;
    // A message box without owner: IDOK, IDCANCEL, IDYES or IDNO for its buttons; IDNOANSWER
    // for Escape, the close box, or a box ended because the Monitor is ending.
    virtual int MessageBox(const char* text, const char* caption, UINT type) = 0;
};
