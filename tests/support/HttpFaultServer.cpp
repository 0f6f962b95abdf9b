#include "HttpFaultServer.h"

#include <QElapsedTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace gwtest {

QByteArray SeenRequest::header(const QByteArray& name) const
{
    for (const auto& h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return {};
}

bool SeenRequest::hasHeader(const QByteArray& name) const
{
    for (const auto& h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void HttpFaultServer::Exchange::send(const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n
            = ::send(m_fd, bytes.constData() + sent, static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += n;
    }
}

void HttpFaultServer::Exchange::respond(
    const QByteArray& statusLine, const QByteArray& body, const QList<QByteArray>& headers)
{
    QByteArray out = statusLine + "\r\n";
    bool hasLength = false;
    for (const QByteArray& h : headers) {
        out += h + "\r\n";
        if (h.toLower().startsWith("content-length:"))
            hasLength = true;
    }
    if (!hasLength)
        out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    if (request.method != "HEAD")
        out += body;
    send(out);
}

void HttpFaultServer::Exchange::reset()
{
    linger l { 1, 0 };
    setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    m_reset = true;
}

void HttpFaultServer::Exchange::stall(int maxMs)
{
    QElapsedTimer t;
    t.start();
    while (!m_stopping.load() && t.elapsed() < maxMs)
        usleep(20 * 1000);
}

HttpFaultServer::HttpFaultServer() = default;

HttpFaultServer::~HttpFaultServer()
{
    stop();
}

bool HttpFaultServer::start()
{
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listen < 0)
        return false;
    int one = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    if (bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0 || listen(m_listen, 16) < 0)
        return false;
    socklen_t len = sizeof a;
    getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
    m_port = ntohs(a.sin_port);
    m_acceptThread = std::thread([this] { acceptLoop(); });
    return true;
}

void HttpFaultServer::stop()
{
    if (m_stopping.exchange(true))
        return;
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    if (m_listen >= 0)
        ::close(m_listen);
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(m_mutex);
        workers.swap(m_workers);
    }
    for (auto& w : workers)
        w.join();
}

QString HttpFaultServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

void HttpFaultServer::route(const QByteArray& path, Handler handler)
{
    std::lock_guard lock(m_mutex);
    m_routes[path] = std::move(handler);
}

HttpFaultServer::Handler HttpFaultServer::answer(
    const QByteArray& statusLine, const QByteArray& body, const QList<QByteArray>& headers)
{
    return [=](Exchange& e) { e.respond(statusLine, body, headers); };
}

HttpFaultServer::Handler HttpFaultServer::answers(const QList<QByteArray>& bodies, const QList<QByteArray>& headers)
{
    return [=](Exchange& e) {
        const qsizetype i = qMin<qsizetype>(e.number - 1, bodies.size() - 1);
        e.respond("HTTP/1.1 200 OK", bodies.value(i), headers);
    };
}

QList<SeenRequest> HttpFaultServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

int HttpFaultServer::count(const QByteArray& path) const
{
    std::lock_guard lock(m_mutex);
    return m_counts.value(path);
}

void HttpFaultServer::acceptLoop()
{
    while (!m_stopping.load()) {
        pollfd p { m_listen, POLLIN, 0 };
        if (poll(&p, 1, 50) <= 0)
            continue;
        const int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard lock(m_mutex);
        m_workers.emplace_back([this, fd] { serve(fd); });
    }
}

void HttpFaultServer::serve(int fd)
{
    QByteArray in;
    QElapsedTimer t;
    t.start();
    while (!in.contains("\r\n\r\n") && in.size() < 65536 && !m_stopping.load() && t.elapsed() < 10000) {
        pollfd p { fd, POLLIN, 0 };
        if (poll(&p, 1, 50) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        in.append(buf, n);
    }
    const qsizetype end = in.indexOf("\r\n\r\n");
    if (end < 0) {
        ::close(fd);
        return;
    }
    SeenRequest request;
    const QList<QByteArray> lines = in.left(end).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.target = first.value(1);
    request.version = first.value(2);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.append({ line.left(colon).trimmed(), line.mid(colon + 1).trimmed() });
    }
    QByteArray path = request.target;
    if (path.startsWith("http://")) {
        const qsizetype slash = path.indexOf('/', 7);
        path = slash < 0 ? QByteArray("/") : path.mid(slash);
    }
    path = path.left(path.indexOf('?') < 0 ? path.size() : path.indexOf('?'));

    Handler handler;
    int number = 0;
    {
        std::lock_guard lock(m_mutex);
        m_requests.append(request);
        number = ++m_counts[path];
        handler = m_routes.value(path);
    }
    Exchange exchange(request, number, fd, m_stopping);
    if (handler)
        handler(exchange);
    else
        exchange.respond("HTTP/1.1 404 Not Found", "no route");
    if (!exchange.wasReset())
        shutdown(fd, SHUT_WR);
    ::close(fd);
}

quint16 freeLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    quint16 port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        socklen_t len = sizeof a;
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ::close(fd);
    return port;
}

QString refusedUrl(const QString& path)
{
    const quint16 port = freeLoopbackPort();
    return port ? QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path) : QString();
}

bool waitForPort(quint16 port, int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        if (ok)
            return true;
        usleep(20 * 1000);
    }
    return false;
}

} // namespace gwtest
