// The "Download settings" page of the window against a lighttpd on loopback that serves the
// built-in addresses: the buttons and the tray item reach the download jobs, downloads are
// recorded in the current settings file, and what follows a download (marker file, satellite
// file, render) happens through the window's own parts.
#include "AppRig.h"
#include "ServerProcess.h"
#include "app/WindowTransferDisplay.h"
#include "downloads/DownloadRecords.h"
#include "renderer_launch/LaunchSupport.h"
#include "settings/IniFile.h"
#include "ui_TForm1.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QProgressBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A JPEG frame header of 2048x1024, data and the end marker: what the cloud map check reads.
const QByteArray CloudMap = QByteArray("\xFF\xD8\xFF\xC0\x00\x11\x08\x04\x00\x08\x00\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 21)
    + QByteArray(3000, 'c') + "\xFF\xD9";

class DownloadsWiring : public ::testing::Test
{
protected:
    void SetUp() override
    {
        serve("clouds_2000.jpg", CloudMap);
        serve("md5sum", QCryptographicHash::hash(CloudMap, QCryptographicHash::Md5).toHex() + "\n");
        serve("earthquakes/feed/v1.0/summary/2.5_week.csv",
            "time,latitude,longitude,depth,mag,place\n2026-12-07T10:00:00Z,35.5,139.8,10,5.1,\"Honshu, Japan\"\n");
        serve("NORAD/elements/gp.php", gwtest::readFile(gwtest::testData("jobs/stations.txt")));
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        const QString host = server.url(QString());
        gw::endpoints::hosts() = { host, host, host, host, host, host, host, host };
        // The satellite-element site keeps a gap of its own: another name for the same server.
        gw::endpoints::hosts().satellites = QString(host).replace("127.0.0.1", "localhost");

        form = &rig.create();
        form->setMessageWindow(&messages);
        form->settings().setText("edtWebAdress", gw::endpoints::cloudMap());
        form->settings().setText(
            "edtAppFile", launchtest::writeScript(rig.homeDir.file("bin/xplanet"), "echo rendered"));
    }

    void serve(const QString& path, const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(www.file(path)).path());
        gwtest::writeFile(www.file(path), content);
    }
    QString xplanet(const QString& path) const { return rig.home() + "/.xplanet/" + path; }
    QStringList logLines() const { return form->ui()->mTransfer->toPlainText().split('\n'); }
    int linesContaining(const QString& text) const { return logLines().filter(text).size(); }

    gwtest::AppRig rig;
    gwtest::TempDir www;
    gwtest::LighttpdFixture server { www.path() };
    gw::MemoryMessageWindow messages;
    TForm1* form = nullptr;
};

TEST_F(DownloadsWiring, CheckDownloadsFetchesEverythingRecordsItAndRenders)
{
    form->ui()->btnCheckDownloads->click();
    EXPECT_EQ(gwtest::readFile(xplanet("images/clouds_2048.jpg")), CloudMap) << "the cloud map, MD5 verified";
    EXPECT_TRUE(QFileInfo::exists(xplanet("markers/quake.csv")));
    EXPECT_EQ(gwtest::readFile(xplanet("markers/quake.marker")), "35.5 139.8 \"Honshu, Japan (5.1)\" color=green\r\n")
        << "the earthquake feed converted";
    EXPECT_TRUE(QFileInfo::exists(xplanet("satellites/iss.tle")));
    EXPECT_EQ(linesContaining(" - Success: "), 3) << logLines().join('\n').toStdString();
    EXPECT_EQ(messages.lines.count("Parameter:"), 1) << "the renderer started after the cloud map";
    EXPECT_FALSE(QApplication::overrideCursor()) << "the busy cursor is gone";
    EXPECT_EQ(form->ProgressBar()->maximum(), QFileInfo(xplanet("satellites/iss.tle")).size())
        << "the bar counted the last transfer";

    gw::IniFile ini(form->settingsFile().ConfigFileName());
    ini.load();
    EXPECT_FALSE(ini.readString(gw::DownloadRecords::Section, gw::endpoints::quakeFeed(), QString()).isEmpty())
        << "recorded in the current settings file";

    // Nothing new on the server: the records are found again, nothing is fetched or rendered.
    form->ui()->pmDownloadfromHTTPnow->trigger();
    EXPECT_EQ(linesContaining(" still up to date"), 2) << logLines().join('\n').toStdString();
    EXPECT_EQ(linesContaining(" - iss.tle not downloaded: its server allows the next download at "), 1)
        << "the satellite site is asked every two hours at most";
    EXPECT_EQ(messages.lines.count("Parameter:"), 1);
    EXPECT_TRUE(rig.dialogs.messages().isEmpty()) << rig.dialogs.messages().join('\n').toStdString();
}

