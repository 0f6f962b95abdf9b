#include "downloads/DownloadJobs.h"

#include "downloads/CloudSources.h"
#include "downloads/DownloadEngine.h"
#include "downloads/DownloadRecords.h"
#include "downloads/QuakeFeeds.h"
#include "downloads/QuakeMarkers.h"
#include "renderer/MarkerSatelliteFiles.h"
#include "renderer/RendererLayout.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/AppState.h"
#include "shared/Clock.h"
#include "shared/DateTime.h"
#include "shared/Dialogs.h"
#include "shared/Endpoints.h"
#include "shared/FlagGuard.h"
#include "shared/LogSink.h"
#include "shared/Paths.h"

#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>

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
    return afterRequest(item) && ok;
}

bool DownloadJobs::check(const Item& item, QString* lastModifiedText, bool* isFresh)
{
    *isFresh = false;
    lastModifiedText->clear();
    // The satellite-element site counts every request: its gap is the freshness rule there.
    if (HostGaps::isSatelliteSite(item.source))
        return true;
    *isFresh = fresh(item.source, lastModifiedText);
    return afterRequest(item);
}

// The check made just before the download gave the text; a check without a 200 answer gave
// none, and then the record stays as it was rather than taking another item's date.
void DownloadJobs::record(const QString& url, const QString& lastModifiedText)
{
    m_engine.DateTimeDownloadedFile(url, lastModifiedText);
}

// The built-in earthquake address (compared exactly) and the service's summary feeds: another
// list in the same format under another address is the user's to convert.
void DownloadJobs::convertQuakeList(const Item& item)
{
    if (item.source == endpoints::quakeList() || quake::isSummaryFeed(item.source))
        ConvertAscQuakeToMarker(item.destination, markerFileFor(item.destination));
}

// After a timed or checked download nobody is asked for a picture: the satellite file is
// written as it can be, so the satellite the configuration names is drawn at all. The list
// mirrors the configuration and is left to the user.
void DownloadJobs::writeSatelliteFile(const Item& item)
{
    if (extensionOf(item.destination) != QLatin1String(".tle"))
        return;
    const RendererLayout layout(m_settings.text(ctl::edtAppFile), m_home);
    MarkerSatelliteFiles::writeSatelliteFileFor(
        item.destination, { layout.satelliteImagesFolder(), layout.systemFolder() + QStringLiteral("images/") });
}

HostGaps DownloadJobs::hostGaps() const
{
    return HostGaps([this] { return m_engine.records().settingsFile(); });
}

bool DownloadJobs::hostAllowsTimed(const Item& item)
{
    const HostGaps gaps = hostGaps();
    if (!gaps.stopReason(item.source).isEmpty())
        return false; // said once, when it stopped
    TDateTime allowed = gaps.allowedFrom(item.source);
    // The copy on disk counts as a request too: the times kept in the settings are lost with
    // another settings file, while a copy younger than the gap is still as new as the server's.
    // A copy dated ahead of the clock tells nothing.
    const QFileInfo copy(item.destination);
    const double gap = HostGaps::minimumGap(item.source);
    if (gap > 0 && copy.isFile()) {
        const TDateTime written = toDateTime(copy.lastModified());
        if (written <= m_clock.now())
            allowed = std::max(allowed, written + gap);
    }
    if (allowed <= m_clock.now())
        return true;
    m_log.appendLine(DateTimeToStr(m_clock.now()) + QStringLiteral(" - ") + lastPartOf(item.destination)
        + QStringLiteral(" not downloaded: its server allows the next download at ") + DateTimeToStr(allowed));
    return false;
}

bool DownloadJobs::hostAllowsForced(const Item& item)
{
    HostGaps gaps = hostGaps();
    const TDateTime allowed = gaps.allowedFrom(item.source);
    if (allowed > m_clock.now()
        && !m_dialogs.askYesNo(MessageKind::Warning,
            QStringLiteral("The server of\n") + item.source
                + QStringLiteral("\nasks for more time between downloads; the next is allowed at ")
                + DateTimeToStr(allowed)
                + QStringLiteral(".\nServers block programs that ask too often.\n\nDownload now?")))
        return false;
    gaps.resume(item.source);
    return true;
}

