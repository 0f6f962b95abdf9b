#include "net/HttpClient.h"

#include "net/CurlLibrary.h"
#include "net/ResponseHeaders.h"
#include "net/WorkerWait.h"
#include "shared/OutsideText.h"

#include <QFile>
#include <QIODevice>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>

namespace gw {

namespace {

    // Far more than the header lines of any real answer, redirects included; a server sending
    // more is not answered further.
    constexpr qint64 kMaxHeaderBytes = 256 * 1024;

    struct EasyCleanup
    {
        const CurlLibrary* curl;
        void operator()(CURL* handle) const { curl->easyCleanup(handle); }
    };
    using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;

    struct ListCleanup
    {
        const CurlLibrary* curl;
        void operator()(curl_slist* list) const { curl->slistFreeAll(list); }
    };
    using HeaderList = std::unique_ptr<curl_slist, ListCleanup>;

    void appendLine(const CurlLibrary& curl, HeaderList& list, const QByteArray& line)
    {
        // On failure libcurl returns null and leaves the list as it was.
        if (curl_slist* grown = curl.slistAppend(list.get(), line.constData())) {
            (void)list.release();
            list.reset(grown);
        }
    }

} // namespace

struct HttpClient::Share
{
    const CurlLibrary& curl;
    CURLSH* handle = nullptr;
    std::mutex locks[CURL_LOCK_DATA_LAST];

    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self)
    {
        static_cast<Share*>(self)->locks[data].lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* self) { static_cast<Share*>(self)->locks[data].unlock(); }

    explicit Share(const CurlLibrary& library)
        : curl(library)
    {
        handle = curl.shareInit();
        if (!handle)
            return;
        curl.shareSetopt(handle, CURLSHOPT_LOCKFUNC, &Share::lock);
        curl.shareSetopt(handle, CURLSHOPT_UNLOCKFUNC, &Share::unlock);
        curl.shareSetopt(handle, CURLSHOPT_USERDATA, this);
        curl.shareSetopt(handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        curl.shareSetopt(handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    }
    ~Share()
    {
        if (handle)
            curl.shareCleanup(handle);
    }
};

// State of one request. The worker thread owns the header fields until the transfer is over;
// the counters are read by the waiting thread for the progress signals.
struct HttpClient::Transfer
{
    explicit Transfer(const CurlLibrary& library)
        : curl(library)
    {
    }

    const CurlLibrary& curl;
    HeaderList requestHeaders { nullptr, ListCleanup { &curl } }; // outlives the handle that points to it
    EasyHandle easy { curl.easyInit(), EasyCleanup { &curl } };
    CURL* handle = easy.get();
    QIODevice* sink = nullptr;
    std::atomic<bool> cancel { false };
    std::atomic<bool> begun { false };
    std::atomic<qint64> expected { 0 };
    std::atomic<qint64> received { 0 };
    bool writeFailed = false;
    QByteArray refusalBody; // the start of a non-2xx answer's body
    long refusalCode = 0; // whose body it is: a redirect's page is not the final answer's
    bool headersTooLong = false;
    bool overallExceeded = false;
    bool tooSlow = false;
    bool tooLarge = false;
    qint64 headerBytes = 0;
    qint64 moved = 0; // header and body bytes of every answer, for the low-speed limit
    qint64 maxBodyBytes = 0;
    long overallSeconds = 0;
    long minAverageBytesPerSecond = 0;
    long slowBytesPerSecond = 0;
    long slowSeconds = 0;
    struct Sample
    {
        double at; // seconds since the start
        qint64 moved;
    };
    std::deque<Sample> samples { Sample { 0, 0 } };
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    ResponseHeaders headers;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    // True when fewer bytes than the low-speed rate moved over the last window. The samples
    // reach back just beyond the window, taken a tenth of a second apart at most.
    bool movesTooSlowly(double now)
    {
        if (slowSeconds <= 0 || slowBytesPerSecond <= 0)
            return false;
        if (now - samples.back().at >= 0.1)
            samples.push_back({ now, moved });
        const auto window = static_cast<double>(slowSeconds);
        while (samples.size() >= 2 && samples[1].at <= now - window)
            samples.pop_front();
        if (now < window)
            return false;
        return moved - samples.front().moved < static_cast<qint64>(slowBytesPerSecond) * slowSeconds;
    }

    static size_t onHeader(char* data, size_t size, size_t count, void* self)
    {
        auto* t = static_cast<Transfer*>(self);
        const size_t bytes = size * count;
        t->headerBytes += static_cast<qint64>(bytes);
        if (t->headerBytes > kMaxHeaderBytes) {
            t->headersTooLong = true;
            return 0;
        }
        t->moved += static_cast<qint64>(bytes);
        t->headers.addLine(QByteArrayView(data, static_cast<qsizetype>(bytes)));
        return bytes;
    }

    static size_t onWrite(char* data, size_t size, size_t count, void* self)
    {
        auto* t = static_cast<Transfer*>(self);
        const size_t bytes = size * count;
        t->moved += static_cast<qint64>(bytes);
        long code = 0;
        t->curl.easyGetinfo(t->handle, CURLINFO_RESPONSE_CODE, &code);
        if (code < 200 || code > 299) {
            // An error page is not the file; its start may say why the server refused.
            if (code != t->refusalCode) {
                t->refusalCode = code;
                t->refusalBody.clear();
            }
            const qsizetype room = kMaxRefusalBodyBytes - t->refusalBody.size();
            if (room > 0)
                t->refusalBody.append(data, std::min<qsizetype>(room, static_cast<qsizetype>(bytes)));
            return bytes;
        }
        if (!t->begun.load()) {
            curl_off_t length = -1;
            t->curl.easyGetinfo(t->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            t->expected.store(length > 0 ? static_cast<qint64>(length) : 0);
            t->begun.store(true);
        }
        // Refused as soon as the size shows, announced or counted: nothing of it is kept.
        const qint64 limit = t->maxBodyBytes;
        if (limit > 0 && (t->expected.load() > limit || t->received.load() + static_cast<qint64>(bytes) > limit)) {
            t->tooLarge = true;
            return 0;
        }
        if (!t->sink || t->sink->write(data, static_cast<qint64>(bytes)) != static_cast<qint64>(bytes)) {
            t->writeFailed = true;
            return 0;
        }
        t->received.fetch_add(static_cast<qint64>(bytes));
        return bytes;
    }

    // libcurl calls this at least once a second, also while nothing arrives.
    static int onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        auto* t = static_cast<Transfer*>(self);
        if (t->cancel.load())
            return 1;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t->start).count();
        if (t->movesTooSlowly(seconds)) {
            t->tooSlow = true;
            return 1;
        }
        if (t->overallSeconds > 0) {
            if (seconds > static_cast<double>(t->overallSeconds)
                && static_cast<double>(t->received.load())
                    < static_cast<double>(t->minAverageBytesPerSecond) * seconds) {
                t->overallExceeded = true;
                return 1;
            }
        }
        return 0;
    }
};

// Turns the worker's counters into the progress signals on the waiting thread.
struct HttpClient::ProgressPump
{
    HttpClient& client;
    Transfer& transfer;
    bool headOnly;
    bool beganEmitted = false;
    qint64 reported = -1;

