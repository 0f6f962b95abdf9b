// The renderer launch on the window: "Render now" and the tray's "render now", "kill XPlanet
// now", the renderer and pre-render file choosers, the readme, and Enter in the render
// interval box.
#include "app/AppCore.h"
#include "app/MainWindow.h"
#include "app/MessageWindow.h"
#include "app/TransferLog.h"
#include "app/WidgetSettings.h"
#include "desktop/TrayIcon.h"
#include "renderer/RenderControl.h"

#include "ui_MainWindow.h"

#include <QCursor>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

namespace gw {

void AppCore::wireRender()
{
    Ui::MainWindow* ui = m_window->ui();
    MessageWindowSink& messages = m_options.messageWindow ? *m_options.messageWindow : *m_messageWindow;
    m_render = std::make_unique<RenderControl>(*m_settings, m_state, *m_transferLog, messages, dialogs(), *m_trayIcon,
        *m_clock, [this] { btnMakeBGTransparentClick(); });
    RenderControl* r = m_render.get();

    connect(r, &RenderControl::killEnabledChanged, ui->pmKillNow, &QAction::setEnabled);
    r->setFileOpener([](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); });
    connect(r, &RenderControl::waitingChanged, this, [](bool waiting) {
        if (waiting)
            QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
        else
            QGuiApplication::restoreOverrideCursor();
    });
    connect(r, &RenderControl::appFileHintChanged, ui->edtAppFile, &QWidget::setToolTip);

    on(ui->btnExecute, &QPushButton::clicked, [r] { r->btnExecuteClick(); });
    on(ui->pmStartNow, &QAction::triggered, [r] { r->pmStartNowClick(); });
    on(ui->pmKillNow, &QAction::triggered, [r] { r->pmKillNowClick(); });
    on(ui->btnAppFile, &QPushButton::clicked, [r] { r->btnAppFileClick(); });
    on(ui->btnExecuteBefore, &QPushButton::clicked, [r] { r->btnExecuteBeforeClick(); });
    on(ui->btnInfo, &QPushButton::clicked, [r] { r->btnInfoClick(); });
}

} // namespace gw
