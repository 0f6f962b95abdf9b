// Desktop notifications: which reports become notices, and what a notification service on a
// private session bus receives.
#include "NotificationService.h"

#include "app/AppCore.h"
#include "app/FormNotifications.h"
#include "app/MainWindow.h"
#include "app/TransferLog.h"
#include "app/WidgetSettings.h"
#include "support/ManualClock.h"
#include "support/ScriptedDialogs.h"
#include "update/ui/UpdateDialog.h"

#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

using gw::NoticeCause;

namespace {

bool receivedCount(const NotificationService& service, int count)
{
    return QTest::qWaitFor([&] { return service.received.size() >= count; }, 5000) && service.received.size() == count;
}

QStringList summaries(const NotificationService& service)
{
    QStringList out;
    for (const auto& r : service.received)
        out << r.summary;
    return out;
}

} // namespace

TEST(NoticeWatch, FindsTheThreeCausesInWhatTheProgramReports)
{
    enum Source { Transfer, Time, Update };
    struct Case
    {
        const char* name;
        std::vector<std::pair<Source, QString>> reports;
        std::vector<NoticeCause> notices;
    };
    const QString failed = QStringLiteral("07.12.2026 10:00:00 - Error downloading file (404 Not Found)");
    const QString success = QStringLiteral("07.12.2026 10:00:00 - Success: 10 byte in 0.1 s");
    const Case cases[] = {
        { "two failures are not yet news", { { Transfer, failed }, { Transfer, failed } }, {} },
        { "the third failure in a row", { { Transfer, failed }, { Transfer, failed }, { Transfer, failed } },
            { NoticeCause::DownloadFailing } },
        { "a success between starts the count again",
            { { Transfer, failed }, { Transfer, failed }, { Transfer, success }, { Transfer, failed },
                { Transfer, failed } },
            {} },
        { "the count starts again after a notice",
            { { Transfer, failed }, { Transfer, failed }, { Transfer, failed }, { Transfer, failed },
                { Transfer, failed } },
            { NoticeCause::DownloadFailing } },
        { "a wrong checksum is no failed transfer",
            { { Transfer, QStringLiteral("x - Error wrong MD5 sum (AB)") }, { Transfer, failed },
                { Transfer, failed } },
            {} },
        { "timed downloads stopped at the server's request",
            { { Transfer,
                QStringLiteral("07.12.2026 10:00:00 - Timed downloads of https://celestrak.org/x stopped (HTTP/1.1 "
                               "404 Not Found): change the address or force a download") } },
            { NoticeCause::DownloadStopped } },
        { "time sync refused", { { Time, QStringLiteral("Could not synchronize time") } },
            { NoticeCause::TimeSyncRefused } },
        { "a server that does not answer is no refusal", { { Time, QStringLiteral("Error getting Time from a:123") } },
            {} },
        { "a newer version", { { Update, QStringLiteral("found new version 1.2.0.0 beta") } },
            { NoticeCause::NewVersion } },
        { "the search itself", { { Update, QStringLiteral("searching for new version...") } }, {} },
        { "a source that stopped changing",
            { { Transfer,
                QStringLiteral("08.12.2026 10:00:00 - Stale: https://h/images/2048x1024/clouds.jpg has not changed "
                               "since 26.05.2026 09:00:00") } },
            { NoticeCause::SourceStale } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gw::NoticeWatch watch;
        std::vector<NoticeCause> got;
        for (const auto& [source, text] : c.reports) {
            const std::optional<gw::Notice> n = source == Transfer ? watch.transferLogLine(text)
                : source == Time                                   ? watch.timeLogLine(text)
                                                                   : watch.updateStatus(text);
            if (n)
                got.push_back(n->cause);
        }
        EXPECT_EQ(got, c.notices);
    }
    EXPECT_TRUE(gw::NoticeWatch()
                    .updateStatus(QStringLiteral("found new version 1.2.0.0 beta"))
                    ->body.contains(QStringLiteral("1.2.0.0 beta")));
}

TEST(DesktopNotifier, AtMostOnePerCausePerDayAndOnlyWhenSwitchedOn)
{
    gwtest::PrivateBus bus;
    NotificationService service(bus);
    ASSERT_TRUE(service.registered()) << bus.address().toStdString();
    gw::ManualClock clock(46000.25);
    bool on = false;
    gw::DesktopNotifier notifier(
        clock, [&] { return on; }, bus.connect(QStringLiteral("client")));
    const gw::Notice version { NoticeCause::NewVersion, QStringLiteral("version"), QStringLiteral("v") };
    const gw::Notice time { NoticeCause::TimeSyncRefused, QStringLiteral("time"), QStringLiteral("t") };

    struct Step
    {
        const char* name;
        bool switchedOn;
        double days; // clock advance before the notice
        gw::Notice notice;
        bool sent;
    };
    const Step steps[] = {
        { "off by default", false, 0, version, false },
        { "switched on", true, 0, version, true },
        { "the same cause the same day", true, 0.5, version, false },
        { "another cause the same day", true, 0, time, true },
        { "the same cause the next day", true, 0.5, version, true },
        { "switched off again", false, 1, time, false },
    };
    int expected = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        on = s.switchedOn;
        clock.set(clock.now() + s.days);
        EXPECT_EQ(notifier.send(s.notice), s.sent);
        expected += s.sent ? 1 : 0;
    }
    // A last notice of a new day marks the end: the bus keeps one sender's order.
    on = true;
    clock.set(clock.now() + 1);
    ASSERT_TRUE(notifier.send(time));
    ASSERT_TRUE(receivedCount(service, expected + 1));
    EXPECT_EQ(summaries(service), (QStringList { "version", "time", "version", "time" }));
    const NotificationService::Received& first = service.received.first();
    EXPECT_EQ(first.appName, QStringLiteral("Globewall"));
    EXPECT_EQ(first.icon, QStringLiteral("net.quillmoor.Globewall"));
    EXPECT_EQ(first.body, QStringLiteral("v"));
    EXPECT_EQ(first.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("net.quillmoor.Globewall"));
}

