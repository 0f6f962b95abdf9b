#include "timesync/SntpClient.h"

#include "shared/Error.h"
#include "shared/FlagGuard.h"

#include <QEventLoop>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QPointer>
#include <QRandomGenerator>
#include <QTimer>
#include <QUdpSocket>

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
        QHostAddress server;
        quint16 port = 0;
        ntp::Timestamp sent = 0;
        qint64 sentMicros = 0; // local time of the request
        std::optional<ntp::Verdict> verdict;
        ntp::Packet reply;
        qint64 receivedMicros = 0; // local time of the answer
        QString socketError;
    };

    // Reads the waiting datagrams until one answers the request; true once one has.
    bool takeAnswer(QUdpSocket& socket, const Clock& clock, Exchange& x)
    {
        while (socket.hasPendingDatagrams() && !x.verdict) {
            const QNetworkDatagram datagram = socket.receiveDatagram();
            if (!datagram.isValid())
                continue;
            // Only the server we asked, from the port we asked, can answer.
            if (!datagram.senderAddress().isEqual(x.server, QHostAddress::ConvertV4MappedToIPv4)
                || datagram.senderPort() != x.port)
                continue;
            ntp::Packet p;
            const ntp::Verdict v = ntp::check(datagram.data(), x.sent, &p);
            if (v == ntp::Verdict::Stale)
                continue;
            x.receivedMicros = unixMicros(clock.nowUtc());
            x.verdict = v;
            x.reply = p;
        }
        return x.verdict.has_value();
    }

    // Waits in a local event loop for the answer, a socket error or the time-out.
    void awaitAnswer(QUdpSocket& socket, const Clock& clock, int timeoutMs, Exchange& x)
    {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&socket, &QUdpSocket::readyRead, &loop, [&] {
            if (takeAnswer(socket, clock, x))
                loop.quit();
        });
        QObject::connect(&socket, &QUdpSocket::errorOccurred, &loop, [&](QAbstractSocket::SocketError) {
            x.socketError = socket.errorString();
            loop.quit();
        });
        timer.start(timeoutMs > 0 ? timeoutMs : 0);
        loop.exec();
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

QHostAddress SntpClient::resolve(const QString& host)
{
    QHostAddress literal;
    if (literal.setAddress(host))
        return literal;
    if (host.trimmed().isEmpty() || isReservedInvalidName(host))
        throw Error(QStringLiteral("Host not found: ") + host);

    // The lookup runs on Qt's resolver threads; the window keeps working meanwhile.
    std::optional<QHostInfo> answer;
    QEventLoop loop;
    const int id = QHostInfo::lookupHost(host, &loop, [&](const QHostInfo& info) {
        answer = info;
        loop.quit();
    });
    if (!answer)
        loop.exec();
    if (!answer) {
        QHostInfo::abortHostLookup(id);
        throw Error(QStringLiteral("Host lookup interrupted: ") + host);
    }
    if (answer->error() != QHostInfo::NoError || answer->addresses().isEmpty())
        throw Error(QStringLiteral("Host not found: ") + host);
    // IPv4 first: many hosts publish an IPv6 address that this computer cannot reach.
    for (const QHostAddress& a : answer->addresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            return a;
    return answer->addresses().constFirst();
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
    x.port = static_cast<quint16>(m_port);

    // A fresh socket per request: a late reply to an earlier request lands nowhere.
    QUdpSocket socket;
    const bool v6 = x.server.protocol() == QAbstractSocket::IPv6Protocol;
    if (!socket.bind(v6 ? QHostAddress(QHostAddress::AnyIPv6) : QHostAddress(QHostAddress::AnyIPv4), 0))
        throw Error(QStringLiteral("Cannot open a UDP socket: ") + socket.errorString());

    x.sentMicros = unixMicros(m_clock.nowUtc());
    x.sent = transmitStamp(x.sentMicros);
    if (socket.writeDatagram(ntp::request(x.sent), x.server, x.port) != ntp::PacketSize)
        throw Error(QStringLiteral("Cannot send to ") + m_host + QStringLiteral(": ") + socket.errorString());

    awaitAnswer(socket, m_clock, m_receiveTimeout, x);
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
