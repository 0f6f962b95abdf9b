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

    const QHostAddress server = resolve(m_host);
    if (m_port <= 0 || m_port > 65535)
        throw Error(QStringLiteral("Invalid port ") + QString::number(m_port));
    const auto port = static_cast<quint16>(m_port);

    // A fresh socket per request: a late reply to an earlier request lands nowhere.
    QUdpSocket socket;
    const bool v6 = server.protocol() == QAbstractSocket::IPv6Protocol;
    if (!socket.bind(v6 ? QHostAddress(QHostAddress::AnyIPv6) : QHostAddress(QHostAddress::AnyIPv4), 0))
        throw Error(QStringLiteral("Cannot open a UDP socket: ") + socket.errorString());

    const qint64 t1 = unixMicros(m_clock.nowUtc());
    const ntp::Timestamp sent = transmitStamp(t1);
    if (socket.writeDatagram(ntp::request(sent), server, port) != ntp::PacketSize)
        throw Error(QStringLiteral("Cannot send to ") + m_host + QStringLiteral(": ") + socket.errorString());

    std::optional<ntp::Verdict> verdict;
    ntp::Packet reply;
    qint64 t4 = 0;
    QString socketError;

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&socket, &QUdpSocket::readyRead, &loop, [&] {
        while (socket.hasPendingDatagrams() && !verdict) {
            const QNetworkDatagram datagram = socket.receiveDatagram();
            if (!datagram.isValid())
                continue;
            // Only the server we asked, from the port we asked, can answer.
            if (!datagram.senderAddress().isEqual(server, QHostAddress::ConvertV4MappedToIPv4)
                || datagram.senderPort() != m_port)
                continue;
            ntp::Packet p;
            const ntp::Verdict v = ntp::check(datagram.data(), sent, &p);
            if (v == ntp::Verdict::Stale)
                continue;
            t4 = unixMicros(m_clock.nowUtc());
            verdict = v;
            reply = p;
        }
        if (verdict)
            loop.quit();
    });
    connect(&socket, &QUdpSocket::errorOccurred, &loop, [&](QAbstractSocket::SocketError) {
        socketError = socket.errorString();
        loop.quit();
    });
    timer.start(m_receiveTimeout > 0 ? m_receiveTimeout : 0);
    loop.exec();

    if (!socketError.isEmpty())
        throw Error(QStringLiteral("Error receiving from ") + m_host + QStringLiteral(": ") + socketError);
    if (!verdict || *verdict != ntp::Verdict::Usable)
        return 0;

    const qint64 t2 = ntp::toUnixMicros(reply.receive);
    const qint64 t3 = ntp::toUnixMicros(reply.transmit);
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
