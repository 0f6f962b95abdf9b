// "Check for Update" on the window reaches the update dialog, which asks the program's web
// server (a lighttpd on loopback) and holds DownloadBusy while it is open.
#include "AppRig.h"
#include "ServerProcess.h"
#include "ui_MainWindow.h"
#include "update/ui/UpdateDialog.h"

#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(UpdateWiring, CheckForUpdateShowsTheDialogUnlessADownloadRuns)
{
    gwtest::AppRig rig;
    gwtest::TempDir www;
    QDir().mkpath(www.file("soft"));
    gwtest::writeFile(www.file("soft/updates.ini"), "[Globewall]\nVersion=1.1.3.100\n");
    gwtest::LighttpdFixture server(www.path());
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    gw::endpoints::hosts().program = server.url(QString());
    gw::endpoints::hosts().updates = server.url(QString());

    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    EXPECT_EQ(form.ui()->btnCheckForUpdate->toolTip(), "visit \"" + gw::endpoints::programHome() + "\"");

    // Plays the user: presses "Close" once the check has ended; a hung check fails the test.
    int opened = 0;
    bool busyWhileOpen = false;
    QStringList memo;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        gw::UpdateDialog* dialog = app.updateDialog();
        if (!dialog || !dialog->isVisible())
            return;
        busyWhileOpen = app.state().DownloadBusy;
        auto* close = dialog->findChild<QPushButton*>("btnClose");
        if (close && close->isVisible()) {
            ++opened;
            memo = dialog->memoLines();
            close->click();
        }
    });
    poll.start(10);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (gw::UpdateDialog* dialog = app.updateDialog())
            dialog->reject();
    });
    watchdog.start(20000);

    struct Case
    {
        const char* label;
        bool downloadBusy;
        int opened;
    };
    const Case cases[] = {
        { "a download runs: nothing", true, 0 },
        { "otherwise the dialog checks", false, 1 },
    };
    EXPECT_EQ(app.updateDialog(), nullptr) << "made at the first click, as a start shows none";
    for (const Case& c : cases) {
        app.state().DownloadBusy = c.downloadBusy;
        form.ui()->btnCheckForUpdate->click();
        EXPECT_EQ(opened, c.opened) << c.label;
        EXPECT_EQ(app.state().DownloadBusy, c.downloadBusy) << c.label << ": the flag as it was";
    }
    EXPECT_TRUE(busyWhileOpen) << "DownloadBusy held while the dialog is open";
    EXPECT_TRUE(memo.join('\n').contains("no new version available")) << memo.join('\n').toStdString();
}

} // namespace
