#pragma once
// A small HTTP/1.x server on 127.0.0.1 for tests that need a server to misbehave on purpose:
// a status line of its own, a reset after "200 OK", a stall, a short body, a redirect loop.
// Each connection is served on its own thread; one request per connection.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace gwtest {

struct SeenRequest
{
    QByteArray method;
    QByteArray target; // as sent: a path, or an absolute URL through a proxy
    QByteArray version; // "HTTP/1.0" or "HTTP/1.1"
    QList<QPair<QByteArray, QByteArray>> headers;
    // The value of the first header of that name (case-insensitive), empty when absent.
    QByteArray header(const QByteArray& name) const;
    bool hasHeader(const QByteArray& name) const;
};

class HttpFaultServer
{
public:
    // One exchange, handed to a route's handler on the server's thread.
    class Exchange
    {
    public:
        const SeenRequest& request;
        int number; // 1 for the first request of this route

        void send(const QByteArray& bytes);
        // A whole answer: the status line ("HTTP/1.1 200 OK"), extra header lines, the body.
        // Content-Length is added unless given among the headers; HEAD gets no body.
        void respond(const QByteArray& statusLine, const QByteArray& body, const QList<QByteArray>& headers = {});
        // Ends the connection with a TCP reset.
        void reset();
        // Sends nothing more until the server stops or `maxMs` has passed.
        void stall(int maxMs = 60000);

        Exchange(const SeenRequest& r, int n, int fd, const std::atomic<bool>& stopping)
            : request(r)
            , number(n)
            , m_fd(fd)
            , m_stopping(stopping)
        {
        }
        bool wasReset() const { return m_reset; }

    private:
        int m_fd;
        const std::atomic<bool>& m_stopping;
        bool m_reset = false;
    };
    using Handler = std::function<void(Exchange&)>;

    HttpFaultServer();
    ~HttpFaultServer();
    HttpFaultServer(const HttpFaultServer&) = delete;
    HttpFaultServer& operator=(const HttpFaultServer&) = delete;

    bool start();
    void stop();
    quint16 port() const { return m_port; }
    QString url(const QString& path) const;

    // A route matches the path of the request target (without the query) exactly.
    void route(const QByteArray& path, Handler handler);
    // A fixed answer.
    static Handler answer(const QByteArray& statusLine, const QByteArray& body, const QList<QByteArray>& headers = {});
    // The bodies in turn, one per request; the last one repeats.
    static Handler answers(const QList<QByteArray>& bodies, const QList<QByteArray>& headers = {});

    QList<SeenRequest> requests() const;
    int count(const QByteArray& path) const;

private:
    void acceptLoop();
    void serve(int fd);

    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stopping { false };
    std::thread m_acceptThread;
    mutable std::mutex m_mutex;
    std::vector<std::thread> m_workers;
    QMap<QByteArray, Handler> m_routes;
    QMap<QByteArray, int> m_counts;
    QList<SeenRequest> m_requests;
};

// A free TCP port on 127.0.0.1 at the moment of asking.
quint16 freeLoopbackPort();
// An address on 127.0.0.1 where nothing listens: a connection to it is refused. Empty when no
// free port could be had.
QString refusedUrl(const QString& path);
// True once something accepts connections on 127.0.0.1:port (checked for up to `ms`).
bool waitForPort(quint16 port, int ms = 5000);

} // namespace gwtest
