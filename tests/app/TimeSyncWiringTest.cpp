// The "Time Sync" page of the window: "synchronize Time" against a fake SNTP server on
// loopback with a recording clock setter, and the list editor on the page's own controls.
#include "AppRig.h"
#include "timesync/TimeSync.h"
#include "timesync/ui/TimeServerEditor.h"
#include "ui_MainWindow.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(TimeSyncWiring, SynchronizeTimeAsksTheFirstCheckedServerAndLogs)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    gwtest::FakeSntpServer server(rig.clock);
    ASSERT_TRUE(server.listen());
    app.timeSync().overridePortAndTimeoutForTests(server.port(), 500);
    server.setOffsetsSeconds({ -1.5 });
    app.settings().setCheckItems("cbTimeServer", { { "unchecked.invalid", false }, { "127.0.0.1", true } });

    form.ui()->btnCheckTimeServer->click();
    const QStringList log = form.ui()->mTimeLog->toPlainText().split('\n');
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].endsWith(") - 127.0.0.1:" + QString::number(server.port()))) << log[0].toStdString();
    EXPECT_TRUE(log[0].contains("(-00:00:01")) << log[0].toStdString();
    EXPECT_EQ(rig.clockSetter.asked.size(), 1) << "the clock was set once, through the injected setter";

    // Nobody answers: the log says so and the clock stays.
    server.setReply(gwtest::FakeSntpServer::Reply::Silent);
    app.timeSync().overridePortAndTimeoutForTests(server.port(), 50);
    form.ui()->btnCheckTimeServer->click();
    EXPECT_EQ(form.ui()->mTimeLog->toPlainText().split('\n').last(), "Could not synchronize time");
    EXPECT_EQ(rig.clockSetter.asked.size(), 1);
}

TEST(TimeSyncWiring, ServerListEditsInPlaceAndLinksToTheServerPage)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    EXPECT_EQ(app.timeServerEditor().contextMenu(), form.pmTimeServer()) << "the window's own menu";
    EXPECT_EQ(app.timeServerEditor().TimeServerEditIndex(), -1) << "add mode after creation";

    QTest::keyClicks(form.ui()->edtTimeServer, "ntp.example.org");
    form.ui()->btnAddTimeServer->click();
    const QVector<gw::CheckItem> items = app.settings().checkItems("cbTimeServer");
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[1].text, "ntp.example.org");
    EXPECT_TRUE(items[1].checked) << "a new entry is checked";
    EXPECT_TRUE(form.ui()->edtTimeServer->text().isEmpty());

    QTest::mouseClick(form.ui()->lbTimeServer, Qt::LeftButton);
    EXPECT_EQ(rig.launcher.started, (QList<QStringList> { { "testapp", gw::TimeServerEditor::timeServerListUrl() } }));
}

// Loading another settings file ends an edit: typing afterwards must not overwrite the new
// file's server that now stands in the edited row.
TEST(TimeSyncWiring, LoadingASettingsFileEndsTheServerEdit)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    const QString other = rig.programFile("other.ini");
    app.settings().setCheckItems("cbTimeServer", { { "other.example", true } });
    rig.dialogs.queueFile(other);
    form.ui()->btIniSaveAs->click();
    app.settings().setCheckItems("cbTimeServer", { { "pool.ntp.org", true } });

    QListWidget* list = form.ui()->cbTimeServer;
    app.timeServerEditor().cbParameterMouseUp(list->visualItemRect(list->item(0)).center());
    app.timeServerEditor().Edit1Click();
    ASSERT_EQ(app.timeServerEditor().TimeServerEditIndex(), 0);
    rig.dialogs.queueFile(other);
    form.ui()->btnIniLoad->click();
    ASSERT_EQ(list->item(0)->text(), "other.example");

    QTest::keyClicks(form.ui()->edtTimeServer, "x");
    EXPECT_EQ(list->item(0)->text(), "other.example");
    EXPECT_EQ(app.timeServerEditor().TimeServerEditIndex(), -1);
}

// Escape in the field cancels what is being typed; only an idle field lets the window have it
// (to the tray).
TEST(TimeSyncWiring, EscapeInTheServerFieldCancelsTheEditNotTheWindow)
{
    struct Case
    {
        const char* name;
        bool editEntry; // else a new entry is typed
        const char* typed;
        bool toTray;
        const char* entryAfter;
    };
    const Case cases[] = {
        { "editing an entry", true, "typo", false, "pool.ntp.org" },
        { "typing a new entry", false, "new.example", false, "pool.ntp.org" },
        { "idle field", false, "", true, "pool.ntp.org" },
    };
    for (const Case& c : cases) {
        gwtest::AppRig rig;
        gw::AppCore& app = rig.create();
        MainWindow& form = app.window();
        form.show();
        QListWidget* list = form.ui()->cbTimeServer;
        QLineEdit* field = form.ui()->edtTimeServer;
        list->setCurrentRow(0);
        if (c.editEntry) {
            app.timeServerEditor().cbParameterMouseUp(list->visualItemRect(list->item(0)).center());
            app.timeServerEditor().Edit1Click();
            field->clear();
        }
        QTest::keyClicks(field, c.typed);
        QTest::keyClick(field, Qt::Key_Escape);
        EXPECT_EQ(form.inTray(), c.toTray) << c.name;
        EXPECT_EQ(list->item(0)->text(), QString::fromLatin1(c.entryAfter)) << c.name;
        EXPECT_EQ(list->count(), 1) << c.name;
        EXPECT_TRUE(field->text().isEmpty()) << c.name;
        EXPECT_EQ(app.timeServerEditor().TimeServerEditIndex(), -1) << c.name;
    }
}

} // namespace
