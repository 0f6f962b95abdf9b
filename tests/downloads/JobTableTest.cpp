// What follows a successful download, job by job, against a real server on loopback: the
// record, the check time, clock sync, the program run after downloads, the render, the
// earthquake markers and the satellite file; and when a job decides not to download at all.
#include "JobsRig.h"

#include <functional>

using namespace gwtest;

namespace {

using Job = std::function<void(JobsRig&)>;

const QByteArray kExpectedMarkers = "35.50 139.80 \"HONSHU, JAPAN (5.1)\" color=green\r\n"
                                    "-15.20 -75.10 \"NEAR COAST OF PERU (4.8)\" color=green\r\n";

// The jobs as their triggers start them.
void cloudInterval(JobsRig& r)
{
    EXPECT_TRUE(r.jobs.cloudIntervalJob()) << "reachable";
}
void cloudFixedTime(JobsRig& r)
{
    r.state.CloudTimeDue = true;
    EXPECT_TRUE(r.jobs.cloudFixedTimeJob()) << "reachable";
}
void listTimed(JobsRig& r)
{
    EXPECT_TRUE(r.jobs.listJob()) << "reachable";
}
void checkDownloads(JobsRig& r)
{
    r.jobs.btnCheckDownloadsClick();
}
void cloudForce(JobsRig& r)
{
    r.jobs.btnDownloadCloudNowClick();
}
void listForce(JobsRig& r)
{
    r.jobs.btnDownloadTleNowClick();
}

// Everything on the server already here and recorded, each local copy holding "old".
void alreadyDownloaded(JobsRig& r)
{
    for (const QString& f : { r.cloudFile(), r.quakeFile(), r.tleFile() })
        writeFile(f, "old");
    for (const QString& url : { gw::endpoints::cloudMap(), gw::endpoints::quakeList(), gw::endpoints::tleList() })
        r.records.DateTimeDownloadedFile(url, JobsRig::serverDateText());
}

bool fetched(const QString& file)
{
    return QFile::exists(file) && readFile(file) != "old";
}

constexpr gw::TDateTime kEarlier = 45000.25;

} // namespace

TEST(JobTable, CloudMapByJob)
{
    struct Case
    {
        const char* label;
        Job run;
        bool record;
        bool checkTime; // LastCloudCheckTime := now
        int syncs;
        int renders;
    };
    const Case cases[] = {
        { "cloud interval", cloudInterval, true, true, 1, 1 },
        { "cloud fixed-time", cloudFixedTime, false, false, 1, 1 },
        { "Check downloads", checkDownloads, true, false, 0, 1 },
        { "cloud force button", cloudForce, true, true, 0, 1 },
    };
    for (const Case& c : cases) {
        JobsRig rig;
        rig.state.LastCloudCheckTime = kEarlier;
        c.run(rig);
        EXPECT_EQ(readFile(rig.cloudFile()), JobsRig::CloudMap) << c.label;
        EXPECT_EQ(rig.linesContaining(" - Correct MD5 sum ("), 1) << c.label << "\n" << rig.logText();
        EXPECT_FALSE(QFile::exists(rig.cloudFile() + ".bak")) << c.label;
        EXPECT_EQ(rig.isRecorded(gw::endpoints::cloudMap()), c.record) << c.label;
        EXPECT_EQ(rig.state.LastCloudCheckTime, c.checkTime ? rig.clock.now() : kEarlier) << c.label;
        EXPECT_EQ(rig.calls.syncs, c.syncs) << c.label;
        EXPECT_EQ(rig.calls.renders, c.renders) << c.label;
        EXPECT_EQ(rig.calls.executed, QStringList { rig.settings.text("edtExecuteFileAfterDownload") }) << c.label;
        EXPECT_FALSE(rig.state.CloudTimeDue) << c.label;
        EXPECT_FALSE(rig.state.TimedDownloadBusy) << c.label;
        EXPECT_TRUE(rig.dialogs.asked.empty()) << c.label;
    }
}

TEST(JobTable, ClockSyncOnlyWhenChosen)
{
    for (Job run : { Job(cloudInterval), Job(cloudFixedTime) }) {
        JobsRig rig;
        rig.settings.setChecked("cbAdjustTime", false);
        run(rig);
        EXPECT_TRUE(fetched(rig.cloudFile()));
        EXPECT_EQ(rig.calls.syncs, 0) << "cbAdjustTime unchecked";
    }
}

