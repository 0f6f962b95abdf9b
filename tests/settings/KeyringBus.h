#pragma once
// A private session bus from dbus-run-session, with gnome-keyring-daemon on it (its login
// keyring made and unlocked with a password the test gives) or without any keyring.
#include "support/TempDir.h"
#include "support/WaitUntil.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <csignal>

namespace gwtest {

class KeyringBus
{
public:
    explicit KeyringBus(bool withKeyring)
        : m_name(QStringLiteral("keyring-bus-%1").arg(++s_count))
    {
        QDir().mkpath(m_home.file(QStringLiteral("run")));
        QFile::setPermissions(
            m_home.file(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.file(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.file(QStringLiteral("run")));
        m_session.setProcessEnvironment(env);
        // The session lasts while the shell reads its input; the daemon's id comes first.
        const QString script = withKeyring
            ? QStringLiteral("printf test-password | gnome-keyring-daemon --foreground --unlock --components=secrets"
                             " >/dev/null 2>&1 & echo $!; echo \"$DBUS_SESSION_BUS_ADDRESS\"; exec cat >/dev/null")
            : QStringLiteral("echo 0; echo \"$DBUS_SESSION_BUS_ADDRESS\"; exec cat >/dev/null");
        m_session.start(QStringLiteral("dbus-run-session"),
            { QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"), script });
        QByteArray out;
        waitUntil(
            [&] {
                m_session.waitForReadyRead(50);
                out += m_session.readAllStandardOutput();
                return out.count('\n') >= 2 || m_session.state() == QProcess::NotRunning;
            },
            10000);
        const QList<QByteArray> lines = out.split('\n');
        if (lines.size() < 2)
            return;
        m_daemon = lines[0].trimmed().toLongLong();
        m_bus = QDBusConnection::connectToBus(QString::fromUtf8(lines[1].trimmed()), m_name);
        m_ok = m_bus.isConnected()
            && (!withKeyring
                || waitUntil(
                    [this] {
                        return m_bus.interface()
                            ->isServiceRegistered(QStringLiteral("org.freedesktop.secrets"))
                            .value();
                    },
                    10000));
    }
    ~KeyringBus()
    {
        QDBusConnection::disconnectFromBus(m_name);
        if (m_daemon > 0)
            ::kill(static_cast<pid_t>(m_daemon), SIGTERM);
        m_session.closeWriteChannel();
        if (!m_session.waitForFinished(5000))
            m_session.kill();
        m_session.waitForFinished(5000);
    }
    KeyringBus(const KeyringBus&) = delete;
    KeyringBus& operator=(const KeyringBus&) = delete;

    bool ok() const { return m_ok; }
    const QDBusConnection& bus() const { return m_bus; }

    // Locks the login keyring, as a screen lock or a timeout would.
    bool lock()
    {
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.secrets"),
            QStringLiteral("/org/freedesktop/secrets"), QStringLiteral("org.freedesktop.Secret.Service"),
            QStringLiteral("Lock"));
        call << QVariant::fromValue(
            QList<QDBusObjectPath> { QDBusObjectPath("/org/freedesktop/secrets/collection/login") });
        return m_bus.call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
    }

private:
    static inline int s_count = 0;
    TempDir m_home;
    QString m_name;
    QProcess m_session;
    qint64 m_daemon = 0;
    QDBusConnection m_bus { QString() };
    bool m_ok = false;
};

} // namespace gwtest
