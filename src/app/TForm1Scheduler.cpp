// The central scheduler on the window's timer, with the battery and screensaver state, and
// the desktop icon text that the start-up step, the settings load and each render apply.
#include "app/TForm1.h"

#include "app/TransferLog.h"
#include "app/WidgetSettings.h"
#include "desktop/IconText.h"
#include "desktop/TrayIcon.h"
#include "downloads/DownloadJobs.h"
#include "scheduler/CentralScheduler.h"
#include "scheduler/ScreensaverQuery.h"
#include "scheduler/SystemState.h"

#include "ui_TForm1.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <memory>

void TForm1::wireScheduler()
{
    gw::SystemState::ScreensaverQuery screensaver = m_options.screensaverQuery;
    if (!screensaver) {
        // The X server's screen-saver events arrive on the window system's own connection.
        auto platform = std::make_shared<gw::PlatformScreensaver>(QDBusConnection::sessionBus(), []() -> _XDisplay* {
            if (QGuiApplication::platformName() != QLatin1String("xcb"))
                return nullptr;
            auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
            return x11 ? x11->display() : nullptr;
        });
        screensaver = [platform] { return platform->active(); };
    }
    m_systemState
        = std::make_unique<gw::SystemState>(*m_settings, *m_clock, m_options.powerSupplyRoot, std::move(screensaver));
    m_screensaverLog = std::make_unique<gw::ScreensaverMessageLog>(*m_systemState, *m_clock);
    m_scheduler = std::make_unique<gw::CentralScheduler>(
        *m_settings, m_state, *m_transferLog, *m_trayIcon, *m_clock, *m_systemState, *m_downloadJobs);
    gw::CentralScheduler* scheduler = m_scheduler.get();
    m_hooks.CentralTimerTimer = [scheduler] { scheduler->CentralTimerTimer(); };

    m_iconText = std::make_unique<gw::IconText>(*m_settings, *m_dialogs, [this](const QColor& colour) {
        QPalette p = m_ui->lbIconText->palette();
        p.setColor(QPalette::WindowText, colour);
        m_ui->lbIconText->setPalette(p);
    });
    gw::IconText* iconText = m_iconText.get();
    m_hooks.btnMakeBGTransparentClick = [iconText] { iconText->btnMakeBGTransparentClick(); };
    on(m_ui->btnIconTextColor, &QPushButton::clicked, [iconText] { iconText->btnIconTextColorClick(); });
}
