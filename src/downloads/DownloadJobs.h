#pragma once
// What is downloaded, by which trigger, and what follows a successful download. Two kinds of
// item: the cloud map (edtWebAdress into edtFileDestination) and the rows of the download list
// sgDownloadFiles. The scheduler starts the three timed jobs; the buttons of the "Download
// settings" page start the others. After a download, by job: the server's date is recorded,
// the earthquake list becomes a marker file, a TLE file gets a satellite file, the clock is
// synchronised, the program chosen for after downloads runs and the renderer starts.
#include "downloads/HostGaps.h"
#include "downloads/RetryBackoff.h"
#include "downloads/SourceAges.h"
#include "scheduler/TimedJobs.h"

#include <QObject>
#include <QString>

#include <functional>

namespace gw {

struct AppState;
class Clock;
class Dialogs;
class DownloadEngine;
class LogSink;
class SettingsAccess;

class DownloadJobs : public QObject, public TimedJobs
{
    Q_OBJECT

public:
    // What the jobs start in other parts of the program. An empty action does nothing;
    // an empty settingsLoaded counts as "not loaded yet".
    struct Actions
    {
        std::function<void()> startXPlanet; // one render, as the scheduler starts it
        std::function<void(const QString&)> executeFile; // runs a file and waits
        std::function<void(const QString&)> generateSatFile; // satellite file for a TLE file
        std::function<void()> synchronizeTime; // the click of btnCheckTimeServer
        std::function<void(const QString&)> openBrowser; // a web page in the default browser
        std::function<bool()> settingsLoaded; // the first settings load has finished
        // A row of the timed list job that waits for a connection that is not metered.
        std::function<bool(const QString& source, const QString& destination)> timedRowWaits;
        // Names the file as the earth's cloud map in the renderer's configuration and applies
        // it, unless one is named there already.
        std::function<void(const QString&)> nameCloudMap;
    };

    DownloadJobs(SettingsAccess& settings, AppState& state, LogSink& transferLog, Dialogs& dialogs, const Clock& clock,
        DownloadEngine& engine, Actions actions, QObject* parent = nullptr);

    // TimedJobs: the render is forwarded; each download job returns its reachability result.
    void StartXPlanet() override;
    bool cloudIntervalJob() override;
    bool cloudFixedTimeJob() override;
    bool listJob() override;
    bool sourceRowsJob() override;
    std::optional<TDateTime> sourceRowsDue() const override;
    PlanHold ownHold(Download download) const override;
    void followClockStep(double days) override;

    // "Check downloads" and the tray's "check all downloads".
    void btnCheckDownloadsClick();
    // The two "Download now   *" buttons: forced, no freshness check.
    void btnDownloadCloudNowClick();
    void btnDownloadTleNowClick();
    // One row of the list, fetched now as the timed list job would (a host that asks to wait is
    // not asked), converted, and given its satellite file; for a layer switched on.
    void downloadRow(int row);
    // "now": runs the file chosen for after downloads, whether it exists or not.
    void btnExecuteFileNowClick();
    // "...": chooses that file.
    void btnChooseExecuteFileClick();
    // Every change of edtWebAdress: proposes a destination in the renderer's images folder.
    void edtWebAdressChange();
    // A live cloud source picked in the drop-down (an index of cloudsources::captions()): its
    // address, and its file name in the folder of the current destination; the interval check
    // switched on, no more often than the source publishes; the map named in the renderer's
    // configuration when it names none.
    void cloudSourcePicked(int index);
    // Opens the clouds page of the renderer's web site (the label "Web Address (Source)").
    void openCloudInfoPage();

    // Seam: the home folder that holds the renderer folder (empty: the user's home).
    void setHome(const QString& home) { m_home = home; }

    // The destination with its extension replaced by ".marker" (appended when it has none).
    static QString markerFileFor(const QString& destination);
    // The extension of a path's file name, with its dot; empty when it has none.
    static QString extensionOf(const QString& path);
    // The part of a source address behind its last "/" or "\".
    static QString lastPartOf(const QString& source);

private:
    struct Item
    {
        QString source;
        QString destination;
    };

    Item cloudItem() const;
    // The list row, or nothing when its source or destination cell is empty.
    bool listItem(int row, Item* item) const;
    int listRows() const;

    bool fresh(const QString& url, QString* lastModifiedText);
    // The transfer; false also when its answer stopped the address, or when every copy it
    // brought failed its checks (the previous copy stays: nothing new arrived).
    // `conditional`: see DownloadEngine::DownloadFile; the jobs that check freshness use it.
    bool fetch(const Item& item, bool conditional = false);
    // The freshness check; false when its answer stopped the address.
    bool check(const Item& item, QString* lastModifiedText, bool* isFresh);
    void record(const QString& url, const QString& lastModifiedText);
    // A feed's download into its marker file; one log line when that fails.
    void convertFeed(const Item& item);
    // Both storm downloads into the layer's marker and arc file.
    void convertStorms(const Item& item);
    double quakeLabelMagnitude() const;
    void writeSatelliteFile(const Item& item);
    HostGaps hostGaps() const;
    SourceAges sourceAges() const;
    // The outcome of the last request for the item, kept for the status report.
    void noteResult(const Item& item, const QString& result);
    // Why the last request failed, as its log line says; else its status line.
    QString answerText() const;
    // The server of the item answered: the date of its content is kept, and a source that has
    // stopped changing is reported (once a day).
    void noteContent(const Item& item);
    // A timed download failed: the next try waits (1, 2, 4 … minutes, at most an hour).
    void retryLater(RetryBackoff& retry, const Item& item);
    // True while the host of the item asks to wait, or timed downloads of it are stopped.
    bool hostHoldsBack(const Item& item) const;
    // Timed jobs: false, after one line, while the host of the item asks to wait; false when
    // timed downloads of its address are stopped.
    bool hostAllowsTimed(const Item& item);
    // Force buttons: asks while the host asks to wait; a forced download resumes a stopped address.
    bool hostAllowsForced(const Item& item);
    static QString forceQuestion(const QString& url, const HostGaps::Hold& hold);
    // After each request: its time for the host's gap, and a stop on an answer that says so.
    // False when the address was stopped by it.
    bool afterRequest(const Item& item);
    // One pass of the list: every row (`wholeList`), or the rows of built-in sources that are due.
    bool listPass(bool wholeList);
    // One row of a timed pass; true when it brought something new that the picture uses.
    bool listRow(const Item& item);
    // A row naming an address already fetched in this pass (into `fetchedTo`; empty: nothing
    // new came) gets that copy; true when it is new and the picture uses it.
    bool copyOfRow(const Item& item, const QString& fetchedTo);
    // A marker file or a satellite's elements are made of the item.
    static bool usedByPicture(const Item& item);
    // "Check downloads": asks once whether stopped addresses of the list are tried again.
    void resumeStoppedOnRequest();
    void runProgram();
    void startRendererUnlessBusy();
    void synchronizeTime();
    void logUpToDate(const QString& destination, const QString& lastModifiedText);
    bool manualJobsBlocked() const;
    static bool fileExists(const QString& path);

    SettingsAccess& m_settings;
    AppState& m_state;
    LogSink& m_log;
    Dialogs& m_dialogs;
    const Clock& m_clock;
    DownloadEngine& m_engine;
    Actions m_actions;
    QString m_home;
    QString m_proposedDestination; // the destination edtWebAdressChange filled in last
    RetryBackoff m_intervalRetry; // the cloud interval job, after a failed transfer
    RetryBackoff m_fixedTimeRetry; // the cloud fixed-time job
};

} // namespace gw
