#pragma once
// A request to the running program written straight to its instance socket, as a later start
// ("Globewall --render-now") writes it: one word per line. The benchmark then times the
// program's own handling, without a second process starting up first.
#include "support/ShippedProgram.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace gwbench {

// The socket beside the lock file in the copy's runtime folder.
inline QString instanceSocket(const ShippedProgram& copy, const QString& display, const QString& bus)
{
    return copy.environment(display, bus).value(QStringLiteral("XDG_RUNTIME_DIR"))
        + QStringLiteral("/Globewall.socket");
}

// Writes `word` and a line end; a refused connection is tried again until `timeoutMs` passed.
inline bool askRunningProgram(const QString& socketFile, const QByteArray& word, int timeoutMs = 5000)
{
    const QByteArray path = QFile::encodeName(socketFile);
    const QByteArray line = word + '\n';
    sockaddr_un address {};
    if (path.size() >= static_cast<qsizetype>(sizeof(address.sun_path)))
        return false;
    address.sun_family = AF_UNIX;
    std::copy(path.begin(), path.end(), address.sun_path);
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        const bool sent = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0
            && ::send(fd, line.constData(), static_cast<size_t>(line.size()), MSG_NOSIGNAL) == line.size();
        ::close(fd);
        if (sent)
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
}

} // namespace gwbench
