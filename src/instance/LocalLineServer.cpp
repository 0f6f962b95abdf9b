#include "instance/LocalLineServer.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace gw {

struct LocalLineServer::Connection
{
    UniqueFd fd;
    std::unique_ptr<QSocketNotifier> notifier;
    QByteArray pending;
    QDeadlineTimer idleUntil;
};

namespace {

    QString systemError(const char* what)
    {
        return QString::fromLatin1(what) + QStringLiteral(": ") + systemErrorText();
    }

    // An eighth of the descriptor limit, at most MaxConnections and at least one.
    int connectionLimitFor(int maxConnections)
    {
        rlimit limit = {};
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
            return maxConnections;
        return static_cast<int>(std::clamp<rlim_t>(limit.rlim_cur / 8, 1, static_cast<rlim_t>(maxConnections)));
    }

    void answer(int fd, const QByteArray& text)
    {
        qsizetype done = 0;
        while (done < text.size()) {
            const ssize_t n = ::send(
                fd, text.constData() + done, static_cast<size_t>(text.size() - done), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
            done += n;
        }
    }

} // namespace

LocalLineServer::LocalLineServer(QObject* parent)
    : QObject(parent)
{
    m_idleCheck.setInterval(IdleTimeoutMs / 3);
    connect(&m_idleCheck, &QTimer::timeout, this, &LocalLineServer::dropIdle);
    m_acceptPause.setSingleShot(true);
    m_acceptPause.setInterval(AcceptPauseMs);
    connect(&m_acceptPause, &QTimer::timeout, this, [this] {
        if (m_notifier)
            m_notifier->setEnabled(true);
    });
}

LocalLineServer::~LocalLineServer()
{
    stop();
}

void LocalLineServer::stop()
{
    m_connections.clear();
    m_idleCheck.stop();
    m_acceptPause.stop();
    delete m_notifier;
    m_notifier = nullptr;
    if (m_fd.valid()) {
        m_fd.reset();
        QFile::remove(m_socketFile);
    }
}

bool LocalLineServer::listen(const QString& socketFile)
{
    stop();
    m_socketFile = socketFile;
    // The socket is made in a folder of the owner's alone and then renamed into place, so no
    // other user can connect between its creation and the change of its mode.
    const QFileInfo target(socketFile);
    sockaddr_un address;
    // Clients connect by the final name, so that is the one that must fit.
    if (!unixSocketAddress(QFile::encodeName(target.absoluteFilePath()), &address)) {
        m_error = QStringLiteral("the socket path is too long: ") + socketFile;
        return false;
    }
    QByteArray privateDir = QFile::encodeName(target.absolutePath() + QStringLiteral("/.globewall-XXXXXX"));
    if (!::mkdtemp(privateDir.data())) {
        m_error = systemError("cannot make a private folder");
        return false;
    }
    const QByteArray made = privateDir + "/s";
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    bool ok = fd.valid();
    if (!ok)
        m_error = systemError("socket");
    else if (!(ok = unixSocketAddress(made, &address)))
        m_error = QStringLiteral("the socket path is too long: ") + socketFile;
    else if (!(ok = ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0))
        m_error = systemError("bind");
    else if (!(ok = ::chmod(made.constData(), S_IRUSR | S_IWUSR) == 0))
        m_error = systemError("chmod");
    else if (!(ok = ::listen(fd.get(), 16) == 0))
        m_error = systemError("listen");
    else if (!(ok = ::rename(made.constData(), QFile::encodeName(target.absoluteFilePath()).constData()) == 0))
        m_error = systemError("rename");
    ::unlink(made.constData());
    ::rmdir(privateDir.constData());
    if (!ok)
        return false;
    m_fd = std::move(fd);
    m_connectionLimit = connectionLimitFor(MaxConnections);
    m_notifier = new QSocketNotifier(m_fd.get(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &LocalLineServer::acceptAll);
    return true;
}

void LocalLineServer::acceptAll()
{
    // A client that connects without end must not keep the event loop here: the rest waits
    // for the next notification.
    for (int round = 0; round < m_connectionLimit; ++round) {
        UniqueFd fd(::accept4(m_fd.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd.valid()) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            // Out of descriptors (or memory), the waiting client stays queued and the socket
            // stays readable: without a pause the notifier would call again at once, for ever.
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                m_notifier->setEnabled(false);
                m_acceptPause.start();
            }
            return;
        }
        // A client that holds connections open takes the place of its own oldest one.
        if (static_cast<int>(m_connections.size()) >= m_connectionLimit)
            drop(m_connections.front().get());
        auto connection = std::make_unique<Connection>();
        connection->notifier = std::make_unique<QSocketNotifier>(fd.get(), QSocketNotifier::Read);
        connection->fd = std::move(fd);
        connection->idleUntil = QDeadlineTimer(IdleTimeoutMs);
        Connection* c = connection.get();
        connect(connection->notifier.get(), &QSocketNotifier::activated, this, [this, c] { readFrom(c); });
        m_connections.push_back(std::move(connection));
        if (!m_idleCheck.isActive())
            m_idleCheck.start();
    }
}

void LocalLineServer::dropIdle()
{
    std::vector<Connection*> idle;
    for (const auto& c : m_connections)
        if (c->idleUntil.hasExpired())
            idle.push_back(c.get());
    for (Connection* c : idle)
        drop(c);
    if (m_connections.empty())
        m_idleCheck.stop();
}

void LocalLineServer::readFrom(Connection* c)
{
    char buffer[512];
    for (;;) {
        const ssize_t n = ::recv(c->fd.get(), buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (n <= 0) { // the other side is done, or the connection failed
            drop(c);
            return;
        }
        c->idleUntil = QDeadlineTimer(IdleTimeoutMs);
        c->pending.append(buffer, n);
        qsizetype end;
        while ((end = c->pending.indexOf('\n')) >= 0) {
            const QByteArray line = c->pending.left(end);
            c->pending.remove(0, end + 1);
            emit lineReceived(line);
            if (m_answer) {
                answer(c->fd.get(), m_answer(line));
                drop(c);
                return;
            }
        }
        if (c->pending.size() > MaxLineBytes) { // not one of ours
            drop(c);
            return;
        }
    }
}

void LocalLineServer::drop(Connection* c)
{
    const auto it = std::find_if(
        m_connections.begin(), m_connections.end(), [c](const std::unique_ptr<Connection>& p) { return p.get() == c; });
    if (it == m_connections.end())
        return;
    // The notifier is the sender of the signal that called us: it goes once control returns.
    QSocketNotifier* notifier = (*it)->notifier.release();
    notifier->setEnabled(false);
    notifier->deleteLater();
    m_connections.erase(it);
}

} // namespace gw
