#include "timesync/NtpPacket.h"

namespace gw::ntp {

namespace {
    constexpr qint64 kUnixToNtpSeconds = 2208988800LL; // 1900-01-01 to 1970-01-01
    constexpr qint64 kEra = 1LL << 32;
    constexpr qint64 kMicros = 1000000;

    void putTimestamp(QByteArray& out, int offset, Timestamp ts)
    {
        for (int i = 0; i < 8; ++i)
            out[offset + i] = static_cast<char>((ts >> (56 - 8 * i)) & 0xFF);
    }

    Timestamp getTimestamp(const QByteArray& in, int offset)
    {
        Timestamp ts = 0;
        for (int i = 0; i < 8; ++i)
            ts = (ts << 8) | static_cast<quint8>(in.at(offset + i));
        return ts;
    }
} // namespace

Timestamp fromUnixMicros(qint64 micros)
{
    qint64 seconds = micros / kMicros;
    qint64 rest = micros % kMicros;
    if (rest < 0) {
        rest += kMicros;
        --seconds;
    }
    // Modulo the era: 2036 onwards wraps to small second counts, which toUnixMicros reads back.
    const auto ntpSeconds = static_cast<quint64>((seconds + kUnixToNtpSeconds) % kEra + kEra) % kEra;
    const quint64 fraction = ((static_cast<quint64>(rest) << 32) + kMicros / 2) / kMicros;
    return (ntpSeconds << 32) + fraction; // a fraction rounded up to 2^32 carries into the seconds
}

qint64 toUnixMicros(Timestamp ts)
{
    const auto seconds = static_cast<qint64>(ts >> 32);
    const quint64 fraction = ts & 0xFFFFFFFFULL;
    const qint64 unixSeconds
        = (seconds & 0x80000000LL) ? seconds - kUnixToNtpSeconds : seconds + kEra - kUnixToNtpSeconds;
    const auto micros = static_cast<qint64>((fraction * kMicros + (1ULL << 31)) >> 32);
    return unixSeconds * kMicros + micros;
}

QByteArray encode(const Packet& packet)
{
    QByteArray out(PacketSize, '\0');
    out[0] = static_cast<char>(((packet.leap & 3) << 6) | ((packet.version & 7) << 3) | (packet.mode & 7));
    out[1] = static_cast<char>(packet.stratum & 0xFF);
    putTimestamp(out, 24, packet.originate);
    putTimestamp(out, 32, packet.receive);
    putTimestamp(out, 40, packet.transmit);
    return out;
}

QByteArray request(Timestamp transmit)
{
    Packet p;
    p.version = 3;
    p.mode = ModeClient;
    p.transmit = transmit;
    return encode(p);
}

Verdict check(const QByteArray& datagram, Timestamp sentTransmit, Packet* reply)
{
    if (datagram.size() < PacketSize)
        return Verdict::Short;
    Packet p;
    const auto first = static_cast<quint8>(datagram.at(0));
    p.leap = first >> 6;
    p.version = (first >> 3) & 7;
    p.mode = first & 7;
    p.stratum = static_cast<quint8>(datagram.at(1));
    p.originate = getTimestamp(datagram, 24);
    p.receive = getTimestamp(datagram, 32);
    p.transmit = getTimestamp(datagram, 40);
    if (reply)
        *reply = p;
    // A packet that does not echo our transmit time answers nothing we asked, whatever it says.
    if (p.originate != sentTransmit)
        return Verdict::Stale;
    if (p.mode != ModeServer)
        return Verdict::WrongMode;
    if (p.leap == LeapAlarm)
        return Verdict::Alarm;
    if (p.stratum == 0 || p.stratum > 15)
        return Verdict::BadStratum;
    if (p.transmit == 0 || p.receive == 0)
        return Verdict::ZeroTime;
    return Verdict::Usable;
}

} // namespace gw::ntp
