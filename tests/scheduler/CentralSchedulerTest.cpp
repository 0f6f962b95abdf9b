#include "SchedulerRig.h"

#include <gtest/gtest.h>

using namespace gwtest;

namespace {

const QString kUnreachable = QStringLiteral(" - Error. Can not connect to the internet. Waiting for next try.");

} // namespace

// ---- renders ----

TEST(SchedulerRender, RendersAtEveryTickWhenTheIntervalIsZeroOrNegative)
{
    for (int seconds : { 0, -5, -600 }) {
        SchedulerRig rig;
        rig.settings.setChecked(QStringLiteral("cbStartEveryXsec"), true);
        rig.settings.setInteger(QStringLiteral("SpinEdit"), seconds);
        rig.scheduler.seedStartTimes();
        rig.run(600);
        EXPECT_EQ(static_cast<int>(rig.jobs.renders.size()), rig.ticks) << "SpinEdit " << seconds;
    }
}

TEST(SchedulerRender, RendersOneIntervalAfterTheLastRenderEndedOverADay)
{
    SchedulerRig rig;
    rig.settings.setChecked(QStringLiteral("cbStartEveryXsec"), true);
    rig.jobs.renderSeconds = 3;
    const gw::TDateTime start = rig.clock.now();
    rig.scheduler.seedStartTimes();
    rig.run(86400);

    ASSERT_GE(rig.jobs.renders.size(), 140u);
    const double first = secondsBetween(start, rig.jobs.renders.front());
    EXPECT_GE(first, 600.0 - 1e-3) << "the first render waits one interval after start-up";
    EXPECT_LE(first, 605.0 + 1e-3);
    for (size_t i = 1; i < rig.jobs.renders.size(); ++i) {
        const double idle = secondsBetween(rig.jobs.renders[i - 1], rig.jobs.renders[i]) - rig.jobs.renderSeconds;
        EXPECT_GE(idle, 600.0 - 1e-3) << "render " << i;
        EXPECT_LE(idle, 605.0 + 1e-3) << "render " << i;
    }
}

TEST(SchedulerRender, LaunchAtStartRendersAtTheFirstTick)
{
    struct Case
    {
        const char* label;
        bool launchAtStart;
        size_t rendersInFirstMinute;
    };
    for (const Case& c : { Case { "launch at start", true, 1 }, Case { "no launch at start", false, 0 } }) {
        SchedulerRig rig;
        rig.settings.setChecked(QStringLiteral("cbStartEveryXsec"), true);
        rig.settings.setChecked(QStringLiteral("cbLaunchAtStart"), c.launchAtStart);
        rig.scheduler.seedStartTimes();
        rig.tick();
        EXPECT_EQ(rig.jobs.renders.size(), c.rendersInFirstMinute) << c.label << ": first tick";
        rig.run(60);
        EXPECT_EQ(rig.jobs.renders.size(), c.rendersInFirstMinute) << c.label << ": first minute";
    }
}

// A long render shifts the times seen by the later steps of the same tick.
TEST(SchedulerRender, StepsAfterALongRenderSeeTheLaterTime)
{
    SchedulerRig rig;
    rig.settings.setChecked(QStringLiteral("cbStartEveryXsec"), true);
    rig.settings.setChecked(QStringLiteral("cbLaunchAtStart"), true);
    rig.settings.setChecked(QStringLiteral("cbCheckForNewFile"), true);
    rig.jobs.renderSeconds = 120;
    rig.scheduler.seedStartTimes(); // the cloud check is due one minute from now
    rig.tick();
    ASSERT_EQ(rig.jobs.renders.size(), 1u);
    ASSERT_EQ(rig.jobs.cloudChecks.size(), 1u) << "the cloud check became due while the render ran";
    EXPECT_NEAR(secondsBetween(rig.jobs.renders[0], rig.jobs.cloudChecks[0]), 120.0, 1e-3);
}

// ---- the interval cloud check and the list ----

TEST(SchedulerCloud, FirstCheckOneMinuteAfterStartThenEveryThirtyMinutes)
{
    SchedulerRig rig;
    rig.settings.setChecked(QStringLiteral("cbCheckForNewFile"), true);
    const gw::TDateTime start = rig.clock.now();
    rig.scheduler.seedStartTimes();
    rig.run(3 * 3600);

    ASSERT_GE(rig.jobs.cloudChecks.size(), 6u);
    const double first = secondsBetween(start, rig.jobs.cloudChecks.front());
    EXPECT_GE(first, 60.0 - 1e-3);
    EXPECT_LE(first, 65.0 + 1e-3);
    for (size_t i = 1; i < rig.jobs.cloudChecks.size(); ++i) {
        const double gap = secondsBetween(rig.jobs.cloudChecks[i - 1], rig.jobs.cloudChecks[i]);
        EXPECT_GE(gap, 1800.0 - 1e-3) << "check " << i;
        EXPECT_LE(gap, 1805.0 + 1e-3) << "check " << i;
    }
}

