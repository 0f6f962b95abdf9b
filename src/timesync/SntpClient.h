#pragma once
// A small SNTP client (RFC 4330, version 3, client mode over UDP). Each query waits for its
// reply in a local event loop, so the window stays responsive; `Active` tells a re-entrant
// caller that a synchronisation is under way.
#include "shared/Clock.h"
#include "shared/DateTime.h"
#include "timesync/ClockSetter.h"
#include "timesync/NtpPacket.h"

#include <QObject>
#include <QString>

namespace gw {

class SntpClient : public QObject
{
    Q_OBJECT
public:
    // `clock` supplies the local times of the exchange; `setter` is the only way to the clock.
    SntpClient(const Clock& clock, ClockSetter& setter, QObject* parent = nullptr);

    QString Host() const { return m_host; }
    void setHost(const QString& host) { m_host = host; }
    int Port() const { return m_port; }
    void setPort(int port) { m_port = port; }
    int ReceiveTimeout() const { return m_receiveTimeout; }
    void setReceiveTimeout(int ms) { m_receiveTimeout = ms; }

    // True from the first query until deactivation.
    bool Active() const { return m_active; }
    // Only false has an effect: it ends the client's use (a query opens its own socket).
    void setActive(bool active);

    // One request. The server's transmit time as a local date-time, or exactly 0 when no
    // usable reply came within ReceiveTimeout. Throws gw::Error when the host does not resolve
    // or the socket fails.
    TDateTime query();
    // Server time minus local time of the last query, in days (0 after a query without reply).
    TDateTime offset() const { return m_offsetMicros / 86400e6; }
    double offsetMicros() const { return m_offsetMicros; }

    // A query of its own, then the clock set to the server-corrected time of that exchange.
    // True only when the clock was set.
    bool SyncTime();
    // The last SyncTime got a time but the clock refused it; for want of rights, or not.
    bool clockRefused() const { return m_clockRefused; }
    bool clockLackedRights() const { return m_clockRefused && m_setter.lackedRights(); }

    // Names that never resolve (RFC 6761 ".invalid") are refused without asking the resolver.
    static bool isReservedInvalidName(const QString& host);

private:
    ntp::Timestamp transmitStamp(qint64 unixMicros) const;

    const Clock& m_clock;
    ClockSetter& m_setter;
    QString m_host;
    int m_port = 123;
    int m_receiveTimeout = 2500;
    bool m_active = false;
    bool m_waiting = false;
    bool m_clockRefused = false;
    double m_offsetMicros = 0;
};

} // namespace gw
