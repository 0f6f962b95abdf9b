#include "app/LocalLineServer.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <cstdlib>
#include <sys/socket.h>
#include <sys/stat.h>

namespace gw {

struct LocalLineServer::Connection
{
    UniqueFd fd;
    std::unique_ptr<QSocketNotifier> notifier;
    QByteArray pending;
};

namespace {

    QString systemError(const char* what)
    {
        return QString::fromLatin1(what) + QStringLiteral(": ") + systemErrorText();
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
    m_notifier = new QSocketNotifier(m_fd.get(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &LocalLineServer::acceptAll);
    return true;
}

void LocalLineServer::acceptAll()
{
    for (;;) {
        UniqueFd fd(::accept4(m_fd.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd.valid())
            return; // none left (EAGAIN), or the next notification tries again
        auto connection = std::make_unique<Connection>();
        connection->notifier = std::make_unique<QSocketNotifier>(fd.get(), QSocketNotifier::Read);
        connection->fd = std::move(fd);
        Connection* c = connection.get();
        connect(connection->notifier.get(), &QSocketNotifier::activated, this, [this, c] { readFrom(c); });
        m_connections.push_back(std::move(connection));
    }
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
    // The notifier is the sender of the signal that called us: it goes once control returns.
    QSocketNotifier* notifier = (*it)->notifier.release();
    notifier->setEnabled(false);
    notifier->deleteLater();
    m_connections.erase(it);
}

} // namespace gw
