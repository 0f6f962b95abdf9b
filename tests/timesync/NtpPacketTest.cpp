// The wire format and the reply checks that stand between a datagram and the clock.
#include "timesync/NtpPacket.h"
#include "support/Printers.h"

#include <QDateTime>
#include <functional>
#include <gtest/gtest.h>

using namespace gw;

namespace {
qint64 micros(const char* isoUtc)
{
    return QDateTime::fromString(QString::fromLatin1(isoUtc), Qt::ISODate).toMSecsSinceEpoch() * 1000;
}
} // namespace

TEST(NtpTimestamp, RoundTripsAcrossTheEras)
{
    struct Case
    {
        const char* label;
        const char* utc;
        qint64 extraMicros;
    };
    const Case cases[] = {
        { "Unix epoch", "1970-01-01T00:00:00Z", 0 },
        { "an ordinary day, with microseconds", "2026-12-06T14:31:07Z", 123456 },
        { "last second of era 0", "2036-02-07T06:28:15Z", 999999 },
        { "first second of era 1", "2036-02-07T06:28:16Z", 0 },
        { "well into era 1", "2090-06-01T12:00:00Z", 500000 },
    };
    for (const Case& c : cases) {
        const qint64 us = micros(c.utc) + c.extraMicros;
        EXPECT_EQ(ntp::toUnixMicros(ntp::fromUnixMicros(us)), us) << c.label;
    }
}

TEST(NtpTimestamp, KnownWireValues)
{
    // 1970 is 2208988800 s after 1900; half a second is 2^31 in the fraction.
    EXPECT_EQ(ntp::fromUnixMicros(0), 2208988800ULL << 32) << "Unix epoch";
    EXPECT_EQ(ntp::fromUnixMicros(500000), (2208988800ULL << 32) | 0x80000000ULL) << "half a second";
    EXPECT_EQ(ntp::fromUnixMicros(micros("2036-02-07T06:28:16Z")) >> 32, 0u) << "era 1 starts at 0 s";
    EXPECT_EQ(ntp::fromUnixMicros(999999) >> 32, 2208988800ULL) << "a fraction never carries too early";
}

TEST(NtpRequest, IsVersion3ClientWithOurTransmitTime)
{
    const ntp::Timestamp t = 0x0123456789ABCDEFULL;
    const QByteArray r = ntp::request(t);
    ASSERT_EQ(r.size(), 48);
    EXPECT_EQ(static_cast<quint8>(r.at(0)), 0x1B) << "LI 0, VN 3, mode 3";
    EXPECT_EQ(r.mid(1, 39), QByteArray(39, '\0')) << "everything before the transmit time is zero";
    EXPECT_EQ(r.mid(40).toHex(), QByteArray("0123456789abcdef")) << "transmit time, big-endian";
}

TEST(NtpReply, OnlyASaneAnswerToOurRequestIsUsable)
{
    const ntp::Timestamp sent = ntp::fromUnixMicros(micros("2026-12-06T14:31:07Z"));
    ntp::Packet good;
    good.mode = ntp::ModeServer;
    good.version = 3;
    good.stratum = 2;
    good.originate = sent;
    good.receive = sent + (1ULL << 32);
    good.transmit = sent + (1ULL << 32);

    struct Case
    {
        const char* label;
        std::function<void(ntp::Packet&)> change;
        int chop; // negative: bytes appended
        ntp::Verdict expected;
    };
    const Case cases[] = {
        { "a proper reply", [](ntp::Packet&) {}, 0, ntp::Verdict::Usable },
        { "stratum 1", [](ntp::Packet& p) { p.stratum = 1; }, 0, ntp::Verdict::Usable },
        { "stratum 15", [](ntp::Packet& p) { p.stratum = 15; }, 0, ntp::Verdict::Usable },
        { "version 4 reply", [](ntp::Packet& p) { p.version = 4; }, 0, ntp::Verdict::Usable },
        { "leap second announced (LI 1)", [](ntp::Packet& p) { p.leap = 1; }, 0, ntp::Verdict::Usable },
        { "key identifier and digest appended", [](ntp::Packet&) {}, -20, ntp::Verdict::Usable },
        { "47 bytes", [](ntp::Packet&) {}, 1, ntp::Verdict::Short },
        { "empty datagram", [](ntp::Packet&) {}, 48, ntp::Verdict::Short },
        { "leap indicator 3", [](ntp::Packet& p) { p.leap = 3; }, 0, ntp::Verdict::Alarm },
        { "stratum 0 (kiss-o'-death)", [](ntp::Packet& p) { p.stratum = 0; }, 0, ntp::Verdict::BadStratum },
        { "stratum 16", [](ntp::Packet& p) { p.stratum = 16; }, 0, ntp::Verdict::BadStratum },
        { "stratum 255", [](ntp::Packet& p) { p.stratum = 255; }, 0, ntp::Verdict::BadStratum },
        { "zero transmit time", [](ntp::Packet& p) { p.transmit = 0; }, 0, ntp::Verdict::ZeroTime },
        { "zero receive time", [](ntp::Packet& p) { p.receive = 0; }, 0, ntp::Verdict::ZeroTime },
        { "client mode (our own request reflected)", [](ntp::Packet& p) { p.mode = 3; }, 0, ntp::Verdict::WrongMode },
        { "broadcast mode", [](ntp::Packet& p) { p.mode = 5; }, 0, ntp::Verdict::WrongMode },
        { "originate off by one unit", [sent](ntp::Packet& p) { p.originate = sent + 1; }, 0, ntp::Verdict::Stale },
        { "originate zero", [](ntp::Packet& p) { p.originate = 0; }, 0, ntp::Verdict::Stale },
        { "wrong originate beats everything else",
            [](ntp::Packet& p) {
                p.originate = 0;
                p.mode = 3;
                p.leap = 3;
            },
            0, ntp::Verdict::Stale },
    };
    for (const Case& c : cases) {
        ntp::Packet p = good;
        c.change(p);
        QByteArray wire = ntp::encode(p);
        if (c.chop >= 0)
            wire.chop(c.chop);
        else
            wire.append(QByteArray(-c.chop, 'x'));
        EXPECT_EQ(ntp::check(wire, sent, nullptr), c.expected) << c.label;
    }
}
