// Creation, the start-up step, minimise and restore, shut-down and the settings commands of
// the main window, each on a private program folder and home folder.
#include "AppRig.h"
#include "app/TransferLog.h"
#include "app/WindowPlacement.h"
#include "desktop/TrayIcon.h"
#include "renderer_launch/LaunchSupport.h"
#include "settings/Defaults.h"
#include "settings/IniFile.h"
#include "settings/SettingsTable.h"
#include "shared/Endpoints.h"
#include "shared/Error.h"
#include "ui_MainWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using gwtest::readIni;

QSize screenSize()
{
    return QGuiApplication::primaryScreen()->geometry().size();
}

// A double click on the tray icon, as the tray component reports it.
void trayDoubleClick(gw::AppCore& app)
{
    emit app.trayIcon().DblClick(Qt::LeftButton);
}

// Counts the times a widget is shown.
struct ShowCounter : QObject
{
    int shows = 0;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Show)
            ++shows;
        return QObject::eventFilter(o, e);
    }
};

} // namespace

TEST(FirstStart, EverySettingTakesItsDefaultWhenNoFileExists)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    gw::SettingsAccess& s = app.settings();
    struct Case
    {
        const char* name;
        QVariant expected;
    };
    const QSize screen = screenSize();
    const Case cases[] = {
        { "cbStartEveryXsec", true },
        { "SpinEdit", 600 },
        { "cbCheckForNewFile", false },
        { "seCheckForNewFiles", 30 },
        { "cbStartMinimized", false },
        { "cbLaunchAtStart", false },
        { "cbStartAfterDownload", true },
        { "cbMakeTransAtStart", true },
        { "cbRestoreTrans", false },
        { "cbHideApp", true },
        { "cbDontUseOnBattery", true },
        { "cbExecuteBefore", false },
        { "edtExecuteBefore", QString() },
        { "rbIdle", false },
        { "rbNormal", true },
        { "rbHigh", false },
        { "ColorDialog", 16777215 },
        { "Globewallenabled", true },
        { "ddbConfig", QStringLiteral("default") },
        { "seRadius2", 45 },
        { "ddbViewBody", QStringLiteral("earth") },
        { "rbLatLon", true },
        { "rbOrigin", false },
        { "rbRandomViewpoint", false },
        { "seLat", 0 },
        { "seLon", 0 },
        { "cbOrigin", QStringLiteral("sun") },
        { "cbOriginOpposite", false },
        { "rbOriginAbove", true },
        { "rbOriginBelow", false },
        { "cbBackImage", false },
        { "edtBackImage", QString() },
        { "cbProjektion", QStringLiteral("orthographic") },
        { "seRotate", 0 },
        { "cbViewLabel", false },
        { "cbCenter", false },
        { "seCenterX", screen.width() / 2 },
        { "seCenterY", screen.height() / 2 },
        { "cbUseTempDir", false },
        { "cbSaveDesktopFile", false },
        { "ddbBodyTarget", QStringLiteral("earth") },
        { "rbStringParameter", false },
        { "edtParameter", QString() },
        { "cbUseProxy", false },
        { "edtProxy", QString() },
        { "edtProxyPort", QString() },
        { "edtProxyName", QString() },
        { "edtProxyPasswd", QString() },
        { "edtWebAdress", QString() },
        { "edtFileDestination", rig.home() + QStringLiteral("/.xplanet/images/clouds_2048.jpg") },
        { "cbDownload", false },
        { "cbExecuteFileAfterDownload", false },
        { "edtExecuteFileAfterDownload", QString() },
        { "cbUseMD5ForCloudDownload", true },
        { "cbCheckForUpdate", true },
        { "seDownloadChecksPerDay", 1 },
        { "cbAdjustTime", false },
        { "PingServer", gw::defaults::PingServer },
        { "DebugLevel", 0 },
        { "ScreensaverDetection", true },
        { "BatteryDetection", true },
        { "UserAgent", QStringLiteral("Mozilla/3.0 (Globewall v" GLOBEWALL_VERSION " )") },
        { "HttpProtocolVersion", QStringLiteral("HTTP/1.1") },
    };
    for (const Case& c : cases) {
        const QString name = QString::fromLatin1(c.name);
        switch (c.expected.typeId()) {
        case QMetaType::Bool:
            EXPECT_EQ(s.checked(name), c.expected.toBool()) << c.name;
            break;
        case QMetaType::Int:
            EXPECT_EQ(s.integer(name), c.expected.toInt()) << c.name;
            break;
        default:
            EXPECT_EQ(s.text(name), c.expected.toString()) << c.name;
        }
    }
    EXPECT_TRUE(s.lines(QStringLiteral("mTime")).isEmpty());
    EXPECT_EQ(
        s.checkItems(QStringLiteral("cbTimeServer")), (QVector<gw::CheckItem> { { gw::defaults::TimeServer, false } }))
        << "the window's server entry stays when the file has no list";
    EXPECT_EQ(s.lines(QStringLiteral("ddbViewBody")), gw::bodyList().mid(1)) << "every body but \"default\"";
}

