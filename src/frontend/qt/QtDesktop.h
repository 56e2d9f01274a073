// The desktop for start-up and the flows, on Qt.
#pragma once

#include "core/Desktop.h"

#include <cstdio>
#include <memory>

class CMainFrame;

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

    CMainFrame* MainFrame() const { return m_frame.get(); }
    // Every line of the main window's log also goes to `out` as plain text (null: nowhere).
    void SetLogMirror(std::FILE* out) { m_pLogMirror = out; }

private:
    std::unique_ptr<CMainFrame> m_frame;
    std::FILE* m_pLogMirror = nullptr;
};
