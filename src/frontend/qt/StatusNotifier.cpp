#include "frontend/qt/StatusNotifier.h"

#include "app/MonitorApp.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QStringList>
#include <QVariantMap>

namespace {

const char* const kDesktopEntry = "quorvel-monitor";

} // namespace

void NameApplicationForDesktop() {
    QCoreApplication::setApplicationName(QString::fromLatin1(MonitorNames::DisplayName));
    QGuiApplication::setApplicationDisplayName(QString::fromLatin1(MonitorNames::DisplayName));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopEntry));
}

bool TrayIconIsStatusNotifierItem() {
    // Off X11 there is no other kind of tray icon.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        return true;
    }
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusMessage get = QDBusMessage::createMethodCall(
        watcher, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
    // A watcher that does not answer soon is no host to rely on.
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 1 &&
           qvariant_cast<QDBusVariant>(reply.arguments().first()).variant().toBool();
}

void NotifyDesktop(const QString& summary, const QString& body) {
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QString::fromLatin1(kDesktopEntry)},
                            {QStringLiteral("urgency"), QVariant::fromValue<uchar>(1)}};
    notify << QString::fromLatin1(MonitorNames::DisplayName) << 0u
           << QString::fromLatin1(kDesktopEntry) << summary << body << QStringList() << hints << -1;
    // Nobody waits for the answer: a missing server costs nothing.
    QDBusConnection::sessionBus().send(notify);
}
