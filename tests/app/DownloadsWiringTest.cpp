// The "Download settings" page of the window against a lighttpd on loopback that serves the
// built-in addresses: the buttons and the tray item reach the download jobs, downloads are
// recorded in the current settings file, and what follows a download (marker file, satellite
// file, render) happens through the window's own parts.
#include "AppRig.h"
#include "ServerProcess.h"
#include "app/TransferLog.h"
#include "app/WindowTransferDisplay.h"
#include "net/DownloadRecords.h"
#include "renderer/ConfigEditor.h"
#include "renderer/ConfigText.h"
#include "renderer_launch/LaunchSupport.h"
#include "settings/IniFile.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QProcess>
#include <QProgressBar>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A JPEG frame header of 2048x1024, data and the end marker: what the cloud map check reads.
const QByteArray CloudMap
    = QByteArray("\xFF\xD8\xFF\xC0\x00\x11\x08\x04\x00\x08\x00\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 21)
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
        gw::endpoints::hosts() = { host, host, host, host, host, host, host, host, host, host, host };
        static_assert(sizeof(gw::endpoints::Hosts) == 11 * sizeof(QString), "every host on loopback");
        // The satellite-element site keeps a gap of its own: another name for the same server.
        gw::endpoints::hosts().satellites = QString(host).replace("127.0.0.1", "localhost");

        app = &rig.create();

        form = &app->window();
        app->settings().setText("edtWebAdress", gw::endpoints::cloudMap());
        app->settings().setText(
            "edtAppFile", launchtest::writeScript(rig.homeDir.file("bin/xplanet"), "echo rendered"));
    }

    void serve(const QString& path, const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(www.file(path)).path());
        gwtest::writeFile(www.file(path), content);
    }
    QString xplanet(const QString& path) const { return rig.home() + "/.xplanet/" + path; }
    QStringList logLines() const { return app->transferLog().text().split('\n'); }
    int linesContaining(const QString& text) const { return logLines().filter(text).size(); }

    gwtest::AppRig rig;
    gwtest::TempDir www;
    gwtest::LighttpdFixture server { www.path() };
    gw::MemoryMessageWindow& messages = rig.messages;
    gw::AppCore* app = nullptr;
    MainWindow* form = nullptr;
};

