// The "Time Sync" page: "synchronize Time" with its log, and the server list edited in place.
#include "app/AppCore.h"
#include "app/LinkLabel.h"
#include "app/MainWindow.h"
#include "app/WidgetSettings.h"
#include "desktop/DesktopUtility.h"
#include "timesync/SystemClockSetter.h"
#include "timesync/TimeSync.h"
#include "timesync/TimedatedClock.h"
#include "timesync/ui/TimeServerEditor.h"

#include "ui_MainWindow.h"

#include <QPointer>

#include <unistd.h>

namespace gw {

namespace {

    // mTimeLog: lines are only appended, never cleared, and not mirrored into a file.
    class MemoLog : public LogSink
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

void AppCore::wireTimeSync()
{
    Ui::MainWindow* ui = m_window->ui();
    m_timeLog = std::make_unique<MemoLog>(ui->mTimeLog);
    ClockSetter* setter = m_options.clockSetter;
    if (!setter) {
        // Root sets the clock itself; a desktop user through the system's time service, which
        // asks for the administrator's password.
        if (::geteuid() == 0)
            m_systemClockSetter = std::make_unique<SystemClockSetter>();
        else
            m_systemClockSetter = std::make_unique<TimedatedClockSetter>(*m_clock);
        setter = m_systemClockSetter.get();
    }
    m_timeSync = std::make_unique<TimeSync>(*m_settings, *m_timeLog, *setter, *m_clock);
    // Only where the real clock would be set: a test's clock setter stands for a system without
    // a time service of its own.
    if (!m_options.clockSetter)
        m_timeSync->setSystemKeepsClock([] { return systemSynchronisesClock(); });
    TimeSync* sync = m_timeSync.get();
    on(ui->btnCheckTimeServer, &QPushButton::clicked, [sync] { sync->btnCheckTimeServerClick(); });

    TimeServerWidgets widgets;
    widgets.cbTimeServer = ui->cbTimeServer;
    widgets.edtTimeServer = ui->edtTimeServer;
    widgets.btnAddTimeServer = ui->btnAddTimeServer;
    widgets.btnCancelTimeServer = ui->btnCancelTimeServer;
    widgets.lbTimeServer = ui->lbTimeServer;
    widgets.PageControl = ui->PageControl;
    widgets.pmTimeServer = m_window->pmTimeServer();
    m_timeServerEditor = std::make_unique<TimeServerEditor>(
        widgets, [this](const QString& url) { run([this, &url] { m_desktopUtility->openUrl(url); }); });
}

} // namespace gw
