#pragma once
// HTTP GET into a file and HEAD on libcurl (opened at the first transfer, see CurlLibrary.h). The transfer runs on a
// worker thread while the caller waits in a local event loop, so the window stays responsive; the progress signals
// arrive on the caller's thread, throttled. Every request is answered with an HttpResponse.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QIODevice;

namespace gw {

struct ProxySettings
{
    bool basicAuth = false; // preemptive basic authentication toward the proxy
    QString host; // empty: no proxy
    int port = 80;
    QString user;
    QString password;
};

// Limits that keep a dead or stalled server from holding a transfer for good.
struct HttpTimeouts
{
    long connectMs = 30000;
    // A transfer that moved fewer bytes than this rate over the last `lowSpeedSeconds` (the
    // wait for the answer included) ends as too slow: a server that announces gigabytes and
    // sends a trickle must not hold the timer for a quarter of an hour.
    long lowSpeedBytesPerSecond = 1024;
    long lowSpeedSeconds = 60;
    // A server that keeps trickling passes the low-speed limit for ever. Past `overallSeconds`
    // a transfer goes on only while its average rate stays at least `minAverageBytesPerSecond`,
    // so a large file on a fair line completes and an endless one ends (0: no overall limit).
    long overallSeconds = 15 * 60;
    long minAverageBytesPerSecond = 16 * 1024;
};

enum class HttpFailure {
    None,
    Transport, // the connection broke, or the answer was no HTTP
    HttpStatus, // the last answer was not a 2xx status
    TimedOut, // the overall limit
    TooSlow, // the low-speed limit
    TooLarge, // the body grew beyond the limit set for it
    NameNotFound, // the server's (or the proxy's) name was not found
    NotConnected, // no connection: refused, unreachable, timed out
    TlsFailed, // the TLS handshake failed or the certificate was not trusted
    TooManyMoves, // more redirects than allowed
    MoveRefused, // a redirect to an address that is not followed (https to http, another protocol)
    HeadersTooLong, // more header bytes than any real answer sends
    WriteError, // the body could not be written
    Cancelled, // abort() or the application quit
    NoLibrary, // the HTTP library could not be opened or set up; errorText says why
};

struct HttpResponse
{
    bool ok = false; // a 2xx answer arrived whole
    HttpFailure failure = HttpFailure::None;
    int statusCode = 0; // of the last response, 0 when none arrived
    QString statusLine; // the last response's status line, e.g. "HTTP/1.1 404 Not Found"
    QByteArray rawHeaders; // the last response's header lines, each ending with CR LF
    QDateTime lastModified; // UTC; invalid when the answer carried none
    qint64 expectedSize = 0; // Content-Length of the body, 0 when unknown
    qint64 received = 0; // body bytes written
    QString errorText; // libcurl's explanation of a failure
    // The failure in a few words, as a log line gives it ("too slow", "name not found: host");
    // empty where the status line tells it.
    QString reason;
    QString effectiveUrl; // the address of the last answer, after redirects
    // The first bytes of the body of a non-2xx answer (kMaxRefusalBodyBytes at most): some
    // servers say there why they refused.
    QByteArray refusalBody;
    // The request reached the server: false when the name was not found, no connection or no
    // TLS session came about, or a proxy refused it. Such an attempt asked the server nothing.
    bool reachedServer = false;
};

inline constexpr qsizetype kMaxRefusalBodyBytes = 1024;

// "64 MiB", "64 KiB" or "<n> bytes": a size limit as the log names it.
QString sizeText(qint64 bytes);

class HttpClient : public QObject
{
    Q_OBJECT

public:
    explicit HttpClient(QObject* parent = nullptr);
    ~HttpClient() override;

    // "Mozilla/3.0 (Globewall v<file version> )": the agent used while the settings name none.
    static QString defaultUserAgent();

    void setUserAgent(const QString& agent) { m_userAgent = agent; }
    QString userAgent() const { return m_userAgent; }
    void setHttp10(bool on) { m_http10 = on; }
    bool http10() const { return m_http10; }
    void setProxy(const ProxySettings& proxy) { m_proxy = proxy; }
    const ProxySettings& proxy() const { return m_proxy; }
    void setTimeouts(const HttpTimeouts& t) { m_timeouts = t; }
    const HttpTimeouts& timeouts() const { return m_timeouts; }
    // Redirects followed in one request, to any server; one more fails it.
    void setMaxRedirects(int n) { m_maxRedirects = n; }
    // The most body bytes the next requests may bring (0: no limit); a body that announces or
    // reaches more ends the transfer as TooLarge.
    void setMaxBodyBytes(qint64 bytes) { m_maxBodyBytes = bytes; }
    qint64 maxBodyBytes() const { return m_maxBodyBytes; }
    // Certificates of the authorities trusted for https instead of the system's (empty: the system's).
    void setCaFile(const QString& file) { m_caFile = file; }

    // GET `url`; the body of a 2xx answer is written to `sink` (open for writing).
    // `sink` belongs to the transfer until the call returns.
    HttpResponse get(const QString& url, QIODevice* sink, const QList<QByteArray>& extraHeaders = {});
    HttpResponse head(const QString& url, const QList<QByteArray>& extraHeaders = {});

    // Ends every transfer now running (they fail as Cancelled).
    void abort();
    int runningTransfers() const { return m_running; }

signals:
    // The body of the final answer begins; `expected` is its announced size (0 when unknown).
    void transferBegin(qint64 expected);
    void transferProgress(qint64 received);
    // The transfer ended; `complete` is true when the whole body arrived.
    void transferEnd(bool complete);

private:
    struct Transfer;
    struct ProgressPump;
    HttpResponse perform(const QString& url, QIODevice* sink, bool headOnly, const QList<QByteArray>& extraHeaders);
    void setRequestOptions(Transfer& t, const QString& url, bool headOnly, const QList<QByteArray>& extraHeaders) const;
    void setProxyOptions(Transfer& t) const;
    void setCallbacks(Transfer& t) const;
    int run(Transfer& t, ProgressPump& pump);
    static HttpResponse responseOf(Transfer& t, int result);
    static HttpFailure failureOf(const Transfer& t, int result, long statusCode);
    static QString reasonOf(const Transfer& t, HttpFailure failure);

    QString m_userAgent;
    bool m_http10 = false;
    ProxySettings m_proxy;
    HttpTimeouts m_timeouts;
    int m_maxRedirects = 5;
    qint64 m_maxBodyBytes = 0;
    QString m_caFile;
    int m_running = 0;
    QList<std::atomic<bool>*> m_cancelFlags;
    struct Share;
    std::unique_ptr<Share> m_share; // cookies shared by all transfers of this client
};

} // namespace gw