TEST_F(DownloadsWiring, CheckDownloadsFetchesEverythingRecordsItAndRenders)
{
    form->ui()->btnCheckDownloads->click();
    EXPECT_EQ(gwtest::readFile(xplanet("images/clouds_2048.jpg")), CloudMap) << "the cloud map, MD5 verified";
    EXPECT_TRUE(QFileInfo::exists(xplanet("markers/quake.csv")));
    EXPECT_EQ(gwtest::readFile(xplanet("markers/quake.marker")),
        "35.5 139.8 \"Honshu, Japan (5.1)\" color={255,0,0} symbolsize=7\r\n")
        << "the earthquake feed converted; the program's clock stands before the quake: the newest colour";
    EXPECT_TRUE(QFileInfo::exists(xplanet("satellites/iss.tle")));
    EXPECT_EQ(linesContaining(" - Success: "), 3) << logLines().join('\n').toStdString();
    EXPECT_EQ(messages.lines.count("Parameter:"), 1) << "the renderer started after the cloud map";
    EXPECT_FALSE(QApplication::overrideCursor()) << "the busy cursor is gone";
    EXPECT_EQ(form->ProgressBar()->maximum(), QFileInfo(xplanet("satellites/iss.tle")).size())
        << "the bar counted the last transfer";

    gw::IniFile ini(app->settingsFile().ConfigFileName());
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

// The layer boxes show what the list fetches and change it: a click adds the row, names the
// markers in the earth's section of the configuration file and fetches them; a second click
// takes both away; a row typed by hand ticks its box.
TEST_F(DownloadsWiring, LayerBoxesFollowTheRowsAndChangeThem)
{
    serve("json/ovation_aurora_latest.json", R"({"Observation Time":"x","coordinates":[[10,65,100],[10,20,0]]})");
    Ui::MainWindow* ui = form->ui();
    EXPECT_TRUE(ui->cbLayerEarthquakes->isChecked()) << "the first start's rows";
    EXPECT_TRUE(ui->cbLayerIss->isChecked()) << "the first start's rows";
    EXPECT_FALSE(ui->cbLayerAurora->isChecked());
    const auto earth
        = [this] { return gw::bodySectionText(gw::readConfigFile(xplanet("config/default")).lines, "earth"); };

    ui->cbLayerAurora->click();
    EXPECT_TRUE(ui->cbLayerAurora->isChecked());
    EXPECT_EQ(app->settings().cell("sgDownloadFiles", 0, 3), gw::endpoints::auroraFeed());
    EXPECT_EQ(gwtest::readFile(xplanet("markers/aurora.marker")),
        "65 10 \"\" color={255,0,0} symbolsize=2 outlined=false\r\n")
        << logLines().join('\n').toStdString();
    EXPECT_TRUE(earth().contains("marker_file=aurora.marker")) << earth().join('\n').toStdString();

    ui->cbLayerAurora->click();
    EXPECT_FALSE(ui->cbLayerAurora->isChecked());
    EXPECT_EQ(app->settings().cell("sgDownloadFiles", 0, 3), QString());
    EXPECT_FALSE(earth().contains("marker_file=aurora.marker"));
    EXPECT_EQ(app->settings().cell("sgDownloadFiles", 0, 1), gw::endpoints::quakeFeed()) << "the other rows stay";

    app->settings().setCell("sgDownloadFiles", 0, 6, gw::endpoints::stormFeed());
    EXPECT_TRUE(ui->cbLayerStorms->isChecked()) << "a row typed by hand ticks its box";

    serve("api/v3/events/geojson",
        R"({"type":"FeatureCollection","features":[{"type":"Feature","properties":{"id":"V","title":"Etna Volcano, )"
        R"(Italy","date":"2026-09-01T00:00:00Z"},"geometry":{"type":"Point","coordinates":[15,37.75]}}]})");
    EXPECT_FALSE(ui->cbLayerVolcanoes->isChecked());
    // A host of its own, as the tracker has: the server's gap after the aurora does not hold it.
    gw::endpoints::hosts().naturalEvents = QString(server.url(QString())).replace("127.0.0.1", "localhost");
    ui->cbLayerVolcanoes->click();
    EXPECT_TRUE(ui->cbLayerVolcanoes->isChecked());
    EXPECT_EQ(gwtest::readFile(xplanet("markers/volcanoes.marker")),
        "37.75 15 \"Etna Volcano\" color={255,140,0} symbolsize=6\r\n")
        << logLines().join('\n').toStdString();
    EXPECT_TRUE(earth().contains("marker_file=volcanoes.marker")) << earth().join('\n').toStdString();
    EXPECT_FALSE(ui->cbLayerWildfires->isChecked()) << "each category is a layer of its own";
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
    EXPECT_EQ(lines[6], "25544 image=sat.png transparent={0,0,0} color=red trail={orbit,-10,45,1}\r")
        << "the first start draws the station's orbit trail";
    EXPECT_EQ(app->settings().lines("mSatfiles").count("iss"), 2) << "listed again; written with the next change";
    EXPECT_EQ(messages.lines.count("Parameter:"), 0) << "the force button starts no render";
}

TEST_F(DownloadsWiring, CloudAddressFieldLabelAndTheFileRunAfterDownloads)
{
    app->settings().setText("edtFileDestination", QString());
    form->ui()->edtWebAdress->setText("http://example.invalid/maps/clouds.jpg");
    EXPECT_EQ(app->settings().text("edtFileDestination"), xplanet("images/clouds.jpg"))
        << "an empty destination is proposed from the address";

    QTest::mouseClick(form->ui()->Label4, Qt::LeftButton);
    EXPECT_EQ(rig.launcher.started, (QList<QStringList> { { "testapp", gw::endpoints::cloudsPage() } }));

    const QString marker = rig.homeDir.file("ran");
    const QString after = launchtest::writeScript(rig.homeDir.file("after/run.sh"), "touch '" + marker.toUtf8() + "'");
    rig.dialogs.queueFile(after);
    form->ui()->btnChooseExecuteFile->click();
    EXPECT_EQ(app->settings().text("edtExecuteFileAfterDownload"), after);
    form->ui()->btnExecuteFileNow->click();
    EXPECT_TRUE(QFileInfo::exists(marker)) << "\"now\" runs it";
}

