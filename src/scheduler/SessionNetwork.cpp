#include "scheduler/SessionNetwork.h"

#include "scheduler/BusQuestion.h"
#include "shared/Clock.h"

namespace gw {

namespace {
    const QString kNm = QStringLiteral("org.freedesktop.NetworkManager");
    const QString kNmPath = QStringLiteral("/org/freedesktop/NetworkManager");
    const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
    constexpr int kTimeoutMs = 500;
} // namespace

SessionNetwork::SessionNetwork(const Clock& clock, QDBusConnection systemBus, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_bus(std::move(systemBus))
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
        SLOT(prepareForSleep(bool)));
    m_bus.connect(kNm, kNmPath, kNm, QStringLiteral("StateChanged"), this, SLOT(stateChanged(uint)));
    m_bus.connect(kNm, kNmPath, kProperties, QStringLiteral("PropertiesChanged"), this,
        SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    m_bus.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), { kNm }, QString(), this,
        SLOT(ownerChanged(QString, QString, QString)));
    readManager();
}

void SessionNetwork::readManager()
{
    const auto values = busProperties(m_bus, kNm, kNmPath, kNm, kTimeoutMs);
    m_present = values.has_value();
    if (!m_present)
        return;
    m_state = values->value(QStringLiteral("State")).toUInt();
    m_metered = values->value(QStringLiteral("Metered")).toUInt();
}

double SessionNetwork::downloadsHeldFor(double bootNow) const
{
    if (!m_resumedAt)
        return 0;
    if (m_present && m_managedBeforeSleep)
        return m_state == ConnectedGlobal ? 0 : Forever;
    return std::max(0.0, *m_resumedAt + ResumeWaitSeconds - bootNow);
}

bool SessionNetwork::metered() const
{
    return m_present && (m_metered == MeteredYes || m_metered == MeteredGuessYes);
}

void SessionNetwork::prepareForSleep(bool starting)
{
    if (starting) {
        m_managedBeforeSleep = m_present && m_state == ConnectedGlobal;
        return;
    }
    m_resumedAt = m_clock.bootSeconds();
    emit changed();
}

void SessionNetwork::stateChanged(uint state)
{
    m_state = state;
    if (m_resumedAt && m_present && m_managedBeforeSleep && state == ConnectedGlobal)
        m_resumedAt.reset();
    emit changed();
}

void SessionNetwork::propertiesChanged(const QString& interface, const QVariantMap& values, const QStringList&)
{
    if (interface != kNm)
        return;
    if (values.contains(QStringLiteral("Metered")))
        m_metered = values.value(QStringLiteral("Metered")).toUInt();
    if (values.contains(QStringLiteral("State"))) {
        stateChanged(values.value(QStringLiteral("State")).toUInt());
        return;
    }
    emit changed();
}

void SessionNetwork::ownerChanged(const QString& service, const QString&, const QString& newOwner)
{
    if (service != kNm)
        return;
    if (newOwner.isEmpty()) {
        m_present = false;
        m_state = 0;
        m_metered = 0;
    } else {
        readManager();
    }
    emit changed();
}

} // namespace gw
