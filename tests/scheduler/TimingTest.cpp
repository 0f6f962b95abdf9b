// Intervals on the boot clock through wall-clock steps, and when the scheduler wakes next.
#include "SchedulerRig.h"
#include "scheduler/NetworkGate.h"

#include <gtest/gtest.h>

using namespace gwtest;

namespace {

class FixedHold : public gw::NetworkGate
{
public:
    double downloadsHeldFor(double) const override { return seconds; }
    bool waitsForUnmetered(Download download, bool due) override
    {
        meteredQuestions += due ? 1 : 0;
        return download == Download::Cloud ? cloudMetered : listMetered;
    }
    double seconds = 0;
    bool cloudMetered = false;
    bool listMetered = false;
    int meteredQuestions = 0;
};

} // namespace

// Renders every ten minutes, the cloud every thirty, the list four times a day; then the wall
// clock is set and the next three hours are counted.
TEST(SchedulerClockSteps, IntervalsKeepTheirLengthWhenTheClockIsSet)
{
    struct Case
    {
        const char* label;
        double step; // seconds
    };
    for (const Case& c : { Case { "set back an hour", -3600 }, Case { "set forward an hour", 3600 },
             Case { "set forward a day", 86400 }, Case { "set back a day", -86400 }, Case { "not set", 0 } }) {
        SchedulerRig rig;
        rig.switchOn({ "cbStartEveryXsec", "cbCheckForNewFile", "cbCheckForUpdate" });
        rig.settings.setInteger(QStringLiteral("seDownloadChecksPerDay"), 4);
        rig.scheduler.seedStartTimes();
        rig.run(3600);
        const size_t renders = rig.jobs.renders.size();
        const size_t clouds = rig.jobs.cloudChecks.size();
        const size_t lists = rig.jobs.listDownloads.size();
        rig.clock.stepWall(c.step);
        rig.run(5);
        EXPECT_EQ(rig.jobs.calls(), static_cast<int>(renders + clouds + lists)) << c.label << ": nothing at once";
        rig.run(3 * 3600 - 5);
        EXPECT_EQ(rig.jobs.renders.size() - renders, 18u) << c.label;
        EXPECT_EQ(rig.jobs.cloudChecks.size() - clouds, 6u) << c.label;
        EXPECT_EQ(rig.jobs.listDownloads.size() - lists, 0u) << c.label << ": the list keeps its six hours";
        EXPECT_TRUE(rig.log.lines.isEmpty()) << c.label;
    }
}

TEST(SchedulerWake, SecondsUntilSomethingIsDue)
{
    struct Case
    {
        const char* label;
        bool justRendered; // renders every ten minutes, the last one now
        QStringList times; // the fixed-time download's, when on
        std::function<void(SchedulerRig&)> arrange; // then, if any
        double expected;
    };
    const std::vector<Case> cases = {
        { "nothing switched on sleeps the longest", false, {}, {}, 3600 },
        { "a render just finished", true, {}, {}, 600 },
        { "a render overdue", true, {}, [](SchedulerRig& r) { r.state.LastRenderTime -= 1; }, -86400 + 600 },
        { "a busy flag: a render due looks again at the next tick", true, {},
            [](SchedulerRig& r) {
                r.state.RenderBusy = true;
                r.state.LastRenderTime -= 600 * gw::OneSecond;
            },
            5 },
        { "a busy flag: a render not due yet keeps its moment", true, {},
            [](SchedulerRig& r) { r.state.RenderBusy = true; }, 600 },
        { "screensaver on: its end is an event", true, {}, [](SchedulerRig& r) { r.screensaver = true; }, 3600 },
        { "switched off", true, {}, [](SchedulerRig& r) { r.switchOn({ "Globewallenabled" }, false); }, 3600 },
        { "a listed time half an hour ahead", false, { "#00:10", "00:30" }, {}, 1800 - 2.5 },
        { "a listed time just passed comes tomorrow, capped", false, { "00:00" },
            [](SchedulerRig& r) { r.clock.advanceSeconds(60); }, 3600 },
        { "a pending download after its failed test", false, { "00:00" },
            [](SchedulerRig& r) {
                r.jobs.fixedReachable = false;
                r.tick();
            },
            60 },
    };
    for (const Case& c : cases) {
        SchedulerRig rig;
        if (c.justRendered) {
            rig.switchOn({ "cbStartEveryXsec" });
            rig.state.LastRenderTime = rig.clock.now();
        }
        if (!c.times.isEmpty())
            rig.downloadAt(c.times);
        if (c.arrange)
            c.arrange(rig);
        EXPECT_NEAR(rig.scheduler.secondsUntilDue(), c.expected, 0.01) << c.label;
    }
}

