// A cloud map that fails its checks is no download, and a failed timed download is tried
// again after a growing wait instead of at every tick.
#include "JobsRig.h"

#include "downloads/RetryBackoff.h"
#include "scheduler/CentralScheduler.h"
#include "scheduler/SystemState.h"

#include <functional>

using namespace gwtest;

namespace {

struct NamedJob
{
    const char* label;
    std::function<void(JobsRig&)> run;
};

const NamedJob kCloudJobs[] = {
    { "cloud interval", [](JobsRig& r) { r.jobs.cloudIntervalJob(); } },
    { "cloud fixed-time",
        [](JobsRig& r) {
            r.state.CloudTimeDue = true;
            r.jobs.cloudFixedTimeJob();
        } },
    { "Check downloads", [](JobsRig& r) { r.jobs.btnCheckDownloadsClick(); } },
    { "cloud force button", [](JobsRig& r) { r.jobs.btnDownloadCloudNowClick(); } },
};

} // namespace

TEST(JobRetry, ARefusedCloudMapIsAFailedDownload)
{
    struct Answer
    {
        const char* name;
        QByteArray map;
        QByteArray md5sum; // empty: the map's own
    };
    const Answer answers[] = {
        { "a web page", "<html><body>Too many requests</body></html>", {} },
        { "a square picture", jpegOfSize(1024, 1024), {} },
        { "a wrong MD5 sum", JobsRig::CloudMap, "00000000000000000000000000000000\n" },
    };
    for (const Answer& answer : answers) {
        for (const NamedJob& job : kCloudJobs) {
            JobsRig rig;
            rig.serve("clouds_2000.jpg", answer.map);
            if (!answer.md5sum.isEmpty())
                rig.serve("md5sum", answer.md5sum);
            else
                rig.writeMd5(answer.map);
            writeFile(rig.cloudFile(), "previous");
            rig.state.CloudTimeDue = false;
            rig.state.LastCloudCheckTime = 1;
            // The cloud map alone: new list items would give a render of their own.
            rig.setRow(1, QString(), QString());
            rig.setRow(2, QString(), QString());

            job.run(rig);
            const std::string label = std::string(answer.name) + ", " + job.label;
            EXPECT_EQ(readFile(rig.cloudFile()), "previous") << label;
            EXPECT_TRUE(rig.calls.executed.isEmpty()) << label << ": no program after the download";
            EXPECT_EQ(rig.calls.renders, 0) << label;
            EXPECT_EQ(rig.calls.syncs, 0) << label;
            EXPECT_FALSE(rig.isRecorded(gw::endpoints::cloudMap())) << label << ": no record";
            EXPECT_EQ(rig.state.LastCloudCheckTime, 1) << label;
        }
    }
}

TEST(JobRetry, WaitsDoubleUpToAnHour)
{
    gw::RetryBackoff retry;
    const int expected[] = { 1, 2, 4, 8, 16, 32, 60, 60 };
    gw::TDateTime now = 46000.5;
    for (int minutes : expected) {
        retry.failed(now);
        EXPECT_NEAR((retry.nextTry() - now) * 24 * 60, minutes, 1e-6) << "after " << retry.failures() << " failures";
        EXPECT_TRUE(retry.waiting(retry.nextTry() - gw::OneSecond));
        EXPECT_FALSE(retry.waiting(retry.nextTry()));
        now = retry.nextTry();
    }
    retry.reset();
    EXPECT_FALSE(retry.waiting(now));
}

TEST(JobRetry, ALaterListedTimeEndsTheWait)
{
    const gw::TDateTime day = 46000;
    const auto at = [day](int h, int m, int s = 0) { return day + (h * 3600 + m * 60 + s) / 86400.0; };
    struct Row
    {
        const char* name;
        QStringList lines;
        gw::TDateTime failed;
        gw::TDateTime now;
        bool later;
    };
    const Row rows[] = {
        { "the time that failed", { "07:30" }, at(7, 30, 10), at(7, 45), false },
        { "the next time of the list", { "07:30", "07:40" }, at(7, 30, 10), at(7, 40), true },
        { "not yet come", { "07:30", "07:40" }, at(7, 30, 10), at(7, 39, 55), false },
        { "over midnight", { "23:59", "00:00" }, at(23, 59, 5), at(24, 0, 5), true },
        { "the same time the next day", { "07:30" }, at(7, 30, 10), at(31, 30), true },
        { "a comment and a malformed line", { "#7:40", "7:40", "07:4x" }, at(7, 30, 10), at(7, 45), false },
    };
    for (const Row& row : rows)
        EXPECT_EQ(gw::RetryBackoff::listedTimeBetween(row.lines, row.failed, row.now), row.later) << row.name;
}

// Ten minutes of ticks against a server that refuses the transfer: a handful of tries.
TEST(JobRetry, ATimedDownloadThatFailsIsTriedAHandfulOfTimes)
{
    struct Row
    {
        const char* name;
        bool fixedTime;
        QByteArray status;
    };
    const Row rows[] = {
        { "at a fixed time, 404", true, "404 Not Found" },
        { "by interval after a check that said new, 503", false, "503 Service Unavailable" },
    };
    for (const Row& row : rows) {
        JobsRig rig;
        HttpFaultServer flaky;
        std::atomic<int> transfers { 0 };
        flaky.route("/clouds.jpg", [&](HttpFaultServer::Exchange& e) {
            if (e.request.method == "HEAD") {
                e.respond("HTTP/1.1 200 OK", "", { "Last-Modified: Fri, 01 Mar 2024 06:00:00 GMT" });
            } else {
                ++transfers;
                e.respond("HTTP/1.1 " + row.status, "");
            }
        });
        ASSERT_TRUE(flaky.start());
        TempDir power; // no battery there: on mains
        gw::SystemState system(rig.settings, rig.clock, power.path(), [] { return false; });
        gw::CentralScheduler scheduler(rig.settings, rig.state, rig.log, rig.tray, rig.clock, system, rig.jobs);
        rig.settings.setText("edtWebAdress", flaky.url("/clouds.jpg"));
        rig.settings.setChecked("Globewallenabled", true);
        rig.settings.setChecked("cbStartEveryXsec", false);
        rig.settings.setChecked("cbCheckForUpdate", false);
        rig.settings.setChecked("cbDownload", row.fixedTime);
        rig.settings.setLines("mTime", { "12:00" });
        rig.settings.setChecked("cbCheckForNewFile", !row.fixedTime);
        rig.settings.setInteger("seCheckForNewFiles", 30);
        rig.state.LastCloudCheckTime = rig.clock.now() - 1;

        for (int tick = 0; tick < 120; ++tick) {
            scheduler.CentralTimerTimer();
            rig.clock.advanceSeconds(5);
        }
        // Tries at 0, 1, 3 and 7 minutes.
        EXPECT_EQ(transfers.load(), 4) << row.name << "\n" << rig.logText();
        EXPECT_EQ(rig.linesContaining(" - clouds_2000.jpg will be tried again at "), 4) << row.name;
        EXPECT_EQ(rig.calls.renders + rig.calls.syncs + rig.calls.executed.size(), 0) << row.name;
    }
}
