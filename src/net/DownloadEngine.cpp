#include "net/DownloadEngine.h"

#include "net/CloudMapCheck.h"
#include "net/DownloadRecords.h"
#include "net/Md5.h"
#include "net/ResponseHeaders.h"
#include "net/TransferSettings.h"
#include "settings/IniFile.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/AppState.h"
#include "shared/Clock.h"
#include "shared/Dialogs.h"
#include "shared/Endpoints.h"
#include "shared/Error.h"
#include "shared/LogSink.h"
#include "shared/PartFile.h"
#include "shared/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <utility>

namespace gw {

DownloadEngine::DownloadEngine(SettingsAccess& settings, AppState& state, LogSink& transferLog, Dialogs& dialogs,
    const Clock& clock, DownloadRecords& records, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_state(state)
    , m_log(transferLog)
    , m_dialogs(dialogs)
    , m_clock(clock)
    , m_records(records)
{
    connect(&m_http, &HttpClient::transferBegin, this, &DownloadEngine::onWorkBegin);
    connect(&m_http, &HttpClient::transferProgress, this, &DownloadEngine::onWork);
    connect(&m_http, &HttpClient::transferEnd, this, &DownloadEngine::onWorkEnd);
}

void DownloadEngine::log(const QString& message)
{
    m_log.appendLine(DateTimeToStr(m_clock.now()) + message);
}

void DownloadEngine::ApplyProxySettings()
{
    // A port that is no number keeps the previous one: a timed download must not stop on it.
    m_http.setProxy(proxyFromSettings(m_settings, m_http.proxy()).proxy);
}

bool DownloadEngine::DownloadFile(const QString& url, const QString& destination, bool silent, bool conditional)
{
    // The checksum file is fetched by a call nested in another: it leaves the flag as it found it.
    const bool wasBusy = m_state.DownloadBusy;
    m_state.DownloadBusy = true;
    auto alwaysCleanUp = qScopeGuard([this, wasBusy] {
        cleanUp();
        m_state.DownloadBusy = wasBusy;
    });
    if (!silent)
        forgetLastAnswer();
    if (m_stopped || !destinationReady(destination))
        return false;

    // Whenever the program is stopped, even killed, the destination is the previous copy or a
    // whole new one that passed its checks. A ".bak" from an earlier run goes, as any backup would.
    PartFile::removeLeftovers(destination);
    const QString backup = destination + QStringLiteral(".bak");
    if (QFileInfo::exists(destination) && QFileInfo::exists(backup))
        QFile::remove(backup);

    // Only a copy on disk can be "not modified".
    const QList<QByteArray> conditions
        = silent || !conditional || !QFileInfo(destination).isFile() ? QList<QByteArray>() : conditionsFor(url);
    return fetchCheckedCopy(url, destination, silent, conditions);
}

void DownloadEngine::forgetLastAnswer()
{
    // What the jobs read after a call belongs to its address, even when nothing is sent.
    m_notModified = false;
    m_copyRefused = false;
    m_lastStatusCode = 0;
    m_lastStatusLine.clear();
    m_lastRawHeaders.clear();
    m_lastRefusalBody.clear();
    m_movedTo.clear();
    m_answer = Answer();
}

void DownloadEngine::noteAnswer(const HttpResponse& response, bool notModified)
{
    m_lastStatusCode = response.statusCode;
    m_lastStatusLine = response.statusLine;
    m_lastRawHeaders = response.rawHeaders;
    m_lastRefusalBody = response.refusalBody;
    m_answer.reachedServer = response.reachedServer;
    m_answer.failure = response.ok || notModified ? QString() : failureText(response);
    const TDateTime now = m_clock.now();
    double wait = std::min(retryAfterSeconds(response.rawHeaders, fromDateTime(now).toUTC()), 86400.0);
    m_answer.serverAsked = wait > 0;
    // A server that crawled once will likely crawl again: the next tick must not wait on it.
    if (response.failure == HttpFailure::TooSlow && wait < SlowPauseSeconds) {
        wait = SlowPauseSeconds;
        m_answer.serverAsked = false;
    }
    m_answer.retryNotBefore = wait > 0 ? now + wait / 86400.0 : 0;
}

bool DownloadEngine::destinationReady(const QString& destination)
{
    // An empty folder part cannot be created either; the question still comes.
    const QString folder = folderOf(destination);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        const QString question = QStringLiteral("Directory: \"") + folder + QStringLiteral("\" does not exists!")
            + QStringLiteral("\n\nCreate directory?");
        if (!m_dialogs.askYesNo(MessageKind::Warning, question))
            return false;
        if (folder.isEmpty() || !QDir().mkpath(folder)) {
            m_dialogs.message(MessageKind::Information, QStringLiteral("Error creating directory: ") + folder);
            return false;
        }
    }
    if (QFileInfo(destination).isDir()) {
        log(QStringLiteral(" - Error creating file"));
        return false;
    }
    return true;
}

bool DownloadEngine::fetchCheckedCopy(
    const QString& url, const QString& destination, bool silent, const QList<QByteArray>& conditions)
{
    // A copy that fails its checks is fetched again, up to three times; the previous copy is
    // never touched meanwhile.
    constexpr int kMaxRedownloads = 3;
    for (int redownloads = 0;; ++redownloads) {
        PartFile part(destination);
        if (!part.isOpen()) {
            log(QStringLiteral(" - Error creating file"));
            return false;
        }
        if (!transfer(url, part.file(), silent, redownloads == 0 ? conditions : QList<QByteArray>(),
                m_answerLimit ? m_answerLimit(url, destination) : 0)) {
            if (m_notModified)
                log(QStringLiteral(" - Success: local copy of ") + QFileInfo(destination).fileName()
                    + QStringLiteral(" still up to date"));
            return false;
        }
        const bool passed = newCopyPassesChecks(url, part.path(), destination);
        if (m_stopped)
            return false; // a check cut short proves nothing
        m_copyRefused = !passed && !silent;
        if (!passed && m_refusedForGood)
            return true; // logged by the check; a transfer again would bring the same
        if (!passed && redownloads < kMaxRedownloads) {
            m_state.MD5RetryCount = redownloads + 1;
            continue;
        }
        m_state.MD5RetryCount = 0;
        if (!passed) {
            log(QStringLiteral(" - Error: the new file failed its check, previous copy kept"));
            // The transfers themselves completed: a false here would make the next timer tick
            // fetch the same bad file again at once.
            return true;
        }
        if (!part.replaceDestination()) {
            log(QStringLiteral(" - Error creating file"));
            return false;
        }
        QFile::remove(destination + QStringLiteral(".bak"));
        if (!silent)
            keepValidators(url);
        return true;
    }
}

DownloadEngine::Route DownloadEngine::routeFor(const QString& url) const
{
    return m_router ? m_router(url) : Route { url, false };
}

QList<QByteArray> DownloadEngine::cacheHeadersFor(const Route& route, bool head) const
{
    if (route.cacheable && !m_originWanted)
        return {};
    QList<QByteArray> headers { noCacheHeader() };
    if (head)
        headers << QByteArrayLiteral("Pragma: no-cache");
    return headers;
}

QList<QByteArray> DownloadEngine::conditionsFor(const QString& url) const
{
    const QString file = m_records.settingsFile();
    if (file.isEmpty())
        return {};
    const IniFile ini(file);
    const QString key = DownloadRecords::keyFor(url);
    const QByteArray etag = ini.readString(ETagSection, key, QString()).toLatin1();
    const QByteArray modified = ini.readString(LastModifiedSection, key, QString()).toLatin1();
    QList<QByteArray> conditions;
    if (!etag.isEmpty())
        conditions << "If-None-Match: " + etag;
    if (!modified.isEmpty())
        conditions << "If-Modified-Since: " + modified;
    return conditions;
}

void DownloadEngine::keepValidators(const QString& url)
{
    // The last line of each name holds, as a cache takes it.
    const auto last = [this](QByteArrayView name) {
        const QList<QByteArray> values = headerValues(m_lastRawHeaders, name);
        return values.isEmpty() ? QByteArray() : values.last();
    };
    const QByteArray etag = last("etag");
    const QByteArray modified = last("last-modified");
    const QString file = m_records.settingsFile();
    const QString key = DownloadRecords::keyFor(url);
    if (file.isEmpty())
        return;
    const IniFile current(file);
    if (current.readString(ETagSection, key, QString()).toLatin1() == etag
        && current.readString(LastModifiedSection, key, QString()).toLatin1() == modified)
        return; // nothing new: the settings file is not written
    IniFile ini(file);
    QString error;
    if (!ini.load(&error))
        throw Error(error);
    for (const auto& [section, value] :
        { std::pair { ETagSection, etag }, std::pair { LastModifiedSection, modified } }) {
        if (value.isEmpty())
            ini.deleteKey(section, key);
        else
            ini.writeString(section, key, QString::fromLatin1(value));
    }
    if (!ini.save(&error))
        throw Error(error);
}

bool DownloadEngine::transfer(
    const QString& url, QFile& file, bool silent, const QList<QByteArray>& conditions, qint64 maxBytes)
{
    emit busyChanged(true);
    m_currentDownloadName = url.mid(url.lastIndexOf(QLatin1Char('/')) + 1);
    setUpClient(m_http, m_settings, ClientRole::Downloads);
    m_eventsAttached = !silent;
    if (!silent)
        emit transferShown();
    const HttpTimeouts limits = m_http.timeouts();
    m_http.setTimeouts(limitsForNextRequest());
    m_http.setMaxBodyBytes(maxBytes);
    const Route route = routeFor(url);
    const HttpResponse response = m_http.get(route.address, &file, cacheHeadersFor(route, false) + conditions);
    m_http.setMaxBodyBytes(0);
    m_http.setTimeouts(limits);
    const bool notModified
        = !conditions.isEmpty() && response.failure == HttpFailure::HttpStatus && response.statusCode == 304;
    // The checksum file fetched within a check leaves the answer of the file itself in place.
    if (!silent)
        noteAnswer(response, notModified);
    // The user should fix the row: the old address costs a request more each time.
    // Only an address that answered counts: a redirect refused (to another protocol) ends at a 3xx.
    const QUrl asked(route.address), answered(response.effectiveUrl);
    const bool answeredThere = response.statusCode < 300 || response.statusCode > 399;
    const QString movedTo = answeredThere && answered.isValid() && !answered.host().isEmpty()
            && (asked.host().compare(answered.host(), Qt::CaseInsensitive) != 0 || asked.port() != answered.port())
        ? response.effectiveUrl
        : QString();
    if (!movedTo.isEmpty() && !silent) {
        m_movedTo = movedTo;
        log(QStringLiteral(" - ") + url + QStringLiteral(" moved to ") + movedTo);
    }
    file.close();
    noteCancelled(response);
    m_notModified = notModified;
    if (!response.ok && !m_notModified)
        transferError(response,
            silent || (m_ownWordsRefusal && m_ownWordsRefusal(url, response.statusCode, response.refusalBody)));
    m_eventsAttached = true;
    cleanUp();
    return response.ok;
}

bool DownloadEngine::newCopyPassesChecks(const QString& url, const QString& newCopy, const QString& destination)
{
    m_refusedForGood = false;
    // The cloud map must be a picture before the renderer sees it: an over-used free address
    // answers with a web page and status 200, and a transfer may end early.
    if (!url.isEmpty() && url == m_settings.text(ctl::edtWebAdress)) {
        const QString what = m_lastStatusCode == 200 ? cloudmap::problem(newCopy) : m_lastStatusLine;
        if (!what.isEmpty()) {
            log(QStringLiteral(" - Error: not a cloud map (") + what + QLatin1Char(')'));
            m_refusedForGood = true;
            return false;
        }
    }
    // The built-in cloud map only, compared exactly: no other address publishes a sum.
    if (url == endpoints::cloudMap() && m_settings.checked(ctl::cbUseMD5ForCloudDownload)
        && !VerifyMD5(newCopy, destination))
        return false;
    return true;
}

void DownloadEngine::abort()
{
    m_stopped = true;
    m_http.abort();
}

// Only abort() and the end of the application's event loop cancel a transfer.
void DownloadEngine::noteCancelled(const HttpResponse& response)
{
    if (response.failure == HttpFailure::Cancelled)
        m_stopped = true;
}

HttpTimeouts DownloadEngine::limitsForNextRequest() const
{
    HttpTimeouts limits = m_http.timeouts();
    const QString file = m_records.settingsFile();
    if (!file.isEmpty()) {
        const int seconds = IniFile(file).readInteger(TimeLimitSection, TimeLimitKey, 0);
        if (seconds > 0)
            limits.overallSeconds = seconds;
    }
    return limits;
}

void DownloadEngine::cleanUp()
{
    emit transferFinished();
    emit busyChanged(false);
}

QString DownloadEngine::errorLine(const QString& reason, const QString& name)
{
    return QStringLiteral(" - Error downloading file (") + reason + QStringLiteral(") - ") + name;
}

QString DownloadEngine::failureText(const HttpResponse& response)
{
    // A time-out, a full disk or a flood of headers is named as such: the status line may well
    // say "200 OK" (or be a proxy's answer), and a failure must never read like a success.
    if (!response.reason.isEmpty())
        return response.reason;
    switch (response.failure) {
    case HttpFailure::TimedOut:
        return QStringLiteral("timed out");
    case HttpFailure::WriteError:
        return QStringLiteral("write error");
    case HttpFailure::HeadersTooLong:
        return QStringLiteral("headers too long");
    case HttpFailure::Cancelled:
        return QStringLiteral("cancelled");
    case HttpFailure::NoLibrary:
        return response.errorText;
    default:
        break;
    }
    if (response.statusLine.isEmpty())
        return QStringLiteral("not connected");
    if (response.statusCode >= 200 && response.statusCode <= 299) {
        // The answer began well and broke off.
        if (response.expectedSize > 0)
            return QStringLiteral("incomplete, %1 of %2 bytes").arg(response.received).arg(response.expectedSize);
        return QStringLiteral("incomplete, %1 bytes").arg(response.received);
    }
    return response.statusLine;
}

// A cancelled transfer is the program ending, not a failure of the connection.
void DownloadEngine::transferError(const HttpResponse& response, bool silent)
{
    if (!silent && response.failure != HttpFailure::Cancelled)
        log(errorLine(failureText(response), m_currentDownloadName));
    emit busyChanged(false);
}

void DownloadEngine::onWorkBegin(qint64 expected)
{
    if (!m_eventsAttached)
        return;
    m_transferStartTime = m_clock.now();
    m_progressMax = expected;
    emit progressMaxChanged(expected);
}

int DownloadEngine::progressFrame(int imageCount, qint64 received, qint64 max)
{
    if (imageCount <= 1 || max <= 0 || received <= 0)
        return 0;
    // The product first, so an exact half stays exact and goes to the even neighbour.
    const double frame = std::nearbyint(
        static_cast<double>(imageCount - 1) * static_cast<double>(received) / static_cast<double>(max));
    return static_cast<int>(qBound(0.0, frame, static_cast<double>(imageCount - 1)));
}

void DownloadEngine::onWork(qint64 received)
{
    if (!m_eventsAttached)
        return;
    if (m_progressMax == 0) {
        m_progressMax = 1;
        emit progressMaxChanged(m_progressMax);
    }
    emit progressChanged(received, m_progressMax);
}

double DownloadEngine::elapsedSeconds(TDateTime start, TDateTime end)
{
    return gw::elapsedSeconds(start, end);
}

QString DownloadEngine::successMessage(qint64 bytes, double seconds, const QString& name)
{
    return successFigures(bytes, seconds) + QStringLiteral(" - ") + name;
}

void DownloadEngine::onWorkEnd(bool complete)
{
    // A transfer that broke off is no success, whatever arrived of it.
    if (!m_eventsAttached || !complete)
        return;
    const double seconds = elapsedSeconds(m_transferStartTime, m_clock.now());
    log(successMessage(m_progressMax, seconds, m_currentDownloadName));
    m_currentDownloadName.clear();
}

} // namespace gw
