#include "net/Ping.h"

#include "net/WorkerWait.h"

#include <QElapsedTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace gw {

namespace {

    enum class Attempt { Reply, NoReply, Error, Refused };

    struct Target
    {
        bool ok = false;
        bool ipv4 = false;
        sockaddr_in address4 {};
        QByteArray numeric; // the address as text, for the ping program
    };

    Target resolve(const QString& host, QString* error)
    {
        Target target;
        if (host.isEmpty()) {
            *error = QStringLiteral("no host to ping");
            return target;
        }
        addrinfo hints {};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* list = nullptr;
        const int rc = getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &list);
        if (rc != 0 || !list) {
            *error = QStringLiteral("cannot resolve %1: %2").arg(host, QString::fromLocal8Bit(gai_strerror(rc)));
            return target;
        }
        // IPv4 first: the sockets below speak ICMP for IPv4; the ping program handles IPv6.
        const addrinfo* chosen = list;
        for (const addrinfo* a = list; a; a = a->ai_next) {
            if (a->ai_family == AF_INET) {
                chosen = a;
                break;
            }
        }
        char text[INET6_ADDRSTRLEN] = {};
        if (chosen->ai_family == AF_INET) {
            target.ipv4 = true;
            std::memcpy(&target.address4, chosen->ai_addr, sizeof(sockaddr_in));
            inet_ntop(AF_INET, &target.address4.sin_addr, text, sizeof text);
        } else if (chosen->ai_family == AF_INET6) {
            const auto* a6 = reinterpret_cast<const sockaddr_in6*>(chosen->ai_addr);
            inet_ntop(AF_INET6, &a6->sin6_addr, text, sizeof text);
        }
        freeaddrinfo(list);
        target.numeric = text;
        target.ok = !target.numeric.isEmpty();
        if (!target.ok)
            *error = QStringLiteral("cannot resolve %1").arg(host);
        return target;
    }

    quint16 checksum(const unsigned char* data, size_t length)
    {
        quint32 sum = 0;
        for (size_t i = 0; i + 1 < length; i += 2)
            sum += static_cast<quint32>((data[i] << 8) | data[i + 1]);
        if (length & 1)
            sum += static_cast<quint32>(data[length - 1] << 8);
        while (sum >> 16)
            sum = (sum & 0xffff) + (sum >> 16);
        return static_cast<quint16>(~sum);
    }

    bool refusedBySystem(int err)
    {
        return err == EACCES || err == EPERM || err == EPROTONOSUPPORT || err == EAFNOSUPPORT || err == ESOCKTNOSUPPORT;
    }

    // A socket error: refused when the system does not allow the method, else an error.
    Attempt failure(int err, QString* error)
    {
        if (refusedBySystem(err))
            return Attempt::Refused;
        *error = QString::fromLocal8Bit(std::strerror(err));
        return Attempt::Error;
    }

    struct EchoRequest
    {
        quint16 id = 0;
        quint16 seq = 0;
        unsigned char packet[64] = {};
    };

    EchoRequest echoRequest()
    {
        static std::atomic<quint16> sequence { 0 };
        EchoRequest request;
        request.seq = ++sequence;
        // A datagram socket gets its identifier from the kernel, which also filters the replies;
        // a raw socket sees every ICMP packet, so it matches identifier and sequence itself.
        request.id = static_cast<quint16>(getpid() ^ (request.seq << 3));

        unsigned char* packet = request.packet;
        packet[0] = ICMP_ECHO;
        packet[1] = 0;
        packet[4] = static_cast<unsigned char>(request.id >> 8);
        packet[5] = static_cast<unsigned char>(request.id & 0xff);
        packet[6] = static_cast<unsigned char>(request.seq >> 8);
        packet[7] = static_cast<unsigned char>(request.seq & 0xff);
        for (size_t i = 8; i < sizeof request.packet; ++i)
            packet[i] = static_cast<unsigned char>(i);
        const quint16 sum = checksum(packet, sizeof request.packet);
        packet[2] = static_cast<unsigned char>(sum >> 8);
        packet[3] = static_cast<unsigned char>(sum & 0xff);
        return request;
    }

    // Whether a received packet (behind an IP header on a raw socket) answers `request`.
    bool answers(const unsigned char* buffer, ssize_t n, bool raw, const EchoRequest& request)
    {
        const unsigned char* icmp = buffer;
        ssize_t length = n;
        if (raw) {
            const int headerLength = (buffer[0] & 0x0f) * 4;
            if (n < headerLength + 8)
                return false;
            icmp += headerLength;
            length -= headerLength;
        }
        if (length < 8 || icmp[0] != ICMP_ECHOREPLY)
            return false; // our own request on loopback, or someone else's traffic
        const quint16 gotSeq = static_cast<quint16>((icmp[6] << 8) | icmp[7]);
        const quint16 gotId = static_cast<quint16>((icmp[4] << 8) | icmp[5]);
        return gotSeq == request.seq && (!raw || gotId == request.id);
    }

    Attempt awaitReply(int fd, bool raw, const EchoRequest& request, int timeoutMs, const std::atomic<bool>& cancel)
    {
        QElapsedTimer clock;
        clock.start();
        unsigned char buffer[1500];
        while (!cancel.load()) {
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0)
                return Attempt::NoReply;
            pollfd p { fd, POLLIN, 0 };
            // Short slices, so a cancel is seen soon.
            const int ready = poll(&p, 1, static_cast<int>(qMin<qint64>(left, 100)));
            if (ready <= 0)
                continue;
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n > 0 && answers(buffer, n, raw, request))
                return Attempt::Reply;
        }
        return Attempt::NoReply;
    }

    Attempt socketPing(const Target& target, bool raw, int timeoutMs, const std::atomic<bool>& cancel, QString* error)
    {
        if (!target.ipv4)
            return Attempt::Refused;
        const int fd = socket(AF_INET, (raw ? SOCK_RAW : SOCK_DGRAM) | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (fd < 0)
            return failure(errno, error);
        struct Closer
        {
            int fd;
            ~Closer() { ::close(fd); }
        } closer { fd };

        const EchoRequest request = echoRequest();
        if (sendto(fd, request.packet, sizeof request.packet, 0, reinterpret_cast<const sockaddr*>(&target.address4),
                sizeof target.address4)
            < 0)
            return failure(errno, error);
        return awaitReply(fd, raw, request, timeoutMs, cancel);
    }

    Attempt systemPing(const Target& target, int timeoutMs, const std::atomic<bool>& cancel, QString* error)
    {
        const QByteArray seconds = QByteArray::number(qMax(1, (timeoutMs + 999) / 1000));
        QByteArray numeric = target.numeric;
        const char* argv[] = { "ping", "-n", "-c", "1", "-W", seconds.constData(), numeric.constData(), nullptr };

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const int rc = posix_spawnp(&pid, "ping", &actions, nullptr, const_cast<char* const*>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            *error = QStringLiteral("cannot run ping: %1").arg(QString::fromLocal8Bit(std::strerror(rc)));
            return Attempt::Error;
        }

        QElapsedTimer clock;
        clock.start();
        int status = 0;
        for (;;) {
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid)
                break;
            if (done < 0 && errno != EINTR) {
                *error = QStringLiteral("lost the ping program");
                return Attempt::Error;
            }
            // The program keeps its own time-out; this only guards against one that hangs.
            if (cancel.load() || clock.elapsed() > timeoutMs + 3000) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                return Attempt::NoReply;
            }
            usleep(20 * 1000);
        }
        if (!WIFEXITED(status)) {
            *error = QStringLiteral("the ping program ended abnormally");
            return Attempt::Error;
        }
        switch (WEXITSTATUS(status)) {
        case 0:
            return Attempt::Reply;
        case 1:
            return Attempt::NoReply;
        default:
            *error = QStringLiteral("the ping program failed (exit code %1)").arg(WEXITSTATUS(status));
            return Attempt::Error;
        }
    }

} // namespace