TEST(FirstStart, EntriesLabelsAndRendererFolders)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    gw::SettingsAccess& s = app.settings();
    const QString grid = QStringLiteral("sgDownloadFiles");
    const QString xplanet = rig.home() + QStringLiteral("/.xplanet/");

    EXPECT_EQ(s.cell(grid, 0, 0), QStringLiteral("HTTP Address (Source)"));
    EXPECT_EQ(s.cell(grid, 1, 0), QStringLiteral("Filename and path (Destination)"));
    EXPECT_EQ(s.cell(grid, 0, 1), gw::endpoints::quakeFeed());
    EXPECT_TRUE(s.cell(grid, 0, 1).endsWith(QStringLiteral("/earthquakes/feed/v1.0/summary/2.5_week.csv")));
    EXPECT_EQ(s.cell(grid, 1, 1), xplanet + QStringLiteral("markers/quake.csv"));
    EXPECT_EQ(s.cell(grid, 0, 2), gw::endpoints::issElements());
    EXPECT_TRUE(s.cell(grid, 0, 2).endsWith(QStringLiteral("/NORAD/elements/gp.php?CATNR=25544&FORMAT=TLE")));
    EXPECT_EQ(s.cell(grid, 1, 2), xplanet + QStringLiteral("satellites/iss.tle"));
    EXPECT_EQ(s.cell(grid, 0, 3), QString()) << "only two rows";
    EXPECT_EQ(s.lines(QStringLiteral("mSatfiles")), QStringList { QStringLiteral("iss") });
    EXPECT_EQ(s.lines(QStringLiteral("mMarkerfiles")), (QStringList { "earth", "quake.marker" }));

    EXPECT_EQ(form.ui()->lbConfigFileName->text(), QStringLiteral("Current Config File: Globewall.ini"));
    EXPECT_EQ(form.ui()->lbVersion->text(), QStringLiteral("v" GLOBEWALL_VERSION " "));
    EXPECT_EQ(app.settingsFile().ConfigFileName(), rig.programFile(QStringLiteral("Globewall.ini")));
    EXPECT_TRUE(app.settingsFile().SettingsLoaded());

    for (const char* sub : { "config", "images", "markers", "satellites" })
        EXPECT_TRUE(QFileInfo(xplanet + QString::fromLatin1(sub)).isDir()) << sub << " created at start-up";
    EXPECT_TRUE(QDir(rig.program.path()).entryList(QDir::Files).isEmpty()) << "nothing written before the first save";
    EXPECT_EQ(form.minimumSize(), form.size()) << "the size at creation is the minimum";
    EXPECT_EQ(form.y(), gw::ParkedTop) << "parked until the start-up step";
    EXPECT_FALSE(form.isVisible());
}

