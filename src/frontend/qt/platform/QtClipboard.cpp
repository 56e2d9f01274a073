#include "frontend/qt/platform/QtClipboard.h"

#ifdef QPM_X11
#include "frontend/qt/x11/X11.h"
#endif

#include <QClipboard>
#include <QGuiApplication>

namespace {

// Platforms whose clipboard reports every change, including those made by other programs:
// X11 through XFixes selection notices (Xorg, Xvfb and XWayland all have them), Windows through
// its clipboard listener, and the in-process clipboard of the offscreen platform. Elsewhere
// (native Wayland, for one, which tells only focused windows) the text is read at every tick.
bool PlatformTellsOfChanges() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform == QLatin1String("windows") ||
           platform == QLatin1String("offscreen");
}

// How long the owner of the clipboard may take to answer, and how long one that did not is left
// alone unless the clipboard changes.
constexpr int kAnswerMs = 1000;
constexpr int kSilentOwnerRetryMs = 10000;

} // namespace

CQtClipboard::CQtClipboard() = default;

CQtClipboard::~CQtClipboard() {
    QObject::disconnect(m_connection);
}

std::string CQtClipboard::GetText() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr || !OwnerAnswers()) {
        return {};
    }
    return clipboard->text(QClipboard::Clipboard).toStdString();
}

// An owner that does not answer holds the clipboard as if it held it open: there is no text.
bool CQtClipboard::OwnerAnswers() {
#ifndef QPM_X11
    return true;
#else
    if (QGuiApplication::platformName() != QLatin1String("xcb") ||
        QGuiApplication::clipboard()->ownsClipboard()) {
        return true;
    }
    const std::int64_t changes = GetChangeCount();
    if (m_bOwnerSilent && changes == m_nSilentChanges &&
        !m_silentSince.hasExpired(kSilentOwnerRetryMs)) {
        return false;
    }
    if (!m_pProbe) {
        m_pProbe = std::make_unique<CX11ClipboardProbe>();
    }
    m_bOwnerSilent = !m_pProbe->OwnerAnswers(kAnswerMs);
    if (m_bOwnerSilent) {
        m_nSilentChanges = changes;
        m_silentSince.start();
    }
    return !m_bOwnerSilent;
#endif
}

bool CQtClipboard::IsControlKeyDown() {
    return (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) != 0;
}

std::int64_t CQtClipboard::GetChangeCount() {
    if (!m_bWatching) {
        if (qGuiApp == nullptr || !PlatformTellsOfChanges()) {
            return -1;
        }
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (clipboard == nullptr) {
            return -1;
        }
        m_connection =
            QObject::connect(clipboard, &QClipboard::dataChanged, [this] { ++m_nChanges; });
        m_bWatching = true;
    }
    return m_nChanges;
}

bool CQtClipboard::WatchesInBackground() {
    return QGuiApplication::platformName() != QLatin1String("wayland");
}

bool CQtClipboard::SeesCopiesNow() {
    return WatchesInBackground() || QGuiApplication::applicationState() == Qt::ApplicationActive;
}
