#include "scheduler/LogindSessionWatch.h"

#include "scheduler/BusQuestion.h"

#include <QDBusObjectPath>

#include <unistd.h>

namespace gw {

namespace {
    const QString kLogin = QStringLiteral("org.freedesktop.login1");
    const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
    const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
    const QString kSession = QStringLiteral("org.freedesktop.login1.Session");
    const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
    constexpr int kTimeoutMs = 500;
} // namespace

LogindSessionWatch::LogindSessionWatch(QDBusConnection systemBus, QString sessionId, QObject* parent)
    : ScreenLockSource(parent)
    , m_bus(std::move(systemBus))
    , m_sessionId(sessionId.isEmpty() ? qEnvironmentVariable("XDG_SESSION_ID") : std::move(sessionId))
{
    if (!m_bus.isConnected()) {
        m_known = Known::Absent;
        return;
    }
    m_bus.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), { kLogin }, QString(), this,
        SLOT(ownerChanged(QString, QString, QString)));
}

QString LogindSessionWatch::findSession()
{
    const auto session = m_sessionId.isEmpty()
        ? askBus(m_bus, kLogin, kManagerPath, kManager, QStringLiteral("GetSessionByPID"),
            { static_cast<uint>(::getpid()) }, kTimeoutMs)
        : askBus(m_bus, kLogin, kManagerPath, kManager, QStringLiteral("GetSession"), { m_sessionId }, kTimeoutMs);
    return session ? qvariant_cast<QDBusObjectPath>(*session).path() : QString();
}

bool LogindSessionWatch::readProperties()
{
    const auto values = busProperties(m_bus, kLogin, m_path, kSession, kTimeoutMs);
    if (!values)
        return false;
    m_locked = values->value(QStringLiteral("LockedHint"), false).toBool();
    m_inFront = values->value(QStringLiteral("Active"), true).toBool();
    return true;
}

std::optional<bool> LogindSessionWatch::active()
{
    if (m_known == Known::Ask) {
        if (m_path.isEmpty()) {
            m_path = findSession();
            // Subscribed before the first reading, so no change between them is lost.
            if (!m_path.isEmpty())
                m_bus.connect(kLogin, m_path, kProperties, QStringLiteral("PropertiesChanged"), this,
                    SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
        }
        m_known = !m_path.isEmpty() && readProperties() ? Known::Cached : Known::Absent;
    }
    if (m_known == Known::Absent)
        return std::nullopt;
    return m_locked || !m_inFront;
}

void LogindSessionWatch::propertiesChanged(
    const QString& interface, const QVariantMap& values, const QStringList& invalidated)
{
    if (interface != kSession)
        return;
    if (invalidated.contains(QStringLiteral("LockedHint")) || invalidated.contains(QStringLiteral("Active"))) {
        m_known = Known::Ask; // read again at the next question
    } else {
        if (values.contains(QStringLiteral("LockedHint")))
            m_locked = values.value(QStringLiteral("LockedHint")).toBool();
        if (values.contains(QStringLiteral("Active")))
            m_inFront = values.value(QStringLiteral("Active")).toBool();
    }
    emit changed();
}

void LogindSessionWatch::ownerChanged(const QString& service, const QString&, const QString& newOwner)
{
    if (service != kLogin)
        return;
    // A new owner is read at the next question; one that left is absent until it comes back.
    m_known = newOwner.isEmpty() ? Known::Absent : Known::Ask;
    emit changed();
}

} // namespace gw