// The station the first start names is drawn: after the list download its satellite file
// exists, and the real xplanet, reading the first start's configuration, draws it with its
// label in red on a whole-world map. The same render without the satellite file shows what
// else is drawn.
TEST_F(DownloadsWiring, TheFirstStartsStationIsDrawnWithItsLabel)
{
    const QString program = QStandardPaths::findExecutable("xplanet");
    if (program.isEmpty())
        GTEST_SKIP() << "xplanet is not installed";
    app->settings().setText("edtWebAdress", QString());
    app->settings().setChecked("cbStartAfterDownload", false);
    form->ui()->btnCheckDownloads->click();
    ASSERT_TRUE(QFileInfo::exists(xplanet("satellites/iss"))) << logLines().join('\n').toStdString();

    QByteArray said;
    const auto render = [&](const QString& name) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        // At the elements' epoch, so the position is the one they describe.
        p.start(program,
            { "-num_times", "1", "-config", "default", "-projection", "rectangular", "-geometry", "800x400", "-date",
                "20240301.120000", "-output", rig.homeDir.file(name) });
        EXPECT_TRUE(p.waitForFinished(60000));
        said = p.readAll();
        return QImage(rig.homeDir.file(name)).convertToFormat(QImage::Format_RGB32);
    };
    const QImage with = render("with.png");
    EXPECT_FALSE(said.contains("satellite"))
        << "xplanet took the satellite file and its elements: " << said.toStdString();
    ASSERT_TRUE(QFile::rename(xplanet("satellites/iss"), xplanet("satellites/iss.off")));
    const QImage without = render("without.png");
    ASSERT_EQ(with.size(), QSize(800, 400));
    ASSERT_EQ(without.size(), with.size());

    QRect changed;
    int red = 0;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x) {
            const QRgb a = with.pixel(x, y);
            if (a == without.pixel(x, y))
                continue;
            changed |= QRect(x, y, 1, 1);
            red += qRed(a) > 180 && qGreen(a) < 100 && qBlue(a) < 100;
        }
    EXPECT_GT(red, 200) << "the label and the track, in the satellite file's red";
    // The station's picture, its label and its orbit trail from ten minutes back to 45 ahead
    // (a little over half an orbit: about half the map's width), starting over Europe at that
    // hour; nothing else on the map changed.
    EXPECT_LT(changed.width(), 520) << changed.x() << "," << changed.y();
    EXPECT_LT(changed.height(), 300);
    EXPECT_TRUE(changed.intersects(QRect(350, 40, 150, 80))) << changed.x() << "," << changed.y();
}

TEST_F(DownloadsWiring, ALiveCloudSourcePickedFillsTheAddressAndItsFileBesideTheCurrentOne)
{
    const QString own = "http://example.invalid/maps/clouds.jpg";
    const QString mine = rig.homeDir.file("maps/mine.jpg");
    struct Row
    {
        const char* name;
        QString destinationBefore;
        int pick;
        QString address;
        QString destination;
    };
    const Row rows[] = {
        { "no destination yet: the images folder", QString(), 2, gw::endpoints::liveCloudMap("2048x1024"),
            xplanet("images/clouds_2048.jpg") },
        { "the folder of the current destination", mine, 4, gw::endpoints::liveCloudMap("8192x4096"),
            rig.homeDir.file("maps/clouds_8192.jpg") },
        { "a bare file name: the images folder", "clouds.jpg", 1, gw::endpoints::liveCloudMap("1024x512"),
            xplanet("images/clouds_1024.jpg") },
        { "own address changes nothing", mine, 0, own, mine },
    };
    QComboBox* sources = form->ui()->ddbCloudSource;
    for (const Row& row : rows) {
        app->settings().setText("edtWebAdress", own);
        app->settings().setText("edtFileDestination", row.destinationBefore);
        sources->setCurrentIndex(row.pick);
        emit sources->activated(row.pick);
        EXPECT_EQ(app->settings().text("edtWebAdress"), row.address) << row.name;
        EXPECT_EQ(app->settings().text("edtFileDestination"), row.destination) << row.name;
        EXPECT_EQ(sources->currentIndex(), row.pick) << row.name;
    }
    form->ui()->edtWebAdress->setText(gw::endpoints::liveCloudMap("4096x2048"));
    EXPECT_EQ(sources->currentText(), "live clouds 4096x2048") << "the drop-down follows a typed address";
    form->ui()->edtWebAdress->setText(gw::endpoints::liveCloudMap("4096x2048") + "?x");
    EXPECT_EQ(sources->currentIndex(), 0);
    EXPECT_EQ(form->ui()->lbCloudCredit->text(), "Contains modified EUMETSAT data");
}

