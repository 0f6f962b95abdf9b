#include "downloads/DownloadEngine.h"

#include "downloads/DownloadRecords.h"
#include "downloads/Md5.h"
#include "downloads/TransferDisplay.h"
#include "settings/SettingsAccess.h"
#include "shared/AppState.h"
#include "shared/Clock.h"
#include "shared/Dialogs.h"
#include "shared/Endpoints.h"
#include "shared/LogSink.h"
#include "shared/NumberText.h"
#include "shared/Paths.h"
#include "shared/TrayImage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <cmath>
#include <cstdio>

namespace gw {

namespace {
const QByteArray kNoCache = QByteArrayLiteral("Cache-Control: no-cache");
const QByteArray kPragmaNoCache = QByteArrayLiteral("Pragma: no-cache");
} // namespace

DownloadEngine::DownloadEngine(SettingsAccess& settings, AppState& state, LogSink& transferLog, Dialogs& dialogs,
                               TrayImage& tray, const Clock& clock, TransferDisplay& display,
                               DownloadRecords& records, QObject* parent)
    : QObject(parent), m_settings(settings), m_state(state), m_log(transferLog), m_dialogs(dialogs), m_tray(tray),
      m_clock(clock), m_display(display), m_records(records)
{
    connect(&m_http, &HttpClient::transferBegin, this, &DownloadEngine::onWorkBegin);
    connect(&m_http, &HttpClient::transferProgress, this, &DownloadEngine::onWork);
    connect(&m_http, &HttpClient::transferEnd, this, &DownloadEngine::onWorkEnd);
}

void DownloadEngine::log(const QString& message)
{
    m_log.appendLine(DateTimeToStr(m_clock.now()) + message);
}

void DownloadEngine::configureClient()
{
    // Both are read at the moment of use; an empty agent means the built-in one.
    const QString agent = m_settings.text(QStringLiteral("UserAgent"));
    m_http.setUserAgent(agent.isEmpty() ? HttpClient::defaultUserAgent() : agent);
    m_http.setHttp10(m_settings.text(QStringLiteral("HttpProtocolVersion")) == QLatin1String("HTTP/1.0"));
}

void DownloadEngine::ApplyProxySettings()
{
    ProxySettings proxy = m_http.proxy();
    if (m_settings.checked(QStringLiteral("cbUseProxy"))) {
        proxy.basicAuth = true;
        const QString host = m_settings.text(QStringLiteral("edtProxy")).trimmed();
        if (!host.isEmpty())
            proxy.host = host;
        const QString port = m_settings.text(QStringLiteral("edtProxyPort")).trimmed();
        if (!port.isEmpty()) {
            // The field admits digits only; a port that is no usable number (hand-edited
            // settings file) keeps the previous one, like an empty field.
            bool ok = false;
            const int value = port.toInt(&ok);
            if (ok && value > 0 && value <= 65535)
                proxy.port = value;
        }
        const QString user = m_settings.text(QStringLiteral("edtProxyName"));
        if (!user.isEmpty())
            proxy.user = user;
        const QString password = m_settings.text(QStringLiteral("edtProxyPasswd"));
        if (!password.isEmpty())
            proxy.password = password;
    } else {
        proxy = ProxySettings{};
    }
    m_http.setProxy(proxy);
}

bool DownloadEngine::DownloadFile(const QString& url, const QString& destination, bool silent)
{
    m_state.DownloadBusy = true;
    bool streamCreated = false;
    bool transferOK = false;
    auto alwaysCleanUp = qScopeGuard([this] { cleanUp(); });

    // Folder check. An empty folder part cannot be created either; the question still comes.
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

    // The transfer goes into "<destination>.part", which replaces the destination only once it
    // is complete: whenever the program is stopped, even killed, the destination is the
    // previous copy or the whole new one. A ".bak" from an earlier run goes, as any backup would.
    const QString backup = destination + QStringLiteral(".bak");
    const QString part = destination + QStringLiteral(".part");
    const bool destinationUsable = !QFileInfo(destination).isDir();
    if (destinationUsable && QFileInfo::exists(destination) && QFileInfo::exists(backup))
        QFile::remove(backup);

    m_display.setBusyCursor(true);
    {
        QFile file(part);
        if (destinationUsable && file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            streamCreated = true;
        if (streamCreated) {
            m_currentDownloadName = url.mid(url.lastIndexOf(QLatin1Char('/')) + 1);
            ApplyProxySettings();
            configureClient();
            m_eventsAttached = !silent;
            if (!silent) {
                m_tray.setIconList(TrayList::Percent);
                m_tray.setFrameIndex(0);
            }
            const HttpResponse response = m_http.get(url, &file, {kNoCache});
            file.close();
            if (response.ok)
                transferOK = true;
            else
                transferError(response, silent);
        }
    }
    m_eventsAttached = true;
    cleanUp();

    const bool result = streamCreated && transferOK;
    // A complete file is moved into place in one step: rename() replaces the previous copy
    // atomically. One that cannot be moved there counts as not created; the previous copy stays.
    bool placed = false;
    bool placeFailed = false;
    if (result && m_state.MD5RetryCount <= 3) {
        placed = std::rename(QFile::encodeName(part).constData(), QFile::encodeName(destination).constData()) == 0;
        placeFailed = !placed;
    }
    if (placed) {
        if (url == endpoints::cloudMap() && m_settings.checked(QStringLiteral("cbUseMD5ForCloudDownload"))) {
            if (VerifyMD5(destination)) {
                m_state.MD5RetryCount = 0;
            } else {
                ++m_state.MD5RetryCount;
                DownloadFile(url, destination, silent); // its result does not change ours
            }
        }
    } else {
        m_state.MD5RetryCount = 0;
        // The destination was never touched: the previous copy, if any, is still there.
        QFile::remove(part);
        if (!streamCreated || placeFailed)
            log(QStringLiteral(" - Error creating file"));
    }
    return result && !placeFailed;
}

void DownloadEngine::cleanUp()
{
    m_display.setProgressPosition(0);
    m_state.DownloadBusy = false;
    m_tray.setFrameIndex(0);
    m_tray.setIconList(TrayList::Globe);
    m_tray.setFrameIndex(0);
    if (!m_settings.checked(QStringLiteral("Globewallenabled")))
        m_tray.setFrameIndex(m_tray.imageCount() - 1);
    m_display.setBusyCursor(false);
}

QString DownloadEngine::failureText(const HttpResponse& response)
{
    // A time-out and a full disk are named as such: their status line may well say "200 OK",
    // and they must not pass unreported.
    if (response.failure == HttpFailure::TimedOut)
        return QStringLiteral("timed out");
    if (response.failure == HttpFailure::WriteError)
        return QStringLiteral("write error");
    if (response.statusLine.isEmpty())
        return QStringLiteral("not connected");
    return response.statusLine;
}

void DownloadEngine::transferError(const HttpResponse& response, bool silent)
{
    const QString text = failureText(response);
    if (!silent && !text.contains(QLatin1String("200 OK")))
        log(QStringLiteral(" - Error downloading file (") + text + QLatin1Char(')'));
    m_display.setBusyCursor(false);
}

void DownloadEngine::onWorkBegin(qint64 expected)
{
    if (!m_eventsAttached)
        return;
    m_transferStartTime = m_clock.now();
    m_display.setProgressMax(expected);
}

int DownloadEngine::progressFrame(int imageCount, qint64 received, qint64 max)
{
    if (imageCount <= 1 || max <= 0 || received <= 0)
        return 0;
    // The product first, so an exact half stays exact and goes to the even neighbour.
    const double frame = std::nearbyint(static_cast<double>(imageCount - 1) * static_cast<double>(received)
                                        / static_cast<double>(max));
    return static_cast<int>(qBound(0.0, frame, static_cast<double>(imageCount - 1)));
}

void DownloadEngine::onWork(qint64 received)
{
    if (!m_eventsAttached)
        return;
    qint64 max = m_display.progressMax();
    if (max == 0) {
        max = 1;
        m_display.setProgressMax(max);
    }
    m_display.setProgressPosition(received);
    m_display.setStatusPanel1(QString::number(received) + QLatin1Char('/') + QString::number(max));
    const int frame = progressFrame(m_tray.imageCount(), received, max);
    if (frame != m_tray.frameIndex())
        m_tray.setFrameIndex(frame);
}

double DownloadEngine::elapsedSeconds(TDateTime start, TDateTime end)
{
    const double days = end - start;
    const qint64 ms = days > 0 ? std::llround(days * 86400000.0) : 0;
    return ms == 0 ? 0.001 : static_cast<double>(ms) / 1000.0;
}

QString DownloadEngine::successMessage(qint64 bytes, double seconds, const QString& name)
{
    const auto roundedSeconds = static_cast<qint64>(std::nearbyint(seconds));
    const double rate = static_cast<double>(bytes) / 1024.0 / seconds;
    return QStringLiteral(" - Success: ") + QString::number(bytes) + QStringLiteral(" byte in ")
           + FormatInt(roundedSeconds, 3, QStringLiteral(" ")) + QStringLiteral(" sec. (")
           + FormatFloat(4, 2, QStringLiteral(" "), rate) + QStringLiteral(" kb/s) - ") + name;
}

void DownloadEngine::onWorkEnd(bool complete)
{
    // A transfer that broke off is no success, whatever arrived of it.
    if (!m_eventsAttached || !complete)
        return;
    const double seconds = elapsedSeconds(m_transferStartTime, m_clock.now());
    log(successMessage(m_display.progressMax(), seconds, m_currentDownloadName));
    m_currentDownloadName.clear();
}

} // namespace gw
