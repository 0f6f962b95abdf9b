// The jobs when something is missing or goes wrong: half-filled rows, an unreachable network,
// a failing row, busy flags, an error thrown after a download; and the conditions on the
// program run after downloads and on the render.
#include "JobsRig.h"

#include "shared/Error.h"

#include <QTimer>

#include <chrono>
#include <functional>
#include <thread>

using namespace gwtest;

namespace {

using Job = std::function<void(JobsRig&)>;

struct NamedJob
{
    const char* label;
    Job run;
};

const NamedJob kListJobs[] = {
    { "list, timed", [](JobsRig& r) { r.jobs.listJob(); } },
    { "Check downloads", [](JobsRig& r) { r.jobs.btnCheckDownloadsClick(); } },
    { "list force button", [](JobsRig& r) { r.jobs.btnDownloadTleNowClick(); } },
};

const NamedJob kManualJobs[] = {
    { "Check downloads", [](JobsRig& r) { r.jobs.btnCheckDownloadsClick(); } },
    { "cloud force button", [](JobsRig& r) { r.jobs.btnDownloadCloudNowClick(); } },
    { "list force button", [](JobsRig& r) { r.jobs.btnDownloadTleNowClick(); } },
};

void clearRows(JobsRig& r)
{
    for (int row = 1; row < r.settings.rowCount("sgDownloadFiles"); ++row)
        r.setRow(row, QString(), QString());
}

void cloudCurrent(JobsRig& r)
{
    writeFile(r.cloudFile(), "old");
    r.records.DateTimeDownloadedFile(gw::endpoints::cloudMap(), JobsRig::serverDateText());
}

} // namespace

// A row is an item only with both cells filled: otherwise nothing is checked, fetched or asked.
TEST(JobFailure, HalfFilledRowsAreSkipped)
{
    for (const NamedJob& job : kListJobs) {
        JobsRig rig;
        cloudCurrent(rig);
        clearRows(rig);
        const QString refused = refusedUrl("/quake.asc");
        ASSERT_FALSE(refused.isEmpty());
        const QString orphan = rig.layout.markersFolder() + "orphan.asc";
        rig.setRow(1, refused, QString());
        rig.setRow(2, QString(), orphan);
        rig.setRow(49, refused, QString()); // the last row too

        job.run(rig);
        EXPECT_EQ(rig.linesContaining("not connected"), 0) << job.label << ": a half row is never checked\n"
                                                           << rig.logText();
        EXPECT_FALSE(QFile::exists(orphan)) << job.label;
        EXPECT_TRUE(rig.dialogs.asked.empty()) << job.label << ": no folder question for an empty destination";
    }
}

TEST(JobFailure, UnreachableNetworkDownloadsNothing)
{
    const NamedJob timedJobs[] = {
        { "cloud interval", [](JobsRig& r) { EXPECT_FALSE(r.jobs.cloudIntervalJob()); } },
        { "cloud fixed-time", [](JobsRig& r) { EXPECT_FALSE(r.jobs.cloudFixedTimeJob()); } },
        { "list, timed", [](JobsRig& r) { EXPECT_FALSE(r.jobs.listJob()); } },
    };
    for (const NamedJob& job : timedJobs) {
        JobsRig rig;
        rig.settings.setText("PingServer", ""); // nothing to ping: the test fails without traffic
        rig.state.CloudTimeDue = true;
        rig.state.LastCloudCheckTime = 1;
        rig.state.LastFileCheckTime = 2;
        job.run(rig);
        EXPECT_TRUE(rig.log.lines.isEmpty()) << job.label << "\n" << rig.logText();
        for (const QString& f : { rig.cloudFile(), rig.quakeFile(), rig.tleFile() })
            EXPECT_FALSE(QFile::exists(f)) << job.label << ": " << f.toStdString();
        EXPECT_EQ(rig.state.LastCloudCheckTime, 1) << job.label << ": the scheduler decides what follows";
        EXPECT_EQ(rig.state.LastFileCheckTime, 2) << job.label;
        EXPECT_TRUE(rig.state.CloudTimeDue) << job.label;
        EXPECT_FALSE(rig.state.TimedDownloadBusy) << job.label;
        EXPECT_FALSE(rig.state.PingBusy) << job.label;
        EXPECT_EQ(rig.calls.renders + rig.calls.syncs + rig.calls.executed.size(), 0) << job.label;
    }
}