TEST(FirstStart, RendererPathFollowsProgramFolderThenPath)
{
    {
        gwtest::AppRig rig;
        const QString beside = rig.programFile(QStringLiteral("xplanet"));
        gwtest::writeFile(beside, "#!/bin/sh\n");
        QFile::setPermissions(beside, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_EQ(rig.create().settings().text(QStringLiteral("edtAppFile")), beside)
            << "an executable beside the program wins";
    }
    {
        gwtest::AppRig rig;
        gwtest::writeFile(rig.programFile(QStringLiteral("xplanet")), "not executable");
        const QString onPath = QStandardPaths::findExecutable(QStringLiteral("xplanet"));
        const QString expected = onPath.isEmpty() ? rig.programFile(QStringLiteral("xplanet")) : onPath;
        EXPECT_EQ(rig.create().settings().text(QStringLiteral("edtAppFile")), expected)
            << "a plain file is passed over";
    }
    {
        gwtest::AppRig rig;
        rig.program.write(QStringLiteral("Globewall.ini"), "[Config]\nFile=/opt/render/xplanet\n");
        EXPECT_EQ(rig.create().settings().text(QStringLiteral("edtAppFile")), QStringLiteral("/opt/render/xplanet"))
            << "a stored renderer is kept";
    }
}

TEST(FirstStart, FirstSaveWritesTheBaseFileReadableByItsOwnerOnly)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    ASSERT_TRUE(form.close());
    const QString base = rig.programFile(QStringLiteral("Globewall.ini"));
    ASSERT_TRUE(QFileInfo::exists(base));
    EXPECT_EQ(
        QFileInfo(base).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
        QFile::Permissions())
        << "it holds the proxy password";
    EXPECT_EQ(readIni(base, "Config", "Config File"), base);
    EXPECT_EQ(readIni(base, "Config", "StartEvery"), QStringLiteral("600"));
    EXPECT_EQ(readIni(base, "Download", "0,1"), gw::endpoints::quakeFeed());
    EXPECT_EQ(readIni(base, "Satellites", "Satellite 0"), QStringLiteral("iss"));
    EXPECT_EQ(readIni(base, "Markerfiles", "Markerfile 1"), QStringLiteral("quake.marker"));
    EXPECT_EQ(readIni(base, "TimeServer", "Count"), QStringLiteral("0"));
    EXPECT_EQ(readIni(base, "Time", "How often"), QStringLiteral("-1"));
}

TEST(FirstStart, AnEmptyBaseFileIsNoFirstStart)
{
    gwtest::AppRig rig;
    rig.program.write(QStringLiteral("Globewall.ini"), QByteArray());
    gw::AppCore& app = rig.create();
    EXPECT_EQ(app.settings().cell(QStringLiteral("sgDownloadFiles"), 0, 1), QString());
    EXPECT_TRUE(app.settings().lines(QStringLiteral("mSatfiles")).isEmpty());
    EXPECT_TRUE(app.settings().lines(QStringLiteral("mMarkerfiles")).isEmpty());
}

TEST(Creation, AnErrorInTheLoadIsShownAndCreationGoesOn)
{
    gwtest::AppRig rig;
    QDir().mkpath(rig.programFile(QStringLiteral("Globewall.ini"))); // a folder where the file belongs
    gw::AppCore& app = rig.create();
    ASSERT_EQ(rig.dialogs.messages().size(), 1);
    EXPECT_TRUE(rig.dialogs.messages().first().contains(QStringLiteral("Globewall.ini")))
        << rig.dialogs.messages().first().toStdString();
    EXPECT_FALSE(app.settings().text(QStringLiteral("edtAppFile")).isEmpty()) << "the steps after the load still ran";
    app.Timer2Timer();
    EXPECT_TRUE(app.window().CentralTimer()->isActive()) << "and the start-up step";
}

