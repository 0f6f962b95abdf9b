// The renderer launch on the window: "Render now" and the tray's "render now", "kill XPlanet
// now", the renderer and pre-render file choosers, the readme, and Enter in the render
// interval box.
#include "app/TForm1.h"

#include "app/KeyFilters.h"
#include "app/SpinEdit.h"
#include "app/TransferLog.h"
#include "app/WidgetSettings.h"
#include "desktop/TrayIcon.h"
#include "renderer/RenderControl.h"

#include "ui_TForm1.h"

#include <QCursor>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

namespace {

// The render reports to the message window, which main() attaches after this window exists.
class MessageWindowForward : public gw::MessageWindowSink
{
public:
    explicit MessageWindowForward(TForm1& form)
        : m_form(form)
    {
    }
    void appendLines(const QStringList& lines) override { m_form.messageWindow().appendLines(lines); }
    void showWindow() override { m_form.messageWindow().showWindow(); }

private:
    TForm1& m_form;
};

} // namespace

void TForm1::wireRender()
{
    m_messageForward = std::make_unique<MessageWindowForward>(*this);
    m_render = std::make_unique<gw::RenderControl>(*m_settings, m_state, *m_transferLog, *m_messageForward, *m_dialogs,
        *m_trayIcon, *m_clock, [this] { btnMakeBGTransparentClick(); });
    gw::RenderControl* r = m_render.get();

    connect(r, &gw::RenderControl::killEnabledChanged, m_ui->pmKillNow, &QAction::setEnabled);
    r->setFileOpener([](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); });
    connect(r, &gw::RenderControl::waitingChanged, this, [](bool waiting) {
        if (waiting)
            QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
        else
            QGuiApplication::restoreOverrideCursor();
    });
    connect(r, &gw::RenderControl::appFileHintChanged, m_ui->edtAppFile, &QWidget::setToolTip);

    on(m_ui->btnExecute, &QPushButton::clicked, [r] { r->btnExecuteClick(); });
    on(m_ui->pmStartNow, &QAction::triggered, [r] { r->pmStartNowClick(); });
    on(m_ui->pmKillNow, &QAction::triggered, [r] { r->pmKillNowClick(); });
    on(m_ui->btnAppFile, &QPushButton::clicked, [r] { r->btnAppFileClick(); });
    on(m_ui->btnExecuteBefore, &QPushButton::clicked, [r] { r->btnExecuteBeforeClick(); });
    on(m_ui->btnInfo, &QPushButton::clicked, [r] { r->btnInfoClick(); });
    m_hooks.pmKillNowClick = [r] { r->pmKillNowClick(); };

    m_ui->SpinEdit->installEventFilter(new gw::SpinEditKeyUp(m_ui->SpinEdit));
}
