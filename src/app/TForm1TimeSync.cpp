// The "Time Sync" page: "synchronize Time" with its log, and the server list edited in place.
#include "app/TForm1.h"

#include "app/LinkLabel.h"
#include "app/WidgetSettings.h"
#include "desktop/DesktopUtility.h"
#include "timesync/SystemClockSetter.h"
#include "timesync/TimeSync.h"
#include "timesync/ui/TimeServerEditor.h"

#include "ui_TForm1.h"

#include <QPointer>

namespace {

// mTimeLog: lines are only appended, never cleared, and not mirrored into a file.
class MemoLog : public gw::LogSink
{
public:
    explicit MemoLog(QPlainTextEdit* memo)
        : m_memo(memo)
    {
    }
    void appendLine(const QString& line) override
    {
        if (m_memo)
            m_memo->appendPlainText(line);
    }

private:
    QPointer<QPlainTextEdit> m_memo;
};

} // namespace

void TForm1::wireTimeSync()
{
    m_timeLog = std::make_unique<MemoLog>(m_ui->mTimeLog);
    gw::ClockSetter* setter = m_options.clockSetter;
    if (!setter) {
        m_systemClockSetter = std::make_unique<gw::SystemClockSetter>();
        setter = m_systemClockSetter.get();
    }
    m_timeSync = std::make_unique<gw::TimeSync>(*m_settings, *m_timeLog, *setter, *m_clock);
    gw::TimeSync* sync = m_timeSync.get();
    // The download jobs synchronise through a click of this button as well.
    on(m_ui->btnCheckTimeServer, &QPushButton::clicked, [sync] { sync->btnCheckTimeServerClick(); });

    gw::TimeServerWidgets widgets;
    widgets.cbTimeServer = m_ui->cbTimeServer;
    widgets.edtTimeServer = m_ui->edtTimeServer;
    widgets.btnAddTimeServer = m_ui->btnAddTimeServer;
    widgets.btnCancelTimeServer = m_ui->btnCancelTimeServer;
    widgets.lbTimeServer = m_ui->lbTimeServer;
    widgets.PageControl = m_ui->PageControl;
    widgets.pmTimeServer = m_pmTimeServer;
    m_timeServerEditor = std::make_unique<gw::TimeServerEditor>(
        widgets, [this](const QString& url) { run([this, &url] { m_desktopUtility->openUrl(url); }); });
    gw::TimeServerEditor* editor = m_timeServerEditor.get();
    m_hooks.resetTimeServerEditing = [editor] { editor->resetEditing(); };
}
