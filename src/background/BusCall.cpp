#include "background/BusCall.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>

namespace gw {

QDBusMessage callSessionBus(const QString& service, const QString& path, const QString& interface,
    const QString& method, const QVariantList& arguments, int timeoutMs, QString* error)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        *error = QStringLiteral("no session bus");
        return {};
    }
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(arguments);
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        const QString name = reply.errorName();
        if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
            *error = service + QStringLiteral(" is not running on the session bus");
        else if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply")
            || name == QLatin1String("org.freedesktop.DBus.Error.Timeout"))
            *error = service + QStringLiteral(" did not answer within ") + QString::number(timeoutMs / 1000.0)
                + QStringLiteral(" s");
        else
            *error = service + QStringLiteral(" refused ") + method + QStringLiteral(": ") + reply.errorMessage();
    }
    return reply;
}

} // namespace gw
