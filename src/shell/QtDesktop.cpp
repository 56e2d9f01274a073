#include "shell/QtDesktop.h"

#include "resume/TimedChoiceDlg.h"
#include "shell/MainFrame.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

CQtDesktop::CQtDesktop() = default;
CQtDesktop::~CQtDesktop() = default;

int CQtDesktop::GetScreenWidth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry().width() : 0;
}

int CQtDesktop::GetScreenHeight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry().height() : 0;
}

IMainFrame* CQtDesktop::CreateMainFrame(CMonitorApp& app, const CRect& rect) {
    m_frame = std::make_unique<CMainFrame>(app, rect, m_pLogMirror);
    return m_frame.get();
}

int CQtDesktop::TimedChoice(const char* caption, const char* message, DWORD timeoutMs,
                            int defaultButton, const char* okText, const char* cancelText) {
    CTimedChoiceDlg dlg(nullptr, caption, message, timeoutMs, defaultButton, okText, cancelText);
    return dlg.DoModal();
}

int CQtDesktop::MessageBox(const char* text, const char* caption, UINT type) {
    const bool yesNo = (type & MB_YESNO) == MB_YESNO;
    const auto buttons =
        yesNo ? (QMessageBox::Yes | QMessageBox::No) : (QMessageBox::Ok | QMessageBox::Cancel);
    const auto answer = QMessageBox::question(nullptr, QString::fromUtf8(caption),
                                              QString::fromUtf8(text), buttons);
    if (yesNo) {
        return answer == QMessageBox::Yes ? IDYES : IDNO;
    }
    return answer == QMessageBox::Ok ? IDOK : IDCANCEL;
}
