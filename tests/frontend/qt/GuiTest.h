// Helpers for tests of the Qt front end on the offscreen platform: one QApplication for the whole
// run, a main window over an application object with fakes, and answers to modal questions.
#pragma once

#include "app/MonitorApp.h"
#include "frontend/qt/MainFrame.h"
#include "support/Fakes.h"
#include "support/PrivateEnvTest.h"

#include <QMessageBox>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QMenu;

// Creates the QApplication once; widgets need it.
void EnsureApplication();

// Answers the next modal message box with `button` from inside its own event loop, and
// records what it showed.
struct SeenBox {
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool shown = false;
};
void AnswerNextBox(QMessageBox::StandardButton button, SeenBox* seen = nullptr);

// The log's lines with the one colour (0x00BBGGRR) every character of the line was given; -1
// when a line mixes colours, -2 for an empty line.
struct LogLine {
    std::string text;
    long long color;
    bool operator==(const LogLine&) const = default;
};
std::vector<LogLine> LogLines(const CLogCtrl& log);

// A menu as "text#id", "text#id(grey)", "text#id[x]" and "---" for separators.
std::vector<std::string> Describe(const QMenu& menu);

// A main window whose notification area the test decides.
class CTestFrame : public CMainFrame {
public:
    using CMainFrame::CMainFrame;
    bool IsTrayAvailable() const override { return trayAvailable; }
    bool trayAvailable = true;
    // When set, answers the close question instead of the message box.
    std::function<int()> askClose;
    std::vector<std::string> trayNotices;
    bool realNotices = false; // shown by the desktop instead of recorded

protected:
    int AskClose() override { return askClose ? askClose() : CMainFrame::AskClose(); }
    void ShowTrayNotice(const char* text) override {
        if (realNotices) {
            CMainFrame::ShowTrayNotice(text);
        } else {
            trayNotices.emplace_back(text);
        }
    }
};

class GuiTest : public PrivateEnvTest {
protected:
    GuiTest() { EnsureApplication(); }
};

// The main window over an application object that has its profile root, both monitors attached
// to the log and both timers running, as after start-up.
class FrameTest : public GuiTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Writes "MonitorWStart" (or any preference) into the private store.
    void SetPreference(const char* name, int value);
    std::vector<std::string> LogTexts() const;

    CFakeDesktop desktop;
    CFakeClipboard clipboard;
    CFakeShell shell;
    std::unique_ptr<CMonitorApp> app;
    std::unique_ptr<CTestFrame> frame;
};
