#include "frontend/win32/Win32Desktop.h"

#include "frontend/win32/TimedChoiceDlg.h"

namespace {
std::string Text(const char* text) {
    return text != nullptr ? text : "";
}
} // namespace

int CWin32Desktop::GetScreenWidth() {
    return gui::ScreenWidth();
}

int CWin32Desktop::GetScreenHeight() {
    return gui::ScreenHeight();
}

IMainFrame* CWin32Desktop::CreateMainFrame(CMonitorApp& app, const CRect& rect) {
    auto frame = std::make_unique<CMainFrame>(app);
    if (!frame->Create(rect)) {
        return nullptr;
    }
    m_frame = std::move(frame);
    return m_frame.get();
}

int CWin32Desktop::TimedChoice(const char* caption, const char* message, DWORD timeoutMs,
                               int defaultButton, const char* okText, const char* cancelText) {
    CWin32TimedChoiceDlg dlg(caption, message, timeoutMs, defaultButton, okText, cancelText);
    return dlg.DoModal();
}

int CWin32Desktop::MessageBox(const char* text, const char* caption, UINT type) {
    const int answer =
        gui::QuestionBox(nullptr, Text(text), Text(caption), (type & MB_YESNO) == MB_YESNO);
    switch (answer) {
    case 1:
        return IDOK;
    case 2:
        return IDCANCEL;
    case 6:
        return IDYES;
    case 7:
        return IDNO;
    default:
        return IDNOANSWER;
    }
}
