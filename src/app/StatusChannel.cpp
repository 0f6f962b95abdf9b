#include "app/StatusChannel.h"

#include "app/StatusReport.h"

#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <poll.h>
#include <sys/socket.h>

namespace gw {

StatusChannel::StatusChannel(QString socketFile, const std::function<QString()>& report)
    : m_socketFile(std::move(socketFile))
{
    m_server.setAnswer([report](const QByteArray&) { return report().toUtf8(); });
}

bool StatusChannel::ask(const QString& socketFile, QString* text, int timeoutMs)
{
    sockaddr_un address;
    if (!unixSocketAddress(QFile::encodeName(socketFile), &address))
        return false;
    const UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid() || ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0
        || ::send(fd.get(), "status\n", 7, MSG_NOSIGNAL) != 7)
        return false;
    QByteArray received;
    QElapsedTimer clock;
    clock.start();
    char buffer[4096];
    for (;;) {
        const qint64 left = timeoutMs - clock.elapsed();
        pollfd p { fd.get(), POLLIN, 0 };
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0)
            return false;
        const ssize_t n = ::recv(fd.get(), buffer, sizeof(buffer), 0);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        received.append(buffer, n);
    }
    *text = QString::fromUtf8(received);
    return !received.isEmpty();
}

int printStatus(const QString& lockFile)
{
    QString text;
    if (!StatusChannel::ask(StatusChannel::socketFileFor(lockFile), &text))
        text = offlineStatus();
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
    return 0;
}

} // namespace gw
