// The scheduler drives the real jobs through one simulated hour against the loopback server:
// the cloud map arrives by interval and at its fixed times, verified against its MD5 sum, and
// the earthquake and TLE lists arrive at the first list period.
#include "JobsRig.h"

#include "scheduler/CentralScheduler.h"
#include "scheduler/SystemState.h"

#include <cmath>

using namespace gwtest;

namespace {

struct Event
{
    gw::TDateTime at;
    QString line;
};

// Seconds since the start of the day of `start`.
double secondsOf(gw::TDateTime t)
{
    return (t - std::floor(t)) * 86400.0;
}

} // namespace

TEST(JobsScheduler, OneHourOfTimedDownloads)
{
    JobsRig rig;
    TempDir power; // no battery there: on mains
    gw::SystemState system(rig.settings, rig.clock, power.path(), [] { return false; });
    gw::CentralScheduler scheduler(rig.settings, rig.state, rig.log, rig.tray, rig.clock, system, rig.jobs);

    rig.settings.setChecked("Globewallenabled", true);
    rig.settings.setChecked("cbStartEveryXsec", false);
    rig.settings.setChecked("cbCheckForNewFile", true);
    rig.settings.setInteger("seCheckForNewFiles", 30);
    rig.settings.setChecked("cbDownload", true);
    rig.settings.setLines("mTime", { "12:20", "#12:30", "12:40" });
    rig.settings.setChecked("cbCheckForUpdate", true);
    rig.settings.setInteger("seDownloadChecksPerDay", 24);
    rig.settings.setChecked("cbAdjustTime", false);
    rig.settings.setChecked("cbExecuteFileAfterDownload", false);

    const gw::TDateTime start = 46000.5; // 12:00:00
    rig.clock.set(start);
    scheduler.seedStartTimes();

    std::vector<Event> events;
    qsizetype seen = 0;
    for (int tick = 1; tick <= 720; ++tick) { // 5 s apart: one hour
        rig.clock.set(start + tick * 5.0 / 86400.0);
        scheduler.CentralTimerTimer();
        for (; seen < rig.log.lines.size(); ++seen)
            events.push_back({ rig.clock.now(), rig.log.lines[seen] });
        ASSERT_FALSE(rig.state.TimedDownloadBusy) << "tick " << tick;
    }

    auto timesOf = [&](const QString& text) {
        std::vector<double> minutes;
        for (const Event& e : events)
            if (e.line.contains(text))
                minutes.push_back((secondsOf(e.at) - secondsOf(start)) / 60.0);
        return minutes;
    };
    auto near = [](const std::vector<double>& got, const std::vector<double>& want) {
        if (got.size() != want.size())
            return false;
        for (size_t i = 0; i < got.size(); ++i)
            if (std::abs(got[i] - want[i]) > 0.1) // within one tick
                return false;
        return true;
    };
    const auto str = [](const std::vector<double>& v) {
        std::string s;
        for (double d : v)
            s += std::to_string(d) + " ";
        return s;
    };
    std::string all;
    for (const Event& e : events)
        all += e.line.toStdString() + "\n";

    // The interval check at 12:01 fetches the map; at 12:31 it is fresh. The fixed times 12:20
    // and 12:40 fetch it regardless; the commented line never fires.
    const auto cloud = timesOf(" kb/s) - clouds_2000.jpg");
    EXPECT_TRUE(near(cloud, { 1, 20, 40 })) << "cloud map at minutes " << str(cloud) << "\n" << all;
    const auto md5 = timesOf(" - Correct MD5 sum (");
    EXPECT_TRUE(near(md5, { 1, 20, 40 })) << "MD5 verified at minutes " << str(md5);
    EXPECT_EQ(readFile(rig.cloudFile()), JobsRig::CloudMap);
    EXPECT_TRUE(rig.isRecorded(gw::endpoints::cloudMap()));

    // The first list period comes two minutes after start.
    const auto quake = timesOf(" kb/s) - quake.asc");
    EXPECT_TRUE(near(quake, { 2 })) << "earthquake list at minutes " << str(quake);
    const auto tle = timesOf(" kb/s) - stations.txt");
    EXPECT_TRUE(near(tle, { 2 })) << "TLE list at minutes " << str(tle);
    EXPECT_TRUE(readFile(rig.markerFile()).startsWith("35.50 139.80 \"HONSHU, JAPAN (5.1)\" color=green\r\n"));
    EXPECT_EQ(readFile(rig.tleFile()), readFile(testData("jobs/stations.txt")));

    EXPECT_EQ(rig.calls.renders, 4) << "a render after each cloud download, and one for the new markers and elements";
    EXPECT_EQ(rig.linesContaining("Can not connect"), 0);
    EXPECT_TRUE(rig.dialogs.asked.empty());
    EXPECT_FALSE(rig.state.CloudTimeDue);
}
