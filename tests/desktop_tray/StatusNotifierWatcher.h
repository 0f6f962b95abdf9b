#pragma once
// A private session bus with a StatusNotifier watcher on it that also says a host is there,
// as Plasma's panel does: Qt then shows its tray icon as a StatusNotifierItem, registers it
// here, and the test clicks it by calling the item's methods as a host would.
#include "support/PrivateBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>

class StatusNotifierWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isStatusNotifierHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)

public:
    StatusNotifierWatcher()
    {
        if (!m_privateBus.started())
            return;
        m_bus = m_privateBus.connect(QStringLiteral("status-notifier-watcher"));
        m_ready = m_bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))
            && m_bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals
                    | QDBusConnection::ExportAllProperties);
    }

    bool ready() const { return m_ready; }
    const QString& address() const { return m_privateBus.address(); }
    bool isStatusNotifierHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList registeredItems() const { return m_items; }

    // What a host does on a click: "Activate", "SecondaryActivate" or "ContextMenu" at a point
    // of the screen. Sent without waiting, as hosts do.
    bool call(const QString& method)
    {
        if (m_items.isEmpty())
            return false;
        QDBusMessage m = QDBusMessage::createMethodCall(m_items.constFirst(), QStringLiteral("/StatusNotifierItem"),
            QStringLiteral("org.kde.StatusNotifierItem"), method);
        m << 500 << 10;
        return m_bus.send(m);
    }
    // A property of the registered item, as the host reads it to draw the icon and the menu.
    QVariant itemProperty(const QString& name)
    {
        QDBusMessage m = QDBusMessage::createMethodCall(m_items.value(0), QStringLiteral("/StatusNotifierItem"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        m << QStringLiteral("org.kde.StatusNotifierItem") << name;
        const QDBusMessage reply = m_bus.call(m, QDBus::Block, 5000);
        return reply.arguments().isEmpty() ? QVariant() : reply.arguments().constFirst();
    }

public slots:
    void RegisterStatusNotifierItem(const QString& service) { m_items << service; }
    void RegisterStatusNotifierHost(const QString&) { }

signals:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    gwtest::PrivateBus m_privateBus;
    QDBusConnection m_bus { QString() };
    QStringList m_items;
    bool m_ready = false;
};