TEST(JobFailure, FailingRowLetsTheLoopGoOn)
{
    for (const NamedJob& job : kListJobs) {
        JobsRig rig;
        cloudCurrent(rig);
        const QString missing = rig.layout.markersFolder() + "missing.asc";
        const QString missingUrl = rig.server.url("/missing.asc");
        rig.setRow(1, missingUrl, missing); // the server answers 404
        rig.setRow(2, gw::endpoints::tleList(), rig.tleFile());

        job.run(rig);
        EXPECT_FALSE(QFile::exists(missing)) << job.label;
        EXPECT_GE(rig.linesContaining(" - Error downloading file (HTTP/1.1 404 Not Found)"), 1) << job.label;
        EXPECT_EQ(rig.recorded(missingUrl), gw::DateTimeToStr(gw::TDateTime(0))) << job.label << ": no record";
        EXPECT_TRUE(QFile::exists(rig.tleFile())) << job.label << ": the next row is fetched";
        EXPECT_TRUE(rig.isRecorded(gw::endpoints::tleList())) << job.label;
    }
}

TEST(JobFailure, FailedCloudDownloadIsRetried)
{
    JobsRig rig;
    // Served for the check, gone for the transfer: the download fails after a good check.
    HttpFaultServer flaky;
    ASSERT_TRUE(flaky.start());
    flaky.route("/clouds.jpg", [](HttpFaultServer::Exchange& e) {
        if (e.request.method == "HEAD")
            e.respond("HTTP/1.1 200 OK", "", { "Last-Modified: Fri, 01 Mar 2024 06:00:00 GMT" });
        else
            e.respond("HTTP/1.1 503 Service Unavailable", "");
    });
    rig.settings.setText("edtWebAdress", flaky.url("/clouds.jpg"));
    rig.state.LastCloudCheckTime = 1;
    rig.state.CloudTimeDue = true;

    EXPECT_TRUE(rig.jobs.cloudIntervalJob());
    EXPECT_EQ(rig.state.LastCloudCheckTime, 1) << "interval job: due again at the next tick";
    EXPECT_TRUE(rig.jobs.cloudFixedTimeJob());
    EXPECT_TRUE(rig.state.CloudTimeDue) << "fixed-time job: still pending";
    EXPECT_EQ(rig.recorded(flaky.url("/clouds.jpg")), gw::DateTimeToStr(gw::TDateTime(0))) << "no record";
    EXPECT_EQ(rig.calls.renders + rig.calls.syncs + rig.calls.executed.size(), 0) << "nothing follows a failure";
    EXPECT_EQ(rig.linesContaining("(HTTP/1.1 503 Service Unavailable)"), 2) << rig.logText();
}

TEST(JobFailure, ManualJobsWaitForBusyFlags)
{
    struct Flag
    {
        const char* label;
        bool gw::AppState::*flag;
    };
    const Flag flags[] = { { "DownloadBusy", &gw::AppState::DownloadBusy }, { "RenderBusy", &gw::AppState::RenderBusy },
        { "TimedDownloadBusy", &gw::AppState::TimedDownloadBusy }, { "PingBusy", &gw::AppState::PingBusy },
        { "JobBusy", &gw::AppState::JobBusy } };
    for (const Flag& f : flags) {
        for (const NamedJob& job : kManualJobs) {
            JobsRig rig;
            rig.state.*f.flag = true;
            job.run(rig);
            const std::string label = std::string(job.label) + " while " + f.label;
            EXPECT_TRUE(rig.log.lines.isEmpty()) << label;
            EXPECT_FALSE(QFile::exists(rig.cloudFile())) << label;
            EXPECT_FALSE(QFile::exists(rig.tleFile())) << label;
            EXPECT_TRUE(rig.calls.executed.isEmpty()) << label;
        }
    }
}

