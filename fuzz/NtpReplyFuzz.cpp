// The SNTP reply on any bytes: only a reply that echoes our transmit time and passes every
// check is usable, and what a usable reply yields (offset, server time, the log line's text)
// is computed without overflow, as the client does it.
#include "FuzzSupport.h"

#include "shared/DateTime.h"
#include "timesync/NtpPacket.h"
#include "timesync/OffsetText.h"

#include <QDateTime>

namespace ntp = gw::ntp;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1024)
        return 0;
    FuzzedDataProvider in(data, size);
    // The local times of the exchange: any moment the two eras of the client cover, from 1968
    // (the top bit of the seconds set) to 2104 (the era after 2036 with it clear).
    constexpr qint64 kFirst = -61505152LL * 1000000;
    constexpr qint64 kLast = 4233462143LL * 1000000;
    const auto t1 = in.ConsumeIntegralInRange<qint64>(kFirst, kLast);
    const auto t4 = t1 + in.ConsumeIntegralInRange<qint64>(0, 10LL * 1000000);
    const ntp::Timestamp sent = ntp::fromUnixMicros(t1);
    const std::string rest = in.ConsumeRemainingBytesAsString();
    QByteArray datagram(rest.data(), static_cast<qsizetype>(rest.size()));
    // Half of the replies answer our request, so the later checks are reached.
    if (datagram.size() >= ntp::PacketSize && (size & 1))
        for (int i = 0; i < 8; ++i)
            datagram[24 + i] = static_cast<char>((sent >> (56 - 8 * i)) & 0xFF);

    ntp::Packet reply;
    const ntp::Verdict verdict = ntp::check(datagram, sent, &reply);
    FUZZ_CHECK(ntp::toUnixMicros(sent) == t1, "our transmit time reads back to the microsecond");
    if (verdict != ntp::Verdict::Usable)
        return 0;
    FUZZ_CHECK(datagram.size() >= ntp::PacketSize, "a usable reply is whole");
    FUZZ_CHECK(reply.mode == ntp::ModeServer && reply.leap != ntp::LeapAlarm, "a usable reply comes from a server");
    FUZZ_CHECK(reply.stratum >= 1 && reply.stratum <= 15, "a usable reply has a stratum");
    FUZZ_CHECK(reply.originate == sent && reply.receive != 0 && reply.transmit != 0, "a usable reply answers us");
    FUZZ_CHECK(ntp::check(ntp::encode(reply), sent, nullptr) == ntp::Verdict::Usable, "a usable reply re-encodes");

    const qint64 t2 = ntp::toUnixMicros(reply.receive);
    const qint64 t3 = ntp::toUnixMicros(reply.transmit);
    const double offsetMicros = (static_cast<double>(t2 - t1) + static_cast<double>(t3 - t4)) / 2.0;
    const QDateTime serverTime = QDateTime::fromMSecsSinceEpoch(t3 / 1000, Qt::UTC);
    FUZZ_CHECK(serverTime.isValid(), "every server time is a date-time");
    const gw::TDateTime server = gw::toDateTime(serverTime.toLocalTime());
    const QString line = gw::DateTimeToStr(server) + QStringLiteral(" (") + gw::TimeOffsetText(offsetMicros / 86400e6)
        + QLatin1Char(')');
    FUZZ_CHECK(line.size() > 14, "the log line has a date and an offset");
    return 0;
}