TEST(FormNotifications, TheWindowsReportsReachTheDesktopWhenTheBoxIsTicked)
{
    gwtest::PrivateBus bus;
    NotificationService service(bus);
    ASSERT_TRUE(service.registered()) << bus.address().toStdString();
    gw::ManualClock clock(46000.5);
    gw::ScriptedDialogs dialogs;
    gw::AppCore::Options options;
    options.clock = &clock;
    options.dialogs = &dialogs;
    options.runCreation = false;
    options.showTray = false;
    gw::AppCore app(options);
    MainWindow& form = app.window();
    gw::FormNotifications notifications(app, bus.connect(QStringLiteral("client")));
    gw::UpdateDialog update(app.settings(), dialogs, clock, &form);
    emit app.updateDialogMade(&update); // as the first "Check for Update" does
    auto* status = update.findChild<QStatusBar*>(QStringLiteral("StatusBar"));
    ASSERT_NE(status, nullptr);

    EXPECT_FALSE(app.settings().checked(QStringLiteral("cbNotifications"))) << "off by default";
    app.transferLog().appendLine(QStringLiteral("x - Error downloading file (timed out)"));
    app.transferLog().appendLine(QStringLiteral("x - Error downloading file (timed out)"));
    app.transferLog().appendLine(QStringLiteral("x - Error downloading file (timed out)"));

    app.settings().setChecked(QStringLiteral("cbNotifications"), true);
    for (int i = 0; i < 3; ++i)
        app.transferLog().appendLine(QStringLiteral("x - Error downloading file (404 Not Found)"));
    form.findChild<QPlainTextEdit*>(QStringLiteral("mTimeLog"))
        ->appendPlainText(QStringLiteral("Could not synchronize time"));
    status->showMessage(QStringLiteral("found new version 9.0.0.0"));
    ASSERT_TRUE(receivedCount(service, 3)) << summaries(service).join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(summaries(service),
        (QStringList { QStringLiteral("Downloads keep failing"), QStringLiteral("Time not synchronized"),
            QStringLiteral("New Globewall version") }));
    EXPECT_TRUE(service.received[0].body.contains(QStringLiteral("404 Not Found")));
}
