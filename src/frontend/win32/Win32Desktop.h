// The desktop for start-up and the flows, on Win32.
#pragma once

#include "core/Desktop.h"
#include "frontend/win32/MainFrame.h"

#include <memory>

class CWin32Desktop : public IDesktop {
public:
    int GetScreenWidth() override;
    int GetScreenHeight() override;
    IMainFrame* CreateMainFrame(CMonitorApp& app, const CRect& rect) override;
    int TimedChoice(const char* caption, const char* message, DWORD timeoutMs, int defaultButton,
                    const char* okText, const char* cancelText) override;
    int MessageBox(const char* text, const char* caption, UINT type) override;
    void OpenRunningMonitor() override { gui::AskRunningMonitorToOpen(); }

    CMainFrame* MainFrame() const { return m_frame.get(); }

private:
    std::unique_ptr<CMainFrame> m_frame;
};
