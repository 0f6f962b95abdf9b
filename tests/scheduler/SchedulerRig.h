#pragma once
// A scheduler wired to settings in memory, a hand-driven clock, a power-supply tree in a
// temporary folder and jobs that count their calls and play their part of the bookkeeping.
#include "scheduler/CentralScheduler.h"
#include "scheduler/SystemState.h"
#include "scheduler/TimedJobs.h"
#include "settings/MemorySettings.h"
#include "shared/AppState.h"
#include "shared/Error.h"
#include "shared/LogSink.h"
#include "shared/Paths.h"
#include "shared/TrayImage.h"
#include "support/ManualClock.h"
#include "support/MemorySinks.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <functional>
#include <initializer_list>
#include <vector>

namespace gwtest {

// The scheduler needs of the tray only the count of the list shown and the frame.
class FakeTray : public gw::TrayImage
{
public:
    gw::TrayList iconList() const override { return list; }
    void setIconList(gw::TrayList l) override { list = l; }
    int imageCount() const override { return list == gw::TrayList::Globe ? 26 : 15; }
    int frameIndex() const override { return frame; }
    void setFrameIndex(int index) override
    {
        frame = index;
        history.push_back(index);
    }
    bool animate() const override { return animating; }
    void setAnimate(bool on) override { animating = on; }

    gw::TrayList list = gw::TrayList::Globe;
    int frame = -1;
    bool animating = false;
    std::vector<int> history;
};

// The jobs as the scheduler sees them: each takes `seconds` of simulated time, reports the
// reachability it was told to, and keeps the time stamps as the real jobs do.
class FakeJobs : public gw::TimedJobs
{
public:
    FakeJobs(gw::AppState& state, gw::ManualClock& clock)
        : m_state(state)
        , m_clock(clock)
    {
    }

    void StartXPlanet() override
    {
        renders.push_back(m_clock.now());
        m_clock.advanceSeconds(renderSeconds);
        m_state.LastRenderTime = m_clock.now();
    }
    bool cloudIntervalJob() override
    {
        return timedDownload(cloudChecks, cloudReachable, m_state.LastCloudCheckTime,
            "The file to run after the download could not be started");
    }
    bool cloudFixedTimeJob() override
    {
        fixedDownloads.push_back(m_clock.now());
        m_clock.advanceSeconds(jobSeconds);
        if (fixedReachable && !fixedDownloadFails)
            m_state.CloudTimeDue = false;
        return fixedReachable;
    }
    bool listJob() override
    {
        return timedDownload(listDownloads, listReachable, m_state.LastFileCheckTime, "list job failed");
    }

    int calls() const
    {
        return static_cast<int>(renders.size() + cloudChecks.size() + fixedDownloads.size() + listDownloads.size());
    }

    double renderSeconds = 0;
    double jobSeconds = 0;
    bool cloudReachable = true;
    bool fixedReachable = true;
    bool listReachable = true;
    // Reachable, but the download itself fails: the job leaves CloudTimeDue set.
    bool fixedDownloadFails = false;
    bool throwInJob = false;
    std::vector<gw::TDateTime> renders, cloudChecks, fixedDownloads, listDownloads;

private:
    // Busy for `jobSeconds`, then stamped with the time of the check when the server answered.
    bool timedDownload(std::vector<gw::TDateTime>& calls, bool reachable, gw::TDateTime& lastCheck, const char* failure)
    {
        calls.push_back(m_clock.now());
        m_state.TimedDownloadBusy = true;
        m_clock.advanceSeconds(jobSeconds);
        if (throwInJob)
            throw gw::Error(QString::fromLatin1(failure));
        m_state.TimedDownloadBusy = false;
        if (reachable)
            lastCheck = m_clock.now();
        return reachable;
    }

