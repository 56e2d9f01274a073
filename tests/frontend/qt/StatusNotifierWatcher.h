// A notification area's side of the StatusNotifierItem protocol on a private session bus: the
// watcher with a host registered, and a notification server. It answers from a thread of its
// own, since the program under test asks it with blocking calls.
#pragma once

#include "urlmon/XSession.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMutex>
#include <QThread>
#include <fcntl.h>
#include <poll.h>

// Starts a private session bus; its address, or empty.
inline std::string StartSessionBus(xsession::CChild& bus) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return {};
    }
    const bool started = bus.Start({"dbus-daemon", "--session", "--nofork", "--print-address=3"},
                                   xsession::Environment({}), -1, "/dev/null", fds[1]);
    close(fds[1]);
    std::string address;
    pollfd p{fds[0], POLLIN, 0};
    char c = 0;
    while (started && poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') {
        address += c;
    }
    close(fds[0]);
    return address;
}

class CStatusNotifierWatcher : public QDBusVirtualObject {
public:
    explicit CStatusNotifierWatcher(const QString& address)
        : m_bus(QDBusConnection::connectToBus(address, QStringLiteral("watcher"))) {
        m_thread.start();
        moveToThread(&m_thread);
        m_bus.registerVirtualObject(QStringLiteral("/StatusNotifierWatcher"), this);
        m_bus.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), this);
        m_bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
        m_bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }
    ~CStatusNotifierWatcher() override {
        m_bus.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
        m_bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        m_thread.quit();
        m_thread.wait();
        QDBusConnection::disconnectFromBus(QStringLiteral("watcher"));
    }
    QDBusConnection& Bus() { return m_bus; }
    // The services of the items registered so far, and the notifications' arguments.
    QStringList Items() {
        QMutexLocker lock(&m_mutex);
        return m_items;
    }
    QList<QVariantList> Notifications() {
        QMutexLocker lock(&m_mutex);
        return m_notifications;
    }

    QString introspect(const QString& path) const override {
        return path == QLatin1String("/StatusNotifierWatcher")
                   ? QStringLiteral(
                         "<interface name=\"org.kde.StatusNotifierWatcher\">"
                         "<method name=\"RegisterStatusNotifierItem\"><arg type=\"s\"/></method>"
                         "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" "
                         "access=\"read\"/>"
                         "<property name=\"ProtocolVersion\" type=\"i\" access=\"read\"/>"
                         "</interface>")
                   : QString();
    }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QDBusMessage reply = message.createReply();
        const QString member = message.member();
        if (member == QLatin1String("Introspect")) {
            reply << QStringLiteral("<node>%1</node>").arg(introspect(message.path()));
        } else if (member == QLatin1String("Get")) {
            const bool host = message.arguments().value(1) == "IsStatusNotifierHostRegistered";
            reply << QVariant::fromValue(QDBusVariant(host ? QVariant(true) : QVariant(0)));
        } else if (member == QLatin1String("Notify")) {
            QMutexLocker lock(&m_mutex);
            m_notifications.append(message.arguments());
            reply << 1u;
        } else if (member == QLatin1String("RegisterStatusNotifierItem")) {
            QMutexLocker lock(&m_mutex);
            m_items.append(message.arguments().value(0).toString());
        }
        return connection.send(reply);
    }

private:
    QDBusConnection m_bus;
    QThread m_thread;
    QMutex m_mutex;
    QStringList m_items;
    QList<QVariantList> m_notifications;
};
