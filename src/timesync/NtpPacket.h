#pragma once
// The 48-byte SNTP message (RFC 4330): the request we send, and the checks a reply must pass
// before its time may touch the clock.
#include <QByteArray>
#include <QtGlobal>

namespace gw::ntp {

// 32.32 fixed-point seconds since 1900-01-01 00:00 UTC. Seconds with the top bit clear are
// read as the era that begins in 2036, as RFC 4330 advises, so the client keeps working then.
using Timestamp = quint64;

inline constexpr int PacketSize = 48;
inline constexpr int ModeClient = 3;
inline constexpr int ModeServer = 4;
inline constexpr int LeapAlarm = 3;

Timestamp fromUnixMicros(qint64 micros);
qint64 toUnixMicros(Timestamp ts);

struct Packet
{
    int leap = 0;
    int version = 3;
    int mode = ModeClient;
    int stratum = 0;
    Timestamp originate = 0;
    Timestamp receive = 0;
    Timestamp transmit = 0;
};

QByteArray encode(const Packet& packet);
// A client request: version 3, client mode, everything but the transmit time zero.
QByteArray request(Timestamp transmit);

enum class Verdict {
    Usable,
    Short, // fewer than 48 bytes
    WrongMode, // not a server reply
    Alarm, // leap indicator 3: the server's clock is not synchronised
    BadStratum, // 0 (kiss-o'-death) or above 15
    ZeroTime, // transmit or receive time missing
    Stale, // answers another request than ours (late or forged)
};

// Decodes `datagram` into `reply` (when long enough) and judges it against the transmit time
// we sent. Only a Usable reply may be used for the time or the clock.
Verdict check(const QByteArray& datagram, Timestamp sentTransmit, Packet* reply);

} // namespace gw::ntp
