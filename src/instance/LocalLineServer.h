#pragma once
// A Unix socket server for short messages of newline-ended lines from other processes of the
// same user. The socket file is reachable by its owner only from the moment it appears; a
// connection that sends more than a few hundred bytes without a line end, or nothing for a few
// seconds, is dropped. However many clients connect, the server holds a small, fixed share of
// the process's descriptors, so the rest of the program (the save at exit) never runs out.
#include "shared/Posix.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace gw {

class LocalLineServer : public QObject
{
    Q_OBJECT

public:
    explicit LocalLineServer(QObject* parent = nullptr);
    // Closes every connection and removes the socket file.
    ~LocalLineServer() override;

    // Replaces whatever is at `socketFile` (the caller holds the right to it) and listens.
    bool listen(const QString& socketFile);
    QString errorText() const { return m_error; }
    // Each line is answered with what `answer` returns, and the connection then closed. The
    // answer is a few kilobytes at most: it fits the socket's buffer, so nobody is waited for.
    void setAnswer(std::function<QByteArray(const QByteArray& line)> answer) { m_answer = std::move(answer); }

    static constexpr qsizetype MaxLineBytes = 256;
    // Connections held at once, at most; a new one closes the oldest. Lower where the
    // descriptor limit is low: an eighth of it.
    static constexpr int MaxConnections = 32;
    // A connection that sends nothing for this long is closed.
    static constexpr int IdleTimeoutMs = 3000;
    // After a failed accept (no descriptor left) the server waits this long before the next.
    static constexpr int AcceptPauseMs = 1000;
    int connectionLimit() const { return m_connectionLimit; }
    int connectionCount() const { return static_cast<int>(m_connections.size()); }

signals:
    // One line, without its line end.
    void lineReceived(const QByteArray& line);

private:
    struct Connection;
    void acceptAll();
    void readFrom(Connection* connection);
    void drop(Connection* connection);
    void dropIdle();
    void stop();

    QString m_socketFile;
    QString m_error;
    std::function<QByteArray(const QByteArray& line)> m_answer;
    UniqueFd m_fd;
    QSocketNotifier* m_notifier = nullptr;
    std::vector<std::unique_ptr<Connection>> m_connections; // oldest first
    int m_connectionLimit = MaxConnections;
    QTimer m_idleCheck;
    QTimer m_acceptPause;
};

} // namespace gw
