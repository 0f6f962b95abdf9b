#include "background/SwayIpc.h"

#include "shared/Posix.h"

#include <QDeadlineTimer>
#include <QFile>

#include <algorithm>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace gw {

namespace {

    constexpr char kMagic[] = "i3-ipc";

    class Socket
    {
    public:
        ~Socket()
        {
            if (m_fd >= 0)
                ::close(m_fd);
        }
        QString connectTo(const QByteArray& path)
        {
            sockaddr_un address;
            if (!unixSocketAddress(path, &address))
                return QStringLiteral("no usable SWAYSOCK");
            m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (m_fd < 0 || ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
                return QStringLiteral("cannot reach sway's socket ") + QFile::decodeName(path) + QStringLiteral(": ")
                    + systemErrorText();
            return {};
        }
        bool transfer(char* data, qsizetype size, bool send, const QDeadlineTimer& deadline)
        {
            while (size > 0) {
                pollfd p { m_fd, static_cast<short>(send ? POLLOUT : POLLIN), 0 };
                const int wait = static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
                if (::poll(&p, 1, wait) <= 0)
                    return false;
                const ssize_t n = send ? ::send(m_fd, data, static_cast<size_t>(size), MSG_NOSIGNAL)
                                       : ::recv(m_fd, data, static_cast<size_t>(size), 0);
                if (n <= 0)
                    return false;
                data += n;
                size -= n;
            }
            return true;
        }

    private:
        int m_fd = -1;
    };

} // namespace

QString swayRequest(SwayMessage type, const QByteArray& payload, int timeoutMs, QByteArray* reply)
{
    Socket socket;
    const QString error = socket.connectTo(qgetenv("SWAYSOCK"));
    if (!error.isEmpty())
        return error;
    QByteArray message(kMagic, 6);
    const quint32 header[2] = { static_cast<quint32>(payload.size()), static_cast<quint32>(type) };
    message.append(reinterpret_cast<const char*>(header), sizeof header);
    message.append(payload);
    const QDeadlineTimer deadline(timeoutMs);
    char replyHeader[14];
    if (!socket.transfer(message.data(), message.size(), true, deadline)
        || !socket.transfer(replyHeader, sizeof replyHeader, false, deadline))
        return QStringLiteral("sway did not answer within ") + QString::number(timeoutMs / 1000.0)
            + QStringLiteral(" s");
    quint32 length = 0;
    std::memcpy(&length, replyHeader + 6, sizeof length);
    *reply = QByteArray(static_cast<qsizetype>(std::min<quint32>(length, 1u << 20)), '\0');
    if (!socket.transfer(reply->data(), reply->size(), false, deadline))
        return QStringLiteral("sway's answer was cut off");
    return {};
}

} // namespace gw
