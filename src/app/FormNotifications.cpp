#include "app/FormNotifications.h"

#include "app/AppCore.h"
#include "app/TForm1.h"
#include "settings/SettingNames.h"

#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextBlock>

namespace gw {

namespace {

    // Calls `line` with each line appended to the memo.
    template <class F> void onAppendedLine(QObject* context, QPlainTextEdit* memo, F line)
    {
        if (!memo)
            return;
        QTextDocument* doc = memo->document();
        QObject::connect(doc, &QTextDocument::contentsChange, context, [doc, line](int position, int, int added) {
            // Only text added at the end is a new line; the memo's last line is then complete.
            if (added <= 0 || position + added < doc->characterCount() - 1)
                return;
            const QString text = doc->lastBlock().text();
            if (!text.isEmpty())
                line(text);
        });
    }

} // namespace

FormNotifications::FormNotifications(AppCore& app, QDBusConnection bus)
    : m_notifier(
        app.clock(), [&app] { return app.settings().checked(ctl::cbNotifications); }, std::move(bus))
{
    TForm1& form = app.window();
    onAppendedLine(this, form.findChild<QPlainTextEdit*>(QStringLiteral("mTransfer")),
        [this](const QString& line) { consider(m_watch.transferLogLine(line)); });
    onAppendedLine(this, form.findChild<QPlainTextEdit*>(QStringLiteral("mTimeLog")),
        [this](const QString& line) { consider(m_watch.timeLogLine(line)); });
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
