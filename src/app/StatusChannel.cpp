#include "app/StatusChannel.h"

#include "app/StatusReport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>

#include <cstdio>
#include <poll.h>
#include <sys/stat.h>

namespace gw {

StatusChannel::StatusChannel(QString socketFile, std::function<QString()> report, QObject* parent)
    : QObject(parent)
    , m_socketFile(std::move(socketFile))
    , m_report(std::move(report))
{
}

StatusChannel::~StatusChannel()
{
    delete m_notifier;
    if (m_fd.valid()) {
        m_fd.reset();
        QFile::remove(m_socketFile);
    }
}

bool StatusChannel::listen()
{
    const QByteArray path = QFile::encodeName(m_socketFile);
    sockaddr_un address;
    if (!unixSocketAddress(path, &address)) {
        m_error = QStringLiteral("the socket path is too long: ") + m_socketFile;
        return false;
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    // The lock's folder is private to the user; the mode is narrowed before anyone is let in.
    ::unlink(path.constData());
    if (!fd.valid() || ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0
        || ::chmod(path.constData(), S_IRUSR | S_IWUSR) != 0 || ::listen(fd.get(), 4) != 0) {
        m_error = systemErrorText();
        return false;
    }
    m_fd = std::move(fd);
    m_notifier = new QSocketNotifier(m_fd.get(), QSocketNotifier::Read);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { answer(); });
    return true;
}

void StatusChannel::answer()
{
    for (;;) {
        const UniqueFd client(::accept4(m_fd.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!client.valid())
            return;
        // A report is a few kilobytes: it fits the socket's buffer, so nobody is waited for.
        const QByteArray text = m_report ? m_report().toUtf8() : QByteArray();
        qsizetype done = 0;
        while (done < text.size()) {
            const ssize_t n = ::send(client.get(), text.constData() + done, static_cast<size_t>(text.size() - done),
                MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n <= 0)
                break;
            done += n;
        }
    }
}

bool StatusChannel::ask(const QString& socketFile, QString* text, int timeoutMs)
{
    sockaddr_un address;
    if (!unixSocketAddress(QFile::encodeName(socketFile), &address))
        return false;
    const UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid() || ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
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
