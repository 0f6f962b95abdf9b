// The desktop background on the window: the choice on the page "General" with what
// "automatic" finds beside it, the monitors of the display for each render, and where the
// last picture went in the tray hint and the status bar.
#include "app/AppCore.h"
#include "app/MainWindow.h"
#include "background/DesktopKind.h"
#include "desktop/TrayIcon.h"
#include "renderer/RenderControl.h"

#include "ui_MainWindow.h"

#include <QGuiApplication>
#include <QScreen>

namespace gw {

namespace {

    // The screens in device pixels: the renderer's pictures are made for the panel's real pixels.
    MonitorList screensInDevicePixels()
    {
        MonitorList monitors;
        for (const QScreen* screen : QGuiApplication::screens()) {
            const QRect g = screen->geometry();
            const qreal ratio = screen->devicePixelRatio();
            monitors.push_back({ screen->name(),
                QRect(qRound(g.x() * ratio), qRound(g.y() * ratio), qRound(g.width() * ratio),
                    qRound(g.height() * ratio)) });
        }
        return monitors;
    }

} // namespace

void AppCore::wireBackground()
{
    RenderControl* r = m_render.get();
    Ui::MainWindow* ui = m_window->ui();
    ui->ddbDesktopBackground->addItems(desktopChoices());
    ui->lbDesktopFound->setText(
        QStringLiteral("automatic (") + desktopCaption(r->detectedDesktop()) + QLatin1Char(')'));
    r->setMonitorSource(screensInDevicePixels);

    connect(r, &RenderControl::backgroundShown, this, [this](const QString& summary) {
        m_trayIcon->setHint(QStringLiteral("Globewall by Quillmoor - ") + summary);
        m_window->setStatusText(summary);
    });
}

} // namespace gw
