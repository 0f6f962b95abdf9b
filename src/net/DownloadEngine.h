#pragma once
// Every download of the program goes through DownloadFile: the transfer goes into a ".part"
// file of its own that replaces the previous copy only once it is complete and has passed its
// checks (a cloud map: a whole picture twice as wide as high; the built-in one: its published
// MD5 sum too), a missing folder is offered for
// creation, progress is announced by signals (showTransfers puts it on the tray icon, the
// progress bar and the status bar), and each outcome writes one line to the transfer log.
// Beside it live the freshness check, the records, the MD5 check and the reachability test.
#include "net/HttpClient.h"
#include "net/Ping.h"
#include "shared/DateTime.h"

#include <QObject>
#include <QString>

#include <functional>
#include <utility>

class QFile;

namespace gw {

struct AppState;
class Clock;
class Dialogs;
class DownloadRecords;
class LogSink;
class SettingsAccess;

class DownloadEngine : public QObject
{
    Q_OBJECT

public:
    DownloadEngine(SettingsAccess& settings, AppState& state, LogSink& transferLog, Dialogs& dialogs,
        const Clock& clock, DownloadRecords& records, QObject* parent = nullptr);

    // Fetches `url` into `destination`; true when the file was created and the transfer
    // completed. `silent` shows nothing of the transfer (used for the checksum file).
    // `conditional` sends the validators of the copy on disk: an unchanged file is not
    // transferred (see notModified); a forced download is not conditional.
    bool DownloadFile(const QString& url, const QString& destination, bool silent, bool conditional = false);

    // The most an answer for `url` into `destination` may bring (0: no limit). What counts as a
    // feed is the download policy's to say; without it answers are not limited.
    using AnswerLimit = std::function<qint64(const QString& url, const QString& destination)>;
    void setAnswerLimit(AnswerLimit limit) { m_answerLimit = std::move(limit); }

    // Where a request for `url` goes, and whether a shared cache on the way may answer it from
    // its copy (then no "no-cache" is sent; the conditional headers are). The owner knows the
    // mirror; without a router every address is asked as it is, past any cache.
    struct Route
    {
        QString address;
        bool cacheable = false;
    };
    using Router = std::function<Route(const QString& url)>;
    void setRouter(Router router) { m_router = std::move(router); }
    Route routeFor(const QString& url) const;
    // The user asked for the origin's own copy: no cache may answer until this is reset.
    void setOriginWanted(bool wanted) { m_originWanted = wanted; }

    // A refusal its owner reports in words of its own (the address is fine, the data unchanged):
    // no error line for it.
    using OwnWordsRefusal = std::function<bool(const QString& url, int status, const QByteArray& body)>;
    void setOwnWordsRefusal(OwnWordsRefusal said) { m_ownWordsRefusal = std::move(said); }

    // Copies the proxy settings into the HTTP client; an empty field, or a port that is no
    // number from 1 to 65535, keeps the client's value.
    void ApplyProxySettings();

    // True when `url` need not be fetched: the server's Last-Modified date equals the record,
    // or the check failed. `lastModifiedText` receives the date-time text to record after a
    // download, or the empty text when the server gave no 200 answer.
    bool AlreadyDownloaded(const QString& url, QString* lastModifiedText);

    // Records `text` for `url` in the current settings file (nothing for an empty text).
    void DateTimeDownloadedFile(const QString& url, const QString& text);

    // True when the file matches the published MD5 sum, or the sum cannot be fetched. The sum
    // is fetched beside `destination` (the file's own name when empty).
    bool VerifyMD5(const QString& fileName, const QString& destination = QString());

    // True when downloads may be tried: the ping host (or the proxy, when one is used) answers.
    bool PingReply();

    QString CurrentDownloadName() const { return m_currentDownloadName; }

    // Ends a running transfer at shut-down; no transfer or check starts after it.
    void abort();
    // The program ends: a job stops its loop rather than try each remaining item.
    bool stopped() const { return m_stopped; }

    // True when the last DownloadFile found the server's copy unchanged (304): nothing was
    // transferred, the file is as it was, the up-to-date line is in the log.
    bool notModified() const { return m_notModified; }
    // ETag and Last-Modified of the last copy of each address, sent back as If-None-Match and
    // If-Modified-Since while that copy is on disk.
    static inline const QString ETagSection = QStringLiteral("Downloaded ETags");
    static inline const QString LastModifiedSection = QStringLiteral("Downloaded Last-Modified");

    // True when the last DownloadFile transferred copies that all failed their checks (not a
    // picture, a wrong MD5 sum): the previous copy stayed, and nothing new arrived.
    bool copyRefused() const { return m_copyRefused; }
    // What the last check or transfer (not a silent one) came to, for the jobs' bookkeeping.
    struct Answer
    {
        // The request reached the server: it counts as a request toward the host's gap. No
        // name, no connection, no TLS session: the server was asked nothing.
        bool reachedServer = false;
        // Why it failed, as its log line says; empty when it succeeded or found the copy
        // unchanged.
        QString failure;
        // No new try before this: the server's Retry-After (a day at most), or a pause after a
        // transfer that was too slow; 0 when at once.
        TDateTime retryNotBefore = 0;
        bool serverAsked = false; // retryNotBefore is the server's own wish
    };
    const Answer& lastAnswer() const { return m_answer; }
    // A transfer ended as too slow is not tried again before this many seconds.
    static constexpr double SlowPauseSeconds = 60;

