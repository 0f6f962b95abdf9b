#pragma once
// The work the scheduler starts. The window fills it with the renderer launch and the three
// timed download jobs; tests hand in counting fakes.
#include "scheduler/Plan.h"

#include <optional>

namespace gw {

class TimedJobs
{
public:
    virtual ~TimedJobs() = default;
    // Renders once and returns when the renderer has ended.
    virtual void StartXPlanet() = 0;
    // Each download job begins with a reachability test and returns its result
    // (true when the network was reachable, or when no test was made).
    virtual bool cloudIntervalJob() = 0;
    virtual bool cloudFixedTimeJob() = 0;
    virtual bool listJob() = 0;
    // The rows of the list that name a built-in source and are due by its own pace, between
    // two passes of the whole list; the moment the first of them is due (0: now, none: no such row).
    virtual bool sourceRowsJob() { return true; }
    virtual std::optional<TDateTime> sourceRowsDue() const { return std::nullopt; }

    enum class Download { CloudInterval, CloudFixedTime, List };
    // What the job itself waits for after a failed attempt (its back-off), so the scheduler
    // sleeps until then instead of asking at every tick; no hold when nothing.
    virtual PlanHold ownHold(Download) const { return {}; }
    // The wall clock was set by `days`: moments the jobs keep on it move along.
    virtual void followClockStep(double /*days*/) { }
};

} // namespace gw
