#include "scheduler/CentralScheduler.h"

#include "scheduler/NetworkGate.h"
#include "scheduler/SystemState.h"
#include "scheduler/TimedJobs.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/AppState.h"
#include "shared/LogSink.h"
#include "shared/TrayImage.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <utility>

namespace gw {

namespace {

    // "times per day" to days, and the lead of the first list download after start (two minutes).
    constexpr double kFirstListDownloadLead = 0.00138888888888;

    // The interval has passed unless it is still greater than the time elapsed.
    bool due(double interval, TDateTime now, TDateTime last)
    {
        return !(interval > now - last);
    }

    int twoDigits(QChar a, QChar b)
    {
        if (a < u'0' || a > u'9' || b < u'0' || b > u'9')
            return -1;
        return (a.unicode() - u'0') * 10 + (b.unicode() - u'0');
    }

    // A wall clock that moved by less than this against the boot clock was slewed, not set.
    constexpr double kStepSeconds = 1.0;

    // A timed job holds TimedDownloadBusy while it runs and clears it when done; an error that
    // ends the tick inside the job must not leave it set, or no scheduled job would start again.
    class ClearOnExit
    {
    public:
        explicit ClearOnExit(bool& flag)
            : m_flag(flag)
        {
        }
        ~ClearOnExit() { m_flag = false; }
        ClearOnExit(const ClearOnExit&) = delete;
        ClearOnExit& operator=(const ClearOnExit&) = delete;

