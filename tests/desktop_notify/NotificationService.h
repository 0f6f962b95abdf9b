#pragma once
// The notification service of a desktop on a private session bus, reduced to what it received.
#include "support/PrivateBus.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

class NotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Received
    {
        QString appName;
        QString icon;
        QString summary;
        QString body;
        QVariantMap hints;
    };

    explicit NotificationService(const gwtest::PrivateBus& bus)
        : m_bus(QDBusConnection::connectToBus(bus.address(), QStringLiteral("notification-service")))
    {
        m_registered = m_bus.registerService(QStringLiteral("org.freedesktop.Notifications"))
            && m_bus.registerObject(
                QStringLiteral("/org/freedesktop/Notifications"), this, QDBusConnection::ExportAllSlots);
    }
    ~NotificationService() override
    {
        m_bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        m_bus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        QDBusConnection::disconnectFromBus(QStringLiteral("notification-service"));
    }
    bool registered() const { return m_registered; }

    QList<Received> received;

public slots:
    uint Notify(const QString& appName, uint, const QString& icon, const QString& summary, const QString& body,
        const QStringList&, const QVariantMap& hints, int)
    {
        received << Received { appName, icon, summary, body, hints };
        return static_cast<uint>(received.size());
    }

private:
    QDBusConnection m_bus;
    bool m_registered = false;
};