// The addresses the drop-down of earlier versions wrote no longer change: a load moves them,
// and only them, to where the maps are published now.
TEST_F(DownloadsWiring, ALoadMovesTheFormerLiveCloudAddressesOnly)
{
    const QString former = "https://matteason.github.io/live-cloud-maps/images/";
    struct Row
    {
        const char* name;
        QString stored;
        QString loaded;
        int logLines;
    };
    const Row rows[] = {
        { "a former drop-down address", former + "4096x2048/clouds.jpg", gw::endpoints::liveCloudMap("4096x2048"), 1 },
        { "the current address", gw::endpoints::liveCloudMap("1024x512"), gw::endpoints::liveCloudMap("1024x512"), 0 },
        { "another file of the former host", former + "2048x1024/other.jpg", former + "2048x1024/other.jpg", 0 },
        { "the user's own address", "http://example.invalid/clouds.jpg", "http://example.invalid/clouds.jpg", 0 },
    };
    for (const Row& row : rows) {
        const QString file = rig.homeDir.write("old.ini", "[Config]\nWeb Adress=" + row.stored.toUtf8() + "\n");
        const int before = linesContaining(" moved to ");
        app->settingsFile().IniLoad(file);
        EXPECT_EQ(app->settings().text("edtWebAdress"), row.loaded) << row.name;
        EXPECT_EQ(linesContaining("Cloud map address " + row.stored + " moved to " + row.loaded), row.logLines)
            << row.name;
        EXPECT_EQ(linesContaining(" moved to ") - before, row.logLines) << row.name;
    }
}

// A live source picked is a source set up: checked as often as it publishes, and named in the
// renderer's configuration unless the user named a map there.
TEST_F(DownloadsWiring, ALiveCloudSourcePickedIsCheckedAndDrawn)
{
    struct Row
    {
        const char* name;
        int intervalBefore;
        QString mapBefore; // the earth's cloud_map before; empty: none
        int interval;
        QString map;
    };
    const Row rows[] = {
        { "the default interval is raised to the cadence", 30, QString(), 180, "clouds_2048.jpg" },
        { "a longer interval stays", 600, QString(), 600, "clouds_2048.jpg" },
        { "a map the user named stays", 30, "mine.jpg", 180, "mine.jpg" },
    };
    gw::ConfigEditor& config = app->configEditor();
    QComboBox* sources = form->ui()->ddbCloudSource;
    for (const Row& row : rows) {
        app->settings().setChecked("cbCheckForNewFile", false);
        app->settings().setInteger("seCheckForNewFiles", row.intervalBefore);
        app->settings().setText("edtFileDestination", QString());
        config.changeConfigParameter(
            "earth", "cloud_map", row.mapBefore.isEmpty() ? QStringList() : QStringList { row.mapBefore });
        config.btnApplyChangesClick();

        sources->setCurrentIndex(2);
        emit sources->activated(2);
        EXPECT_TRUE(app->settings().checked("cbCheckForNewFile")) << row.name;
        EXPECT_EQ(app->settings().integer("seCheckForNewFiles"), row.interval) << row.name;
        const QStringList earth
            = gw::bodySectionText(gw::readConfigFile(config.configTarget("default")).lines, "earth");
        EXPECT_EQ(earth.filter(QRegularExpression("^cloud_map\\s*=")), QStringList { "cloud_map=" + row.map })
            << row.name << "\n"
            << earth.join('\n').toStdString();
    }
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

// The live cloud maps' terms ask for their credit line wherever one is used, and only then.
TEST_F(DownloadsWiring, TheLiveMapsCreditShowsWhileOneIsChosen)
{
    Ui::MainWindow* ui = form->ui();
    struct Case
    {
        const char* label;
        QString address;
        bool credited;
    };
    const Case cases[] = {
        { "the renderer's own map", gw::endpoints::cloudMap(), false },
        { "a live map", gw::endpoints::liveCloudMap("2048x1024"), true },
        { "an address of the user's", "https://example.org/clouds.jpg", false },
    };
    for (const Case& c : cases) {
        ui->edtWebAdress->setText(c.address);
        EXPECT_EQ(!ui->lbCloudCredit->isHidden(), c.credited) << c.label;
        EXPECT_EQ(ui->lbCloudCredit->text(), "Contains modified EUMETSAT data") << c.label;
    }
}