    private:
        bool& m_flag;
    };

} // namespace

std::optional<ClockTime> parseTimeLine(const QString& line)
{
    if (line.size() != 5 || line.startsWith(QLatin1Char('#')))
        return std::nullopt;
    const int hour = twoDigits(line[0], line[1]);
    const int minute = twoDigits(line[3], line[4]);
    if (hour < 0 || minute < 0)
        return std::nullopt;
    return ClockTime { hour, minute };
}

CentralScheduler::CentralScheduler(SettingsAccess& settings, AppState& state, LogSink& transferLog, TrayImage& tray,
    const Clock& clock, SystemState& system, TimedJobs& jobs)
    : m_settings(settings)
    , m_state(state)
    , m_log(transferLog)
    , m_tray(tray)
    , m_clock(clock)
    , m_system(system)
    , m_jobs(jobs)
{
}

bool CentralScheduler::enabled() const
{
    return m_settings.checked(ctl::Globewallenabled);
}

void CentralScheduler::seedStartTimes()
{
    if (!m_settings.checked(ctl::cbLaunchAtStart))
        m_state.LastRenderTime = m_clock.now();
    const int perDay = m_settings.integer(ctl::seDownloadChecksPerDay);
    if (perDay > 0)
        m_state.LastFileCheckTime = m_clock.now() + kFirstListDownloadLead - 1.0 / perDay;
    // The first interval cloud check comes one minute after start.
    const int minutes = m_settings.integer(ctl::seCheckForNewFiles);
    m_state.LastCloudCheckTime = m_clock.now() - (minutes - 1) * OneMinute;
}

void CentralScheduler::CentralTimerTimer()
{
    followClockSteps();
    if (gatePassed()) {
        // The last reachability test of this tick decides; true when none was made.
        bool pingOk = true;
        m_tested = false;
        intervalRender();
        intervalCloudCheck(pingOk);
        fixedTimeCloudDownload(pingOk);
        periodicListDownload(pingOk);
        if (!pingOk)
            unreachable();
        else if (m_tested && m_offlineSince != 0)
            reachableAgain();
    }
    setTrayImage();
}

// Tested in this order, and a test is not made once one has failed: the two state
// queries write diagnostic lines.
bool CentralScheduler::gatePassed()
{
    if (m_state.anyBusy())
        return false;
    if (m_system.ScreensaverRunning())
        return false;
    if (m_system.RunningOnBattery() && m_settings.checked(ctl::cbDontUseOnBattery))
        return false;
    return enabled();
}

void CentralScheduler::intervalRender()
{
    if (!m_settings.checked(ctl::cbStartEveryXsec))
        return;
    const double interval = m_settings.integer(ctl::SpinEdit) * OneSecond;
    if (due(interval, m_clock.now(), m_state.LastRenderTime))
        m_jobs.StartXPlanet();
}

void CentralScheduler::intervalCloudCheck(bool& pingOk)
{
    if (!m_settings.checked(ctl::cbCheckForNewFile) || downloadsHeld() || retryWaiting(CloudJob))
        return;
    const double interval = m_settings.integer(ctl::seCheckForNewFiles) * OneMinute;
    if (!due(interval, m_clock.now(), m_state.LastCloudCheckTime) || waitsForUnmetered(NetworkGate::Download::Cloud))
        return;
    ClearOnExit guard(m_state.TimedDownloadBusy);
    reachabilityResult(CloudJob, m_jobs.cloudIntervalJob(), pingOk);
}

void CentralScheduler::fixedTimeCloudDownload(bool& pingOk)
{
    if (!m_settings.checked(ctl::cbDownload))
        return;
    const QDateTime now = fromDateTime(m_clock.now());
    const int hour = now.time().hour();
    const int minute = now.time().minute();
    const qint64 today = now.date().toJulianDay();
    // All lines are looked at; the last match is remembered. Each time of day fires once a
    // day: not again in its minute, nor when the clock is set back across it.
    const int minuteOfDay = hour * 60 + minute;
    if (m_firedOn.value(minuteOfDay, -1) != today) {
        for (const QString& line : m_settings.lines(ctl::mTime)) {
            const auto time = parseTimeLine(line);
            if (time && time->hour == hour && time->minute == minute) {
                m_state.LastCloudTimeEntry = line;
                m_state.CloudTimeDue = true;
                m_firedOn.insert(minuteOfDay, today);
            }
        }
    }
    if (m_state.CloudTimeDue && enabled() && !m_state.DownloadBusy && !m_state.RenderBusy && !downloadsHeld()
        && !retryWaiting(FixedJob) && !waitsForUnmetered(NetworkGate::Download::Cloud))
        reachabilityResult(FixedJob, m_jobs.cloudFixedTimeJob(), pingOk);
}

// The whole list as often as "times per day" says; between two passes the rows of built-in
// sources at their own pace.
void CentralScheduler::periodicListDownload(bool& pingOk)
{
    if (!m_settings.checked(ctl::cbCheckForUpdate) || downloadsHeld() || retryWaiting(ListJob))
        return;
    const int perDay = m_settings.integer(ctl::seDownloadChecksPerDay);
    const bool listDue = perDay > 0 && due(1.0 / perDay, m_clock.now(), m_state.LastFileCheckTime);
    bool rowsDue = false;
    if (!listDue) {
        const auto rows = m_jobs.sourceRowsDue();
        rowsDue = rows && *rows <= m_clock.now();
    }
    if ((!listDue && !rowsDue) || waitsForUnmetered(NetworkGate::Download::List))
        return;
    ClearOnExit guard(m_state.TimedDownloadBusy);
    reachabilityResult(ListJob, listDue ? m_jobs.listJob() : m_jobs.sourceRowsJob(), pingOk);
}

// A job whose test failed is tried again a minute later, by itself: the others keep their
// times, and a pending fixed-time download stays pending. Being offline is one state: said
// when it begins and when it ends, not at every try.
void CentralScheduler::reachabilityResult(Job job, bool reachable, bool& pingOk)
{
    pingOk = reachable;
    m_tested = true;
    m_retryAt[job] = reachable ? 0 : m_clock.bootSeconds() + RetrySeconds;
}

bool CentralScheduler::retryWaiting(Job job) const
{
    return m_clock.bootSeconds() < m_retryAt[job];
}

bool CentralScheduler::waitsForUnmetered(NetworkGate::Download download, bool due)
{
    return m_network && m_network->waitsForUnmetered(download, due);
}

bool CentralScheduler::downloadsHeld() const
{
    return m_network && m_network->downloadsHeldFor(m_clock.bootSeconds()) > 0;
}

// The last test of the tick failed: the line comes once, when the program went offline, and
// names the jobs that wait.
void CentralScheduler::unreachable()
{
    if (m_offlineSince != 0)
        return;
    m_offlineSince = m_clock.now();
    static const char* const names[JobCount] = { "cloud check", "fixed-time download", "download list" };
    QStringList waiting;
    const double boot = m_clock.bootSeconds();
    for (int job = 0; job < JobCount; ++job) {
        if (m_retryAt[job] > boot)
            waiting << QLatin1String(names[job]);
    }
    m_log.appendLine(DateTimeToStr(m_clock.now())
        + QStringLiteral(" - Error. Can not connect to the internet. Waiting for next try. Next try at ")
        + DateTimeToStr(m_clock.now() + RetrySeconds * OneSecond) + QStringLiteral(" (waiting: ")
        + waiting.join(QStringLiteral(", ")) + QLatin1Char(')'));
}

void CentralScheduler::reachableAgain()
{
    m_log.appendLine(DateTimeToStr(m_clock.now()) + QStringLiteral(" - Connected to the internet again (offline since ")
        + DateTimeToStr(m_offlineSince) + QLatin1Char(')'));
    m_offlineSince = 0;
}

// The battery image and the globe alternate from tick to tick on battery; the crossed globe
// shows whenever the master switch is off.
void CentralScheduler::setTrayImage()
{
    const int count = m_tray.imageCount();
    const int battery = count - 2;
    const int crossed = count - 1;
    if (m_system.RunningOnBattery() && m_tray.frameIndex() != battery) {
        m_tray.setFrameIndex(enabled() ? battery : crossed);
        return;
    }
    m_tray.setFrameIndex(enabled() ? 0 : crossed);
}

void CentralScheduler::followClockSteps()
{
    const double wallMinusBoot = m_clock.now() * 86400.0 - m_clock.bootSeconds();
    const double step = m_wallMinusBoot ? wallMinusBoot - *m_wallMinusBoot : 0.0;
    m_wallMinusBoot = wallMinusBoot;
    if (std::abs(step) < kStepSeconds)
        return;
    // A stamp names an instant; the instant keeps its place while its name on the wall clock
    // moves. Zero means "never" and stays so.
    for (TDateTime* stamp : { &m_state.LastRenderTime, &m_state.LastCloudCheckTime, &m_state.LastFileCheckTime }) {
        if (*stamp != 0)
            *stamp += step / 86400.0;
    }
    m_jobs.followClockStep(step / 86400.0);
}

std::optional<double> CentralScheduler::secondsUntilNextListedTime() const
{
    const QDateTime nowUtc = m_clock.nowUtc();
    const QDateTime now = fromDateTime(m_clock.now());
    std::optional<double> soonest;
    for (const QString& line : m_settings.lines(ctl::mTime)) {
        const auto time = parseTimeLine(line);
        if (!time || time->hour > 23 || time->minute > 59)
            continue;
        const QTime at(time->hour, time->minute);
        QDateTime when(now.date(), at);
        const bool inItsMinute = now.time() >= at && now.time() < at.addSecs(60);
        const bool firedToday = m_firedOn.value(time->hour * 60 + time->minute, -1) == now.date().toJulianDay();
        if (inItsMinute && !firedToday)
            return 0.0;
        if (now.time() >= at)
            when = QDateTime(now.date().addDays(1), at);
        // Measured on the real time line, so a change to or from daylight saving time between
        // now and then does not move the wake-up by an hour.
        const double seconds = static_cast<double>(nowUtc.msecsTo(when.toUTC())) / 1000.0;
        if (!soonest || seconds < *soonest)
            soonest = seconds;
    }
    return soonest;
}

PlanHold CentralScheduler::downloadHold(Job job, double bootNow, double heldFor)
{
    const TDateTime now = m_clock.now();
    const auto wallAt = [&](double boot) { return now + (boot - bootNow) * OneSecond; };
    if (heldFor > 0)
        return { HoldKind::NetworkAfterResume, std::isinf(heldFor) ? 0.0 : now + heldFor * OneSecond };
    const auto kind = job == ListJob ? NetworkGate::Download::List : NetworkGate::Download::Cloud;
    if (waitsForUnmetered(kind, false))
        return { HoldKind::Metered };
    if (m_retryAt[job] > bootNow)
        return { HoldKind::Offline, wallAt(m_retryAt[job]), m_offlineSince };
    static constexpr TimedJobs::Download own[JobCount]
        = { TimedJobs::Download::CloudInterval, TimedJobs::Download::CloudFixedTime, TimedJobs::Download::List };
    const PlanHold hold = m_jobs.ownHold(own[job]);
    return hold.until > now || hold.until <= 0 ? hold : PlanHold();
}

Plan CentralScheduler::plan()
{
    followClockSteps();
    Plan plan;
    const TDateTime now = m_clock.now();
    const double boot = m_clock.bootSeconds();
    const double held = m_network ? m_network->downloadsHeldFor(boot) : 0.0;
    const auto addDownload = [&](Job job, PlanJob::Kind kind, const QString& name, TDateTime due) {
        PlanJob entry { kind, name, due };
        entry.hold = downloadHold(job, boot, held);
        plan.add(entry);
    };

    if (m_settings.checked(ctl::cbStartEveryXsec))
        plan.add({ PlanJob::Render, QStringLiteral("timed render"),
            m_state.LastRenderTime + m_settings.integer(ctl::SpinEdit) * OneSecond });
    if (m_settings.checked(ctl::cbCheckForNewFile))
        addDownload(CloudJob, PlanJob::CloudCheck, QStringLiteral("cloud map"),
            m_state.LastCloudCheckTime + m_settings.integer(ctl::seCheckForNewFiles) * OneMinute);
    if (m_settings.checked(ctl::cbDownload)) {
        if (m_state.CloudTimeDue)
            addDownload(FixedJob, PlanJob::FixedTime, QStringLiteral("cloud map at ") + m_state.LastCloudTimeEntry, 0);
        // A listed time is noted when its minute comes, whatever holds the download itself.
        if (const auto next = secondsUntilNextListedTime())
            plan.add({ PlanJob::FixedTime, QStringLiteral("next listed time"), now + *next * OneSecond });
    }
    const int perDay = m_settings.integer(ctl::seDownloadChecksPerDay);
    if (m_settings.checked(ctl::cbCheckForUpdate) && perDay > 0)
        addDownload(
            ListJob, PlanJob::ListDownload, QStringLiteral("download list"), m_state.LastFileCheckTime + 1.0 / perDay);
    if (m_settings.checked(ctl::cbCheckForUpdate)) {
        if (const auto rows = m_jobs.sourceRowsDue())
            addDownload(ListJob, PlanJob::ListDownload, QStringLiteral("built-in sources"), *rows);
    }

    // What holds the whole program, asked in the order of the tick's gate. While something
    // runs, the flags are looked at again a tick later; the other holds end with their events.
    if (m_state.anyBusy())
        plan.holdAll({ HoldKind::Busy, now + TickSeconds * OneSecond });
    else if (!enabled())
        plan.holdAll({ HoldKind::SwitchedOff });
    else if (m_system.screensaverQuietly())
        plan.holdAll({ HoldKind::ScreenLocked });
    else if (m_settings.checked(ctl::cbDontUseOnBattery) && m_system.onBatteryQuietly())
        plan.holdAll({ HoldKind::Battery, m_system.powerChangesReported() ? 0.0 : now + TickSeconds * 12 * OneSecond });
    return plan;
}

double CentralScheduler::secondsUntilDue()
{
    const auto next = plan().nextMoment();
    if (!next)
        return LongestSleepSeconds;
    return std::min((*next - m_clock.now()) * 86400.0, LongestSleepSeconds);
}

} // namespace gw
