#pragma once
// A private session bus with gnome-keyring-daemon on it (its login keyring made and unlocked
// with a password the test gives) or without any keyring.
#include "support/PrivateBus.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QProcess>

namespace gwtest {

class KeyringBus
{
public:
    explicit KeyringBus(bool withKeyring)
        : m_name(QStringLiteral("keyring-bus-%1").arg(++s_count))
        , m_environment(homeEnvironment(m_home))
        , m_privateBus(m_environment)
    {
        if (!m_privateBus.started())
            return;
        if (withKeyring) {
            m_keyring.setStandardErrorFile(QProcess::nullDevice());
            startKeyring(QStringLiteral("gnome-keyring-daemon"),
                { QStringLiteral("--foreground"), QStringLiteral("--unlock"), QStringLiteral("--components=secrets") });
            // The password, up to the end of the input, makes and unlocks the login keyring.
            m_keyring.write("test-password");
            m_keyring.closeWriteChannel();
        }
        m_bus = m_privateBus.connect(m_name);
        m_ok = m_bus.isConnected() && (!withKeyring || keyringOnBus());
    }
    ~KeyringBus()
    {
        QDBusConnection::disconnectFromBus(m_name);
        if (m_keyring.state() == QProcess::NotRunning)
            return;
        m_keyring.terminate();
        if (!m_keyring.waitForFinished(5000))
            m_keyring.kill();
        m_keyring.waitForFinished(5000);
    }
    KeyringBus(const KeyringBus&) = delete;
    KeyringBus& operator=(const KeyringBus&) = delete;

    bool ok() const { return m_ok; }

    // A Secret Service that answers the first call it gets (with a session) and no other, as a
    // keyring stuck behind a prompt nobody sees. False when python3-dbus is missing.
    bool startServiceThatAnswersOnce()
    {
        static const char script[] = R"(import dbus, dbus.lowlevel, dbus.mainloop.glib
from gi.repository import GLib
dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
held = []
def answer_once(connection, message):
    if message.get_type() != dbus.lowlevel.MESSAGE_TYPE_METHOD_CALL:
        return dbus.lowlevel.HANDLER_RESULT_NOT_YET_HANDLED
    held.append(message)
    if len(held) == 1:
        reply = dbus.lowlevel.MethodReturnMessage(message)
        reply.append(dbus.String('', variant_level=1), dbus.ObjectPath('/org/freedesktop/secrets/session/s1'), signature='vo')
        connection.send_message(reply)
    return dbus.lowlevel.HANDLER_RESULT_HANDLED
bus.add_message_filter(answer_once)
bus.request_name('org.freedesktop.secrets')
GLib.MainLoop().run()
)";
        // The system's Python: python3-dbus lives there, not in a user's own Python.
        startKeyring(QStringLiteral("/usr/bin/python3"), { QStringLiteral("-c"), QString::fromLatin1(script) });
        return m_ok && keyringOnBus();
    }
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
    void startKeyring(const QString& program, const QStringList& arguments)
    {
        QProcessEnvironment env = m_environment;
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_privateBus.address());
        m_keyring.setProcessEnvironment(env);
        m_keyring.setStandardOutputFile(QProcess::nullDevice());
        m_keyring.start(program, arguments);
    }
    // True once the keyring started runs and holds its name on the bus.
    bool keyringOnBus()
    {
        return waitUntil(
            [this] {
                return m_keyring.state() == QProcess::Running
                    && m_bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")).value();
            },
            10000);
    }

    // A home of the test's own, where the keyring keeps its files and its sockets.
    static QProcessEnvironment homeEnvironment(const TempDir& home)
    {
        QDir().mkpath(home.file(QStringLiteral("run")));
        QFile::setPermissions(home.file(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.file(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.file(QStringLiteral("run")));
        return env;
    }

    static inline int s_count = 0;
    TempDir m_home;
    QString m_name;
    QProcessEnvironment m_environment;
    PrivateBus m_privateBus;
    QProcess m_keyring;
    QDBusConnection m_bus { QString() };
    bool m_ok = false;
};

} // namespace gwtest
