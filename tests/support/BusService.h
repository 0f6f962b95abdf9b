#pragma once
// A program that serves a name on a private bus, for as long as this object lives: a real
// desktop service (a screensaver under Xvfb) or a python3-dbusmock template standing in for a
// system service (logind, NetworkManager, timedated).
#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace gwtest {

class BusService
{
public:
    BusService() = default;
    ~BusService();
    BusService(const BusService&) = delete;
    BusService& operator=(const BusService&) = delete;

    // Starts `program` with `environment` and waits until `name` is owned on `bus`.
    bool start(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
        QDBusConnection bus, const QString& name, int timeoutMs = 20000);
    // python3-dbusmock's `templateName` on the bus at `address`, as the system bus or the
    // session bus, serving `name`.
    bool startMock(
        const QString& templateName, const QString& address, bool systemBus, QDBusConnection bus, const QString& name);
    void stop();
    QString error() const { return m_error; }

private:
    QProcess m_process;
    QString m_error;
};

// A call on `bus`, its answer waited for (ten seconds at most).
QDBusMessage busCall(QDBusConnection bus, const QString& service, const QString& path, const QString& interface,
    const QString& method, const QVariantList& arguments = {});

} // namespace gwtest
