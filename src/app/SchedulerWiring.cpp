// The central scheduler on the window's timer, with the battery and screensaver state, and
// what the tray hint and the idle status bar say after each tick. The timer sleeps until the
// next moment something can be due, and whatever can move that moment arms it again.
#include "app/AppCore.h"
#include "app/MainWindow.h"
#include "app/StatusLines.h"
#include "app/TransferLog.h"
#include "app/WidgetSettings.h"
#include "desktop/TrayIcon.h"
#include "desktop/WindowScreensaver.h"
#include "downloads/DownloadJobs.h"
#include "downloads/DownloadPlan.h"
#include "downloads/MeteredDownloads.h"
#include "scheduler/CentralScheduler.h"
#include "scheduler/ClockChangeWatch.h"
#include "scheduler/ScreensaverQuery.h"
#include "scheduler/SessionNetwork.h"
#include "scheduler/SystemState.h"
#include "settings/SettingNames.h"

#include "ui_MainWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include <QScopeGuard>

#include <malloc.h>
#include <tuple>

namespace gw {

void AppCore::wireScheduler()
{
    SystemState::ScreensaverQuery screensaver = m_options.screensaverQuery;
    if (!screensaver) {
        m_screensaver = windowScreensaver();
        screensaver = [platform = m_screensaver] { return platform->active(); };
        connect(m_screensaver.get(), &PlatformScreensaver::changed, this, [this] { armCentralTimer(false); });
    }
    m_systemState
        = std::make_unique<SystemState>(*m_settings, *m_clock, m_options.powerSupplyRoot, std::move(screensaver));
    m_screensaverLog = std::make_unique<ScreensaverMessageLog>(*m_systemState, *m_clock);
    m_scheduler = std::make_unique<CentralScheduler>(
        *m_settings, m_state, *m_transferLog, *m_trayIcon, *m_clock, *m_systemState, *m_downloadJobs);
    m_sessionNetwork = std::make_unique<SessionNetwork>(*m_clock);
    m_meteredDownloads = std::make_unique<MeteredDownloads>(*m_sessionNetwork, *m_settings, *m_transferLog, *m_clock);
    m_scheduler->setNetworkGate(m_meteredDownloads.get());
    connect(m_sessionNetwork.get(), &SessionNetwork::changed, this, [this] { armCentralTimer(false); });
    wakeOnChanges();
}

// What moves the next due moment arms the timer again: the settings the scheduler reads, a
// change of the clock, the power supply, the screensaver and the network (above).
void AppCore::wakeOnChanges()
{
    Ui::MainWindow* ui = m_window->ui();
    m_window->CentralTimer()->setTimerType(Qt::PreciseTimer);
    const auto rearm = [this] { armCentralTimer(false); };
    for (QCheckBox* box :
        { ui->cbStartEveryXsec, ui->cbCheckForNewFile, ui->cbDownload, ui->cbCheckForUpdate, ui->cbDontUseOnBattery })
        connect(box, &QCheckBox::toggled, this, rearm);
    for (QSpinBox* spin : { static_cast<QSpinBox*>(ui->SpinEdit), static_cast<QSpinBox*>(ui->seCheckForNewFiles),
             static_cast<QSpinBox*>(ui->seDownloadChecksPerDay) })
        connect(spin, &QSpinBox::valueChanged, this, rearm);
    connect(ui->mTime, &QPlainTextEdit::textChanged, this, rearm);
    connect(ui->Globewallenabled, &QAction::toggled, this, rearm);
    connect(ui->ddbMeteredConnection, &QComboBox::currentIndexChanged, this, rearm);

    m_clockChanges = std::make_unique<ClockChangeWatch>();
    connect(m_clockChanges.get(), &ClockChangeWatch::clockChanged, this, [this] {
        m_scheduler->followClockSteps();
        armCentralTimer(false);
    });
    const int power = m_systemState->powerSupplyEventsFd();
    if (power >= 0) {
        m_powerChanges = std::make_unique<QSocketNotifier>(static_cast<qintptr>(power), QSocketNotifier::Read);
        connect(m_powerChanges.get(), &QSocketNotifier::activated, this, [this] {
            if (m_systemState->takePowerSupplyEvents())
                armCentralTimer(false);
        });
    }
}

// Asleep until the plan's earliest moment. After a tick that left something due (a failed
// download, a busy flag) the next look is one tick later; after an event, at once. What the
// tray and the status bar say follows the plan whenever it changes.
void AppCore::armCentralTimer(bool afterTick)
{
    QTimer* timer = m_window->CentralTimer();
    // Only the start-up step starts the timer, and nothing after the window closed.
    if (m_closed || !timer->isActive())
        return;
    Plan plan;
    double seconds = CentralScheduler::LongestSleepSeconds;
    run([&] {
        // The timer follows the scheduler's own jobs; the downloads added after are what they fetch.
        const Plan timed = m_scheduler->plan();
        if (const auto next = timed.nextMoment())
            seconds = (*next - m_clock->now()) * 86400.0;
        plan = currentPlan();
    });
    if (seconds <= 0)
        seconds = afterTick ? CentralScheduler::TickSeconds : 0;
    // The monitor's power state comes with no event: a screen gated by it is looked at again.
    // (Only a source that says "active" can leave its end unannounced.)
    if (m_screensaver && m_settings->checked(ctl::ScreensaverDetection) && !m_screensaver->activeEndsWithEvent())
        seconds = std::min(seconds, 60.0);
    const double ms = std::ceil(std::min(seconds, CentralScheduler::LongestSleepSeconds) * 1000.0);
    timer->start(static_cast<int>(ms));
    if (plan == m_plan)
        return;
    m_plan = plan;
    showStatus();
    // An event (switched off, the power supply) shows at once, not at the next tick.
    if (!afterTick && !m_state.anyBusy())
        run([this] { m_scheduler->setTrayImage(); });
}

Plan AppCore::currentPlan()
{
    Plan plan = m_scheduler->plan();
    const auto dueOf = [&plan](PlanJob::Kind kind, const QString& name) -> std::optional<TDateTime> {
        const PlanJob* job = plan.find(kind, name);
        return job ? std::optional<TDateTime>(job->due) : std::nullopt;
    };
    // What holds the timed list as a whole is told for every download.
    PlanHold network;
    for (const PlanJob& job : plan.jobs()) {
        if (job.kind == PlanJob::ListDownload || job.kind == PlanJob::CloudCheck) {
            if (job.hold.kind != HoldKind::None && job.hold.kind <= HoldKind::Metered)
                network = job.hold;
        }
    }
    const auto sourceRows = plan.find(PlanJob::ListDownload, QStringLiteral("built-in sources"));
    const QList<PlanJob> downloads = plannedDownloads(*m_settings, m_settingsFile->ConfigFileName(), m_clock->now(),
        dueOf(PlanJob::CloudCheck, QString()), dueOf(PlanJob::ListDownload, QStringLiteral("download list")),
        sourceRows != nullptr, network);
    for (const PlanJob& job : downloads)
        plan.add(job);
    return plan;
}

void AppCore::CentralTimerTimer()
{
    const auto jobsRun = [this] {
        return std::make_tuple(
            m_state.LastRenderTime, m_state.LastCloudCheckTime, m_state.LastFileCheckTime, m_state.LastCloudTimeEntry);
    };
    const auto before = jobsRun();
    // Armed again also when the tick ends with an error, so the next one comes.
    auto rearm = qScopeGuard([this] { armCentralTimer(true); });
    m_scheduler->CentralTimerTimer();
    m_plan = currentPlan();
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
    StatusFacts facts = statusFacts(*m_settings, m_state, m_settingsFile->ConfigFileName(), now);
    facts.plan = &m_plan;
    const QStringList lines = statusLines(facts, fromDateTime(now));
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