    gw::AppState& m_state;
    gw::ManualClock& m_clock;
};

inline gw::TDateTime at(int year, int month, int day, int hour, int minute, double second = 0)
{
    return gw::toDateTime(QDateTime(QDate(year, month, day), QTime(hour, minute))) + second / 86400.0;
}

inline double secondsBetween(gw::TDateTime a, gw::TDateTime b)
{
    return (b - a) * 86400.0;
}

struct SchedulerRig
{
    SchedulerRig()
    {
        gw::setProgramDir(dir.path());
        QDir().mkpath(powerRoot());
        // Everything off: each test switches on what it looks at.
        switchOn({ "cbStartEveryXsec", "cbCheckForNewFile", "cbDownload", "cbCheckForUpdate", "cbLaunchAtStart",
                     "cbDontUseOnBattery" },
            false);
        switchOn({ "Globewallenabled", "BatteryDetection", "ScreensaverDetection" });
        settings.setInteger(QStringLiteral("DebugLevel"), 0);
        settings.setInteger(QStringLiteral("SpinEdit"), 600);
        settings.setInteger(QStringLiteral("seCheckForNewFiles"), 30);
        settings.setInteger(QStringLiteral("seDownloadChecksPerDay"), 1);
        clock.set(at(2024, 5, 14, 0, 0, 2.5));
    }
    ~SchedulerRig() { gw::setProgramDir(QString()); }

    void switchOn(std::initializer_list<const char*> boxes, bool on = true)
    {
        for (const char* name : boxes)
            settings.setChecked(QString::fromLatin1(name), on);
    }
    // The fixed-time download switched on at the times of `lines`.
    void downloadAt(const QStringList& lines)
    {
        switchOn({ "cbDownload" });
        settings.setLines(QStringLiteral("mTime"), lines);
    }

    QString powerRoot() const { return dir.file(QStringLiteral("power_supply")); }
    void supply(const QString& name, const QMap<QString, QString>& attributes)
    {
        const QString folder = powerRoot() + QLatin1Char('/') + name;
        QDir().mkpath(folder);
        for (auto it = attributes.begin(); it != attributes.end(); ++it)
            writeFile(folder + QLatin1Char('/') + it.key(), it.value().toLatin1() + '\n');
    }
    void onBattery()
    {
        supply(QStringLiteral("BAT0"), { { "type", "Battery" }, { "status", "Discharging" } });
        supply(QStringLiteral("AC"), { { "type", "Mains" }, { "online", "0" } });
    }
    void onMains()
    {
        supply(QStringLiteral("BAT0"), { { "type", "Battery" }, { "status", "Charging" } });
        supply(QStringLiteral("AC"), { { "type", "Mains" }, { "online", "1" } });
    }

    // Ticks every five seconds from the current time on, for `seconds` of simulated time.
    // A job's own duration shifts the ticks that follow, as on the real timer.
    void run(double seconds)
    {
        // A millisecond of slack keeps rounding in the sum of five-second steps from adding a tick.
        const gw::TDateTime end = clock.now() + (seconds - 0.001) / 86400.0;
        while (clock.now() < end) {
            clock.advanceSeconds(5);
            scheduler.CentralTimerTimer();
            ++ticks;
        }
    }
    void tick()
    {
        scheduler.CentralTimerTimer();
        ++ticks;
    }
    QStringList logLines(const QString& name) const
    {
        const QByteArray text = readFile(dir.file(name));
        QStringList lines = QString::fromLocal8Bit(text).split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    TempDir dir;
    gw::MemorySettings settings;
    gw::AppState state;
    gw::MemoryLog log;
    FakeTray tray;
    gw::ManualClock clock;
    bool screensaver = false;
    // When set, asked in the place of `screensaver` (a real screensaver's answer).
    std::function<bool()> screensaverFrom;
    int screensaverQueries = 0;
    gw::SystemState system { settings, clock, powerRoot(), [this] {
                                ++screensaverQueries;
                                return screensaverFrom ? screensaverFrom() : screensaver;
                            } };
    FakeJobs jobs { state, clock };
    gw::CentralScheduler scheduler { settings, state, log, tray, clock, system, jobs };
    int ticks = 0;
};

} // namespace gwtest
