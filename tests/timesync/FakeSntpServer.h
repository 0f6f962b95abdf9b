#pragma once
// An SNTP server inside the test process, on loopback, that answers as a test tells it: with
// a chosen offset, not at all, or with one kind of unusable reply. It runs on the test's
// thread; the client's local event loop delivers its requests.
#include "shared/Clock.h"
#include "timesync/ClockSetter.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QUdpSocket>

namespace gwtest {

class FakeSntpServer : public QObject
{
public:
    enum class Reply {
        Answer,
        Silent,
        Leap3,
        Stratum0,
        Stratum16,
        ZeroTransmit,
        ZeroReceive,
        Short,
        WrongMode,
        WrongOriginate,
        StaleThenAnswer, // first a reply to some other request, then the right one
        ForeignThenAnswer, // first a forged reply from another port, then the right one
    };

    explicit FakeSntpServer(const gw::Clock& clock);
    // Port 0 picks a free port.
    bool listen(const QHostAddress& address = QHostAddress::LocalHost, quint16 port = 0);
    quint16 port() const { return m_socket.localPort(); }

    void setReply(Reply reply) { m_reply = reply; }
    // Server time minus client time, per request in turn; the last one repeats.
    void setOffsetsSeconds(const QList<double>& offsets) { m_offsets = offsets; }
    // Answers this many milliseconds late (the reply still goes out once).
    void setDelayMs(int ms) { m_delayMs = ms; }
    int requests() const { return static_cast<int>(received.size()); }

    QList<QByteArray> received;

private:
    void answerPending();
    void send(QUdpSocket& from, const QByteArray& data, const QHostAddress& to, quint16 port);
    double offsetFor(int request) const;

    const gw::Clock& m_clock;
    QUdpSocket m_socket;
    QUdpSocket m_forger;
    Reply m_reply = Reply::Answer;
    QList<double> m_offsets { 0.0 };
    int m_delayMs = 0;
};

// Stands in for the real clock: records what it was asked to do, and can refuse.
class RecordingClockSetter : public gw::ClockSetter
{
public:
    bool setTime(const QDateTime& utc) override
    {
        asked << utc;
        return allow;
    }
    bool lackedRights() const override { return !allow && refusedForRights; }
    QList<QDateTime> asked;
    bool allow = true;
    bool refusedForRights = false;
};

} // namespace gwtest