    void operator()()
    {
        if (headOnly)
            return;
        if (!beganEmitted && transfer.begun.load()) {
            beganEmitted = true;
            emit client.transferBegin(transfer.expected.load());
        }
        const qint64 now = transfer.received.load();
        if (beganEmitted && now != reported) {
            reported = now;
            emit client.transferProgress(now);
        }
    }
};

// The library is opened and set up at the first transfer (curlLibrary), not when the window is
// built.
HttpClient::HttpClient(QObject* parent)
    : QObject(parent)
    , m_userAgent(defaultUserAgent())
{
}

HttpClient::~HttpClient() = default;

QString HttpClient::defaultUserAgent()
{
    return QStringLiteral("Mozilla/3.0 (Globewall v" GLOBEWALL_VERSION " )");
}

HttpResponse HttpClient::get(const QString& url, QIODevice* sink, const QList<QByteArray>& extraHeaders)
{
    return perform(url, sink, false, extraHeaders);
}

HttpResponse HttpClient::head(const QString& url, const QList<QByteArray>& extraHeaders)
{
    return perform(url, nullptr, true, extraHeaders);
}

void HttpClient::abort()
{
    for (std::atomic<bool>* flag : std::as_const(m_cancelFlags))
        flag->store(true);
}

HttpResponse HttpClient::perform(
    const QString& url, QIODevice* sink, bool headOnly, const QList<QByteArray>& extraHeaders)
{
    const CurlLibrary& curl = curlLibrary();
    if (!curl.ready()) {
        HttpResponse response;
        response.failure = HttpFailure::NoLibrary;
        response.errorText = curl.error;
        return response;
    }
    // A client keeps the library it started with, so its shared cookies stay with it.
    if (!m_share)
        m_share = std::make_unique<Share>(curl);
    Transfer t(m_share->curl);
    if (!t.handle) {
        HttpResponse response;
        response.failure = HttpFailure::NoLibrary;
        response.errorText = QStringLiteral("the HTTP library could not start a transfer");
        return response;
    }
    t.sink = sink;
    t.overallSeconds = m_timeouts.overallSeconds;
    t.minAverageBytesPerSecond = m_timeouts.minAverageBytesPerSecond;
    t.slowBytesPerSecond = m_timeouts.lowSpeedBytesPerSecond;
    t.slowSeconds = m_timeouts.lowSpeedSeconds;
    t.maxBodyBytes = headOnly ? 0 : m_maxBodyBytes;
    setRequestOptions(t, url, headOnly, extraHeaders);
    setProxyOptions(t);
    setCallbacks(t);

    ProgressPump pump { *this, t, headOnly };
    const int rc = run(t, pump);
    HttpResponse response = responseOf(t, rc);

    // A whole body of 0 bytes still begins and ends, like any other.
    if (!headOnly && response.ok && !t.begun.load())
        t.begun.store(true);
    pump();
    if (pump.beganEmitted)
        emit transferEnd(response.ok);
    return response;
}

void HttpClient::setRequestOptions(
    Transfer& t, const QString& url, bool headOnly, const QList<QByteArray>& extraHeaders) const
{
    // Each request gets its own handle and connection (a nested request during the wait of
    // another one is possible); only the cookies and the name cache are shared. libcurl copies
    // every text option.
    const CurlLibrary& curl = t.curl;
    CURL* h = t.handle;
    appendLine(curl, t.requestHeaders, "Accept: text/html, */*");
    for (const QByteArray& extra : extraHeaders)
        appendLine(curl, t.requestHeaders, extra);

    curl.easySetopt(h, CURLOPT_URL, url.toUtf8().constData());
    curl.easySetopt(h, CURLOPT_NOSIGNAL, 1L);
    curl.easySetopt(h, CURLOPT_ERRORBUFFER, t.errorBuffer);
    curl.easySetopt(h, CURLOPT_USERAGENT, m_userAgent.toUtf8().constData());
    curl.easySetopt(h, CURLOPT_HTTPHEADER, t.requestHeaders.get());
    curl.easySetopt(h, CURLOPT_HTTP_VERSION, m_http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    curl.easySetopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    // A secure address is never followed to a plain one.
    curl.easySetopt(h, CURLOPT_REDIR_PROTOCOLS_STR,
        url.startsWith(QLatin1String("https:"), Qt::CaseInsensitive) ? "https" : "http,https");
    curl.easySetopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl.easySetopt(h, CURLOPT_MAXREDIRS, static_cast<long>(m_maxRedirects));
    curl.easySetopt(h, CURLOPT_COOKIEFILE, ""); // cookie engine on, in memory only
    if (m_share->handle)
        curl.easySetopt(h, CURLOPT_SHARE, m_share->handle);
    curl.easySetopt(h, CURLOPT_FORBID_REUSE, 1L);
    curl.easySetopt(h, CURLOPT_FILETIME, 1L);
    curl.easySetopt(h, CURLOPT_BUFFERSIZE, 128L * 1024L);
    curl.easySetopt(h, CURLOPT_CONNECTTIMEOUT_MS, m_timeouts.connectMs);
    if (!m_caFile.isEmpty())
        curl.easySetopt(h, CURLOPT_CAINFO, QFile::encodeName(m_caFile).constData());
    if (headOnly)
        curl.easySetopt(h, CURLOPT_NOBODY, 1L);
}

void HttpClient::setProxyOptions(Transfer& t) const
{
    // The settings file is the only configuration: proxy variables of the environment are
    // never consulted, and no host bypasses a configured proxy.
    const CurlLibrary& curl = t.curl;
    CURL* h = t.handle;
    curl.easySetopt(h, CURLOPT_NOPROXY, "");
    if (m_proxy.host.isEmpty()) {
        curl.easySetopt(h, CURLOPT_PROXY, "");
        return;
    }
    curl.easySetopt(h, CURLOPT_PROXY, m_proxy.host.toUtf8().constData());
    curl.easySetopt(h, CURLOPT_PROXYPORT, static_cast<long>(m_proxy.port));
    curl.easySetopt(h, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
    if (m_proxy.basicAuth && (!m_proxy.user.isEmpty() || !m_proxy.password.isEmpty())) {
        // Basic alone makes the credentials go with the first request.
        curl.easySetopt(h, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl.easySetopt(h, CURLOPT_PROXYUSERNAME, m_proxy.user.toUtf8().constData());
        curl.easySetopt(h, CURLOPT_PROXYPASSWORD, m_proxy.password.toUtf8().constData());
    }
}

void HttpClient::setCallbacks(Transfer& t) const
{
    const CurlLibrary& curl = t.curl;
    CURL* h = t.handle;
    curl.easySetopt(h, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    curl.easySetopt(h, CURLOPT_HEADERDATA, &t);
    curl.easySetopt(h, CURLOPT_WRITEFUNCTION, &Transfer::onWrite);
    curl.easySetopt(h, CURLOPT_WRITEDATA, &t);
    curl.easySetopt(h, CURLOPT_NOPROGRESS, 0L);
    curl.easySetopt(h, CURLOPT_XFERINFOFUNCTION, &Transfer::onProgress);
    curl.easySetopt(h, CURLOPT_XFERINFODATA, &t);
}

int HttpClient::run(Transfer& t, ProgressPump& pump)
{
    ++m_running;
    m_cancelFlags.append(&t.cancel);
    CURLcode rc = CURLE_OK;
    WorkerWaitOptions wait;
    wait.tick = [&pump] { pump(); };
    wait.requestStop = [&t] { t.cancel.store(true); };
    runWhileProcessingEvents([&] { rc = t.curl.easyPerform(t.handle); }, wait);
    m_cancelFlags.removeOne(&t.cancel);
    --m_running;
    return static_cast<int>(rc);
}

HttpResponse HttpClient::responseOf(Transfer& t, int result)
{
    const CurlLibrary& curl = t.curl;
    CURL* h = t.handle;
    const auto rc = static_cast<CURLcode>(result);
    HttpResponse response;
    long answered = 0; // of the server itself: a proxy's tunnel reply does not count
    curl.easyGetinfo(h, CURLINFO_RESPONSE_CODE, &answered);
    long code = answered;
    if (code == 0)
        curl.easyGetinfo(h, CURLINFO_HTTP_CONNECTCODE, &code);
    curl_off_t fileTime = -1;
    curl.easyGetinfo(h, CURLINFO_FILETIME_T, &fileTime);
    response.statusCode = static_cast<int>(code);
    const char* effective = nullptr;
    if (curl.easyGetinfo(h, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
        response.effectiveUrl = plainOutsideText(QString::fromUtf8(effective));
    // What the server says is shown to a person (log, "--status"): never a control character.
    response.statusLine = plainOutsideText(QString::fromLatin1(t.headers.statusLine()));
    response.rawHeaders = t.headers.rawHeaders();
    if (code < 200 || code > 299)
        response.refusalBody = t.refusalBody;
    response.lastModified = lastModifiedFromFileTime(static_cast<qint64>(fileTime));
    response.expectedSize = t.expected.load();
    response.received = t.received.load();
    response.failure = failureOf(t, result, code);
    response.ok = response.failure == HttpFailure::None;
    if (rc != CURLE_OK)
        response.errorText
            = plainOutsideText(QString::fromUtf8(t.errorBuffer[0] ? t.errorBuffer : curl.easyStrerror(rc)));
    response.reason = plainOutsideText(reasonOf(t, response.failure));
    // Connected, but the server closed or reset the connection before it answered.
    if (response.failure == HttpFailure::Transport && response.statusLine.isEmpty()) {
        if (rc == CURLE_GOT_NOTHING)
            response.reason = QStringLiteral("closed without an answer");
        else if (rc == CURLE_RECV_ERROR || rc == CURLE_SEND_ERROR)
            response.reason = QStringLiteral("connection reset");
    }

    // A request went out once the connection (and its TLS session) stood; "407" is the proxy's.
    curl_off_t pretransfer = 0;
    curl.easyGetinfo(h, CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
    switch (response.failure) {
    case HttpFailure::NameNotFound:
    case HttpFailure::NotConnected:
    case HttpFailure::TlsFailed:
    case HttpFailure::NoLibrary:
        response.reachedServer = false;
        break;
    default:
        response.reachedServer = (answered > 0 && answered != 407) || (answered == 0 && pretransfer > 0);
        break;
    }
    return response;
}

HttpFailure HttpClient::failureOf(const Transfer& t, int result, long statusCode)
{
    switch (static_cast<CURLcode>(result)) {
    case CURLE_OK:
        return statusCode >= 200 && statusCode <= 299 ? HttpFailure::None : HttpFailure::HttpStatus;
    case CURLE_OPERATION_TIMEDOUT:
        // Only the connect time-out is libcurl's own: the other limits are the callback's.
        return HttpFailure::NotConnected;
    case CURLE_ABORTED_BY_CALLBACK:
        return t.tooSlow ? HttpFailure::TooSlow : t.overallExceeded ? HttpFailure::TimedOut : HttpFailure::Cancelled;
    case CURLE_WRITE_ERROR:
        return t.headersTooLong ? HttpFailure::HeadersTooLong
            : t.tooLarge        ? HttpFailure::TooLarge
            : t.writeFailed     ? HttpFailure::WriteError
                                : HttpFailure::Transport;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return HttpFailure::NameNotFound;
    case CURLE_COULDNT_CONNECT:
        return HttpFailure::NotConnected;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_USE_SSL_FAILED:
        return HttpFailure::TlsFailed;
    case CURLE_TOO_MANY_REDIRECTS:
        return HttpFailure::TooManyMoves;
    case CURLE_UNSUPPORTED_PROTOCOL:
        // The first address was checked before; only a redirect can lead to another protocol.
        return HttpFailure::MoveRefused;
    default:
        return HttpFailure::Transport;
    }
}

QString HttpClient::reasonOf(const Transfer& t, HttpFailure failure)
{
    const CurlLibrary& curl = t.curl;
    switch (failure) {
    case HttpFailure::TooSlow:
        return QStringLiteral("too slow, under %1/s for %2 s").arg(sizeText(t.slowBytesPerSecond)).arg(t.slowSeconds);
    case HttpFailure::TooLarge:
        return QStringLiteral("too large, over ") + sizeText(t.maxBodyBytes);
    case HttpFailure::NameNotFound:
        return QString::fromUtf8(t.errorBuffer).contains(QLatin1String("proxy"), Qt::CaseInsensitive)
            ? QStringLiteral("proxy name not found")
            : QStringLiteral("name not found");
    case HttpFailure::NotConnected: {
        long error = 0;
        curl.easyGetinfo(t.handle, CURLINFO_OS_ERRNO, &error);
        if (error == ECONNREFUSED)
            return QStringLiteral("connection refused");
        if (error == ENETUNREACH)
            return QStringLiteral("network unreachable");
        if (error == EHOSTUNREACH)
            return QStringLiteral("host unreachable");
        if (error == ETIMEDOUT || QString::fromUtf8(t.errorBuffer).contains(QLatin1String("timed out")))
            return QStringLiteral("connection timed out");
        return QStringLiteral("no connection");
    }
    case HttpFailure::TlsFailed: {
        long verify = 0;
        curl.easyGetinfo(t.handle, CURLINFO_SSL_VERIFYRESULT, &verify);
        return verify != 0 || QString::fromUtf8(t.errorBuffer).contains(QLatin1String("certificate"))
            ? QStringLiteral("certificate not trusted")
            : QStringLiteral("TLS handshake failed");
    }
    case HttpFailure::TooManyMoves:
        return QStringLiteral("too many moves");
    case HttpFailure::MoveRefused: {
        // libcurl keeps no address it refuses to follow: the last answer's Location tells it.
        const char* current = nullptr;
        curl.easyGetinfo(t.handle, CURLINFO_EFFECTIVE_URL, &current);
        const QList<QByteArray> location = headerValues(t.headers.rawHeaders(), "location");
        if (location.isEmpty())
            return QStringLiteral("moved to an address not followed");
        const QUrl next
            = QUrl(QString::fromUtf8(current ? current : "")).resolved(QUrl(QString::fromUtf8(location[0])));
        return QStringLiteral("moved to ") + next.toString() + QStringLiteral(", not followed");
    }
    default:
        return QString();
    }
}

QString sizeText(qint64 bytes)
{
    constexpr qint64 kKiB = 1024;
    constexpr qint64 kMiB = 1024 * kKiB;
    if (bytes >= kMiB && bytes % kMiB == 0)
        return QString::number(bytes / kMiB) + QStringLiteral(" MiB");
    if (bytes >= kKiB && bytes % kKiB == 0)
        return QString::number(bytes / kKiB) + QStringLiteral(" KiB");
    return QString::number(bytes) + (bytes == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
}

} // namespace gw
