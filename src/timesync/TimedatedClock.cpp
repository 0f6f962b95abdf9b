#include "timesync/TimedatedClock.h"

#include "shared/Clock.h"

#include <QDBusMessage>
#include <QDBusVariant>

namespace gw {

namespace {
    const QString kService = QStringLiteral("org.freedesktop.timedate1");
    const QString kPath = QStringLiteral("/org/freedesktop/timedate1");
    constexpr int kPropertyTimeoutMs = 1000;
} // namespace

TimedatedClockSetter::TimedatedClockSetter(const Clock& clock, QDBusConnection systemBus)
    : m_clock(clock)
    , m_bus(std::move(systemBus))
{
}

bool TimedatedClockSetter::setTime(const QDateTime& utc)
{
    m_lackedRights = false;
    if (!utc.isValid() || !m_bus.isConnected()) {
        m_lastError = utc.isValid() ? QStringLiteral("no system bus") : QStringLiteral("invalid time");
        return false;
    }
    const qint64 offsetUsec = m_clock.nowUtc().msecsTo(utc) * 1000;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("SetTime"));
    call.setArguments({ offsetUsec, true, true }); // relative, interactive
    // The window keeps drawing while the desktop asks for the password; the time sync's own
    // guard keeps a second synchronisation out meanwhile.
    const QDBusMessage reply = m_bus.call(call, QDBus::BlockWithGui, AuthorizationTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        m_lastError.clear();
        return true;
    }
    m_lastError = reply.errorMessage();
    m_lackedRights = reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.AccessDenied")
        || reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.InteractiveAuthorizationRequired");
    return false;
}

std::optional<bool> systemSynchronisesClock(QDBusConnection systemBus)
{
    if (!systemBus.isConnected())
        return std::nullopt;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call.setArguments({ kService, QStringLiteral("NTP") });
    const QDBusMessage reply = systemBus.call(call, QDBus::Block, kPropertyTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toBool();
}

} // namespace gw
