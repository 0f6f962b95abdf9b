#include "app/StatusChannel.h"

#include "app/StatusReport.h"
#include "instance/SingleInstance.h"
#include "shared/OutsideText.h"

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

StatusChannel::Answer StatusChannel::ask(const QString& socketFile, QString* text, int timeoutMs)
{
    sockaddr_un address;
    if (!unixSocketAddress(QFile::encodeName(socketFile), &address))
        return Answer::NoListener;
    const UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid() || ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
        return Answer::NoListener;
    // The kernel's word on who listens: a socket another user put at our name gets nothing
    // from us, and what it would say is never printed.
    ucred peer = {};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::getuid())
        return Answer::Foreign;
    if (::send(fd.get(), "status\n", 7, MSG_NOSIGNAL) != 7)
        return Answer::Silent;
    QByteArray received;
    QElapsedTimer clock;
    clock.start();
    char buffer[4096];
    for (;;) {
        const qint64 left = timeoutMs - clock.elapsed();
        pollfd p { fd.get(), POLLIN, 0 };
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0)
            return Answer::Silent;
        const ssize_t n = ::recv(fd.get(), buffer, sizeof(buffer), 0);
        if (n < 0)
            return Answer::Silent;
        if (n == 0)
            break;
        if (received.size() + n > MaxReportBytes)
            return Answer::Silent;
        received.append(buffer, n);
    }
    if (received.isEmpty())
        return Answer::Silent;
    *text = QString::fromUtf8(received);
    return Answer::Report;
}

QString statusText(const QString& lockFile, QString* notes, int timeoutMs)
{
    const QString socketFile = StatusChannel::socketFileFor(lockFile);
    QString text;
    const StatusChannel::Answer answer = StatusChannel::ask(socketFile, &text, timeoutMs);
    if (answer == StatusChannel::Answer::Report)
        return plainOutsideText(text, LineBreaks::Keep);
    if (answer == StatusChannel::Answer::Foreign)
        *notes += QStringLiteral("Globewall: %1 belongs to another user; it is not asked\n")
                      .arg(plainOutsideText(socketFile, LineBreaks::Escape));
    if (SingleInstance::isHeld(lockFile))
        return QStringLiteral("Globewall is running but does not answer\n");
    // The settings file quotes servers too, and may have been edited by hand.
    return plainOutsideText(offlineStatus(), LineBreaks::Keep);
}

int printStatus(const QString& lockFile)
{
    QString notes;
    const QByteArray bytes = statusText(lockFile, &notes).toLocal8Bit();
    if (!notes.isEmpty())
        std::fputs(notes.toLocal8Bit().constData(), stderr);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
    return 0;
}

} // namespace gw
