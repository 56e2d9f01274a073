// The desktop for start-up and the flows, on Qt.
#pragma once

#include "core/Desktop.h"

#include <cstdio>
#include <memory>
#include <string>

class CMainFrame;
class QSocketNotifier;

class CQtDesktop : public IDesktop {
public:
    CQtDesktop();
    ~CQtDesktop() override;

    int GetScreenWidth() override;
    int GetScreenHeight() override;
    IMainFrame* CreateMainFrame(CMonitorApp& app, const CRect& rect) override;
    int TimedChoice(const char* caption, const char* message, DWORD timeoutMs, int defaultButton,
                    const char* okText, const char* cancelText) override;
    int MessageBox(const char* text, const char* caption, UINT type) override;
    void OpenRunningMonitor() override;

    CMainFrame* MainFrame() const { return m_frame.get(); }
    // Every line of the main window's log also goes to `out` as plain text (null: nowhere).
    void SetLogMirror(std::FILE* out) { m_pLogMirror = out; }
    // A line for the log's start entry: what the Monitor runs on.
    void SetStartNote(std::string note) { m_strStartNote = std::move(note); }

private:
    // Where a second start asks this Monitor to open its window.
    void ListenForOpenRequests();

    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<QSocketNotifier> m_pOpenRequests;
    int m_nOpenRequests = -1;
    std::FILE* m_pLogMirror = nullptr;
    std::string m_strStartNote;
};
