#include "frontend/qt/QtDesktop.h"

#include "app/MonitorApp.h"
#include "core/Commands.h"
#include "frontend/qt/MainFrame.h"
#include "frontend/qt/dialogs/TimedChoiceDlg.h"
#include "frontend/qt/platform/QtModal.h"
#include "platform/NamedObjects.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QSocketNotifier>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

// Beside the named objects: per user, in a folder closed to others. False when there is none
// or its name does not fit.
bool OpenRequestAddress(sockaddr_un& address) {
    const std::string folder = NamedObjectFolder();
    const std::string path = folder + "/" + MonitorNames::InstanceEvent + ".open";
    address = {};
    address.sun_family = AF_UNIX;
    if (folder.empty() || path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

} // namespace

CQtDesktop::CQtDesktop() = default;
CQtDesktop::~CQtDesktop() {
    m_pOpenRequests.reset();
    if (m_nOpenRequests >= 0) {
        close(m_nOpenRequests);
    }
}

int CQtDesktop::GetScreenWidth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry().width() : 0;
}

int CQtDesktop::GetScreenHeight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry().height() : 0;
}

IMainFrame* CQtDesktop::CreateMainFrame(CMonitorApp& app, const CRect& rect) {
    m_frame = std::make_unique<CMainFrame>(app, rect, m_pLogMirror, m_strStartNote);
    ListenForOpenRequests();
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

void CQtDesktop::ListenForOpenRequests() {
    sockaddr_un address;
    if (!OpenRequestAddress(address)) {
        return;
    }
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    // This Monitor holds the instance event: a socket left there is a dead Monitor's.
    unlink(address.sun_path);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (fd >= 0) {
            close(fd);
        }
        return;
    }
    m_nOpenRequests = fd;
    m_pOpenRequests = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(m_pOpenRequests.get(), &QSocketNotifier::activated, [this, fd] {
        char byte = 0;
        while (recv(fd, &byte, 1, 0) >= 0) {
        }
        if (m_frame != nullptr && !m_frame->IsDestroyed()) {
            m_frame->SendCommand(Command::Open);
        }
    });
}

void CQtDesktop::OpenRunningMonitor() {
    sockaddr_un address;
    const int fd = OpenRequestAddress(address) ? socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0) : -1;
    if (fd >= 0) {
        sendto(fd, "o", 1, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&address), sizeof address);
        close(fd);
    }
}
