#pragma once
// The one place that decides what runs on its own: every tick of CentralTimer checks that
// nothing else runs and that the computer may work, then starts, in a fixed order, a render,
// the interval cloud check, the fixed-time cloud download and the download of the file list,
// and last sets the tray image. Between ticks it plans what comes next (Plan.h): each job's
// next due moment and what holds it, and the timer sleeps until the plan's earliest moment.
#include "scheduler/NetworkGate.h"
#include "scheduler/Plan.h"
#include "shared/Clock.h"

#include <QHash>
#include <QString>
#include <optional>

namespace gw {

struct AppState;
class LogSink;
class SettingsAccess;
class SystemState;
class TimedJobs;
class TrayImage;

// Hour and minute of a line of mTime when it takes part: exactly five characters, not
// beginning with "#", characters 1-2 and 4-5 both whole numbers (the third is not looked at).
struct ClockTime
{
    int hour = 0;
    int minute = 0;
};
std::optional<ClockTime> parseTimeLine(const QString& line);

class CentralScheduler
{
public:
    // A failed reachability test tries its own job again this much later.
    static constexpr double RetrySeconds = 60;
    // The shortest wait after a tick that left something due (a failed download, a busy flag).
    static constexpr double TickSeconds = 5;
    // The longest sleep: a change that no event reports is seen at the latest this much later.
    static constexpr double LongestSleepSeconds = 3600;

    CentralScheduler(SettingsAccess& settings, AppState& state, LogSink& transferLog, TrayImage& tray,
        const Clock& clock, SystemState& system, TimedJobs& jobs);

    // One tick of CentralTimer.
    void CentralTimerTimer();

    // The start times set by the start-up step, just before CentralTimer is enabled.
    void seedStartTimes();

    // Optional: what holds the timed downloads after a resume or on a metered connection.
    // Null: nothing holds them.
    void setNetworkGate(NetworkGate* gate) { m_network = gate; }

    // The wall clock was set: the time stamps move with it, so every interval keeps the
    // length it has on the boot clock. Called at each tick, and when the system reports a
    // change of the clock.
    void followClockSteps();

    // Seconds from now until the next tick can start something; not above
    // LongestSleepSeconds, and 0 or less when something is due now. Asks the state without
    // writing diagnostic lines.
    double secondsUntilDue();

    // The timed jobs as they stand: each one's due moment and hold. Asks the state without
    // writing diagnostic lines.
    Plan plan();

    // The tray's picture for the state: the crossed globe when switched off, the battery on
    // battery. Set at each tick and whenever the plan changes.
    void setTrayImage();

    // Since when the reachability test fails; 0 while it passes.
    TDateTime offlineSince() const { return m_offlineSince; }

private:
    enum Job { CloudJob, FixedJob, ListJob, JobCount };

    bool gatePassed();
    void intervalRender();
    void intervalCloudCheck(bool& pingOk);
    void fixedTimeCloudDownload(bool& pingOk);
    void periodicListDownload(bool& pingOk);
    void unreachable();
    void reachableAgain();
    // The hold a download job waits in, beyond those of the whole program; none when it may run.
    PlanHold downloadHold(Job job, double bootNow, double heldFor);

    bool enabled() const;
    // A job whose reachability test failed waits until this moment of the boot clock.
    bool retryWaiting(Job job) const;
    void reachabilityResult(Job job, bool reachable, bool& pingOk);
    bool downloadsHeld() const;
    bool waitsForUnmetered(NetworkGate::Download download, bool due = true);
    // Seconds until the next listed time that has not fired today; nothing without one.
    std::optional<double> secondsUntilNextListedTime() const;

    SettingsAccess& m_settings;
    AppState& m_state;
    LogSink& m_log;
    TrayImage& m_tray;
    const Clock& m_clock;
    SystemState& m_system;
    TimedJobs& m_jobs;
    NetworkGate* m_network = nullptr;

    double m_retryAt[JobCount] = {}; // boot-clock seconds
    // Wall clock minus boot clock at the last look, in seconds.
    std::optional<double> m_wallMinusBoot;
    // The day (Julian day number) on which each listed time of day (minutes since midnight)
    // last fired: each fires once a day, however the clock moves within the day.
    QHash<int, qint64> m_firedOn;
    TDateTime m_offlineSince = 0;
    bool m_tested = false; // a reachability test was made in this tick
};

} // namespace gw
