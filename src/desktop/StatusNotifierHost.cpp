#include "desktop/StatusNotifierHost.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>

namespace gw {

// Qt decides once, when the first tray icon is made, whether to speak the StatusNotifier
// protocol (a watcher with a registered host on the session bus) and then registers its item
// under "org.kde.StatusNotifierItem-<pid>-<n>", on a bus connection of its own. Asking the
// watcher now could give another answer than Qt got then (a host that came or went since);
// the item's name held by this process is what Qt actually did, so that is what is asked.
bool trayOnStatusNotifierHost()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QDBusReply<QStringList> names = bus.interface()->registeredServiceNames();
    if (!names.isValid())
        return false;
    const qint64 pid = QCoreApplication::applicationPid();
    const QString prefix = QStringLiteral("org.kde.StatusNotifierItem-") + QString::number(pid) + QLatin1Char('-');
    for (const QString& name : names.value()) {
        if (!name.startsWith(prefix))
            continue;
        const QDBusReply<uint> owner = bus.interface()->servicePid(name);
        if (owner.isValid() && owner.value() == pid)
            return true;
    }
    return false;
}

} // namespace gw