bool DownloadJobs::afterRequest(const Item& item)
{
    HostGaps gaps = hostGaps();
    gaps.noteRequest(item.source, m_clock.now());
    const double wait = HostGaps::askedWaitSeconds(m_engine.lastRawHeaders(), m_clock.now());
    if (wait > 0)
        gaps.setNotBefore(item.source, m_clock.now() + wait / 86400.0);
    const int status = m_engine.lastStatusCode();
    // The satellite-element site asks its clients to stop on such an answer, and blocks those
    // that go on.
    const bool refused = status == 403 || status == 429 || (status >= 300 && status <= 399);
    if (!HostGaps::isSatelliteSite(item.source) || (!refused && m_engine.movedTo().isEmpty()))
        return true;
    const QString reason = refused ? m_engine.lastStatusLine() : QStringLiteral("moved to ") + m_engine.movedTo();
    gaps.stop(item.source, reason);
    m_log.appendLine(DateTimeToStr(m_clock.now()) + QStringLiteral(" - Timed downloads of ") + item.source
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

bool DownloadJobs::cloudIntervalJob()
{
    FlagGuard job(m_state.JobBusy);
    if (m_engine.stopped())
        return true; // the program ends: nothing is tried, nothing to report
    if (!m_engine.PingReply())
        return false;
    FlagGuard busy(m_state.TimedDownloadBusy);
    const Item cloud = cloudItem();
    QString lastModified;
    bool isFresh = false;
    // A fresh map is not fetched even when its file is missing: the interval check looks at
    // the server only. A host that asks to wait counts as fresh until the next interval.
    if (!hostAllowsTimed(cloud) || !check(cloud, &lastModified, &isFresh) || isFresh) {
        m_state.LastCloudCheckTime = m_clock.now();
        return true;
    }
    // A failed download leaves LastCloudCheckTime alone, so the next tick tries again; an
    // unchanged map (304) is checked.
    const bool fetched = fetch(cloud, true);
    if (!fetched && m_engine.notModified()) {
        m_state.LastCloudCheckTime = m_clock.now();
        record(cloud.source, lastModified);
    } else if (fetched) {
        m_state.LastCloudCheckTime = m_clock.now();
        record(cloud.source, lastModified);
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
    if (!m_engine.PingReply())
        return false;
    const Item cloud = cloudItem();
    QString ignored;
    bool isFresh = false;
    if (!hostAllowsTimed(cloud) || !check(cloud, &ignored, &isFresh)) { // forced: the check only reports
        m_state.CloudTimeDue = false;
        return true;
    }
    // No record: the next interval check compares the server with the last recorded date.
    if (fetch(cloud)) {
        m_state.CloudTimeDue = false;
        synchronizeTime();
        runProgram();
        startRendererUnlessBusy();
    }
    return true;
}

bool DownloadJobs::listJob()
{
    FlagGuard job(m_state.JobBusy);
    if (m_engine.stopped())
        return true; // the program ends: nothing is tried, nothing to report
    if (!m_engine.PingReply())
        return false;
    FlagGuard busy(m_state.TimedDownloadBusy);
    // The list counts as gone through also when an error ends it early; otherwise the error
    // would come back at every tick instead of once per period.
    auto checked = qScopeGuard([this] { m_state.LastFileCheckTime = m_clock.now(); });
    for (int row = 1; row < listRows() && !m_engine.stopped(); ++row) {
        Item item;
        if (!listItem(row, &item) || !hostAllowsTimed(item))
            continue;
        // A row held for a metered connection is not even checked: the check is traffic too.
        if (m_actions.timedRowWaits && m_actions.timedRowWaits(item.source, item.destination))
            continue;
        QString lastModified;
        bool isFresh = false;
        if (!check(item, &lastModified, &isFresh) || (isFresh && fileExists(item.destination)))
            continue;
        if (!fetch(item, true)) {
            if (m_engine.notModified())
                record(item.source, lastModified);
            continue;
        }
        record(item.source, lastModified);
        convertQuakeList(item);
        writeSatelliteFile(item);
    }
    return true;
}

// ---- commands -----------------------------------------------------------------------------

void DownloadJobs::btnCheckDownloadsClick()
{
    if (manualJobsBlocked())
        return;
    FlagGuard job(m_state.JobBusy);

    bool cloudDownloaded = false;
    const Item cloud = cloudItem();
    QString cloudModified;
    if (fresh(cloud.source, &cloudModified) && fileExists(cloud.destination)) {
        logUpToDate(cloud.destination, cloudModified);
    } else if (fetch(cloud)) {
        record(cloud.source, cloudModified);
        cloudDownloaded = true;
    }

    for (int row = 1; row < listRows() && !m_engine.stopped(); ++row) {
        Item item;
        if (!listItem(row, &item))
            continue;
        // A click is no reason to ask a site that counts every request before its time.
        if (HostGaps::isSatelliteSite(item.source) && !hostAllowsTimed(item))
            continue;
        QString lastModified;
        bool isFresh = false;
        if (!check(item, &lastModified, &isFresh))
            continue;
        if (isFresh && fileExists(item.destination)) {
            logUpToDate(item.destination, lastModified);
            continue;
        }
        if (!fetch(item))
            continue;
        m_state.LastFileCheckTime = m_clock.now();
        record(item.source, lastModified);
        convertQuakeList(item);
        writeSatelliteFile(item);
    }

    // A new list item alone is no reason to render: only a new cloud map changes the picture.
    if (cloudDownloaded && !m_engine.stopped()) {
        runProgram();
        if (m_settings.checked(ctl::cbStartAfterDownload))
            StartXPlanet();
    }
}

void DownloadJobs::btnDownloadCloudNowClick()
{
    if (manualJobsBlocked())
        return;
    FlagGuard job(m_state.JobBusy);
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
    runProgram();
}

void DownloadJobs::btnDownloadTleNowClick()
{
    if (manualJobsBlocked())
        return;
    FlagGuard job(m_state.JobBusy);
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
        convertQuakeList(item);
        // Exactly ".tle": the satellite file takes the name without it.
        if (extensionOf(item.destination) == QLatin1String(".tle") && m_actions.generateSatFile)
            m_actions.generateSatFile(item.destination);
    }
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
}

void DownloadJobs::openCloudInfoPage()
{
    if (m_actions.openBrowser)
        m_actions.openBrowser(endpoints::cloudsPage());
}

} // namespace gw
