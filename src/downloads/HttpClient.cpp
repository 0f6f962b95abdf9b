#include "downloads/HttpClient.h"

#include "downloads/CurlLibrary.h"
#include "downloads/ResponseHeaders.h"
#include "downloads/WorkerWait.h"

#include <QFile>
#include <QIODevice>
#include <QUrl>

#include <chrono>
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

    // "host:port" of an address, the port spelt out, for telling a move to another server.
    QString serverOf(const QUrl& url)
    {
        return url.host().toLower() + QLatin1Char(':')
            + QString::number(url.port(url.scheme() == QLatin1String("https") ? 443 : 80));
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
    bool headersTooLong = false;
    bool overallExceeded = false;
    bool tooManyServerMoves = false;
    qint64 headerBytes = 0;
    long overallSeconds = 0;
    long minAverageBytesPerSecond = 0;
    int maxServerMoves = 1;
    int serverMoves = 0;
    QByteArray location; // of the answer whose header lines are arriving
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    ResponseHeaders headers;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    // At the end of a redirect's header lines: a move to another server counts, and one more
    // than allowed ends the transfer before libcurl follows it.
    bool redirectAllowed()
    {
        long code = 0;
        curl.easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &code);
        if (code < 300 || code > 399 || location.isEmpty())
            return true;
        const char* current = nullptr;
        curl.easyGetinfo(handle, CURLINFO_EFFECTIVE_URL, &current);
        const QUrl here(QString::fromUtf8(current ? current : ""));
        const QUrl there = here.resolved(QUrl(QString::fromUtf8(location)));
        if (there.host().isEmpty() || serverOf(here) == serverOf(there))
            return true;
        if (++serverMoves <= maxServerMoves)
            return true;
        tooManyServerMoves = true;
        return false;
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
        const QByteArrayView line(data, static_cast<qsizetype>(bytes));
        t->headers.addLine(line);
        if (line.startsWith("HTTP/"))
            t->location.clear();
        else if (line.size() > 9 && QByteArrayView(line.first(9)).compare("location:", Qt::CaseInsensitive) == 0)
            t->location = line.sliced(9).trimmed().toByteArray();
        else if (line.trimmed().isEmpty() && !t->redirectAllowed())
            return 0;
        return bytes;
    }

    static size_t onWrite(char* data, size_t size, size_t count, void* self)
    {
        auto* t = static_cast<Transfer*>(self);
        const size_t bytes = size * count;
        long code = 0;
        t->curl.easyGetinfo(t->handle, CURLINFO_RESPONSE_CODE, &code);
        if (code < 200 || code > 299)
            return bytes; // an error page is not the file
        if (!t->begun.load()) {
            curl_off_t length = -1;
            t->curl.easyGetinfo(t->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            t->expected.store(length > 0 ? static_cast<qint64>(length) : 0);
            t->begun.store(true);
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
        if (t->overallSeconds > 0) {
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t->start).count();
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
    t.maxServerMoves = m_maxServerMoves;
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
    curl.easySetopt(h, CURLOPT_LOW_SPEED_LIMIT, m_timeouts.lowSpeedBytesPerSecond);
    curl.easySetopt(h, CURLOPT_LOW_SPEED_TIME, m_timeouts.lowSpeedSeconds);
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
    long code = 0;
    curl.easyGetinfo(h, CURLINFO_RESPONSE_CODE, &code);
    if (code == 0)
        curl.easyGetinfo(h, CURLINFO_HTTP_CONNECTCODE, &code);
    curl_off_t fileTime = -1;
    curl.easyGetinfo(h, CURLINFO_FILETIME_T, &fileTime);
    response.statusCode = static_cast<int>(code);
    const char* effective = nullptr;
    if (curl.easyGetinfo(h, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
        response.effectiveUrl = QString::fromUtf8(effective);
    response.statusLine = QString::fromLatin1(t.headers.statusLine());
    response.rawHeaders = t.headers.rawHeaders();
    response.lastModified = lastModifiedFromFileTime(static_cast<qint64>(fileTime));
    response.expectedSize = t.expected.load();
    response.received = t.received.load();
    response.failure = failureOf(t, result, code);
    response.ok = response.failure == HttpFailure::None;
    if (t.tooManyServerMoves)
        response.errorText = QStringLiteral("redirected to another server more than once");
    else if (rc != CURLE_OK)
        response.errorText = QString::fromUtf8(t.errorBuffer[0] ? t.errorBuffer : curl.easyStrerror(rc));
    return response;
}

HttpFailure HttpClient::failureOf(const Transfer& t, int result, long statusCode)
{
    switch (static_cast<CURLcode>(result)) {
    case CURLE_OK:
        return statusCode >= 200 && statusCode <= 299 ? HttpFailure::None : HttpFailure::HttpStatus;
    case CURLE_OPERATION_TIMEDOUT:
        return HttpFailure::TimedOut;
    case CURLE_ABORTED_BY_CALLBACK:
        return t.overallExceeded ? HttpFailure::TimedOut : HttpFailure::Cancelled;
    case CURLE_WRITE_ERROR:
        return t.headersTooLong ? HttpFailure::HeadersTooLong
            : t.writeFailed     ? HttpFailure::WriteError
                                : HttpFailure::Transport;
    default:
        return HttpFailure::Transport;
    }
}

} // namespace gw
