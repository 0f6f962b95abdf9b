#include "app/LocalLineServer.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace gw {

struct LocalLineServer::Connection
{
    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    QByteArray pending;

    ~Connection()
    {
        notifier.reset();
        if (fd >= 0)
            ::close(fd);
    }
};

namespace {

    QString systemError(const char* what)
    {
        return QString::fromLatin1(what) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    }

    bool makeAddress(const QByteArray& path, sockaddr_un* address)
    {
        *address = {};
        if (path.isEmpty() || path.size() >= static_cast<qsizetype>(sizeof(address->sun_path)))
            return false;
        address->sun_family = AF_UNIX;
        std::copy(path.begin(), path.end(), address->sun_path);
        return true;
    }

} // namespace

LocalLineServer::LocalLineServer(QObject* parent)
    : QObject(parent)
{
}

LocalLineServer::~LocalLineServer()
{
    stop();
}

void LocalLineServer::stop()
{
    m_connections.clear();
    delete m_notifier;
    m_notifier = nullptr;
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
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
    if (!makeAddress(QFile::encodeName(target.absoluteFilePath()), &address)) {
        m_error = QStringLiteral("the socket path is too long: ") + socketFile;
        return false;
    }
    QByteArray privateDir = QFile::encodeName(target.absolutePath() + QStringLiteral("/.globewall-XXXXXX"));
    if (!::mkdtemp(privateDir.data())) {
        m_error = systemError("cannot make a private folder");
        return false;
    }
    const QByteArray made = privateDir + "/s";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    bool ok = fd >= 0;
    if (!ok)
        m_error = systemError("socket");
    else if (!(ok = makeAddress(made, &address)))
        m_error = QStringLiteral("the socket path is too long: ") + socketFile;
    else if (!(ok = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0))
        m_error = systemError("bind");
    else if (!(ok = ::chmod(made.constData(), S_IRUSR | S_IWUSR) == 0))
        m_error = systemError("chmod");
    else if (!(ok = ::listen(fd, 16) == 0))
        m_error = systemError("listen");
    else if (!(ok = ::rename(made.constData(), QFile::encodeName(target.absoluteFilePath()).constData()) == 0))
        m_error = systemError("rename");
    ::unlink(made.constData());
    ::rmdir(privateDir.constData());
    if (!ok) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    m_fd = fd;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &LocalLineServer::acceptAll);
    return true;
}

void LocalLineServer::acceptAll()
{
    for (;;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return; // none left (EAGAIN), or the next notification tries again
        auto connection = std::make_unique<Connection>();
        connection->fd = fd;
        connection->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        Connection* c = connection.get();
        connect(connection->notifier.get(), &QSocketNotifier::activated, this, [this, c] { readFrom(c); });
        m_connections.push_back(std::move(connection));
    }
}

void LocalLineServer::readFrom(Connection* c)
{
    char buffer[512];
    for (;;) {
        const ssize_t n = ::recv(c->fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (n <= 0) { // the other side is done, or the connection failed
            drop(c);
            return;
        }
        c->pending.append(buffer, n);
        qsizetype end;
        while ((end = c->pending.indexOf('\n')) >= 0) {
            const QByteArray line = c->pending.left(end);
            c->pending.remove(0, end + 1);
            emit lineReceived(line);
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
    // Not deleted here: its notifier is the sender of the signal that called us.
    it->get()->notifier->setEnabled(false);
    std::unique_ptr<Connection> done = std::move(*it);
    m_connections.erase(it);
    QMetaObject::invokeMethod(
        this, [gone = std::shared_ptr<Connection>(std::move(done))] {}, Qt::QueuedConnection);
}

} // namespace gw
