// A notification area's side of the StatusNotifierItem protocol on a private session bus: the
// watcher with a host registered, and a notification server. It answers from a thread of its
// own, since the program under test asks it with blocking calls.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMutex>
#include <QThread>

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

    QString introspect(const QString&) const override {
        return QStringLiteral(
            "<interface name=\"org.kde.StatusNotifierWatcher\">"
            "<method name=\"RegisterStatusNotifierItem\"><arg type=\"s\"/></method>"
            "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" access=\"read\"/>"
            "</interface>");
    }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QDBusMessage reply = message.createReply();
        const QString member = message.member();
        if (member == QLatin1String("Introspect")) {
            reply << QStringLiteral("<node>%1</node>").arg(introspect(message.path()));
        } else if (member == QLatin1String("Get")) { // IsStatusNotifierHostRegistered
            reply << QVariant::fromValue(QDBusVariant(true));
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