TEST(JobTable, ListByJob)
{
    struct Case
    {
        const char* label;
        Job run;
        bool satelliteFile;
    };
    const Case cases[] = {
        { "list, timed", listTimed, false },
        { "list in Check downloads", checkDownloads, false },
        { "list force button", listForce, true },
    };
    for (const Case& c : cases) {
        JobsRig rig;
        // The cloud map is current, so only list items come in.
        writeFile(rig.cloudFile(), "old");
        rig.records.DateTimeDownloadedFile(gw::endpoints::cloudMap(), JobsRig::serverDateText());
        const QString upperTle = rig.layout.satellitesFolder() + "ISS2.TLE";
        const QString caseChanged = rig.layout.markersFolder() + "upper.asc";
        rig.setRow(3, QString(gw::endpoints::quakeList()).replace("/neis/", "/NEIS/"), caseChanged);
        rig.setRow(4, gw::endpoints::tleList(), upperTle);
        rig.state.LastFileCheckTime = kEarlier;

        c.run(rig);

        for (const QString& f : { rig.quakeFile(), rig.tleFile(), upperTle, caseChanged })
            EXPECT_TRUE(fetched(f)) << c.label << ": " << f.toStdString();
        EXPECT_EQ(readFile(rig.markerFile()), kExpectedMarkers) << c.label << ": the built-in address is converted";
        EXPECT_FALSE(QFile::exists(rig.layout.markersFolder() + "upper.marker"))
            << c.label << ": an address differing in case is not converted";
        EXPECT_TRUE(rig.isRecorded(gw::endpoints::quakeList())) << c.label;
        EXPECT_TRUE(rig.isRecorded(gw::endpoints::tleList())) << c.label;
        EXPECT_EQ(rig.state.LastFileCheckTime, rig.clock.now()) << c.label;
        EXPECT_EQ(rig.calls.satelliteFiles, c.satelliteFile ? QStringList { rig.tleFile() } : QStringList {})
            << c.label << ": only for exactly \".tle\", only when forced";
        EXPECT_EQ(rig.calls.renders, c.satelliteFile ? 0 : 1)
            << c.label << ": new markers and elements give one render, after a timed or checked pass";
        EXPECT_TRUE(rig.calls.executed.isEmpty()) << c.label;
        EXPECT_EQ(rig.calls.syncs, 0) << c.label;
        EXPECT_EQ(readFile(rig.cloudFile()), "old") << c.label;
        EXPECT_FALSE(rig.state.TimedDownloadBusy) << c.label;
    }
}

// Everything is current: which job still downloads, and which does when the local copy is gone.
TEST(JobTable, FreshItems)
{
    struct Case
    {
        const char* label;
        Job run;
        bool deleteLocalCopies;
        bool cloudFetched;
        bool listFetched;
        int upToDateLines;
    };
    const Case cases[] = {
        { "cloud interval skips a fresh map", cloudInterval, false, false, false, 0 },
        { "cloud interval skips a fresh map whose file is missing", cloudInterval, true, false, false, 0 },
        { "fixed-time always downloads", cloudFixedTime, false, true, false, 0 },
        { "cloud force button always downloads", cloudForce, false, true, false, 0 },
        { "timed list skips fresh items", listTimed, false, false, false, 0 },
        { "timed list fetches a fresh item whose file is missing", listTimed, true, false, true, 0 },
        { "list force button always downloads", listForce, false, false, true, 0 },
        { "Check downloads reports fresh items", checkDownloads, false, false, false, 3 },
        { "Check downloads fetches what is missing", checkDownloads, true, true, true, 0 },
    };
    for (const Case& c : cases) {
        JobsRig rig;
        alreadyDownloaded(rig);
        if (c.deleteLocalCopies) {
            for (const QString& f : { rig.cloudFile(), rig.quakeFile(), rig.tleFile() })
                QFile::remove(f);
        }
        rig.state.LastFileCheckTime = kEarlier;
        rig.state.LastCloudCheckTime = kEarlier;
        c.run(rig);

        EXPECT_EQ(fetched(rig.cloudFile()), c.cloudFetched) << c.label;
        EXPECT_EQ(fetched(rig.quakeFile()), c.listFetched) << c.label;
        EXPECT_EQ(fetched(rig.tleFile()), c.listFetched) << c.label;
        EXPECT_EQ(rig.linesContaining(" still up to date"), c.upToDateLines) << c.label << "\n" << rig.logText();
        EXPECT_TRUE(rig.isRecorded(gw::endpoints::cloudMap())) << c.label << ": the record stays";
    }
}