TEST(Creation, StoredMasterSwitchOffTurnsTheSwitchOff)
{
    gwtest::AppRig rig;
    rig.program.write(QStringLiteral("Globewall.ini"), "[Config]\nGlobewall enabled=0\n");
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    const int crossed = app.trayIcon().imageCount() - 1;
    EXPECT_FALSE(form.ui()->Globewallenabled->isChecked());
    EXPECT_EQ(app.trayIcon().FrameIndex(), crossed) << "the crossed globe";

    form.ui()->Globewallenabled->trigger();
    EXPECT_TRUE(form.ui()->Globewallenabled->isChecked()) << "the menu item switches back on";
    EXPECT_EQ(app.trayIcon().FrameIndex(), 0);
    form.ui()->Globewallenabled->trigger();
    EXPECT_EQ(app.trayIcon().FrameIndex(), crossed) << "and off again";
}

TEST(Creation, ParameterHintMirrorsItsText)
{
    gwtest::AppRig rig;
    rig.program.write(QStringLiteral("Globewall.ini"), "[Config]\nPara=-quality 90\n");
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    EXPECT_EQ(form.ui()->edtParameter->toolTip(), QStringLiteral("-quality 90"));
    form.ui()->edtParameter->setText(QStringLiteral("-fontsize 12"));
    EXPECT_EQ(form.ui()->edtParameter->toolTip(), QStringLiteral("-fontsize 12"));
}

TEST(StartupStep, SeedsTheSchedulerTimesAndStartsTheScheduler)
{
    struct Case
    {
        const char* label;
        QByteArray ini;
        double render; // offset from now, or NaN for 0
        double file;
        double cloud;
    };
    const double now = 46000.5;
    const double nan = std::nan("");
    const Case cases[] = {
        { "defaults", "", 0, 0.00138888888888 - 1.0, -29 * gw::OneMinute },
        { "launch at start renders at the first tick", "[Config]\nStart App at start=1\n", nan, 0.00138888888888 - 1.0,
            -29 * gw::OneMinute },
        { "four checks a day", "[Config]\nCheck extra downloads x times per day=4\nCheck for new file every=5\n", 0,
            0.00138888888888 - 0.25, -4 * gw::OneMinute },
        { "no periodic check leaves the time at 0", "[Config]\nCheck extra downloads x times per day=0\n", 0, nan,
            -29 * gw::OneMinute },
    };
    for (const Case& c : cases) {
        gwtest::AppRig rig;
        rig.program.write(QStringLiteral("Globewall.ini"), c.ini);
        rig.clock.set(now);
        gw::AppCore& app = rig.create();
        MainWindow& form = app.window();
        app.Timer2Timer();
        const gw::AppState& st = app.state();
        auto expect = [&](double actual, double offset, const char* what) {
            if (std::isnan(offset))
                EXPECT_EQ(actual, 0.0) << c.label << ": " << what;
            else
                EXPECT_NEAR(actual, now + offset, 1e-9) << c.label << ": " << what;
        };
        expect(st.LastRenderTime, c.render, "LastRenderTime");
        expect(st.LastFileCheckTime, c.file, "LastFileCheckTime");
        expect(st.LastCloudCheckTime, c.cloud, "LastCloudCheckTime");
        EXPECT_TRUE(form.CentralTimer()->isActive()) << c.label;
        EXPECT_FALSE(form.Timer2()->isActive()) << c.label;
    }
}

TEST(StartupStep, CentresAndShowsTheWindow)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    app.Timer2Timer();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isParked());
    const QRect d = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(
        form.frameGeometry().topLeft(), d.topLeft() + gw::centredPosition(d.size(), form.frameGeometry().size(), true));
}

TEST(StartupStep, MinimisedStartNeverShowsTheWindow)
{
    gwtest::AppRig rig;
    rig.program.write(QStringLiteral("Globewall.ini"), "[Config]\nStart Minimized=1\n");
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    ShowCounter counter;
    form.installEventFilter(&counter);
    app.Timer2Timer();
    QCoreApplication::processEvents();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(counter.shows, 0);
    EXPECT_TRUE(form.inTray());

    form.pmRestoreWindowClick();
    EXPECT_TRUE(form.isVisible()) << "\"show Window\" brings it back";
    EXPECT_FALSE(form.isMinimized());
    // Centred while hidden, before the frame was known: the frame may shift it a few pixels.
    const QPoint off = form.frameGeometry().center() - QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE(off.manhattanLength(), 8) << "centred on the desktop";
}

