#pragma once
// A private session bus (a dbus-daemon of its own, ended with the test), and the notification
// service of a desktop on it, reduced to what it received.
#include <QDBusConnection>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

class PrivateBus
{
public:
    PrivateBus()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
            { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1") });
        if (m_daemon.waitForStarted(5000) && m_daemon.waitForReadyRead(5000))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    const QString& address() const { return m_address; }
    // The program's side: a connection as the session bus would give it.
    QDBusConnection client() const { return QDBusConnection::connectToBus(m_address, QStringLiteral("client")); }

private:
    QProcess m_daemon;
    QString m_address;
};

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

    explicit NotificationService(const PrivateBus& bus)
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
