#pragma once
// The clock as a desktop user sets it: through systemd-timedated, which asks for the
// administrator's password (interactive authorization) as the desktop's own clock settings do.
// And whether the system keeps its clock synchronised by itself (timedated's NTP on), in which
// case the time sync only measures.
#include "timesync/ClockSetter.h"

#include <QDBusConnection>
#include <QString>
#include <optional>

namespace gw {

class Clock;

class TimedatedClockSetter : public ClockSetter
{
public:
    // How long the password question may take.
    static constexpr int AuthorizationTimeoutMs = 120000;

    explicit TimedatedClockSetter(const Clock& clock, QDBusConnection systemBus = QDBusConnection::systemBus());

    // Moves the clock by the difference between `utc` and now, so the time the password
    // question takes does not count.
    bool setTime(const QDateTime& utc) override;
    bool lackedRights() const override { return m_lackedRights; }
    QString lastError() const { return m_lastError; }

private:
    const Clock& m_clock;
    QDBusConnection m_bus;
    bool m_lackedRights = false;
    QString m_lastError;
};

// timedated's NTP property: true when the system synchronises the clock itself; nothing
// without timedated.
std::optional<bool> systemSynchronisesClock(QDBusConnection systemBus = QDBusConnection::systemBus());

} // namespace gw
