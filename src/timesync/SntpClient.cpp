#include "timesync/SntpClient.h"

#include "shared/Error.h"
#include "shared/FlagGuard.h"
#include "shared/Posix.h"
#include "timesync/HostLookup.h"

#include <QEventLoop>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cmath>
#include <optional>

namespace gw {

namespace {
    // Bits of the transmit fraction below the clock's millisecond resolution (about 0.24 ms):
    // random, so a forged reply cannot guess the originate time it has to echo.
    constexpr ntp::Timestamp kRandomBits = (1ULL << 20) - 1;

    qint64 unixMicros(const QDateTime& utc)
    {
        return utc.toMSecsSinceEpoch() * 1000;
    }

    // What one request waits for: the first answer of the server asked, from the port asked.
    struct Exchange
    {
        SocketAddress server;
        ntp::Timestamp sent = 0;
        qint64 sentMicros = 0; // local time of the request
        std::optional<ntp::Verdict> verdict;
        ntp::Packet reply;
        qint64 receivedMicros = 0; // local time of the answer
        QString socketError;
    };

    // Reads the waiting datagrams until one answers the request or the socket fails; true once
    // the wait is over.
    bool takeAnswer(int fd, const Clock& clock, Exchange& x)
    {
        // Larger than any UDP payload, so no datagram is cut short.
        QByteArray buffer(65536, Qt::Uninitialized);
        while (!x.verdict) {
            sockaddr_storage from {};
            socklen_t fromLength = sizeof from;
            const ssize_t n = ::recvfrom(fd, buffer.data(), static_cast<size_t>(buffer.size()), 0,
                reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    x.socketError = systemErrorText();
                break;
            }
            // Only the server we asked, from the port we asked, can answer.
            const std::optional<SocketAddress> sender
                = SocketAddress::from(reinterpret_cast<sockaddr*>(&from), fromLength);
            if (!sender || *sender != x.server)
                continue;
            ntp::Packet p;
            const ntp::Verdict v = ntp::check(buffer.left(static_cast<qsizetype>(n)), x.sent, &p);
            if (v == ntp::Verdict::Stale)
                continue;
            x.receivedMicros = unixMicros(clock.nowUtc());
            x.verdict = v;
            x.reply = p;
        }
        return x.verdict.has_value() || !x.socketError.isEmpty();
    }

    // Waits in a local event loop for the answer, a socket error or the time-out.
    void awaitAnswer(int fd, const Clock& clock, int timeoutMs, Exchange& x)
    {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QSocketNotifier readable(fd, QSocketNotifier::Read);
        QObject::connect(&readable, &QSocketNotifier::activated, &loop, [&] {
            if (takeAnswer(fd, clock, x))
                loop.quit();
        });
        timer.start(timeoutMs > 0 ? timeoutMs : 0);
        loop.exec();
        readable.setEnabled(false);
    }

    // A literal address as it is, else the resolver's answer.
    SocketAddress resolve(const QString& host)
    {
        if (std::optional<SocketAddress> literal = numericAddress(host))
            return *literal;
        if (host.trimmed().isEmpty() || SntpClient::isReservedInvalidName(host))
            throw Error(QStringLiteral("Host not found: ") + host);
        const HostLookup lookup = lookUpHost(host);
        if (lookup.outcome == HostLookup::Interrupted)
            throw Error(QStringLiteral("Host lookup interrupted: ") + host);
        if (lookup.outcome != HostLookup::Found)
            throw Error(QStringLiteral("Host not found: ") + host);
        return lookup.address;
    }

} // namespace

SntpClient::SntpClient(const Clock& clock, ClockSetter& setter, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_setter(setter)
{
}

void SntpClient::setActive(bool active)
{
    if (!active)
        m_active = false;
}

bool SntpClient::isReservedInvalidName(const QString& host)
{
    QString name = host.trimmed().toLower();
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    return name == QLatin1String("invalid") || name.endsWith(QLatin1String(".invalid"));
}

ntp::Timestamp SntpClient::transmitStamp(qint64 micros) const
{
    return (ntp::fromUnixMicros(micros) & ~kRandomBits) | (QRandomGenerator::system()->generate64() & kRandomBits);
}

TDateTime SntpClient::query()
{
    if (m_waiting)
        throw Error(QStringLiteral("A time query is already running"));
    FlagGuard waiting(m_waiting);
    m_active = true;
    m_offsetMicros = 0;

    Exchange x;
    x.server = resolve(m_host);
    if (m_port <= 0 || m_port > 65535)
        throw Error(QStringLiteral("Invalid port ") + QString::number(m_port));
    x.server.setPort(static_cast<quint16>(m_port));

    // A fresh socket per request: a late reply to an earlier request lands nowhere.
    const UniqueFd socket(::socket(x.server.family(), SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (socket.get() < 0)
        throw Error(QStringLiteral("Cannot open a UDP socket: ") + systemErrorText());
    SocketAddress any;
    any.storage.ss_family = static_cast<sa_family_t>(x.server.family());
    any.length = x.server.length;
    if (::bind(socket.get(), any.data(), any.length) != 0)
        throw Error(QStringLiteral("Cannot open a UDP socket: ") + systemErrorText());

    x.sentMicros = unixMicros(m_clock.nowUtc());
    x.sent = transmitStamp(x.sentMicros);
    const QByteArray request = ntp::request(x.sent);
    ssize_t sent = -1;
    do
        sent = ::sendto(socket.get(), request.constData(), static_cast<size_t>(request.size()), 0, x.server.data(),
            x.server.length);
    while (sent < 0 && errno == EINTR);
    if (sent != ntp::PacketSize) {
        const QString reason = sent < 0 ? systemErrorText() : QStringLiteral("short write");
        throw Error(QStringLiteral("Cannot send to ") + m_host + QStringLiteral(": ") + reason);
    }

    awaitAnswer(socket.get(), m_clock, m_receiveTimeout, x);
    if (!x.socketError.isEmpty())
        throw Error(QStringLiteral("Error receiving from ") + m_host + QStringLiteral(": ") + x.socketError);
    if (!x.verdict || *x.verdict != ntp::Verdict::Usable)
        return 0;

    const qint64 t1 = x.sentMicros;
    const qint64 t2 = ntp::toUnixMicros(x.reply.receive);
    const qint64 t3 = ntp::toUnixMicros(x.reply.transmit);
    const qint64 t4 = x.receivedMicros;
    m_offsetMicros = (static_cast<double>(t2 - t1) + static_cast<double>(t3 - t4)) / 2.0;
    const QDateTime serverTime = QDateTime::fromMSecsSinceEpoch(t3 / 1000, Qt::UTC);
    return toDateTime(serverTime.toLocalTime());
}

bool SntpClient::SyncTime()
{
    m_clockRefused = false;
    if (query() == 0)
        return false;
    const auto offsetMs = static_cast<qint64>(std::llround(m_offsetMicros / 1000.0));
    m_clockRefused = !m_setter.setTime(m_clock.nowUtc().addMSecs(offsetMs));
    return !m_clockRefused;
}

} // namespace gw