TEST(JobFailure, RenderAfterCloudDownload)
{
    struct Case
    {
        const char* label;
        bool startAfterDownload;
        bool renderBusy;
        bool downloadStartedMeanwhile; // by the program run after the download
        int renders;
    };
    const Case cases[] = {
        { "renders", true, false, false, 1 },
        { "not chosen", false, false, false, 0 },
        { "a render already runs", true, true, false, 0 },
        { "a download runs", true, false, true, 0 },
    };
    const NamedJob timed[] = {
        { "cloud interval", [](JobsRig& r) { r.jobs.cloudIntervalJob(); } },
        { "cloud fixed-time", [](JobsRig& r) { r.jobs.cloudFixedTimeJob(); } },
    };
    for (const NamedJob& job : timed) {
        for (const Case& c : cases) {
            JobsRig rig;
            rig.settings.setChecked("cbStartAfterDownload", c.startAfterDownload);
            rig.state.RenderBusy = c.renderBusy;
            if (c.downloadStartedMeanwhile)
                rig.onExecute = [&rig](const QString&) { rig.state.DownloadBusy = true; };
            job.run(rig);
            EXPECT_EQ(rig.calls.renders, c.renders) << job.label << ": " << c.label;
        }
    }

    // "Check downloads" asks only for the setting.
    JobsRig rig;
    rig.onExecute = [&rig](const QString&) { rig.state.DownloadBusy = true; };
    rig.jobs.btnCheckDownloadsClick();
    EXPECT_EQ(rig.calls.renders, 1) << "Check downloads";
}

TEST(JobFailure, ProgramAfterDownload)
{
    JobsRig probe;
    struct Case
    {
        const char* label;
        bool checked;
        QString file;
        bool runs;
    };
    const QString existing = probe.home.write("run-me", "#!/bin/sh\n");
    const Case cases[] = {
        { "an existing file", true, existing, true },
        { "not chosen", false, existing, false },
        { "a missing file", true, probe.home.file("missing"), false },
        { "a folder", true, probe.home.path(), false },
        { "no file named", true, QString(), false },
    };
    for (const Case& c : cases) {
        JobsRig rig;
        rig.settings.setChecked("cbExecuteFileAfterDownload", c.checked);
        rig.settings.setText("edtExecuteFileAfterDownload", c.file);
        rig.jobs.btnDownloadCloudNowClick();
        ASSERT_TRUE(QFile::exists(rig.cloudFile())) << c.label;
        EXPECT_EQ(rig.calls.executed, c.runs ? QStringList { c.file } : QStringList {}) << c.label;
    }
}

// An error after a download (a program that cannot be started) ends the job but never leaves
// TimedDownloadBusy set, or no timed job would run again.
TEST(JobFailure, ErrorsEndTheJobButClearTheBusyFlag)
{
    {
        JobsRig rig;
        rig.onExecute = [](const QString&) { throw gw::Error("File was not found"); };
        EXPECT_THROW(rig.jobs.cloudIntervalJob(), gw::Error);
        EXPECT_FALSE(rig.state.TimedDownloadBusy) << "cloud interval";
        EXPECT_EQ(rig.state.LastCloudCheckTime, rig.clock.now()) << "cloud interval: the download counts";
        EXPECT_EQ(rig.calls.renders, 0) << "cloud interval: nothing after the error";
    }
    {
        JobsRig rig;
        rig.state.CloudTimeDue = true;
        rig.onExecute = [](const QString&) { throw gw::Error("File was not found"); };
        EXPECT_THROW(rig.jobs.cloudFixedTimeJob(), gw::Error);
        EXPECT_FALSE(rig.state.CloudTimeDue) << "fixed-time: the download is not repeated at every tick";
    }
    {
        // A marker file that cannot be written is a failed conversion like a broken feed: one
        // line, and the other rows are fetched as usual.
        JobsRig rig;
        ASSERT_TRUE(QDir().mkpath(rig.markerFile()));
        rig.state.LastFileCheckTime = 1;
        EXPECT_TRUE(rig.jobs.listJob());
        EXPECT_FALSE(rig.state.TimedDownloadBusy) << "list";
        EXPECT_EQ(rig.state.LastFileCheckTime, rig.clock.now()) << "list: not tried again at every tick";
        EXPECT_TRUE(rig.isRecorded(gw::endpoints::quakeList())) << "list: the download itself is recorded";
        EXPECT_EQ(rig.linesContaining(" - Error: quake.asc not converted (cannot replace quake.marker), previous "
                                      "markers kept"),
            1)
            << rig.logText();
        EXPECT_TRUE(QFile::exists(rig.tleFile())) << "list: the rest of the run is carried out";
    }
}

