#pragma once
// A Unix socket server for short messages of newline-ended lines from other processes of the
// same user. The socket file is reachable by its owner only from the moment it appears; a
// connection that sends more than a few hundred bytes without a line end is dropped.
#include "shared/Posix.h"

#include <QByteArray>
#include <QObject>
#include <QString>

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

    static constexpr qsizetype MaxLineBytes = 256;

signals:
    // One line, without its line end.
    void lineReceived(const QByteArray& line);

private:
    struct Connection;
    void acceptAll();
    void readFrom(Connection* connection);
    void drop(Connection* connection);
    void stop();

    QString m_socketFile;
    QString m_error;
    UniqueFd m_fd;
    QSocketNotifier* m_notifier = nullptr;
    std::vector<std::unique_ptr<Connection>> m_connections;
};

} // namespace gw