    // The status of the last answer to a check or a transfer (0 and empty when none came).
    int lastStatusCode() const { return m_lastStatusCode; }
    const QString& lastStatusLine() const { return m_lastStatusLine; }
    const QByteArray& lastRawHeaders() const { return m_lastRawHeaders; }
    // The start of the body of the last refusal (a non-2xx answer); empty for any other answer.
    const QByteArray& lastRefusalBody() const { return m_lastRefusalBody; }
    // The address on another host the last transfer was redirected to; empty when none.
    const QString& movedTo() const { return m_movedTo; }
    DownloadRecords& records() { return m_records; }

    HttpClient& http() { return m_http; }
    Pinger& pinger() { return m_pinger; }
    void setPingTimeoutMs(int ms) { m_pingTimeoutMs = ms; }

    // Tray frame for a progress of received/max with `imageCount` frames: (count-1) x fraction
    // rounded half to even, kept within the list.
    static int progressFrame(int imageCount, qint64 received, qint64 max);
    // Seconds between two date-times as the success line counts them (0.001 for none).
    static double elapsedSeconds(TDateTime start, TDateTime end);
    // " - Success: <bytes> byte in <sec> sec. (<rate> kb/s) - <name>"
    static QString successMessage(qint64 bytes, double seconds, const QString& name);
    // The text between the parentheses of a failed transfer's error line; never a status line
    // that reports success.
    static QString failureText(const HttpResponse& response);
    // " - Error downloading file (<reason>) - <name>": the name as the success line ends with it.
    static QString errorLine(const QString& reason, const QString& name);

    // The hidden setting that changes the overall limit of a transfer, in seconds.
    static inline const QString TimeLimitSection = QStringLiteral("Debug");
    static inline const QString TimeLimitKey = QStringLiteral("Download time limit");

signals:
    // The engine waits for the network (a transfer or a check): the busy cursor.
    void busyChanged(bool busy);
    // A transfer the user sees began: the tray shows the percent globe from its first frame.
    void transferShown();
    // The size the progress counts to, at the start of a transfer (0: unknown).
    void progressMaxChanged(qint64 max);
    // `received` of `max` bytes; max is at least 1.
    void progressChanged(qint64 received, qint64 max);
    // The transfer is over, whatever its outcome: progress back to 0, the tray to its globe.
    void transferFinished();

private:
    void forgetLastAnswer();
    // The destination's folder exists (perhaps created on the user's word) and the destination
    // is no folder.
    bool destinationReady(const QString& destination);
    // Transfers and checks new copies until one passes or the tries are used up.
    bool fetchCheckedCopy(
        const QString& url, const QString& destination, bool silent, const QList<QByteArray>& conditions);
    // One transfer into `file`; false (after its log line) when it failed.
    // `maxBytes`: the most the body may bring (0: no limit).
    bool transfer(const QString& url, QFile& file, bool silent, const QList<QByteArray>& conditions, qint64 maxBytes);
    QList<QByteArray> conditionsFor(const QString& url) const;
    // "no-cache" unless the route lets a cache answer; `head` adds the old form of it.
    QList<QByteArray> cacheHeadersFor(const Route& route, bool head) const;
    void keepValidators(const QString& url);
    // Every check a new copy must pass before it replaces the previous one.
    bool newCopyPassesChecks(const QString& url, const QString& newCopy, const QString& destination);
    // The client's limits for one request: the hidden setting's overall limit, when set.
    HttpTimeouts limitsForNextRequest() const;
    void noteCancelled(const HttpResponse& response);
    void noteAnswer(const HttpResponse& response, bool notModified);
    void onWorkBegin(qint64 expected);
    void onWork(qint64 received);
    void onWorkEnd(bool complete);
    void cleanUp();
    void transferError(const HttpResponse& response, bool silent);
    void headError(const QString& url, const HttpResponse& response);
    void writeHeadLog(const QString& entry);
    void log(const QString& message);

    SettingsAccess& m_settings;
    AppState& m_state;
    LogSink& m_log;
    Dialogs& m_dialogs;
    const Clock& m_clock;
    DownloadRecords& m_records;
    AnswerLimit m_answerLimit;
    Router m_router;
    OwnWordsRefusal m_ownWordsRefusal;
    bool m_originWanted = false;

    HttpClient m_http;
    Pinger m_pinger;
    int m_pingTimeoutMs = 5000;
    bool m_eventsAttached = true;
    bool m_stopped = false;
    QString m_currentDownloadName;
    TDateTime m_transferStartTime = 0;
    qint64 m_progressMax = 0;
    int m_lastStatusCode = 0;
    QString m_lastStatusLine;
    QByteArray m_lastRawHeaders;
    QByteArray m_lastRefusalBody;
    QString m_movedTo;
    Answer m_answer;
    bool m_notModified = false;
    bool m_copyRefused = false;
    bool m_refusedForGood = false; // the last check failed in a way a new transfer would not mend
};

} // namespace gw