TEST(StartupStep, WithoutANotificationAreaAMinimisedStartHidesAndSaysSo)
{
    gwtest::AppRig rig;
    rig.program.write(QStringLiteral("Globewall.ini"), "[Config]\nStart Minimized=1\n");
    gw::AppCore::Options o = rig.options();
    o.trayAvailable = false;
    gw::AppCore& app = rig.create(std::move(o));
    MainWindow& form = app.window();
    app.Timer2Timer();
    EXPECT_FALSE(form.isVisible());
    // Said once, so the program does not seem to have ended; in the log, never in a box, which
    // held up the start (and its first globe) until someone clicked it.
    EXPECT_TRUE(rig.dialogs.asked.empty());
    EXPECT_EQ(app.transferLog().text().count(QStringLiteral("keeps running")), 1);
    EXPECT_TRUE(app.transferLog().text().contains(QStringLiteral("Globewall --show")));
    form.pmRestoreWindowClick();
    EXPECT_TRUE(form.isVisible());
    form.btnMinimizeClick();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(app.transferLog().text().count(QStringLiteral("keeps running")), 1) << "once";
    EXPECT_TRUE(rig.dialogs.asked.empty());
}

TEST(Window, MinimiseGoesToTheTrayAndDoubleClickToggles)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    app.Timer2Timer();
    ASSERT_TRUE(form.isVisible());

    form.btnMinimizeClick();
    EXPECT_FALSE(form.isVisible()) << "Minimize";
    trayDoubleClick(app);
    EXPECT_TRUE(form.isVisible()) << "double click in the tray restores";
    trayDoubleClick(app);
    EXPECT_FALSE(form.isVisible()) << "double click while shown minimises";
    trayDoubleClick(app);

    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible()) << "Escape minimises";
    form.RestoreWindow();

    form.setWindowState(Qt::WindowMinimized);
    QCoreApplication::processEvents();
    EXPECT_FALSE(form.isVisible()) << "the window's own minimise goes to the tray";
    form.pmRestoreWindowClick();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isMinimized());
}

TEST(Window, DoubleClickBeforeTheStartUpStepCentresTheParkedWindow)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    ASSERT_TRUE(form.isParked());
    trayDoubleClick(app);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isParked());
    EXPECT_LT(form.y(), gw::ParkedTop);
}

TEST(Window, GridColumnsShareTheGridWidth)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    app.Timer2Timer();
    form.ui()->PageControl->setCurrentIndex(2);
    form.resize(700, 700);
    QCoreApplication::processEvents();
    QTableWidget* grid = form.ui()->sgDownloadFiles;
    const int expected = (grid->width() - 24) / 2;
    EXPECT_EQ(grid->columnWidth(0), expected);
    EXPECT_EQ(grid->columnWidth(1), expected);
    EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(), grid->fontMetrics().height() + 4);
}

TEST(Close, SavesTheSettingsThenEndsTheRenderer)
{
    gwtest::AppRig rig;
    const QString base = rig.programFile(QStringLiteral("Globewall.ini"));
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    app.Timer2Timer();
    app.settings().setInteger(QStringLiteral("SpinEdit"), 1234);
    app.settings().setText(QStringLiteral("edtAppFile"),
        launchtest::writeScript(rig.homeDir.file(QStringLiteral("bin/xplanet")), "sleep 30\n"));
    bool closedSignal = false;
    QObject::connect(&app, &gw::AppCore::closed, [&] { closedSignal = true; });

    QElapsedTimer took;
    took.start();
    launchtest::WhileWaiting closer(
        [&] {
            if (!app.state().RenderBusy)
                return false;
            form.ui()->btnClose->click();
            return true;
        },
        [] {});
    form.ui()->btnExecute->click();
    EXPECT_TRUE(closer.done()) << "closed while the renderer ran";
    EXPECT_LT(took.elapsed(), 10000) << "the renderer was ended, not waited for";
    EXPECT_TRUE(app.isClosed());
    EXPECT_TRUE(closedSignal);
    EXPECT_FALSE(form.CentralTimer()->isActive()) << "no tick after the end";
    EXPECT_EQ(readIni(base, "Config", "StartEvery"), QStringLiteral("1234"));
}