TEST(SchedulerList, FirstDownloadTwoMinutesAfterStartThenOncePerPeriod)
{
    SchedulerRig rig;
    rig.settings.setChecked(QStringLiteral("cbCheckForUpdate"), true);
    rig.settings.setInteger(QStringLiteral("seDownloadChecksPerDay"), 4);
    const gw::TDateTime start = rig.clock.now();
    rig.scheduler.seedStartTimes();
    rig.run(86400);

    ASSERT_EQ(rig.jobs.listDownloads.size(), 4u);
    const double first = secondsBetween(start, rig.jobs.listDownloads.front());
    EXPECT_GE(first, 120.0 - 1e-3);
    EXPECT_LE(first, 125.0 + 1e-3);
    EXPECT_GE(secondsBetween(rig.jobs.listDownloads[0], rig.jobs.listDownloads[1]), 6 * 3600.0 - 1e-3);
}

TEST(SchedulerList, NoDownloadWhenTimesPerDayIsZero)
{
    SchedulerRig rig;
    rig.settings.setChecked(QStringLiteral("cbCheckForUpdate"), true);
    rig.settings.setInteger(QStringLiteral("seDownloadChecksPerDay"), 0);
    rig.scheduler.seedStartTimes();
    EXPECT_EQ(rig.state.LastFileCheckTime, 0.0) << "the start-up step leaves it alone";
    rig.run(86400);
    EXPECT_TRUE(rig.jobs.listDownloads.empty());
}

// ---- reachability ----

TEST(SchedulerReachability, TheLastTestOfATickDecides)
{
    struct Case
    {
        const char* label;
        bool cloudOk;
        bool listOk;
        bool errorLine;
    };
    for (const Case& c : { Case { "cloud fails, list succeeds", false, true, false },
             Case { "cloud succeeds, list fails", true, false, true }, Case { "both fail", false, false, true },
             Case { "both succeed", true, true, false } }) {
        SchedulerRig rig;
        rig.settings.setChecked(QStringLiteral("cbCheckForNewFile"), true);
        rig.settings.setChecked(QStringLiteral("cbCheckForUpdate"), true);
        rig.jobs.cloudReachable = c.cloudOk;
        rig.jobs.listReachable = c.listOk;
        rig.tick(); // both due: their time stamps are still 0
        ASSERT_EQ(rig.jobs.cloudChecks.size(), 1u) << c.label;
        ASSERT_EQ(rig.jobs.listDownloads.size(), 1u) << c.label;
        EXPECT_EQ(rig.log.lines.size(), c.errorLine ? 1 : 0) << c.label;
        if (c.errorLine)
            continue;
        if (!c.cloudOk) {
            EXPECT_EQ(rig.state.LastCloudCheckTime, 0.0) << c.label;
            rig.run(55);
            EXPECT_EQ(rig.jobs.cloudChecks.size(), 1u) << c.label << ": not before a minute has passed";
            rig.run(5);
            EXPECT_EQ(rig.jobs.cloudChecks.size(), 2u) << c.label << ": tried again a minute later";
        }
    }
}

TEST(SchedulerReachability, UnreachableNetworkWritesOneLineAndTriesEachJobAMinuteLater)
{
    SchedulerRig rig;
    rig.settings.setChecked(QStringLiteral("cbCheckForNewFile"), true);
    rig.settings.setChecked(QStringLiteral("cbCheckForUpdate"), true);
    rig.jobs.cloudReachable = false;
    rig.jobs.listReachable = false;
    rig.jobs.jobSeconds = 3;
    rig.state.CloudTimeDue = true;
    rig.tick();

    const gw::TDateTime afterJobs = rig.clock.now();
    ASSERT_EQ(rig.log.lines.size(), 1);
    EXPECT_EQ(rig.log.lines[0],
        gw::DateTimeToStr(afterJobs) + kUnreachable + " Next try at "
            + gw::DateTimeToStr(afterJobs + 60 * gw::OneSecond) + " (waiting: cloud check, download list)");
    EXPECT_EQ(rig.state.LastCloudCheckTime, 0.0) << "the interval is not restarted";
    EXPECT_EQ(rig.state.LastFileCheckTime, 0.0) << "the daily list is not moved a day";
    EXPECT_TRUE(rig.state.CloudTimeDue) << "the pending fixed-time download stays pending";

    rig.jobs.cloudReachable = true;
    rig.jobs.listReachable = true;
    rig.run(50);
    EXPECT_EQ(rig.jobs.cloudChecks.size(), 1u) << "no new test within the minute";
    rig.run(10);
    EXPECT_EQ(rig.jobs.cloudChecks.size(), 2u) << "the cloud check a minute after its failed test";
    EXPECT_EQ(rig.jobs.listDownloads.size(), 2u) << "the list a minute after its own";
    ASSERT_EQ(rig.log.lines.size(), 2) << "offline is one state: one line when it ends";
    EXPECT_TRUE(rig.log.lines[1].endsWith(
        QStringLiteral(" - Connected to the internet again (offline since ") + gw::DateTimeToStr(afterJobs) + ")"));
}

