// The desktop background on the window: the choice on the page "General" with what
// "automatic" finds beside it, the monitors of the display for each render, and where the
// last picture went in the tray hint and the status bar.
#include "app/TForm1.h"

#include "background/DesktopKind.h"
#include "desktop/TrayIcon.h"
#include "renderer/RenderControl.h"

#include "ui_TForm1.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

// The screens in device pixels: the renderer's pictures are made for the panel's real pixels.
gw::MonitorList screensInDevicePixels()
{
    gw::MonitorList monitors;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        const qreal ratio = screen->devicePixelRatio();
        monitors.push_back({ screen->name(),
            QRect(
                qRound(g.x() * ratio), qRound(g.y() * ratio), qRound(g.width() * ratio), qRound(g.height() * ratio)) });
    }
    return monitors;
}

} // namespace

void TForm1::wireBackground()
{
    gw::RenderControl* r = m_render.get();
    m_ui->ddbDesktopBackground->addItems(gw::desktopChoices());
    m_ui->lbDesktopFound->setText(
        QStringLiteral("automatic (") + gw::desktopCaption(r->detectedDesktop()) + QLatin1Char(')'));
    r->setMonitorSource(screensInDevicePixels);

    connect(r, &gw::RenderControl::backgroundShown, this, [this](const QString& summary) {
        m_trayIcon->setHint(QStringLiteral("Globewall by Quillmoor - ") + summary);
        setStatusText(summary);
    });
}
