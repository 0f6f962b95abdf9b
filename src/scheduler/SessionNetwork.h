#pragma once
// The network as the system reports it, for the timed downloads: after a resume (the login
// manager's PrepareForSleep(false)) they wait until NetworkManager says the network is
// connected, or two minutes where it cannot say; and whether the connection is metered.
#include "scheduler/NetworkGate.h"

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>
#include <optional>

namespace gw {

class Clock;

class SessionNetwork : public QObject, public NetworkGate
{
    Q_OBJECT
public:
    // The wait after a resume where NetworkManager cannot end it.
    static constexpr double ResumeWaitSeconds = 120;
    // NetworkManager's states and metered values, as it sends them.
    static constexpr uint ConnectedGlobal = 70;
    static constexpr uint MeteredYes = 1;
    static constexpr uint MeteredGuessYes = 3;

    explicit SessionNetwork(
        const Clock& clock, QDBusConnection systemBus = QDBusConnection::systemBus(), QObject* parent = nullptr);

    double downloadsHeldFor(double bootNow) const override;
    // The connection is metered (NetworkManager says yes or guesses yes).
    bool metered() const;
    bool networkManagerPresent() const { return m_present; }

signals:
    // Something that decides when downloads may start has changed.
    void changed();

public slots:
    void prepareForSleep(bool starting);

private slots:
    void stateChanged(uint state);
    void propertiesChanged(const QString& interface, const QVariantMap& values, const QStringList& invalidated);
    void ownerChanged(const QString& service, const QString& oldOwner, const QString& newOwner);

private:
    void readManager();

    const Clock& m_clock;
    QDBusConnection m_bus;
    bool m_present = false;
    uint m_state = 0;
    uint m_metered = 0;
    // Whether NetworkManager had the network up before the sleep: if not, it does not manage
    // this computer's connection, and its word after the resume is not waited for.
    bool m_managedBeforeSleep = false;
    std::optional<double> m_resumedAt; // boot-clock seconds, while the wait lasts
};

} // namespace gw
