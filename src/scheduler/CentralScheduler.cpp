#include "scheduler/CentralScheduler.h"

#include "scheduler/SystemState.h"
#include "scheduler/TimedJobs.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/AppState.h"
#include "shared/LogSink.h"
#include "shared/TrayImage.h"

#include <cmath>

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
    if (gatePassed()) {
        // The last reachability test of this tick decides; true when none was made.
        bool pingOk = true;
        intervalRender();
        intervalCloudCheck(pingOk);
        fixedTimeCloudDownload(pingOk);
        periodicListDownload(pingOk);
        if (!pingOk)
            unreachable();
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
    if (!m_settings.checked(ctl::cbCheckForNewFile))
        return;
    const double interval = m_settings.integer(ctl::seCheckForNewFiles) * OneMinute;
    if (!due(interval, m_clock.now(), m_state.LastCloudCheckTime))
        return;
    ClearOnExit guard(m_state.TimedDownloadBusy);
    pingOk = m_jobs.cloudIntervalJob();
}

void CentralScheduler::fixedTimeCloudDownload(bool& pingOk)
{
    if (!m_settings.checked(ctl::cbDownload))
        return;
    const TDateTime now = m_clock.now();
    const int hour = hourOf(now);
    const int minute = minuteOf(now);
    // All lines are looked at; the last match is remembered. A line equal to the one that
    // fired last is passed over, so a time fires once in its minute.
    for (const QString& line : m_settings.lines(ctl::mTime)) {
        if (line == m_state.LastCloudTimeEntry)
            continue;
        const auto time = parseTimeLine(line);
        if (time && time->hour == hour && time->minute == minute) {
            m_state.LastCloudTimeEntry = line;
            m_state.CloudTimeDue = true;
        }
    }
    if (m_state.CloudTimeDue && enabled() && !m_state.DownloadBusy && !m_state.RenderBusy)
        pingOk = m_jobs.cloudFixedTimeJob();
}

void CentralScheduler::periodicListDownload(bool& pingOk)
{
    if (!m_settings.checked(ctl::cbCheckForUpdate))
        return;
    const int perDay = m_settings.integer(ctl::seDownloadChecksPerDay);
    if (perDay <= 0)
        return;
    if (!due(1.0 / perDay, m_clock.now(), m_state.LastFileCheckTime))
        return;
    ClearOnExit guard(m_state.TimedDownloadBusy);
    pingOk = m_jobs.listJob();
}

// The network could not be reached: wait a full interval before the next try.
void CentralScheduler::unreachable()
{
    m_state.LastFileCheckTime = m_clock.now();
    m_state.LastCloudCheckTime = m_clock.now();
    m_state.CloudTimeDue = false;
    QString line = DateTimeToStr(m_clock.now())
        + QStringLiteral(" - Error. Can not connect to the internet. Waiting for next try.");
    if (const TDateTime next = nextDownloadTry(); next > 0)
        line += QStringLiteral(" Next try at ") + DateTimeToStr(next);
    m_log.appendLine(line);
}

TDateTime CentralScheduler::nextDownloadTry() const
{
    TDateTime next = 0;
    const auto consider = [&next](TDateTime when) {
        if (next == 0 || when < next)
            next = when;
    };
    if (m_settings.checked(ctl::cbCheckForNewFile))
        consider(m_state.LastCloudCheckTime + m_settings.integer(ctl::seCheckForNewFiles) * OneMinute);
    const int perDay = m_settings.integer(ctl::seDownloadChecksPerDay);
    if (m_settings.checked(ctl::cbCheckForUpdate) && perDay > 0)
        consider(m_state.LastFileCheckTime + 1.0 / perDay);
    if (m_settings.checked(ctl::cbDownload)) {
        const TDateTime now = m_clock.now();
        for (const QString& line : m_settings.lines(ctl::mTime)) {
            const auto time = parseTimeLine(line);
            if (!time)
                continue;
            TDateTime at = std::floor(now) + (time->hour * 60 + time->minute) * OneMinute;
            if (at <= now)
                at += 1;
            consider(at);
        }
    }
    return next;
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

} // namespace gw
