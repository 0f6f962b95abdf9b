// The central scheduler on the window's timer, with the battery and screensaver state, and
// the desktop icon text that the start-up step, the settings load and each render apply.
#include "app/TForm1.h"

#include "app/StatusLines.h"
#include "app/TransferLog.h"
#include "app/WidgetSettings.h"
#include "desktop/IconText.h"
#include "desktop/TrayIcon.h"
#include "desktop/WindowScreensaver.h"
#include "downloads/DownloadJobs.h"
#include "scheduler/CentralScheduler.h"
#include "scheduler/ScreensaverQuery.h"
#include "scheduler/SystemState.h"

#include "ui_TForm1.h"

#include <QLabel>

void TForm1::wireScheduler()
{
    gw::SystemState::ScreensaverQuery screensaver
        = m_options.screensaverQuery ? m_options.screensaverQuery : gw::windowScreensaverQuery();
    m_systemState
        = std::make_unique<gw::SystemState>(*m_settings, *m_clock, m_options.powerSupplyRoot, std::move(screensaver));
    m_screensaverLog = std::make_unique<gw::ScreensaverMessageLog>(*m_systemState, *m_clock);
    m_scheduler = std::make_unique<gw::CentralScheduler>(
        *m_settings, m_state, *m_transferLog, *m_trayIcon, *m_clock, *m_systemState, *m_downloadJobs);
    gw::CentralScheduler* scheduler = m_scheduler.get();
    m_hooks.CentralTimerTimer = [this, scheduler] {
        scheduler->CentralTimerTimer();
        showStatus();
    };

    m_iconText = std::make_unique<gw::IconText>(*m_settings, *m_dialogs, [this](const QColor& colour) {
        QPalette p = m_ui->lbIconText->palette();
        p.setColor(QPalette::WindowText, colour);
        m_ui->lbIconText->setPalette(p);
    });
    gw::IconText* iconText = m_iconText.get();
    m_hooks.btnMakeBGTransparentClick = [iconText] { iconText->btnMakeBGTransparentClick(); };
    on(m_ui->btnIconTextColor, &QPushButton::clicked, [iconText] { iconText->btnIconTextColorClick(); });
}

// The tray's hint stays its first line. A log line stays in the status bar for a minute;
// afterwards an idle program shows there what it will do next.
void TForm1::showStatus()
{
    if (m_state.anyBusy())
        return;
    const gw::TDateTime now = m_clock->now();
    const QStringList lines = gw::statusLines(gw::statusFacts(*m_settings, m_state), gw::fromDateTime(now));
    m_trayIcon->setStatusLines(lines);
    const QString panel = statusText();
    if (!panel.isEmpty() && panel != m_statusShown && panel != m_logLineSeen) {
        m_logLineSeen = panel;
        m_logLineSeenAt = now;
    }
    if (panel == m_logLineSeen && now - m_logLineSeenAt < gw::OneMinute)
        return;
    m_statusShown = lines.join(QStringLiteral(" | "));
    setStatusText(m_statusShown);
}
