#include "app/FormNotifications.h"

#include "app/AppCore.h"
#include "app/MainWindow.h"
#include "app/TransferLog.h"
#include "settings/SettingNames.h"

#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextBlock>

namespace gw {

FormNotifications::FormNotifications(AppCore& app, QDBusConnection bus)
    : m_notifier(
        app.clock(), [&app] { return app.settings().checked(ctl::cbNotifications); }, std::move(bus))
{
    MainWindow& form = app.window();
    connect(&app.transferLog(), &TransferLog::lineAppended, this,
        [this](const QString& line) { consider(m_watch.transferLogLine(line)); });
    if (auto* timeLog = form.findChild<QPlainTextEdit*>(QStringLiteral("mTimeLog"))) {
        QTextDocument* doc = timeLog->document();
        connect(doc, &QTextDocument::contentsChange, this, [this, doc](int position, int, int added) {
            // Only text added at the end is a new line; the memo's last line is then complete.
            if (added <= 0 || position + added < doc->characterCount() - 1)
                return;
            const QString text = doc->lastBlock().text();
            if (!text.isEmpty())
                consider(m_watch.timeLogLine(text));
        });
    }
    connect(&app, &AppCore::updateDialogMade, this, &FormNotifications::watchUpdateDialog);
}

void FormNotifications::watchUpdateDialog(QWidget* updateDialog)
{
    if (updateDialog)
        if (auto* status = updateDialog->findChild<QStatusBar*>(QStringLiteral("StatusBar")))
            connect(status, &QStatusBar::messageChanged, this,
                [this](const QString& text) { consider(m_watch.updateStatus(text)); });
}

void FormNotifications::consider(const std::optional<Notice>& notice)
{
    if (notice)
        m_notifier.send(*notice);
}

} // namespace gw
