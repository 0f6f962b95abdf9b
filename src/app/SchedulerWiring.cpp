// The central scheduler on the window's timer, with the battery and screensaver state, and
// what the tray hint and the idle status bar say after each tick.
#include "app/AppCore.h"
#include "app/MainWindow.h"
#include "app/StatusLines.h"
#include "app/TransferLog.h"
#include "app/WidgetSettings.h"
#include "desktop/TrayIcon.h"
#include "desktop/WindowScreensaver.h"
#include "downloads/DownloadJobs.h"
#include "scheduler/CentralScheduler.h"
#include "scheduler/ScreensaverQuery.h"
#include "scheduler/SystemState.h"

#include "ui_MainWindow.h"

#include <QLabel>

#include <malloc.h>
#include <tuple>

namespace gw {

void AppCore::wireScheduler()
{
    SystemState::ScreensaverQuery screensaver
        = m_options.screensaverQuery ? m_options.screensaverQuery : windowScreensaverQuery();
    m_systemState
        = std::make_unique<SystemState>(*m_settings, *m_clock, m_options.powerSupplyRoot, std::move(screensaver));
    m_screensaverLog = std::make_unique<ScreensaverMessageLog>(*m_systemState, *m_clock);
    m_scheduler = std::make_unique<CentralScheduler>(
        *m_settings, m_state, *m_transferLog, *m_trayIcon, *m_clock, *m_systemState, *m_downloadJobs);
}

void AppCore::CentralTimerTimer()
{
    const auto jobsRun = [this] {
        return std::make_tuple(
            m_state.LastRenderTime, m_state.LastCloudCheckTime, m_state.LastFileCheckTime, m_state.LastCloudTimeEntry);
    };
    const auto before = jobsRun();
    m_scheduler->CentralTimerTimer();
    showStatus();
    // A render or a download leaves freed memory scattered through the heap; the program then
    // idles for minutes, so that memory goes back to the system instead of staying resident.
    if (jobsRun() != before)
        malloc_trim(0);
}

// The tray's hint stays its first line. A log line stays in the status bar for a minute;
// afterwards an idle program shows there what it will do next.
void AppCore::showStatus()
{
    if (m_state.anyBusy())
        return;
    const TDateTime now = m_clock->now();
    const QStringList lines = statusLines(statusFacts(*m_settings, m_state), fromDateTime(now));
    m_trayIcon->setStatusLines(lines);
    const QString panel = m_window->statusText();
    if (!panel.isEmpty() && panel != m_statusShown && panel != m_logLineSeen) {
        m_logLineSeen = panel;
        m_logLineSeenAt = now;
    }
    if (panel == m_logLineSeen && now - m_logLineSeenAt < OneMinute)
        return;
    m_statusShown = lines.join(QStringLiteral(" | "));
    m_window->setStatusText(m_statusShown);
}

} // namespace gw
