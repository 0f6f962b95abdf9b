#include "FakeSntpServer.h"

#include "timesync/NtpPacket.h"

#include <QNetworkDatagram>
#include <QTimer>
#include <cmath>

namespace gwtest {

using namespace gw;

FakeSntpServer::FakeSntpServer(const Clock& clock)
    : m_clock(clock)
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &FakeSntpServer::answerPending);
}

bool FakeSntpServer::listen(const QHostAddress& address, quint16 port)
{
    return m_socket.bind(address, port) && m_forger.bind(address, 0);
}

double FakeSntpServer::offsetFor(int request) const
{
    if (m_offsets.isEmpty())
        return 0;
    return m_offsets.at(std::min<qsizetype>(request, m_offsets.size() - 1));
}

void FakeSntpServer::send(QUdpSocket& from, const QByteArray& data, const QHostAddress& to, quint16 port)
{
    if (m_delayMs <= 0) {
        from.writeDatagram(data, to, port);
        return;
    }
    QTimer::singleShot(m_delayMs, this, [&from, data, to, port] { from.writeDatagram(data, to, port); });
}

void FakeSntpServer::answerPending()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram request = m_socket.receiveDatagram();
        const int index = requests();
        received << request.data();
        if (m_reply == Reply::Silent)
            continue;

        ntp::Packet asked;
        ntp::check(request.data(), 0, &asked);
        const qint64 now = m_clock.nowUtc().toMSecsSinceEpoch() * 1000;
        const ntp::Timestamp serverTime = ntp::fromUnixMicros(now + std::llround(offsetFor(index) * 1e6));

        ntp::Packet p;
        p.leap = 0;
        p.version = 3;
        p.mode = ntp::ModeServer;
        p.stratum = 2;
        p.originate = asked.transmit;
        p.receive = serverTime;
        p.transmit = serverTime;
        switch (m_reply) {
        case Reply::Leap3:
            p.leap = ntp::LeapAlarm;
            break;
        case Reply::Stratum0:
            p.stratum = 0;
            break;
        case Reply::Stratum16:
            p.stratum = 16;
            break;
        case Reply::ZeroTransmit:
            p.transmit = 0;
            break;
        case Reply::ZeroReceive:
            p.receive = 0;
            break;
        case Reply::WrongMode:
            p.mode = 5;
            break; // broadcast
        case Reply::WrongOriginate:
            p.originate = asked.transmit + 1;
            break;
        default:
            break;
        }

        // Decoys carry an offset of a full hour, so a test sees at once if one was believed.
        ntp::Packet decoy = p;
        decoy.receive = decoy.transmit = ntp::fromUnixMicros(now + 3600LL * 1000000);
        if (m_reply == Reply::StaleThenAnswer) {
            decoy.originate = asked.transmit ^ 0x100000000ULL;
            send(m_socket, ntp::encode(decoy), request.senderAddress(), request.senderPort());
        } else if (m_reply == Reply::ForeignThenAnswer) {
            send(m_forger, ntp::encode(decoy), request.senderAddress(), request.senderPort());
        }

        QByteArray reply = ntp::encode(p);
        if (m_reply == Reply::Short)
            reply.chop(1);
        send(m_socket, reply, request.senderAddress(), request.senderPort());
    }
}

} // namespace gwtest
