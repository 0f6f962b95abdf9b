#pragma once
// The one place that decides what runs on its own: every tick of CentralTimer checks that
// nothing else runs and that the computer may work, then starts, in a fixed order, a render,
// the interval cloud check, the fixed-time cloud download and the download of the file list,
// and last sets the tray image.
#include "shared/Clock.h"

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
    CentralScheduler(SettingsAccess& settings, AppState& state, LogSink& transferLog, TrayImage& tray,
        const Clock& clock, SystemState& system, TimedJobs& jobs);

    // One tick of CentralTimer (every 5000 ms from the start-up step on).
    void CentralTimerTimer();

    // The start times set by the start-up step, just before CentralTimer is enabled.
    void seedStartTimes();

private:
    bool gatePassed();
    void intervalRender();
    void intervalCloudCheck(bool& pingOk);
    void fixedTimeCloudDownload(bool& pingOk);
    void periodicListDownload(bool& pingOk);
    void unreachable();
    // When the first timed download is due again after an unreachable network; 0 when none is on.
    TDateTime nextDownloadTry() const;
    void setTrayImage();

    bool enabled() const;

    SettingsAccess& m_settings;
    AppState& m_state;
    LogSink& m_log;
    TrayImage& m_tray;
    const Clock& m_clock;
    SystemState& m_system;
    TimedJobs& m_jobs;
};

} // namespace gw
