#pragma once
// A question to a service on D-Bus, answered within a time limit without running the event
// loop: the screen-lock sources and the network are asked in the middle of a tick, which must
// not be re-entered while it waits.
#include <QDBusConnection>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <optional>

namespace gw {

// The first value of the answer; nothing when no service answers within `timeoutMs`, when it
// refuses, or when its answer is empty. A service that does not run is never started by the
// question: it is nothing too.
std::optional<QVariant> askBus(QDBusConnection bus, const QString& service, const QString& path,
    const QString& interface, const QString& method, const QVariantList& arguments, int timeoutMs);

// Every property of `interface` on the object, in one question (Properties.GetAll).
std::optional<QVariantMap> busProperties(
    QDBusConnection bus, const QString& service, const QString& path, const QString& interface, int timeoutMs);

} // namespace gw
