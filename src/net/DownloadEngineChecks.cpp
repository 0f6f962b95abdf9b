// DownloadEngine: the freshness check, the records, the MD5 check and the reachability test.
#include "net/DownloadEngine.h"

#include "net/DownloadRecords.h"
#include "net/Md5.h"
#include "net/TransferSettings.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/AppState.h"
#include "shared/AtomicFile.h"
#include "shared/Clock.h"
#include "shared/Endpoints.h"
#include "shared/Error.h"
#include "shared/FlagGuard.h"
#include "shared/Paths.h"

#include <QFile>
#include <QScopeGuard>

namespace gw {

namespace {
    const QString kHeadLogName = QStringLiteral("Globewall.HeadRequest.log");
}

void DownloadEngine::writeHeadLog(const QString& entry)
{
    if (m_settings.integer(ctl::DebugLevel) <= 0)
        return;
    // Written like the scheduler's diagnostic logs: a log that cannot be written is an error.
    const QString path = programDir() + kHeadLogName;
    QString error;
    if (!appendToOwnFile(path, entry.toLocal8Bit() + '\n', &error))
        throw Error(error);
}

void DownloadEngine::headError(const QString& url, const HttpResponse& response)
{
    if (response.failure != HttpFailure::Cancelled)
        log(errorLine(failureText(response), url.mid(url.lastIndexOf(QLatin1Char('/')) + 1)));
    emit busyChanged(false);
    writeHeadLog(
        DateTimeToStr(m_clock.now()) + QStringLiteral(": ") + url + QStringLiteral("\r\n") + response.statusLine);
}

bool DownloadEngine::AlreadyDownloaded(const QString& url, QString* lastModifiedText)
{
    if (lastModifiedText)
        lastModifiedText->clear();
    if (m_stopped)
        return true; // nothing more is fetched
    emit busyChanged(true);
    auto cursorBack = qScopeGuard([this] { emit busyChanged(false); });
    setUpClient(m_http, m_settings, ClientRole::Downloads);
    const HttpTimeouts limits = m_http.timeouts();
    m_http.setTimeouts(limitsForNextRequest());
    const Route route = routeFor(url);
    const HttpResponse response = m_http.head(route.address, cacheHeadersFor(route, true));
    m_http.setTimeouts(limits);
    m_answer = Answer();
    noteAnswer(response, false);
    noteCancelled(response);
    if (!response.ok)
        headError(url, response);

    bool result = true;
    // Nothing to record for an address the server did not answer with 200, nor for an answer
    // that broke off in its headers.
    QString text;
    if (response.ok && response.statusCode == 200) {
        const TDateTime modified
            = response.lastModified.isValid() ? toDateTime(response.lastModified.toLocalTime()) : 0;
        text = DateTimeToStr(modified);
        if (modified == 0) {
            result = false;
        } else {
            writeHeadLog(DateTimeToStr(m_clock.now()) + QStringLiteral(": ") + url + QStringLiteral("\r\n")
                + QString::fromLatin1(response.rawHeaders));
            result = m_records.recorded(url) == text;
        }
    }
    if (lastModifiedText)
        *lastModifiedText = text;
    return result;
}

void DownloadEngine::DateTimeDownloadedFile(const QString& url, const QString& text)
{
    m_records.DateTimeDownloadedFile(url, text);
}

bool DownloadEngine::VerifyMD5(const QString& fileName, const QString& destination)
{
    const QString checksumFile = md5::checksumFileFor(destination.isEmpty() ? fileName : destination);
    if (!DownloadFile(endpoints::cloudMapMd5(), checksumFile, true))
        return true; // an unreachable sum does not hold the map back

    const QString hex = md5::fileDigestHex(fileName);
    const QByteArray firstLine = md5::readFirstLine(checksumFile);
    QFile::remove(checksumFile);
    if (hex == md5::expectedDigest(firstLine)) {
        log(QStringLiteral(" - Correct MD5 sum (") + hex + QLatin1Char(')'));
        return true;
    }
    log(QStringLiteral(" - Error wrong MD5 sum (") + hex + QLatin1Char(')'));
    return false;
}

bool DownloadEngine::PingReply()
{
    FlagGuard busy(m_state.PingBusy);
    const QString server = m_settings.text(ctl::PingServer).trimmed();
    if (server.contains(QLatin1Char('#')))
        return true;
    // Behind a proxy the proxy is what must answer. A proxy switched on without a host is
    // no proxy at all for the transfers, so the ping server is asked then.
    QString host = server;
    if (m_settings.checked(ctl::cbUseProxy)) {
        const QString proxy = m_settings.text(ctl::edtProxy).trimmed();
        if (!proxy.isEmpty())
            host = proxy;
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        switch (m_pinger.ping(host, m_pingTimeoutMs)) {
        case PingResult::Reply:
            return true;
        case PingResult::Error:
            return false;
        case PingResult::NoReply:
            break;
        }
    }
    return false;
}

} // namespace gw
