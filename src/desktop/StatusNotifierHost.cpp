#include "desktop/StatusNotifierHost.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>

namespace gw {

// Qt decides once, when the first tray icon is made, whether to speak the StatusNotifier
// protocol, and then registers the item with the watcher under a bus name that differs between
// Qt versions (its connection's unique name, or "org.kde.StatusNotifierItem-<pid>-<n>").
// Asking whether a host is registered now could give another answer than Qt got then; the
// watcher's list of items holding one registered by this process is what Qt actually did, so
// that is what is asked. Watchers list an item as its bus name, possibly followed by its path.
bool trayOnStatusNotifierHost()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QString watcherName = QStringLiteral("org.kde.StatusNotifierWatcher");
    if (!bus.interface()->isServiceRegistered(watcherName))
        return false;
    QDBusInterface watcher(watcherName, QStringLiteral("/StatusNotifierWatcher"), watcherName, bus);
    const QStringList items = watcher.property("RegisteredStatusNotifierItems").toStringList();
    const qint64 pid = QCoreApplication::applicationPid();
    for (const QString& item : items) {
        const QString name = item.section(QLatin1Char('/'), 0, 0);
        if (name.isEmpty())
            continue;
        const QDBusReply<uint> owner = bus.interface()->servicePid(name);
        if (owner.isValid() && owner.value() == pid)
            return true;
    }
    return false;
}

} // namespace gw
