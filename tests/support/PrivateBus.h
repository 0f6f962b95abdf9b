#pragma once
// A session bus of the test's own: a dbus-daemon with the session configuration, so services
// it finds under $XDG_DATA_HOME/dbus-1/services start on demand, listening on a socket in a
// temporary folder. It ends with this object, after the connections made through it.
#include "TempDir.h"

#include <QDBusConnection>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

namespace gwtest {

class PrivateBus
{
public:
    // Starts the daemon at once. The services it starts get `environment` (by default this
    // process's at the moment of the call).
    explicit PrivateBus(const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // False when the daemon did not start or did not say its address.
    bool started() const { return !m_address.isEmpty(); }
    const QString& address() const { return m_address; }
    // This process's connection named `name` (Qt keeps one per name); closed before the bus ends.
    QDBusConnection connect(const QString& name);

private:
    TempDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};

} // namespace gwtest
