// Fakes for the seams of the Qt-free logic: launcher, clipboard, log, window timers, desktop.
#pragma once

#include "core/ActivityLog.h"
#include "core/Commands.h"
#include "core/Desktop.h"
#include "core/SiblingPrograms.h"
#include "platform/Clipboard.h"
#include "platform/Launch.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

class CFakeShell : public IShellOpen {
public:
    struct Start {
        std::string file;
        std::string parameters;
        bool hadParameters;
    };
    bool Open(const std::string& file, const char* parameters, std::string* error) override;
    std::vector<Start> starts;
    bool succeed = true;
    std::function<void()> onOpen;
};

// The client as the monitors see it: a launch does nothing while `clientRunning`, and fails
// with `failure` when that is set.
class CFakeSiblings : public ISiblingPrograms {
public:
    BOOL IsClientRunning() override { return clientRunning ? TRUE : FALSE; }
    BOOL IsDownloadHelperRunning() override { return FALSE; }
    ClientLaunch LaunchClient(const char* parameters, std::string* error) override {
        if (IsClientRunning()) {
            return ClientLaunch::AlreadyRunning;
        }
        launches.push_back(parameters != nullptr ? parameters : "<none>");
        if (onLaunch) {
            onLaunch();
        }
        if (!failure.empty() && error != nullptr) {
            *error = failure;
        }
        return failure.empty() ? ClientLaunch::Started : ClientLaunch::Failed;
    }
    bool clientRunning = false;
    std::string failure;
    std::vector<std::string> launches;
    std::function<void()> onLaunch;
};

class CFakeClipboard : public IClipboard {
public:
    std::string GetText() override {
        ++reads;
        return text;
    }
    bool IsControlKeyDown() override { return controlDown; }
    std::string text;
    bool controlDown = false;
    int reads = 0;
};

class CFakeLog : public IActivityLog {
public:
    struct Line {
        std::string text;
        COLORREF color;
    };
    void AddTimeStamp() override { lines.push_back({"<timestamp>", LogColor::Navy}); }
    void AddLine(const char* text, COLORREF color) override { lines.push_back({text, color}); }
    std::vector<Line> lines;
    // The texts alone, for compact comparisons.
    std::vector<std::string> Texts() const;
};

class CFakeWindow : public IWindow {
public:
    UINT SetTimer(UINT id, UINT elapseMs) override {
        timers[id] = elapseMs;
        return id;
    }
    BOOL KillTimer(UINT id) override { return timers.erase(id) > 0 ? TRUE : FALSE; }
    std::map<UINT, UINT> timers;
};

class CFakeMainFrame : public IMainFrame {
public:
    IActivityLog& GetLog() override { return log; }
    HWND GetSafeHwnd() override { return &window; }
    void ShowWindow(int nCmdShow) override { shows.push_back(nCmdShow); }
    void UpdateWindow() override {}
    void SendCommand(UINT id) override { commands.push_back(id); }
    CFakeLog log;
    CFakeWindow window;
    std::vector<int> shows;
    std::vector<UINT> commands;
};

class CFakeDesktop : public IDesktop {
public:
    int GetScreenWidth() override { return screenWidth; }
    int GetScreenHeight() override { return screenHeight; }
    IMainFrame* CreateMainFrame(CMonitorApp&, const CRect& r) override {
        rect = r;
        return failCreate ? nullptr : &frame;
    }
    int TimedChoice(const char* caption, const char* message, DWORD timeoutMs, int defaultButton,
                    const char* okText, const char* cancelText) override;
    int MessageBox(const char* text, const char* caption, UINT type) override;
    void OpenRunningMonitor() override { ++openRequests; }

    int openRequests = 0;
    int screenWidth = 1920;
    int screenHeight = 1080;
    bool failCreate = false;
    CRect rect;
    CFakeMainFrame frame;
    // Answers given in order; each question asked is recorded.
    std::vector<int> timedChoiceAnswers;
    std::vector<int> messageBoxAnswers;
    std::vector<std::string> questions;
};

// The client's switch of the URL monitor ("URLMonitor"), as the client writes it. While it is
// off the URL monitor says at start that it waits for it.
void SetUrlMonitorSwitch(int value);
// The client's folder, the machine-wide "Path".
void SetClientFolder(const std::string& folder);
