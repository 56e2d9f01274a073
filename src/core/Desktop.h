// What start-up and the resume flow need of the desktop. Each front end implements it; tests
// use fakes, so that start-up and the flows run without a display.
#pragma once

#include "core/Rect.h"
#include "platform/Types.h"
#include "platform/Window.h"

class CMonitorApp;
class IActivityLog;

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
    // Asks the Monitor already running for this user to open its window; returns at once. A
    // front end without a way to ask leaves the running Monitor as it is.
    virtual void OpenRunningMonitor() {}
};