TEST_F(DownloadsWiring, ForcedListDownloadWritesTheSatelliteFile)
{
    rig.dialogs.queueFile(xplanet("images/sat.png"));
    form->ui()->btnDownloadTleNow->click();
    ASSERT_FALSE(rig.dialogs.asked.empty());
    EXPECT_EQ(rig.dialogs.asked.back().request.title, "Please choose a Sat picture...");
    const QList<QByteArray> lines = gwtest::readFile(xplanet("satellites/iss")).split('\n');
    ASSERT_GE(lines.size(), 7);
    EXPECT_EQ(lines[6], "25544 image=sat.png transparent={0,0,0} color=red\r");
    EXPECT_EQ(form->settings().lines("mSatfiles").count("iss"), 2) << "listed again; written with the next change";
    EXPECT_EQ(messages.lines.count("Parameter:"), 0) << "the force button starts no render";
}

TEST_F(DownloadsWiring, CloudAddressFieldLabelAndTheFileRunAfterDownloads)
{
    form->settings().setText("edtFileDestination", QString());
    form->ui()->edtWebAdress->setText("http://example.invalid/maps/clouds.jpg");
    EXPECT_EQ(form->settings().text("edtFileDestination"), xplanet("images/clouds.jpg"))
        << "an empty destination is proposed from the address";

    QTest::mouseClick(form->ui()->Label4, Qt::LeftButton);
    EXPECT_EQ(rig.launcher.started, (QList<QStringList> { { "testapp", gw::endpoints::cloudsPage() } }));

    const QString marker = rig.homeDir.file("ran");
    const QString after = launchtest::writeScript(rig.homeDir.file("after/run.sh"), "touch '" + marker.toUtf8() + "'");
    rig.dialogs.queueFile(after);
    form->ui()->btnChooseExecuteFile->click();
    EXPECT_EQ(form->settings().text("edtExecuteFileAfterDownload"), after);
    form->ui()->btnExecuteFileNow->click();
    EXPECT_TRUE(QFileInfo::exists(marker)) << "\"now\" runs it";
}

TEST(WindowTransferDisplay, TransfersOver2GiBAreScaledToTheBar)
{
    QProgressBar bar;
    gw::WindowTransferDisplay display(&bar, {});
    constexpr qint64 GiB = qint64(1) << 30;
    struct Case
    {
        const char* label;
        qint64 max;
        qint64 position;
        int barMax;
        int barValue;
    };
    const Case cases[] = {
        { "small file", 1000, 500, 1000, 500 },
        { "largest int", 2 * GiB - 1, GiB, int(2 * GiB - 1), int(GiB) },
        { "2 GiB: halved", 2 * GiB, GiB, int(GiB), int(GiB / 2) },
        { "5 GiB, near the end", 5 * GiB, 5 * GiB - 4, int(5 * GiB / 4), int(5 * GiB / 4) - 1 },
        { "more than announced", 1000, 4000, 1000, 1000 },
        { "unknown size", -1, 10, 0, 0 },
    };
    for (const Case& c : cases) {
        display.setProgressMax(c.max);
        display.setProgressPosition(c.position);
        EXPECT_EQ(display.progressMax(), c.max) << c.label << ": the maximum reads back unscaled";
        EXPECT_EQ(bar.maximum(), c.barMax) << c.label;
        EXPECT_EQ(bar.value(), c.barValue) << c.label;
    }
}

TEST(WindowTransferDisplay, BusyCursorIsSetOnceAndAlwaysTakenBack)
{
    {
        gw::WindowTransferDisplay display(nullptr, {});
        display.setBusyCursor(true);
        display.setBusyCursor(true);
        ASSERT_TRUE(QApplication::overrideCursor());
        display.setBusyCursor(false);
        EXPECT_FALSE(QApplication::overrideCursor()) << "one set, one restore";
        display.setBusyCursor(true);
    }
    EXPECT_FALSE(QApplication::overrideCursor()) << "taken back when the window goes";
}

} // namespace
