#include "PrivateBus.h"
#include "ChildProcess.h"
#include "WaitUntil.h"

#include <QStandardPaths>

namespace gwtest {

PrivateBus::PrivateBus(const QProcessEnvironment& environment)
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        return;
    m_daemon.setProcessEnvironment(environment);
    m_daemon.start(daemon,
        { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
            QStringLiteral("--address=unix:path=") + m_dir.file(QStringLiteral("bus")) });
    if (!m_daemon.waitForStarted(5000))
        return;
    // The address comes as one line once the daemon listens.
    QByteArray out;
    waitUntil(
        [&] {
            if (out.contains('\n') || m_daemon.state() != QProcess::Running)
                return true;
            m_daemon.waitForReadyRead(200);
            out += m_daemon.readAllStandardOutput();
            return false;
        },
        10000);
    m_address = QString::fromLocal8Bit(out.trimmed());
}

PrivateBus::~PrivateBus()
{
    for (const QString& name : std::as_const(m_connections))
        QDBusConnection::disconnectFromBus(name);
    stopChild(m_daemon);
}

QDBusConnection PrivateBus::connect(const QString& name)
{
    if (!m_connections.contains(name))
        m_connections << name;
    return QDBusConnection::connectToBus(m_address, name);
}

} // namespace gwtest