// ---- the gate ----

TEST(SchedulerGate, ABusyFlagStartsNothingAndAsksNothing)
{
    struct Case
    {
        const char* label;
        bool gw::AppState::*flag;
    };
    for (const Case& c :
        { Case { "DownloadBusy", &gw::AppState::DownloadBusy }, Case { "RenderBusy", &gw::AppState::RenderBusy },
            Case { "TimedDownloadBusy", &gw::AppState::TimedDownloadBusy },
            Case { "PingBusy", &gw::AppState::PingBusy } }) {
        SchedulerRig rig;
        rig.switchOn({ "cbStartEveryXsec", "cbCheckForNewFile", "cbCheckForUpdate" });
        rig.settings.setInteger(QStringLiteral("SpinEdit"), 0);
        rig.screensaver = true;
        rig.state.*c.flag = true;
        rig.run(60);
        EXPECT_EQ(rig.jobs.calls(), 0) << c.label;
        EXPECT_EQ(rig.screensaverQueries, 0) << c.label << ": the screensaver is not asked";
        EXPECT_EQ(rig.tray.frame, 0) << c.label << ": the tray image is still set";
    }
}

TEST(SchedulerGate, ScreensaverStopsEverythingAndLogsEachTick)
{
    SchedulerRig rig;
    rig.settings.setChecked(QStringLiteral("cbStartEveryXsec"), true);
    rig.settings.setInteger(QStringLiteral("SpinEdit"), 0);
    rig.settings.setInteger(QStringLiteral("DebugLevel"), 1);
    rig.onMains();
    rig.screensaver = true;
    rig.run(15);
    EXPECT_EQ(rig.jobs.calls(), 0);
    const QStringList lines = rig.logLines(QStringLiteral("Globewall.ScreenSaver.log"));
    ASSERT_EQ(lines.size(), 3) << "one line per tick";
    EXPECT_EQ(lines.last(), gw::DateTimeToStr(rig.clock.now()) + QStringLiteral(": Screensaver is active"));

    rig.settings.setChecked(QStringLiteral("ScreensaverDetection"), false);
    rig.run(5);
    EXPECT_EQ(rig.jobs.renders.size(), 1u) << "detection off: the screensaver counts as not running";
    EXPECT_EQ(rig.logLines(QStringLiteral("Globewall.ScreenSaver.log")).size(), 3);
}

TEST(SchedulerGate, BatteryStopsEverythingOnlyWhenSoSet)
{
    struct Case
    {
        const char* label;
        bool dontUseOnBattery;
        bool batteryDetection;
        bool runs;
        int batteryLinesPerTick;
    };
    for (const Case& c :
        { Case { "don't run on battery", true, true, false, 2 }, Case { "run on battery", false, true, true, 2 },
            Case { "battery detection off", true, false, true, 0 } }) {
        SchedulerRig rig;
        rig.settings.setChecked(QStringLiteral("cbStartEveryXsec"), true);
        rig.settings.setInteger(QStringLiteral("SpinEdit"), 0);
        rig.settings.setInteger(QStringLiteral("DebugLevel"), 1);
        rig.settings.setChecked(QStringLiteral("cbDontUseOnBattery"), c.dontUseOnBattery);
        rig.settings.setChecked(QStringLiteral("BatteryDetection"), c.batteryDetection);
        rig.onBattery();
        rig.run(20);
        EXPECT_EQ(rig.jobs.renders.size(), c.runs ? 4u : 0u) << c.label;
        const QStringList lines = rig.logLines(QStringLiteral("Globewall.battery.log"));
        EXPECT_EQ(lines.size(), 4 * c.batteryLinesPerTick) << c.label << ": the gate and the tray image each ask";
        if (!lines.isEmpty()) {
            EXPECT_TRUE(lines.last().endsWith(QStringLiteral(": Running on Battery"))) << c.label;
        }
    }
}

