#include "frontend/qt/QtDesktop.h"

#include "frontend/qt/MainFrame.h"
#include "frontend/qt/dialogs/TimedChoiceDlg.h"
#include "frontend/qt/platform/QtModal.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>

namespace {

// A question box whose Escape key and close box answer nothing. Qt would otherwise press the
// No of a Yes/No box for them, and a No may forget what the user only meant to put aside.
class CQuestionBox : public QMessageBox {
public:
    CQuestionBox(const QString& caption, const QString& text, StandardButtons buttons)
        : QMessageBox(Question, caption, text, buttons) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Cancel)) {
            reject();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    // Rejects without choosing a button.
    void closeEvent(QCloseEvent* event) override { QDialog::closeEvent(event); }
};

} // namespace

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
    CQuestionBox box(QString::fromUtf8(caption), QString::fromUtf8(text),
                     yesNo ? (QMessageBox::Yes | QMessageBox::No)
                           : (QMessageBox::Ok | QMessageBox::Cancel));
    ExecModalToOwners(box);
    // No button clicked: put aside, or the event loop was ended under the box.
    const QMessageBox::StandardButton answer = box.standardButton(box.clickedButton());
    switch (answer) {
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Cancel:
        return IDCANCEL;
    default:
        return IDNOANSWER;
    }
}