TEST(SchedulerWake, DownloadsHeldAfterAResumeWaitForTheNetwork)
{
    SchedulerRig rig;
    rig.switchOn({ "cbCheckForNewFile", "cbStartEveryXsec" });
    rig.settings.setInteger(QStringLiteral("SpinEdit"), 0);
    FixedHold hold;
    hold.seconds = gw::NetworkGate::Forever;
    rig.scheduler.setNetworkGate(&hold);
    rig.run(60);
    EXPECT_TRUE(rig.jobs.cloudChecks.empty()) << "held: no test, no error";
    EXPECT_FALSE(rig.jobs.renders.empty()) << "renders need no network";
    EXPECT_TRUE(rig.log.lines.isEmpty());
    rig.switchOn({ "cbStartEveryXsec" }, false);
    EXPECT_EQ(rig.scheduler.secondsUntilDue(), 3600) << "the network's event ends the wait";
    hold.seconds = 0;
    rig.run(5);
    EXPECT_EQ(rig.jobs.cloudChecks.size(), 1u);
}

TEST(SchedulerWake, ADownloadHeldForAMeteredConnectionWaitsForTheNetworksEvent)
{
    struct Case
    {
        const char* label;
        bool cloudMetered;
        bool listMetered;
        size_t clouds;
        size_t lists;
    };
    for (const Case& c :
        { Case { "the cloud map waits", true, false, 0, 1 }, Case { "the list waits", false, true, 1, 0 },
            Case { "nothing waits", false, false, 1, 1 }, Case { "both wait", true, true, 0, 0 } }) {
        SchedulerRig rig;
        rig.switchOn({ "cbCheckForNewFile", "cbCheckForUpdate" });
        FixedHold hold;
        hold.cloudMetered = c.cloudMetered;
        hold.listMetered = c.listMetered;
        rig.scheduler.setNetworkGate(&hold);
        rig.run(60);
        EXPECT_EQ(rig.jobs.cloudChecks.size(), c.clouds) << c.label;
        EXPECT_EQ(rig.jobs.listDownloads.size(), c.lists) << c.label;
        if (c.cloudMetered && c.listMetered) {
            EXPECT_EQ(rig.scheduler.secondsUntilDue(), gw::CentralScheduler::LongestSleepSeconds)
                << c.label << ": the network's event ends the wait";
        }
    }
}

// The real timer: after each tick it sleeps until something is due (at least a tick), so
// a day of renders every ten minutes wakes about once per render.
TEST(SchedulerWake, ADayAsleepBetweenDueMoments)
{
    SchedulerRig rig;
    rig.switchOn({ "cbStartEveryXsec", "cbCheckForUpdate" });
    rig.downloadAt({ "07:30" });
    rig.jobs.renderSeconds = 1;
    rig.scheduler.seedStartTimes();
    const gw::TDateTime end = rig.clock.now() + 1.0;
    int wakes = 0;
    for (;;) {
        const double wait = rig.scheduler.secondsUntilDue();
        const double sleep = wait > 0 ? wait : gw::CentralScheduler::TickSeconds;
        if (rig.clock.now() + sleep / 86400.0 > end)
            break;
        rig.clock.advanceSeconds(sleep);
        rig.tick();
        ++wakes;
    }
    EXPECT_GE(rig.jobs.renders.size(), 143u);
    EXPECT_EQ(rig.jobs.listDownloads.size(), 1u);
    EXPECT_EQ(rig.jobs.fixedDownloads.size(), 1u);
    EXPECT_LE(wakes, 150) << "one wake per render, and one for each other job";
}
