#include "platform/qt/QtClipboard.h"

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

} // namespace

CQtClipboard::~CQtClipboard() {
    QObject::disconnect(m_connection);
}

std::string CQtClipboard::GetText() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        return {};
    }
    return clipboard->text(QClipboard::Clipboard).toStdString();
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
