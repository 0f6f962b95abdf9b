// The "Time Sync" page of the window: "synchronize Time" against a fake SNTP server on
// loopback with a recording clock setter, and the list editor on the page's own controls.
#include "AppRig.h"
#include "timesync/ui/TimeServerEditor.h"
#include "timesync/TimeSync.h"
#include "ui_TForm1.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(TimeSyncWiring, SynchronizeTimeAsksTheFirstCheckedServerAndLogs)
{
    gwtest::AppRig rig;
    TForm1& form = rig.create();
    gwtest::FakeSntpServer server(rig.clock);
    ASSERT_TRUE(server.listen());
    form.timeSync().overridePortAndTimeoutForTests(server.port(), 500);
    server.setOffsetsSeconds({ -1.5 });
    form.settings().setCheckItems("cbTimeServer", { { "unchecked.invalid", false }, { "127.0.0.1", true } });

    form.ui()->btnCheckTimeServer->click();
    const QStringList log = form.ui()->mTimeLog->toPlainText().split('\n');
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].endsWith(") - 127.0.0.1:" + QString::number(server.port()))) << log[0].toStdString();
    EXPECT_TRUE(log[0].contains("(-00:00:01")) << log[0].toStdString();
    EXPECT_EQ(rig.clockSetter.asked.size(), 1) << "the clock was set once, through the injected setter";

    // Nobody answers: the log says so and the clock stays.
    server.setReply(gwtest::FakeSntpServer::Reply::Silent);
    form.timeSync().overridePortAndTimeoutForTests(server.port(), 50);
    form.ui()->btnCheckTimeServer->click();
    EXPECT_EQ(form.ui()->mTimeLog->toPlainText().split('\n').last(), "Could not synchronize time");
    EXPECT_EQ(rig.clockSetter.asked.size(), 1);
}

TEST(TimeSyncWiring, ServerListEditsInPlaceAndLinksToTheServerPage)
{
    gwtest::AppRig rig;
    TForm1& form = rig.create();
    EXPECT_EQ(form.timeServerEditor().contextMenu(), form.pmTimeServer()) << "the window's own menu";
    EXPECT_EQ(form.timeServerEditor().TimeServerEditIndex(), -1) << "add mode after creation";

    QTest::keyClicks(form.ui()->edtTimeServer, "ntp.example.org");
    form.ui()->btnAddTimeServer->click();
    const QVector<gw::CheckItem> items = form.settings().checkItems("cbTimeServer");
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[1].text, "ntp.example.org");
    EXPECT_TRUE(items[1].checked) << "a new entry is checked";
    EXPECT_TRUE(form.ui()->edtTimeServer->text().isEmpty());

    QTest::mouseClick(form.ui()->lbTimeServer, Qt::LeftButton);
    EXPECT_EQ(rig.launcher.started, (QList<QStringList> { { "testapp", gw::TimeServerEditor::timeServerListUrl() } }));
}

} // namespace