TEST(Close, AFailingSaveKeepsTheWindowOpen)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    app.Timer2Timer();
    const QString plain = rig.program.write(QStringLiteral("plain"), "a file, not a folder");
    const QString target = plain + QStringLiteral("/settings.ini");
    app.settingsFile().setConfigFileName(target);
    bool closedSignal = false;
    QObject::connect(&app, &gw::AppCore::closed, [&] { closedSignal = true; });

    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(app.isClosed());
    EXPECT_FALSE(closedSignal);
    ASSERT_EQ(rig.dialogs.messages().size(), 1);
    EXPECT_TRUE(rig.dialogs.messages().first().contains(QStringLiteral("settings.ini"))) << "the error names the file";
    EXPECT_TRUE(form.CentralTimer()->isActive()) << "the program goes on";

    app.settingsFile().setConfigFileName(rig.programFile(QStringLiteral("settings.ini")));
    EXPECT_TRUE(form.close()) << "closing again after the cause is gone";
    EXPECT_TRUE(closedSignal);
}

TEST(SettingsCommands, SaveAsLoadAndCancel)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    const QString base = rig.programFile(QStringLiteral("Globewall.ini"));
    const QString other = rig.programFile(QStringLiteral("other.ini"));

    rig.dialogs.queueFile(QString());
    form.ui()->btIniSaveAs->click();
    EXPECT_FALSE(QFileInfo::exists(other)) << "cancel saves nothing";
    ASSERT_EQ(rig.dialogs.asked.size(), 1u);
    const gw::FileDialogRequest& r = rig.dialogs.asked.back().request;
    EXPECT_EQ(r.title, QStringLiteral("Save Config as..."));
    EXPECT_EQ(r.filter, QStringLiteral("ini-File (*.ini)|*.ini"));
    EXPECT_EQ(r.defaultExtension, QStringLiteral("ini"));
    EXPECT_EQ(r.proposedFile, base);

    rig.dialogs.queueFile(other);
    app.settings().setChecked(QStringLiteral("cbUseProxy"), true);
    form.ui()->btnIniSaveAs2->click();
    EXPECT_EQ(readIni(other, "Config", "Use Proxy"), QStringLiteral("1"));
    EXPECT_EQ(readIni(base, "Config", "Config File"), other) << "the base file names the new file";
    EXPECT_EQ(app.settingsFile().ConfigFileName(), other);
    EXPECT_EQ(form.ui()->lbConfigFileName->text(), QStringLiteral("Current Config File: other.ini"));

    const QString third = rig.program.write(QStringLiteral("third.ini"), "[Config]\nStartEvery=42\n");
    rig.dialogs.queueFile(third);
    form.ui()->btnIniLoad->click();
    EXPECT_EQ(rig.dialogs.asked.back().request.title, QStringLiteral("Open Config as..."));
    EXPECT_EQ(app.settings().integer(QStringLiteral("SpinEdit")), 42);
    EXPECT_EQ(app.settingsFile().ConfigFileName(), third);
    EXPECT_EQ(readIni(base, "Config", "Config File"), other) << "loading does not write the base file";

    app.settings().setInteger(QStringLiteral("SpinEdit"), 43);
    form.ui()->btnIniSave2->click();
    EXPECT_EQ(readIni(third, "Config", "StartEvery"), QStringLiteral("43"))
        << "\"Save config\" writes the current file";
    EXPECT_TRUE(rig.dialogs.allAnswersUsed());
}
