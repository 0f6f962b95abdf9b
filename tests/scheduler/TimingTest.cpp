// Intervals on the boot clock through wall-clock steps, and when the scheduler wakes next.
#include "SchedulerRig.h"
#include "scheduler/NetworkGate.h"

#include <gtest/gtest.h>

using namespace gwtest;

namespace {

size_t countFrom(const std::vector<gw::TDateTime>& times, size_t from)
{
    return times.size() - from;
}

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
        for (const char* name : { "cbStartEveryXsec", "cbCheckForNewFile", "cbCheckForUpdate" })
            rig.settings.setChecked(QString::fromLatin1(name), true);
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
        EXPECT_EQ(countFrom(rig.jobs.renders, renders), 18u) << c.label;
        EXPECT_EQ(countFrom(rig.jobs.cloudChecks, clouds), 6u) << c.label;
        EXPECT_EQ(countFrom(rig.jobs.listDownloads, lists), 0u) << c.label << ": the list keeps its six hours";
        EXPECT_TRUE(rig.log.lines.isEmpty()) << c.label;
    }
}

TEST(SchedulerWake, SecondsUntilSomethingIsDue)
{
    struct Case
    {
        const char* label;
        std::function<void(SchedulerRig&)> arrange;
        double expected;
    };
    const auto render = [](SchedulerRig& r) {
        r.settings.setChecked(QStringLiteral("cbStartEveryXsec"), true);
        r.state.LastRenderTime = r.clock.now();
    };
    const std::vector<Case> cases = {
        { "nothing switched on sleeps the longest", [](SchedulerRig&) {}, 3600 },
        { "a render just finished", render, 600 },
        { "a render overdue",
            [&](SchedulerRig& r) {
                render(r);
                r.state.LastRenderTime -= 1;
            },
            -86400 + 600 },
        { "a busy flag: look again at the next tick",
            [&](SchedulerRig& r) {
                render(r);
                r.state.RenderBusy = true;
            },
            5 },
        { "screensaver on: its end is an event",
            [&](SchedulerRig& r) {
                render(r);
                r.screensaver = true;
            },
            3600 },
        { "switched off",
            [&](SchedulerRig& r) {
                render(r);
                r.settings.setChecked(QStringLiteral("Globewallenabled"), false);
            },
            3600 },
        { "a listed time half an hour ahead",
            [](SchedulerRig& r) {
                r.settings.setChecked(QStringLiteral("cbDownload"), true);
                r.settings.setLines(QStringLiteral("mTime"), { QStringLiteral("#00:10"), QStringLiteral("00:30") });
            },
            1800 - 2.5 },
        { "a listed time just passed comes tomorrow, capped",
            [](SchedulerRig& r) {
                r.settings.setChecked(QStringLiteral("cbDownload"), true);
                r.settings.setLines(QStringLiteral("mTime"), { QStringLiteral("00:00") });
                r.clock.advanceSeconds(60);
            },
            3600 },
        { "a pending download after its failed test",
            [](SchedulerRig& r) {
                r.settings.setChecked(QStringLiteral("cbDownload"), true);
                r.settings.setLines(QStringLiteral("mTime"), { QStringLiteral("00:00") });
                r.jobs.fixedReachable = false;
                r.tick();
            },
            60 },
    };
    for (const Case& c : cases) {
        SchedulerRig rig;
        c.arrange(rig);
        EXPECT_NEAR(rig.scheduler.secondsUntilDue(), c.expected, 0.01) << c.label;
    }
}

TEST(SchedulerWake, DownloadsHeldAfterAResumeWaitForTheNetwork)
{
    SchedulerRig rig;
    rig.settings.setChecked(QStringLiteral("cbCheckForNewFile"), true);
    rig.settings.setChecked(QStringLiteral("cbStartEveryXsec"), true);
    rig.settings.setInteger(QStringLiteral("SpinEdit"), 0);
    FixedHold hold;
    hold.seconds = gw::NetworkGate::Forever;
    rig.scheduler.setNetworkGate(&hold);
    rig.run(60);
    EXPECT_TRUE(rig.jobs.cloudChecks.empty()) << "held: no test, no error";
    EXPECT_FALSE(rig.jobs.renders.empty()) << "renders need no network";
    EXPECT_TRUE(rig.log.lines.isEmpty());
    rig.settings.setChecked(QStringLiteral("cbStartEveryXsec"), false);
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
        rig.settings.setChecked(QStringLiteral("cbCheckForNewFile"), true);
        rig.settings.setChecked(QStringLiteral("cbCheckForUpdate"), true);
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
    for (const char* name : { "cbStartEveryXsec", "cbCheckForUpdate", "cbDownload" })
        rig.settings.setChecked(QString::fromLatin1(name), true);
    rig.settings.setLines(QStringLiteral("mTime"), { QStringLiteral("07:30") });
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
