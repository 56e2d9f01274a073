#include "frontend/qt/SessionEnd.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler may only write one byte into the pipe; everything else happens in the loop.
int g_signalPipe[2] = {-1, -1};
const int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void OnEndSignal(int) {
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a request; the result does not matter.
    [[maybe_unused]] ssize_t written = write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

CSessionEnd::CSessionEnd(QObject* parent) : QObject(parent) {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) == 0) {
        m_pNotifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
        connect(m_pNotifier, &QSocketNotifier::activated, this, &CSessionEnd::OnSignalPipe);
        struct sigaction action {};
        action.sa_handler = OnEndSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int sig : kSignals) {
            sigaction(sig, &action, nullptr);
        }
    }
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        // Logging out: the session asks every program to save and go.
        connect(gui, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { Request(); });
    }
    // Whoever else ends the loop, the Monitor still closes in order.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            &CSessionEnd::Request);
}

CSessionEnd::~CSessionEnd() {
    if (m_pNotifier != nullptr) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        for (int sig : kSignals) {
            sigaction(sig, &action, nullptr);
        }
        delete m_pNotifier;
        close(g_signalPipe[0]);
        close(g_signalPipe[1]);
        g_signalPipe[0] = g_signalPipe[1] = -1;
    }
}

void CSessionEnd::OnSignalPipe() {
    char buffer[64];
    while (read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
    }
    Request();
}

void CSessionEnd::Request() {
    m_bRequested = true;
    emit endRequested();
}
