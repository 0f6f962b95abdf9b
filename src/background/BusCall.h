#pragma once
// Calls on the session bus with a time limit, and their failures as one reason for the log.
#include <QDBusMessage>
#include <QString>
#include <QVariantList>

namespace gw {

// The reply; on failure *error holds why (no session bus, no such service, a refusal, no
// answer within the limit).
QDBusMessage callSessionBus(const QString& service, const QString& path, const QString& interface,
    const QString& method, const QVariantList& arguments, int timeoutMs, QString* error);

} // namespace gw