TEST(JobTable, CheckTimesWhenNothingIsFetched)
{
    JobsRig rig;
    alreadyDownloaded(rig);
    rig.state.LastFileCheckTime = kEarlier;
    rig.state.LastCloudCheckTime = kEarlier;

    rig.jobs.btnCheckDownloadsClick();
    EXPECT_EQ(rig.state.LastFileCheckTime, kEarlier) << "Check downloads: set only after a download";
    EXPECT_EQ(rig.state.LastCloudCheckTime, kEarlier) << "Check downloads never sets the cloud check time";
    EXPECT_EQ(rig.calls.renders, 0) << "no render without a new cloud map";

    const QString day = gw::DateTimeToStr(rig.clock.now());
    EXPECT_EQ(rig.log.lines,
        (QStringList { day + " - Success: local copy of clouds_2000.jpg still up to date",
            day + " - Success: local copy of quake.asc still up to date",
            day + " - Success: local copy of iss.tle still up to date" }));

    rig.jobs.cloudIntervalJob();
    EXPECT_EQ(rig.state.LastCloudCheckTime, rig.clock.now()) << "interval job: set when fresh";
    rig.jobs.listJob();
    EXPECT_EQ(rig.state.LastFileCheckTime, rig.clock.now()) << "timed list: set once the list is gone through";
}

TEST(JobTable, ForceButtonsRewriteTheRecord)
{
    JobsRig rig;
    alreadyDownloaded(rig);
    // The server copies are newer than the records: a forced download records the new date.
    const QDateTime newer = JobsRig::ServerDate.addDays(1);
    rig.serve("clouds_2000.jpg", JobsRig::CloudMap, newer);
    rig.serve("NORAD/elements/stations.txt", readFile(testData("jobs/stations.txt")), newer);

    rig.jobs.btnDownloadCloudNowClick();
    rig.jobs.btnDownloadTleNowClick();
    EXPECT_EQ(rig.recorded(gw::endpoints::cloudMap()), JobsRig::serverDateText(newer)) << "cloud";
    EXPECT_EQ(rig.recorded(gw::endpoints::tleList()), JobsRig::serverDateText(newer)) << "TLE list";
    EXPECT_EQ(rig.recorded(gw::endpoints::quakeList()), JobsRig::serverDateText()) << "unchanged server copy";
}

// A fixed-time download leaves the record alone, so the next interval check, which finds the
// server's date differing from the record, asks for the map once more: the copy on disk is
// unchanged (304), so nothing is transferred and the record is written.
TEST(JobTable, FixedTimeLeavesTheRecord)
{
    JobsRig rig;
    const QString older = JobsRig::serverDateText(JobsRig::ServerDate.addDays(-1));
    rig.records.DateTimeDownloadedFile(gw::endpoints::cloudMap(), older);

    cloudFixedTime(rig);
    EXPECT_EQ(rig.successLines("clouds_2000.jpg"), 1) << "fixed-time download";
    EXPECT_EQ(rig.recorded(gw::endpoints::cloudMap()), older) << "record unchanged";

    cloudInterval(rig);
    EXPECT_EQ(rig.successLines("clouds_2000.jpg"), 1) << "the interval check asks again, the server says unchanged";
    EXPECT_EQ(rig.linesContaining(" - Success: local copy of clouds_2000.jpg still up to date"), 1) << rig.logText();
    EXPECT_TRUE(rig.isRecorded(gw::endpoints::cloudMap())) << "and records it";

    cloudInterval(rig);
    EXPECT_EQ(rig.successLines("clouds_2000.jpg"), 1) << "then it is fresh";
}
