#include "downloads/DownloadJobs.h"

#include "downloads/BuiltInSources.h"
#include "downloads/CloudSources.h"
#include "downloads/DownloadLayers.h"
#include "downloads/DownloadPlan.h"
#include "downloads/DownloadStatus.h"
#include "downloads/FeedAddresses.h"
#include "downloads/RepeatRequestAnswer.h"
#include "downloads/SourceMirror.h"
#include "downloads/StartSpread.h"
#include "feeds/FeedConversion.h"
#include "feeds/StormLayer.h"
#include "net/DownloadEngine.h"
#include "net/DownloadRecords.h"
#include "renderer/MarkerSatelliteFiles.h"
#include "renderer/RendererLayout.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/AppState.h"
#include "shared/Clock.h"
#include "shared/DateTime.h"
#include "shared/Dialogs.h"
#include "shared/Endpoints.h"
#include "shared/Error.h"
#include "shared/FlagGuard.h"
#include "shared/LogSink.h"
#include "shared/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QScopeGuard>

#include <algorithm>
#include <cmath>

namespace gw {

namespace {

    const QString kGrid = ctl::sgDownloadFiles;
    const QString kWebAdress = ctl::edtWebAdress;
    const QString kFileDestination = ctl::edtFileDestination;
    const QString kExecuteAfter = ctl::edtExecuteFileAfterDownload;

} // namespace

DownloadJobs::DownloadJobs(SettingsAccess& settings, AppState& state, LogSink& transferLog, Dialogs& dialogs,
    const Clock& clock, DownloadEngine& engine, Actions actions, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_state(state)
    , m_log(transferLog)
    , m_dialogs(dialogs)
    , m_clock(clock)
    , m_engine(engine)
    , m_actions(std::move(actions))
{
    m_engine.setRouter(mirror::router(m_settings));
    // Said by afterRequest as "not changed since": no error line before it.
    m_engine.setOwnWordsRefusal([](const QString& url, int status, const QByteArray& body) {
        return status == 403 && sources::stopsOnRefusal(url) && !notUpdatedSince(body).isEmpty();
    });
}

// ---- helpers ------------------------------------------------------------------------------

QString DownloadJobs::extensionOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? path.mid(dot) : QString();
}

QString DownloadJobs::markerFileFor(const QString& destination)
{
    const QString extension = extensionOf(destination);
    return destination.left(destination.size() - extension.size()) + QStringLiteral(".marker");
}

QString DownloadJobs::lastPartOf(const QString& source)
{
    const qsizetype cut = std::max(source.lastIndexOf(QLatin1Char('/')), source.lastIndexOf(QLatin1Char('\\')));
    return source.mid(cut + 1);
}

bool DownloadJobs::fileExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// Source and destination are read together, so what is fetched, recorded and converted is
// one item even when the user edits the fields while a transfer waits.
DownloadJobs::Item DownloadJobs::cloudItem() const
{
    return { m_settings.text(kWebAdress), m_settings.text(kFileDestination) };
}

int DownloadJobs::listRows() const
{
    return m_settings.rowCount(kGrid);
}

bool DownloadJobs::listItem(int row, Item* item) const
{
    item->source = m_settings.cell(kGrid, 0, row);
    item->destination = m_settings.cell(kGrid, 1, row);
    return !item->source.isEmpty() && !item->destination.isEmpty();
}

bool DownloadJobs::fresh(const QString& url, QString* lastModifiedText)
{
    return m_engine.AlreadyDownloaded(url, lastModifiedText);
}

bool DownloadJobs::fetch(const Item& item, bool conditional)
{
    const bool ok = m_engine.DownloadFile(item.source, item.destination, false, conditional);
    const bool allowed = afterRequest(item);
    const bool arrived = ok && !m_engine.copyRefused();
    const bool fetchedHereBefore = m_engine.lastStatusCode() == 403 && sources::stopsOnRefusal(item.source)
        && !notUpdatedSince(m_engine.lastRefusalBody()).isEmpty();
    noteResult(item,
        arrived                      ? QStringLiteral("new copy")
            : m_engine.notModified() ? QStringLiteral("unchanged (304)")
            : fetchedHereBefore      ? QStringLiteral("unchanged (403: fetched from this network already)")
            : m_engine.copyRefused() ? QStringLiteral("refused: the new copy failed its check")
                                     : QStringLiteral("failed (") + answerText() + QLatin1Char(')'));
    return allowed && arrived;
}

QString DownloadJobs::answerText() const
{
    const QString& failure = m_engine.lastAnswer().failure;
    if (!failure.isEmpty())
        return failure;
    return m_engine.lastStatusLine().isEmpty() ? QStringLiteral("not connected") : m_engine.lastStatusLine();
}

void DownloadJobs::noteResult(const Item& item, const QString& result)
{
    // The program ends: what was cut short says nothing of the source.
    if (!m_engine.stopped())
        DownloadResults([this] { return m_engine.records().settingsFile(); }).note(item.source, m_clock.now(), result);
}

bool DownloadJobs::check(const Item& item, QString* lastModifiedText, bool* isFresh)
{
    *isFresh = false;
    lastModifiedText->clear();
    // A host that stops clients on a refusal counts every request: its gap is the freshness rule.
    if (sources::stopsOnRefusal(item.source))
        return true;
    *isFresh = fresh(item.source, lastModifiedText);
    if (*isFresh && !lastModifiedText->isEmpty())
        noteResult(item, QStringLiteral("unchanged"));
    else if (lastModifiedText->isEmpty())
        noteResult(item, QStringLiteral("check failed (") + answerText() + QLatin1Char(')'));
    return afterRequest(item);
}

// The check made just before the download gave the text; a check without a 200 answer gave
// none, and then the record stays as it was rather than taking another item's date.
void DownloadJobs::record(const QString& url, const QString& lastModifiedText)
{
    m_engine.DateTimeDownloadedFile(url, lastModifiedText);
}

// The services' own addresses (the built-in earthquake list compared exactly): another list in
// the same format under another address is the user's to convert.
void DownloadJobs::convertFeed(const Item& item)
{
    const feeds::Kind kind = sources::feedKindOf(item.source);
    if (kind == feeds::Kind::None)
        return;
    if (kind == feeds::Kind::Storms || kind == feeds::Kind::EonetStorms) {
        convertStorms(item);
        return;
    }
    feeds::Options options;
    options.auroraThreshold = m_settings.integer(ctl::AuroraThreshold);
    options.quakeLabelMagnitude = quakeLabelMagnitude();
    options.nowMsecs = m_clock.nowUtc().toMSecsSinceEpoch();
    const feeds::Outcome outcome = feeds::convertFile(kind, item.destination, markerFileFor(item.destination), options);
    if (outcome.status == feeds::Outcome::Failed)
        m_log.appendLine(DateTimeToStr(m_clock.now()) + QStringLiteral(" - Error: ") + lastPartOf(item.destination)
            + QStringLiteral(" not converted (") + outcome.error + QStringLiteral("), previous markers kept"));
}

// The hidden key holds text, so a value that is no number, or none a quake could have, is the
// default rather than no labels at all.
double DownloadJobs::quakeLabelMagnitude() const
{
    bool ok = false;
    const double value = m_settings.text(ctl::QuakeLabelMagnitude).trimmed().toDouble(&ok);
    return ok && std::isfinite(value) && value >= -2 && value <= 12 ? value : 5.0;
}

// Either storm download makes the layer anew from both: a storm in both is drawn once.
void DownloadJobs::convertStorms(const Item& item)
{
    QList<QPair<QString, QString>> rows;
    for (int row = 1; row < listRows(); ++row) {
        Item listed;
        if (listItem(row, &listed))
            rows.append({ listed.source, listed.destination });
    }
    if (!std::any_of(rows.begin(), rows.end(), [&](const auto& r) { return r.second == item.destination; }))
        rows.prepend({ item.source, item.destination }); // a row cleared while it was fetched
    const RendererLayout layout(m_settings.text(ctl::edtAppFile), m_home);
    const DownloadLayers::StormFiles files = DownloadLayers::stormFiles(rows, layout.arcsFolder());
    QDir().mkpath(layout.arcsFolder());
    const feeds::StormOutcome outcome
        = feeds::convertStorms({ files.list, files.events, files.markerFile, files.arcFile });
    if (outcome.status == feeds::Outcome::Failed)
        m_log.appendLine(DateTimeToStr(m_clock.now()) + QStringLiteral(" - Error: ") + lastPartOf(item.destination)
            + QStringLiteral(" not converted (") + outcome.error
            + QStringLiteral("), previous markers and tracks kept"));
}

// After a timed or checked download nobody is asked for a picture: the satellite file is
// written as it can be, so the satellite the configuration names is drawn at all. The list
// mirrors the configuration and is left to the user.
void DownloadJobs::writeSatelliteFile(const Item& item)
{
    if (extensionOf(item.destination) != QLatin1String(".tle"))
        return;
    const RendererLayout layout(m_settings.text(ctl::edtAppFile), m_home);
    MarkerSatelliteFiles::writeSatelliteFileFor(item.destination,
        { layout.satelliteImagesFolder(), layout.systemFolder() + QStringLiteral("images/") },
        m_settings.checked(ctl::cbIssTrail));
}

HostGaps DownloadJobs::hostGaps() const
{
    return HostGaps([this] { return m_engine.records().settingsFile(); });
}

SourceAges DownloadJobs::sourceAges() const
{
    return SourceAges([this] { return m_engine.records().settingsFile(); });
}

void DownloadJobs::noteContent(const Item& item)
{
    SourceAges ages = sourceAges();
    const QString future = ages.noteAnswer(item.source, m_engine.lastRawHeaders(), item.destination, m_clock.now());
    if (!future.isEmpty())
        m_log.appendLine(DateTimeToStr(m_clock.now()) + future);
    const QString notice = ages.staleNotice(item.source, m_clock.now());
    if (!notice.isEmpty())
        m_log.appendLine(DateTimeToStr(m_clock.now()) + notice);
}

void DownloadJobs::retryLater(RetryBackoff& retry, const Item& item)
{
    if (m_engine.stopped())
        return;
    retry.failed(m_clock.now());
    m_log.appendLine(DateTimeToStr(m_clock.now()) + QStringLiteral(" - ") + lastPartOf(item.destination)
        + QStringLiteral(" will be tried again at ") + DateTimeToStr(retry.nextTry()));
}

bool DownloadJobs::hostHoldsBack(const Item& item) const
{
    const HostGaps gaps = hostGaps();
    return !gaps.stopReason(item.source).isEmpty()
        || timedDownloadAllowedFrom(gaps, item.source, item.destination, m_clock.now()) > m_clock.now();
}

bool DownloadJobs::hostAllowsTimed(const Item& item)
{
    const HostGaps gaps = hostGaps();
    if (!gaps.stopReason(item.source).isEmpty())
        return false; // said once, when it stopped
    const HostGaps::Hold hold = gaps.holdFor(item.source, m_clock.now());
    // The copy on disk counts as a request too: the times kept in the settings are lost with
    // another settings file, while a copy younger than the gap is still as new as the server's.
    const TDateTime due = timedDownloadAllowedFrom(gaps, item.source, item.destination, m_clock.now());
    // A built-in source goes out a little after its due moment, at this installation's offset.
    StartSpread spread([this] { return m_engine.records().settingsFile(); });
    spread.ensureSeed();
    const TDateTime allowed = spread.spreadDue(item.source, due);
    if (allowed <= m_clock.now())
        return true;
    const QString why = due == hold.until && hold.why == HostGaps::Hold::LastAttemptFailed
        ? QStringLiteral(" not downloaded: the last attempt failed (") + hold.failure
            + QStringLiteral("), the next try at ")
        : QStringLiteral(" not downloaded: its server allows the next download at ");
    m_log.appendLine(DateTimeToStr(m_clock.now()) + QStringLiteral(" - ") + lastPartOf(item.destination) + why
        + DateTimeToStr(allowed));
    return false;
}

bool DownloadJobs::hostAllowsForced(const Item& item)
{
    HostGaps gaps = hostGaps();
    const HostGaps::Hold hold = gaps.holdFor(item.source, m_clock.now());
    if (hold.until > m_clock.now() && !m_dialogs.askYesNo(MessageKind::Warning, forceQuestion(item.source, hold)))
        return false;
    gaps.resume(item.source);
    return true;
}

// Says what really holds the address back: the server's own wish, the host's rule, or a
// failure of the last attempt.
QString DownloadJobs::forceQuestion(const QString& url, const HostGaps::Hold& hold)
{
    const QString when = DateTimeToStr(hold.until);
    switch (hold.why) {
    case HostGaps::Hold::ServerAsked:
        return QStringLiteral("The server of\n") + url
            + QStringLiteral("\nasks for more time between downloads; the next is allowed at ") + when
            + QStringLiteral(".\nServers block programs that ask too often.\n\nDownload now?");
    case HostGaps::Hold::LastAttemptFailed:
        return QStringLiteral("The next try of\n") + url + QStringLiteral("\ncomes at ") + when
            + QStringLiteral(": the last attempt failed: ") + hold.failure + QStringLiteral(".\n\nDownload now?");
    case HostGaps::Hold::HostGap:
        break;
    }
    const int minutes = qRound(HostGaps::minimumGap(url) * 24 * 60);
    const QString gap
        = minutes % 60 == 0 ? QStringLiteral("%1 hours").arg(minutes / 60) : QStringLiteral("%1 minutes").arg(minutes);
    return QStringLiteral("The server of\n") + url + QStringLiteral("\nallows one download every ") + gap
        + QStringLiteral("; the next is allowed at ") + when
        + QStringLiteral(".\nServers block programs that ask too often.\n\nDownload now?");
}

bool DownloadJobs::afterRequest(const Item& item)
{
    HostGaps gaps = hostGaps();
    const DownloadEngine::Answer& answer = m_engine.lastAnswer();
    const TDateTime now = m_clock.now();
    // An attempt that never reached the server asked it nothing: no gap, the timers try again.
    gaps.noteAttempt(item.source, now, answer.reachedServer);
    if (answer.retryNotBefore > now)
        gaps.setNotBefore(item.source, answer.retryNotBefore, answer.serverAsked ? QString() : answer.failure);
    if (!sources::stopsOnRefusal(item.source) || !answer.reachedServer)
        return true;
    // Such a host (the satellite-element site) asks its clients to stop on any answer but 200
    // and 304, and blocks those that go on; a move to another host is no answer of its own.
    const int status = m_engine.lastStatusCode();
    const bool refused = status != 0 && status != 200 && status != 304;
    if (!refused && m_engine.movedTo().isEmpty())
        return true;
    // A busy server that says when to come back is waited for as asked (already kept above,
    // at most a day): that is no refusal of this client.
    if ((status == 429 || status == 503) && answer.serverAsked && answer.retryNotBefore > now) {
        m_log.appendLine(DateTimeToStr(now) + QStringLiteral(" - ") + item.source + QStringLiteral(" asks to wait (")
            + m_engine.lastStatusLine() + QStringLiteral("): the next try at ") + DateTimeToStr(answer.retryNotBefore));
        return false;
    }
    // Another computer behind the same address fetched these elements first: nothing is wrong.
    const QString since = status == 403 ? notUpdatedSince(m_engine.lastRefusalBody()) : QString();
    if (!since.isEmpty()) {
        m_log.appendLine(DateTimeToStr(now) + QStringLiteral(" - ") + lastPartOf(item.destination)
            + QStringLiteral(": not changed since ") + since + QStringLiteral(" (asked again from this network)"));
        return true;
    }
    if (status == 403 || status == 429) {
        // Asked for more time: the question of the force button says so.
        const TDateTime until = std::max(answer.retryNotBefore, now + HostGaps::minimumGap(item.source));
        gaps.setNotBefore(item.source, until);
    }
    const QString reason = refused ? m_engine.lastStatusLine() : QStringLiteral("moved to ") + m_engine.movedTo();
    gaps.stop(item.source, reason);
    m_log.appendLine(DateTimeToStr(now) + QStringLiteral(" - Timed downloads of ") + item.source
        + QStringLiteral(" stopped (") + reason + QStringLiteral("): change the address or force a download"));
    return false;
}

void DownloadJobs::runProgram()
{
    if (!m_settings.checked(ctl::cbExecuteFileAfterDownload))
        return;
    const QString file = m_settings.text(kExecuteAfter);
    if (fileExists(file) && m_actions.executeFile)
        m_actions.executeFile(file);
}

void DownloadJobs::startRendererUnlessBusy()
{
    if (m_settings.checked(ctl::cbStartAfterDownload) && !m_state.DownloadBusy && !m_state.RenderBusy)
        StartXPlanet();
}

void DownloadJobs::synchronizeTime()
{
    if (m_settings.checked(ctl::cbAdjustTime) && m_actions.synchronizeTime)
        m_actions.synchronizeTime();
}

// A check the server did not answer also counts as fresh, but its error line is already in
// the log: "up to date" would report a failure as a success.
void DownloadJobs::logUpToDate(const QString& destination, const QString& lastModifiedText)
{
    if (lastModifiedText.isEmpty())
        return;
    m_log.appendLine(DateTimeToStr(m_clock.now()) + QStringLiteral(" - Success: local copy of ")
        + destination.mid(destination.lastIndexOf(QLatin1Char('/')) + 1) + QStringLiteral(" still up to date"));
}

// A job waits in local event loops during its checks and transfers, where a click can come in:
// a second job meanwhile would fetch the same items again.
bool DownloadJobs::manualJobsBlocked() const
{
    return m_state.anyBusy();
}

// ---- timed jobs ---------------------------------------------------------------------------

void DownloadJobs::StartXPlanet()
{
    if (m_actions.startXPlanet)
        m_actions.startXPlanet();
}

PlanHold DownloadJobs::ownHold(Download download) const
{
    const RetryBackoff* retry = download == Download::CloudInterval ? &m_intervalRetry
        : download == Download::CloudFixedTime                      ? &m_fixedTimeRetry
                                                                    : nullptr;
    if (!retry || !retry->waiting(m_clock.now()))
        return {};
    return { HoldKind::Backoff, retry->nextTry(), retry->lastFailure() };
}

void DownloadJobs::followClockStep(double days)
{
    m_intervalRetry.followClockStep(days);
    m_fixedTimeRetry.followClockStep(days);
}

bool DownloadJobs::cloudIntervalJob()
{
    FlagGuard job(m_state.JobBusy);
    if (m_engine.stopped())
        return true; // the program ends: nothing is tried, nothing to report
    // A transfer that failed is tried again later, not at every tick: nothing is sent meanwhile.
    // A wait of the host itself is said once, below, and postpones the check a whole interval.
    if (m_intervalRetry.waiting(m_clock.now()) && !hostHoldsBack(cloudItem()))
        return true;
    if (!m_engine.PingReply())
        return false;
    FlagGuard busy(m_state.TimedDownloadBusy);
    const Item cloud = cloudItem();
    QString lastModified;
    bool isFresh = false;
    // A fresh map is not fetched even when its file is missing: the interval check looks at
    // the server only. A host that asks to wait counts as fresh until the next interval.
    if (!hostAllowsTimed(cloud) || !check(cloud, &lastModified, &isFresh) || isFresh) {
        m_intervalRetry.reset();
        m_state.LastCloudCheckTime = m_clock.now();
        if (isFresh && !lastModified.isEmpty())
            noteContent(cloud);
        return true;
    }
    // A failed download leaves LastCloudCheckTime alone, so the job is due again once its
    // wait is over; an unchanged map (304) is checked.
    const bool fetched = fetch(cloud, true);
    if (!fetched && !m_engine.notModified()) {
        retryLater(m_intervalRetry, cloud);
        return true;
    }
    m_intervalRetry.reset();
    m_state.LastCloudCheckTime = m_clock.now();
    record(cloud.source, lastModified);
    noteContent(cloud);
    if (fetched) {
        synchronizeTime();
        runProgram();
        startRendererUnlessBusy();
    }
    return true;
}

bool DownloadJobs::cloudFixedTimeJob()
{
    FlagGuard job(m_state.JobBusy);
    if (m_engine.stopped())
        return true; // the program ends: nothing is tried, nothing to report
    // After a failure the next try waits, unless a later time of the list has come meanwhile:
    // that one is downloaded at once.
    const TDateTime now = m_clock.now();
    if (m_fixedTimeRetry.waiting(now) && !hostHoldsBack(cloudItem())
        && !RetryBackoff::listedTimeBetween(m_settings.lines(ctl::mTime), m_fixedTimeRetry.lastFailure(), now))
        return true;
    if (!m_engine.PingReply())
        return false;
    const Item cloud = cloudItem();
    QString ignored;
    bool isFresh = false;
    if (!hostAllowsTimed(cloud) || !check(cloud, &ignored, &isFresh)) { // forced: the check only reports
        m_fixedTimeRetry.reset();
        m_state.CloudTimeDue = false;
        return true;
    }
    // No record: the next interval check compares the server with the last recorded date.
    if (fetch(cloud)) {
        m_fixedTimeRetry.reset();
        m_state.CloudTimeDue = false;
        noteContent(cloud);
        synchronizeTime();
        runProgram();
        startRendererUnlessBusy();
    } else {
        retryLater(m_fixedTimeRetry, cloud);
    }
    return true;
}

bool DownloadJobs::listJob()
{
    return listPass(true);
}

bool DownloadJobs::sourceRowsJob()
{
    return listPass(false);
}

std::optional<TDateTime> DownloadJobs::sourceRowsDue() const
{
    const HostGaps gaps = hostGaps();
    const TDateTime now = m_clock.now();
    std::optional<TDateTime> soonest;
    for (int row = 1; row < listRows(); ++row) {
        Item item;
        if (!listItem(row, &item) || !sources::forAddress(item.source) || !gaps.stopReason(item.source).isEmpty())
            continue;
        // One held for a metered connection waits for the network's event.
        if (m_actions.timedRowWaits && m_actions.timedRowWaits(item.source, item.destination))
            continue;
        const TDateTime due = builtInRowDue(gaps, item.source, item.destination, now);
        if (!soonest || due < *soonest)
            soonest = due;
    }
    return soonest;
}

bool DownloadJobs::listPass(bool wholeList)
{
    FlagGuard job(m_state.JobBusy);
    if (m_engine.stopped())
        return true; // the program ends: nothing is tried, nothing to report
    if (!m_engine.PingReply())
        return false;
    FlagGuard busy(m_state.TimedDownloadBusy);
    // The list counts as gone through also when an error ends it early; otherwise the error
    // would come back at every tick instead of once per period.
    auto checked = qScopeGuard([this, wholeList] {
        if (wholeList)
            m_state.LastFileCheckTime = m_clock.now();
    });
    bool arrived = false;
    // An address named by several rows is fetched once per pass; the others get its copy.
    QHash<QString, QString> asked;
    for (int row = 1; row < listRows() && !m_engine.stopped(); ++row) {
        Item item;
        if (!listItem(row, &item))
            continue;
        if (asked.contains(item.source)) {
            arrived = copyOfRow(item, asked.value(item.source)) || arrived;
            continue;
        }
        // Between two passes of the list a built-in source is asked at its own pace.
        if (!wholeList
            && (!sources::forAddress(item.source)
                || builtInRowDue(hostGaps(), item.source, item.destination, m_clock.now()) > m_clock.now()))
            continue;
        // A row whose result cannot be kept is told; the others go on.
        try {
            const bool brought = listRow(item);
            asked.insert(item.source, brought ? item.destination : QString());
            arrived = brought || arrived;
        } catch (const Error& e) {
            m_log.appendLine(DateTimeToStr(m_clock.now()) + QStringLiteral(" - Error: ") + lastPartOf(item.destination)
                + QStringLiteral(": ") + e.message());
        }
    }
    // Several rows that brought something new give one render.
    if (arrived && !m_engine.stopped())
        startRendererUnlessBusy();
    return true;
}

bool DownloadJobs::listRow(const Item& item)
{
    if (!hostAllowsTimed(item))
        return false;
    // A row held for a metered connection is not even checked: the check is traffic too.
    if (m_actions.timedRowWaits && m_actions.timedRowWaits(item.source, item.destination))
        return false;
    QString lastModified;
    bool isFresh = false;
    if (!check(item, &lastModified, &isFresh))
        return false;
    if (isFresh && fileExists(item.destination)) {
        if (!lastModified.isEmpty())
            noteContent(item);
        return false;
    }
    // An unchanged copy (304) is recorded as checked; only a new one is converted.
    const bool fetched = fetch(item, true);
    if (!fetched && !m_engine.notModified())
        return false;
    record(item.source, lastModified);
    noteContent(item);
    if (!fetched)
        return false;
    convertFeed(item);
    writeSatelliteFile(item);
    return usedByPicture(item);
}

bool DownloadJobs::usedByPicture(const Item& item)
{
    return sources::feedKindOf(item.source) != feeds::Kind::None
        || extensionOf(item.destination) == QLatin1String(".tle");
}

bool DownloadJobs::copyOfRow(const Item& item, const QString& fetchedTo)
{
    if (fetchedTo.isEmpty() || fetchedTo == item.destination)
        return false;
    const QString part = item.destination + QStringLiteral(".part");
    QFile::remove(part);
    if (!QFile::copy(fetchedTo, part) || (QFile::exists(item.destination) && !QFile::remove(item.destination))
        || !QFile::rename(part, item.destination)) {
        QFile::remove(part);
        m_log.appendLine(DateTimeToStr(m_clock.now()) + QStringLiteral(" - Error: ") + lastPartOf(item.destination)
            + QStringLiteral(" not written"));
        return false;
    }
    convertFeed(item);
    writeSatelliteFile(item);
    return usedByPicture(item);
}

// ---- commands -----------------------------------------------------------------------------

void DownloadJobs::btnCheckDownloadsClick()
{
    if (manualJobsBlocked())
        return;
    FlagGuard job(m_state.JobBusy);

    resumeStoppedOnRequest();
    bool cloudDownloaded = false;
    bool listArrived = false;
    const Item cloud = cloudItem();
    QString cloudModified;
    if (fresh(cloud.source, &cloudModified) && fileExists(cloud.destination)) {
        logUpToDate(cloud.destination, cloudModified);
        if (!cloudModified.isEmpty())
            noteContent(cloud);
    } else if (fetch(cloud)) {
        record(cloud.source, cloudModified);
        noteContent(cloud);
        cloudDownloaded = true;
    }

    for (int row = 1; row < listRows() && !m_engine.stopped(); ++row) {
        Item item;
        if (!listItem(row, &item))
            continue;
        // A click is no reason to ask a host that counts every request before its time.
        if (sources::stopsOnRefusal(item.source) && !hostAllowsTimed(item))
            continue;
        QString lastModified;
        bool isFresh = false;
        if (!check(item, &lastModified, &isFresh))
            continue;
        if (isFresh && fileExists(item.destination)) {
            logUpToDate(item.destination, lastModified);
            if (!lastModified.isEmpty())
                noteContent(item);
            continue;
        }
        if (!fetch(item))
            continue;
        m_state.LastFileCheckTime = m_clock.now();
        record(item.source, lastModified);
        noteContent(item);
        convertFeed(item);
        writeSatelliteFile(item);
        listArrived = usedByPicture(item) || listArrived;
    }

    // Whatever new the picture uses gives one render.
    if (cloudDownloaded && !m_engine.stopped())
        runProgram();
    if ((cloudDownloaded || listArrived) && !m_engine.stopped() && m_settings.checked(ctl::cbStartAfterDownload))
        StartXPlanet();
}

// Stopped addresses are not skipped in silence: one question for all of them.
void DownloadJobs::resumeStoppedOnRequest()
{
    HostGaps gaps = hostGaps();
    QStringList stopped;
    for (int row = 1; row < listRows(); ++row) {
        Item item;
        if (listItem(row, &item) && !gaps.stopReason(item.source).isEmpty() && !stopped.contains(item.source))
            stopped << item.source;
    }
    if (stopped.isEmpty())
        return;
    QString text = QStringLiteral("Timed downloads of these addresses are stopped:\n");
    for (const QString& url : stopped)
        text += QStringLiteral("\n") + url + QStringLiteral(" (") + gaps.stopReason(url) + QLatin1Char(')');
    text += QStringLiteral("\n\nServers block programs that go on asking after a refusal.\n\nTry them again?");
    if (!m_dialogs.askYesNo(MessageKind::Warning, text))
        return;
    for (const QString& url : stopped)
        gaps.resume(url);
}

void DownloadJobs::btnDownloadCloudNowClick()
{
    if (manualJobsBlocked())
        return;
    FlagGuard job(m_state.JobBusy);
    // Asked for by hand: the origin's own copy, not what a cache on the way holds.
    m_engine.setOriginWanted(true);
    auto cacheAgain = qScopeGuard([this] { m_engine.setOriginWanted(false); });
    const Item cloud = cloudItem();
    if (!hostAllowsForced(cloud))
        return;
    QString lastModified;
    bool isFresh = false;
    if (!check(cloud, &lastModified, &isFresh)) // forced: only the date to record
        return;
    if (!fetch(cloud))
        return;
    m_state.LastCloudCheckTime = m_clock.now();
    record(cloud.source, lastModified);
    noteContent(cloud);
    runProgram();
    // Asked for by hand: the new map is wanted on the desktop now, not at the next render.
    if (!m_engine.stopped() && !m_state.DownloadBusy && !m_state.RenderBusy)
        StartXPlanet();
}

void DownloadJobs::btnDownloadTleNowClick()
{
    if (manualJobsBlocked())
        return;
    FlagGuard job(m_state.JobBusy);
    // Asked for by hand: the origin's own copy, not what a cache on the way holds.
    m_engine.setOriginWanted(true);
    auto cacheAgain = qScopeGuard([this] { m_engine.setOriginWanted(false); });
    for (int row = 1; row < listRows() && !m_engine.stopped(); ++row) {
        Item item;
        if (!listItem(row, &item) || !hostAllowsForced(item))
            continue;
        QString lastModified;
        bool isFresh = false;
        if (!check(item, &lastModified, &isFresh)) // forced: only the date to record
            continue;
        if (!fetch(item))
            continue;
        m_state.LastFileCheckTime = m_clock.now();
        record(item.source, lastModified);
        noteContent(item);
        convertFeed(item);
        // Exactly ".tle": the satellite file takes the name without it.
        if (extensionOf(item.destination) == QLatin1String(".tle") && m_actions.generateSatFile)
            m_actions.generateSatFile(item.destination);
    }
}

void DownloadJobs::downloadRow(int row)
{
    if (manualJobsBlocked())
        return;
    FlagGuard job(m_state.JobBusy);
    Item item;
    if (!listItem(row, &item))
        return;
    QString lastModified;
    bool isFresh = false;
    if (hostAllowsTimed(item) && check(item, &lastModified, &isFresh)) {
        if (isFresh && fileExists(item.destination)) {
            logUpToDate(item.destination, lastModified);
        } else if (fetch(item, true)) {
            m_state.LastFileCheckTime = m_clock.now();
            record(item.source, lastModified);
        }
    }
    // Whatever copy is on disk, new or not, is what the layer shows (none: nothing happens).
    convertFeed(item);
    writeSatelliteFile(item);
    // Asked for by a click: the layer is wanted on the desktop now, not at the next render.
    if (!m_engine.stopped() && !m_state.DownloadBusy && !m_state.RenderBusy)
        StartXPlanet();
}

void DownloadJobs::btnExecuteFileNowClick()
{
    // Not tested for existence: a missing file is reported by the launcher.
    if (m_actions.executeFile)
        m_actions.executeFile(m_settings.text(kExecuteAfter));
}

void DownloadJobs::btnChooseExecuteFileClick()
{
    const QString current = m_settings.text(kExecuteAfter);
    FileDialogRequest request;
    request.title = QStringLiteral("Choose file to execute after download");
    request.proposedFile = current;
    // Programs and scripts here mostly have no extension ("*.*" would hide them) and Linux
    // marks them by permission, not by name: every file is offered first.
    request.filter = QStringLiteral("All files (*)|*|Shell scripts (*.sh)|*.sh");
    request.startFolder = folderOf(current);
    const QString chosen = m_dialogs.getOpenFile(request);
    if (!chosen.isEmpty())
        m_settings.setText(kExecuteAfter, chosen);
}

void DownloadJobs::edtWebAdressChange()
{
    if (!m_actions.settingsLoaded || !m_actions.settingsLoaded())
        return;
    const QString destination = m_settings.text(kFileDestination);
    // The change event comes with every keystroke: a destination proposed here follows the
    // address as it is typed; one the user wrote or loaded is never touched.
    const bool proposedHere = !m_proposedDestination.isEmpty() && destination == m_proposedDestination;
    if (!destination.isEmpty() && !proposedHere)
        return;
    const QString name = lastPartOf(m_settings.text(kWebAdress));
    // No file name yet (an empty address, or one ending in "/"): a folder is no destination.
    const QString proposal
        = name.isEmpty() ? QString() : RendererLayout(m_settings.text(ctl::edtAppFile), m_home).imagesFolder() + name;
    m_proposedDestination = proposal;
    if (proposal != destination)
        m_settings.setText(kFileDestination, proposal);
}

void DownloadJobs::cloudSourcePicked(int index)
{
    const QString url = cloudsources::address(index);
    if (url.isEmpty())
        return; // the user's own address: typed, not chosen
    const QString destination = m_settings.text(kFileDestination);
    const qsizetype slash = destination.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash >= 0 ? destination.left(slash + 1)
                                      : RendererLayout(m_settings.text(ctl::edtAppFile), m_home).imagesFolder();
    const QString target = folder + cloudsources::fileName(index);
    m_settings.setText(kWebAdress, url);
    // As proposed here: typing another address afterwards still carries the name along.
    m_proposedDestination = target;
    m_settings.setText(kFileDestination, target);

    // Checked as often as a new map can come, and never more often than its host allows: a
    // shorter interval only writes "not downloaded" lines.
    const sources::Source* source = sources::forAddress(url);
    const int cadence = source ? std::max(source->cadenceMinutes, source->gapMinutes) : 0;
    m_settings.setChecked(ctl::cbCheckForNewFile, true);
    // Picked now: checked now (as soon as its host allows), not an interval later.
    m_state.LastCloudCheckTime = 0;
    if (m_settings.integer(ctl::seCheckForNewFiles) < cadence)
        m_settings.setInteger(ctl::seCheckForNewFiles, cadence);
    // xplanet finds a bare name in its images folder; a map kept elsewhere is named in full.
    const QString images = RendererLayout(m_settings.text(ctl::edtAppFile), m_home).imagesFolder();
    if (m_actions.nameCloudMap)
        m_actions.nameCloudMap(folder == images ? cloudsources::fileName(index) : target);
}

void DownloadJobs::openCloudInfoPage()
{
    if (m_actions.openBrowser)
        m_actions.openBrowser(endpoints::cloudsPage());
}

} // namespace gw
