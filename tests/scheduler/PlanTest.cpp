// The plan as a table: a state of the program and an event, and what comes next and why.
#include "scheduler/Plan.h"
#include "SchedulerRig.h"
#include "scheduler/NetworkGate.h"

#include <gtest/gtest.h>

using namespace gwtest;

namespace {

class HeldNetwork : public gw::NetworkGate
{
public:
    double downloadsHeldFor(double) const override { return seconds; }
    bool waitsForUnmetered(Download, bool) override { return metered; }
    double seconds = 0;
    bool metered = false;
};

// Renders every ten minutes (the last just now), the cloud map every thirty (checked just now).
struct PlanRig : SchedulerRig
{
    PlanRig()
    {
        switchOn({ "cbStartEveryXsec", "cbCheckForNewFile" });
        state.LastRenderTime = clock.now();
        state.LastCloudCheckTime = clock.now();
        scheduler.setNetworkGate(&network);
    }
    HeldNetwork network;
};

} // namespace

TEST(Plan, StateAndEventGiveTheNextMomentAndTheHold)
{
    using gw::HoldKind;
    struct Case
    {
        const char* label;
        std::function<void(PlanRig&)> event;
        double renderIn; // seconds; NAN: waits for an event
        HoldKind renderHold;
        double cloudIn;
        HoldKind cloudHold;
        const char* renderLine;
    };
    const double never = NAN;
    const std::vector<Case> cases = {
        { "idle", {}, 600, HoldKind::None, 1800, HoldKind::None, "next render 00:10" },
        { "switched off", [](PlanRig& r) { r.switchOn({ "Globewallenabled" }, false); }, never, HoldKind::SwitchedOff,
            never, HoldKind::SwitchedOff, "switched off: no renders" },
        { "screen locked", [](PlanRig& r) { r.screensaver = true; }, never, HoldKind::ScreenLocked, never,
            HoldKind::ScreenLocked, "screen locked: no renders" },
        { "on battery, renders not wanted then: looked at again, but nothing runs before it is due",
            [](PlanRig& r) {
                r.switchOn({ "cbDontUseOnBattery" });
                r.onBattery();
            },
            600, HoldKind::Battery, 1800, HoldKind::Battery, "on battery: no renders" },
        { "a render runs: what is due looks again a tick later",
            [](PlanRig& r) {
                r.state.RenderBusy = true;
                r.state.LastCloudCheckTime -= 1;
            },
            600, HoldKind::Busy, 5, HoldKind::Busy, "next render 00:10" },
        { "after a resume: downloads wait for the network at most two minutes",
            [](PlanRig& r) { r.network.seconds = 120; }, 600, HoldKind::None, 1800, HoldKind::NetworkAfterResume,
            "next render 00:10" },
        { "only the network's event ends a wait for it",
            [](PlanRig& r) { r.network.seconds = gw::NetworkGate::Forever; }, 600, HoldKind::None, never,
            HoldKind::NetworkAfterResume, "next render 00:10" },
        { "metered: renders go on, the map waits", [](PlanRig& r) { r.network.metered = true; }, 600, HoldKind::None,
            never, HoldKind::Metered, "next render 00:10" },
        { "offline: the map is tried a minute later",
            [](PlanRig& r) {
                r.state.LastCloudCheckTime = 0;
                r.jobs.cloudReachable = false;
                r.switchOn({ "cbStartEveryXsec" }, false);
                r.tick();
                r.switchOn({ "cbStartEveryXsec" });
            },
            600, HoldKind::None, 60, HoldKind::Offline, "next render 00:10" },
        { "the wall clock set back an hour: both keep their length",
            [](PlanRig& r) {
                r.scheduler.plan(); // seen before the step
                r.clock.stepWall(-3600);
            },
            600, HoldKind::None, 1800, HoldKind::None, "next render 23:10" },
    };
    for (const Case& c : cases) {
        PlanRig rig;
        if (c.event)
            c.event(rig);
        const gw::Plan plan = rig.scheduler.plan();
        const gw::TDateTime now = rig.clock.now();
        const auto check = [&](gw::PlanJob::Kind kind, double in, HoldKind hold, const char* what) {
            const gw::PlanJob* job = plan.find(kind);
            ASSERT_NE(job, nullptr) << c.label << ": " << what;
            EXPECT_EQ(job->hold.kind, hold) << c.label << ": " << what;
            const auto at = job->runsAt();
            if (std::isnan(in))
                EXPECT_FALSE(at.has_value()) << c.label << ": " << what << " waits for an event";
            else if (at)
                EXPECT_NEAR(secondsBetween(now, *at), in, 0.01) << c.label << ": " << what;
            else
                ADD_FAILURE() << c.label << ": " << what << " has no moment";
        };
        check(gw::PlanJob::Render, c.renderIn, c.renderHold, "render");
        check(gw::PlanJob::CloudCheck, c.cloudIn, c.cloudHold, "cloud map");
        EXPECT_EQ(plan.renderLine(now), QString::fromLatin1(c.renderLine)) << c.label;
    }
}

TEST(Plan, HoldLinesNameWhatWaitsTheLongestFirstAndOnceEach)
{
    const gw::TDateTime now = at(2024, 5, 14, 10, 0);
    gw::Plan plan;
    plan.add({ gw::PlanJob::Render, "timed render", now });
    plan.add({ gw::PlanJob::Row, "aurora", now, { gw::HoldKind::HostGap, now + 10 * gw::OneMinute } });
    plan.add({ gw::PlanJob::Row, "ISS", now, { gw::HoldKind::Stopped, 0, 0, "HTTP/1.1 403 Forbidden" } });
    plan.add({ gw::PlanJob::Row, "earthquakes", now, { gw::HoldKind::Offline, 0, now - 5 * gw::OneMinute } });
    plan.add({ gw::PlanJob::Row, "tropical storms", now, { gw::HoldKind::Offline, 0, now - 5 * gw::OneMinute } });
    EXPECT_EQ(plan.holdLines(now),
        QStringList({ "ISS downloads stopped (HTTP/1.1 403 Forbidden): \"Check downloads\" tries again",
            "offline since 09:55", "aurora: host gap until 10:10" }));
    EXPECT_EQ(plan.nextMoment(), now) << "the render; the held rows wait";
}

// A day of renders every ten minutes while a download waits in its back-off: the program
// sleeps until the next try instead of looking at every tick.
TEST(Plan, ABackOffIsSleptThrough)
{
    struct BackingOff : FakeJobs
    {
        using FakeJobs::FakeJobs;
        gw::PlanHold ownHold(Download d) const override
        {
            return d == Download::CloudInterval ? gw::PlanHold(gw::HoldKind::Backoff, until) : gw::PlanHold();
        }
        gw::TDateTime until = 0;
    };
    SchedulerRig rig;
    rig.switchOn({ "cbStartEveryXsec", "cbCheckForNewFile" });
    rig.state.LastRenderTime = rig.clock.now();
    BackingOff jobs(rig.state, rig.clock);
    gw::CentralScheduler scheduler(rig.settings, rig.state, rig.log, rig.tray, rig.clock, rig.system, jobs);
    jobs.until = rig.clock.now() + 3600 * gw::OneSecond;
    EXPECT_NEAR(scheduler.secondsUntilDue(), 600, 0.01) << "the cloud check is due, but waits an hour";
    rig.state.LastRenderTime += 3600 * gw::OneSecond;
    EXPECT_NEAR(scheduler.secondsUntilDue(), 3600, 0.01) << "the end of the back-off";
}