// A check that gets no answer counts as fresh, but is not reported as "still up to date".
TEST(JobFailure, CheckDownloadsWithTheServerDown)
{
    JobsRig rig;
    const QString host = refusedUrl(QString());
    ASSERT_FALSE(host.isEmpty());
    for (const QString& f : { rig.cloudFile(), rig.quakeFile(), rig.tleFile() })
        writeFile(f, "old");
    rig.settings.setText("edtWebAdress", host + "/clouds_2000.jpg");
    rig.setRow(1, host + "/quake.asc", rig.quakeFile());
    rig.setRow(2, host + "/stations.txt", rig.tleFile());

    rig.jobs.btnCheckDownloadsClick();
    // Each line names its file.
    for (const QString name : { "clouds_2000.jpg", "quake.asc", "stations.txt" })
        EXPECT_EQ(rig.linesContaining(" - Error downloading file (connection refused) - " + name), 1) << rig.logText();
    EXPECT_EQ(rig.linesContaining("still up to date"), 0) << rig.logText();
    for (const QString& f : { rig.cloudFile(), rig.quakeFile(), rig.tleFile() })
        EXPECT_EQ(readFile(f), "old") << f.toStdString();
    EXPECT_EQ(rig.calls.renders, 0);
}

// Clicks that come in while a job waits for a freshness check or a transfer start nothing: the
// job runs once, with one request per address.
TEST(JobFailure, ManualJobsRefusedWhileAJobWaits)
{
    const NamedJob running[] = {
        { "list, timed", [](JobsRig& r) { r.jobs.listJob(); } },
        { "Check downloads", [](JobsRig& r) { r.jobs.btnCheckDownloadsClick(); } },
        { "cloud force button", [](JobsRig& r) { r.jobs.btnDownloadCloudNowClick(); } },
    };
    for (const NamedJob& job : running) {
        JobsRig rig;
        HttpFaultServer slow;
        ASSERT_TRUE(slow.start());
        const auto slowAnswer = [](HttpFaultServer::Exchange& e) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            e.respond("HTTP/1.1 200 OK", "slow", { "Last-Modified: Fri, 01 Mar 2024 06:00:00 GMT" });
        };
        slow.route("/cloud.txt", slowAnswer);
        slow.route("/row.txt", slowAnswer);
        rig.settings.setText("edtWebAdress", slow.url("/cloud.txt"));
        rig.setRow(1, slow.url("/row.txt"), rig.layout.markersFolder() + "row.txt");
        rig.setRow(2, QString(), QString());
        int clicks = 0;
        QTimer clicker;
        QObject::connect(&clicker, &QTimer::timeout, [&] {
            ++clicks;
            for (const NamedJob& manual : kManualJobs)
                manual.run(rig);
        });
        clicker.start(100);
        job.run(rig);
        clicker.stop();
        EXPECT_GE(clicks, 2) << job.label << ": the clicks came while the job waited";
        for (const QByteArray path : { "/cloud.txt", "/row.txt" })
            EXPECT_LE(slow.count(path), 2)
                << job.label << ": one check and one transfer of " << path.constData() << "\n"
                << rig.logText();
        EXPECT_FALSE(rig.state.JobBusy) << job.label;
    }
}

// Shut-down during a job: the transfer running is cancelled, no further item is tried, and
// nothing of it reads as a failed connection.
TEST(JobFailure, ShutdownEndsTheJobQuietly)
{
    for (const NamedJob& job : kListJobs) {
        JobsRig rig;
        cloudCurrent(rig);
        HttpFaultServer slow;
        ASSERT_TRUE(slow.start());
        slow.route("/item.txt", [](HttpFaultServer::Exchange& e) {
            if (e.request.method == "HEAD")
                return e.respond("HTTP/1.1 200 OK", "", { "Last-Modified: Fri, 01 Mar 2024 06:00:00 GMT" });
            e.send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + QByteArray(1000, 'x'));
            e.stall(3000);
        });
        for (int row = 1; row < 30; ++row)
            rig.setRow(row, slow.url("/item.txt"), rig.layout.markersFolder() + "item" + QString::number(row) + ".txt");
        QObject::connect(&rig.engine.http(), &gw::HttpClient::transferBegin, [&rig] { rig.engine.abort(); });
        job.run(rig);
        EXPECT_EQ(rig.linesContaining("Error"), 0) << job.label << "\n" << rig.logText();
        EXPECT_LE(slow.count("/item.txt"), 2) << job.label << ": the first item only";
        EXPECT_FALSE(rig.state.DownloadBusy) << job.label;
        EXPECT_EQ(rig.calls.renders, 0) << job.label;
    }
}
