#include "scheduler/BusQuestion.h"

#include <QDBusArgument>
#include <QDBusMessage>

namespace gw {

std::optional<QVariant> askBus(QDBusConnection bus, const QString& service, const QString& path,
    const QString& interface, const QString& method, const QVariantList& arguments, int timeoutMs)
{
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(arguments);
    // Asked only of a service that runs already: a desktop's screensaver whose service file
    // happens to be installed would otherwise be started by the question, with its own idea of
    // when to lock the screen. One that starts later is announced by the bus's owner changes.
    call.setAutoStartService(false);
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().constFirst();
}

std::optional<QVariantMap> busProperties(
    QDBusConnection bus, const QString& service, const QString& path, const QString& interface, int timeoutMs)
{
    const auto answer = askBus(std::move(bus), service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("GetAll"), { interface }, timeoutMs);
    if (!answer)
        return std::nullopt;
    return qdbus_cast<QVariantMap>(*answer);
}

} // namespace gw