TEST(SchedulerGate, MasterSwitchOffStartsNothing)
{
    SchedulerRig rig;
    rig.switchOn({ "cbStartEveryXsec", "cbCheckForNewFile", "cbCheckForUpdate", "cbDownload" });
    rig.settings.setLines(QStringLiteral("mTime"), { QStringLiteral("00:00"), QStringLiteral("00:01") });
    rig.settings.setChecked(QStringLiteral("Globewallenabled"), false);
    rig.run(600);
    EXPECT_EQ(rig.jobs.calls(), 0);
}

// ---- the tray image at the end of every tick ----

TEST(SchedulerTray, ImageAtTheEndOfEachTick)
{
    struct Case
    {
        const char* label;
        bool battery;
        bool enabled;
        gw::TrayList list;
        std::vector<int> frames;
    };
    const std::vector<Case> cases = {
        { "mains, enabled", false, true, gw::TrayList::Globe, { 0, 0, 0, 0 } },
        { "mains, disabled", false, false, gw::TrayList::Globe, { 25, 25, 25, 25 } },
        { "battery, enabled: Bat and globe alternate", true, true, gw::TrayList::Globe, { 24, 0, 24, 0 } },
        { "battery, disabled: the crossed globe stays", true, false, gw::TrayList::Globe, { 25, 25, 25, 25 } },
        { "progress list shown, disabled", false, false, gw::TrayList::Percent, { 14, 14, 14, 14 } },
        { "progress list shown, battery", true, true, gw::TrayList::Percent, { 13, 0, 13, 0 } },
    };
    for (const Case& c : cases) {
        SchedulerRig rig;
        rig.settings.setChecked(QStringLiteral("cbDontUseOnBattery"), false);
        rig.settings.setChecked(QStringLiteral("Globewallenabled"), c.enabled);
        if (c.battery)
            rig.onBattery();
        else
            rig.onMains();
        rig.tray.list = c.list;
        rig.run(20);
        EXPECT_EQ(rig.tray.history, c.frames) << c.label;
    }
}

// ---- errors inside a tick ----

TEST(SchedulerErrors, AnErrorInATimedJobDoesNotLeaveTimedDownloadBusySet)
{
    for (const char* job : { "cbCheckForNewFile", "cbCheckForUpdate" }) {
        SchedulerRig rig;
        rig.settings.setChecked(QString::fromLatin1(job), true);
        rig.jobs.throwInJob = true;
        EXPECT_THROW(rig.tick(), gw::Error) << job;
        EXPECT_FALSE(rig.state.TimedDownloadBusy) << job;

        rig.jobs.throwInJob = false;
        const int before = rig.jobs.calls();
        rig.clock.advanceSeconds(5);
        rig.tick();
        EXPECT_EQ(rig.jobs.calls(), before + 1) << job << ": the next tick starts the job again";
        EXPECT_EQ(rig.tray.frame, 0) << job;
    }
}

TEST(SchedulerErrors, AnUnwritableDiagnosticLogEndsTheTickWithAnError)
{
    SchedulerRig rig;
    rig.settings.setInteger(QStringLiteral("DebugLevel"), 1);
    rig.screensaver = true;
    gw::setProgramDir(rig.dir.file(QStringLiteral("missing-folder")));
    EXPECT_THROW(rig.tick(), gw::Error);
    rig.screensaver = false;
    rig.tick();
    EXPECT_EQ(rig.tray.frame, 0) << "the next tick runs normally";
}

// All of it at once for a simulated day: renders, cloud checks, fixed times and the list.
TEST(SchedulerDay, ADayWithEverythingSwitchedOn)
{
    SchedulerRig rig;
    rig.switchOn({ "cbStartEveryXsec", "cbCheckForNewFile", "cbCheckForUpdate", "cbDownload" });
    rig.settings.setLines(QStringLiteral("mTime"), { QStringLiteral("07:30"), QStringLiteral("19:30") });
    rig.jobs.renderSeconds = 1;
    rig.jobs.jobSeconds = 1;
    rig.scheduler.seedStartTimes();
    rig.run(86400);
    EXPECT_GE(rig.jobs.renders.size(), 140u);
    EXPECT_LE(rig.jobs.renders.size(), 144u);
    EXPECT_GE(rig.jobs.cloudChecks.size(), 47u);
    EXPECT_LE(rig.jobs.cloudChecks.size(), 48u);
    EXPECT_EQ(rig.jobs.fixedDownloads.size(), 2u);
    EXPECT_EQ(rig.jobs.listDownloads.size(), 1u);
    EXPECT_TRUE(rig.log.lines.isEmpty());
}
