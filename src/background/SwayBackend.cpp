// sway: commands over its IPC socket ($SWAYSOCK), one "output <name> bg <file> fill" per
// monitor, and the outputs themselves from get_outputs. The protocol: "i3-ipc", payload length
// and type as native 32-bit numbers, payload; the reply has the same header and a JSON body.
#include "background/BackendFactories.h"
#include "shared/Posix.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace gw::backends {

namespace {

    constexpr char kMagic[] = "i3-ipc";
    constexpr quint32 kRunCommand = 0;
    constexpr quint32 kGetOutputs = 3;

    QString quoted(const QString& text)
    {
        QString t = text;
        t.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
        return QLatin1Char('"') + t + QLatin1Char('"');
    }

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

    // One request and its reply's body; an empty text on success, else the reason.
    QString swayRequest(quint32 type, const QByteArray& payload, int timeoutMs, QByteArray* reply)
    {
        Socket socket;
        const QString error = socket.connectTo(qgetenv("SWAYSOCK"));
        if (!error.isEmpty())
            return error;
        QByteArray message(kMagic, 6);
        const quint32 header[2] = { static_cast<quint32>(payload.size()), type };
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

    class SwayBackend : public DesktopBackend
    {
    public:
        PictureLayout layout() const override { return PictureLayout::PerMonitor; }
        QString apply(const ApplyRequest& request) override
        {
            QStringList commands;
            for (const Picture& p : request.pictures)
                commands << QStringLiteral("output ") + quoted(p.monitor) + QStringLiteral(" bg ") + quoted(p.file)
                        + QStringLiteral(" fill");
            QByteArray reply;
            const QString error
                = swayRequest(kRunCommand, commands.join(QLatin1Char(';')).toUtf8(), request.timeoutMs, &reply);
            if (!error.isEmpty())
                return error;
            for (const QJsonValue& v : QJsonDocument::fromJson(reply).array()) {
                const QJsonObject o = v.toObject();
                if (!o.value(QStringLiteral("success")).toBool())
                    return QStringLiteral("sway refused the command: ") + o.value(QStringLiteral("error")).toString();
            }
            return {};
        }

        // Active outputs only; "rect" is in logical pixels, so its size times "scale" is the
        // panel's (rotation included).
        bool listMonitors(int timeoutMs, MonitorList* monitors, QString* error) override
        {
            QByteArray reply;
            *error = swayRequest(kGetOutputs, {}, timeoutMs, &reply);
            if (!error->isEmpty())
                return false;
            const QJsonDocument document = QJsonDocument::fromJson(reply);
            if (!document.isArray()) {
                *error = QStringLiteral("sway's list of outputs is no JSON list");
                return false;
            }
            for (const QJsonValue& v : document.array()) {
                const QJsonObject o = v.toObject();
                if (!o.value(QStringLiteral("active")).toBool())
                    continue;
                const QJsonObject r = o.value(QStringLiteral("rect")).toObject();
                const double scale = std::max(o.value(QStringLiteral("scale")).toDouble(1.0), 0.1);
                const auto device
                    = [&](const char* key) { return qRound(r.value(QLatin1String(key)).toDouble() * scale); };
                monitors->push_back({ o.value(QStringLiteral("name")).toString(),
                    QRect(device("x"), device("y"), device("width"), device("height")) });
            }
            return true;
        }
    };

} // namespace

std::unique_ptr<DesktopBackend> sway()
{
    return std::make_unique<SwayBackend>();
}

} // namespace gw::backends