QString pingMethodName(PingMethod method)
{
    switch (method) {
    case PingMethod::Datagram:
        return QStringLiteral("ICMP datagram socket");
    case PingMethod::Raw:
        return QStringLiteral("raw ICMP socket");
    case PingMethod::SystemPing:
        return QStringLiteral("ping program");
    }
    return {};
}

PingResult pingBlocking(const QString& host, int timeoutMs, const QVector<PingMethod>& methods,
    const std::atomic<bool>& cancel, PingMethod* used, QString* error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    error->clear();
    const Target target = resolve(host.trimmed(), error);
    if (!target.ok)
        return PingResult::Error;

    for (PingMethod method : methods) {
        Attempt a = Attempt::Refused;
        switch (method) {
        case PingMethod::Datagram:
            a = socketPing(target, false, timeoutMs, cancel, error);
            break;
        case PingMethod::Raw:
            a = socketPing(target, true, timeoutMs, cancel, error);
            break;
        case PingMethod::SystemPing:
            a = systemPing(target, timeoutMs, cancel, error);
            break;
        }
        if (a == Attempt::Refused)
            continue;
        if (used)
            *used = method;
        switch (a) {
        case Attempt::Reply:
            return PingResult::Reply;
        case Attempt::NoReply:
            return PingResult::NoReply;
        default:
            return PingResult::Error;
        }
    }
    *error = QStringLiteral("no way to send an echo request is permitted");
    return PingResult::Error;
}

Pinger::Pinger()
    : m_methods { PingMethod::Datagram, PingMethod::Raw, PingMethod::SystemPing }
{
}

PingResult Pinger::ping(const QString& host, int timeoutMs)
{
    std::atomic<bool> cancel { false };
    PingResult result = PingResult::Error;
    PingMethod used = m_lastMethod;
    QString error;
    WorkerWaitOptions wait;
    wait.requestStop = [&cancel] { cancel.store(true); };
    runWhileProcessingEvents([&] { result = pingBlocking(host, timeoutMs, m_methods, cancel, &used, &error); }, wait);
    m_lastMethod = used;
    m_lastError = error;
    return result;
}

} // namespace gw
