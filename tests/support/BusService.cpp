#include "BusService.h"

#include "ChildProcess.h"
#include "WaitUntil.h"

#include <QDBusConnectionInterface>

namespace gwtest {

BusService::~BusService()
{
    stop();
}

bool BusService::start(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
    QDBusConnection bus, const QString& name, int timeoutMs)
{
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(10000)) {
        m_error = program + QStringLiteral(" did not start: ") + m_process.errorString();
        return false;
    }
    const bool served = waitUntil(
        [&] { return m_process.state() != QProcess::Running || bus.interface()->isServiceRegistered(name).value(); },
        timeoutMs, 50);
    if (!served || m_process.state() != QProcess::Running) {
        m_error = program + QStringLiteral(" did not serve ") + name + QStringLiteral(": ")
            + QString::fromLocal8Bit(m_process.readAll().right(2000));
        stop();
        return false;
    }
    return true;
}

bool BusService::startMock(
    const QString& templateName, const QString& address, bool systemBus, QDBusConnection bus, const QString& name)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(
        systemBus ? QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS") : QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    QStringList arguments { QStringLiteral("-m"), QStringLiteral("dbusmock") };
    if (systemBus)
        arguments << QStringLiteral("--system");
    arguments << QStringLiteral("--template") << templateName;
    // The system's Python, where the distribution installs python3-dbusmock.
    return start(QStringLiteral("/usr/bin/python3"), arguments, environment, std::move(bus), name);
}

QDBusMessage busCall(QDBusConnection bus, const QString& service, const QString& path, const QString& interface,
    const QString& method, const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, 10000);
}

void BusService::stop()
{
    stopChild(m_process);
}

} // namespace gwtest
