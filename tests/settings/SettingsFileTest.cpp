#include "SettingsFileRig.h"

#include "settings/Defaults.h"
#include "settings/IniFile.h"
#include "settings/SettingsTable.h"

#include <QFile>

using namespace gw;
using namespace gwtest;

namespace {

QString halfScreen(bool width)
{
    return QString::number((width ? Program::screen.width() : Program::screen.height()) / 2);
}

// The value of every keyed setting when neither file nor key exists.
std::vector<Expected> missingKeyDefaults()
{
    return {
        { "edtAppFile", QString() },
        { "edtParameter", QString() },
        { "SpinEdit", 600 },
        { "cbStartMinimized", false },
        { "cbStartEveryXsec", true },
        { "cbLaunchAtStart", false },
        { "edtWebAdress", QString() },
        { "edtFileDestination", QStringLiteral("/home/user/.xplanet/images/clouds_2048.jpg") },
        { "cbDownload", false },
        { "cbHideApp", true },
        { "cbUseProxy", false },
        { "edtProxy", QString() },
        { "edtProxyPort", QString() },
        { "edtProxyName", QString() },
        { "edtProxyPasswd", QString() },
        { "rbIdle", false },
        { "rbNormal", true },
        { "rbHigh", false },
        { "cbMakeTransAtStart", true },
        { "cbRestoreTrans", false },
        { "cbStartAfterDownload", true },
        { "ColorDialog", 16777215 },
        { "Globewallenabled", true },
        { "cbAdjustTime", false },
        { "cbExecuteFileAfterDownload", false },
        { "edtExecuteFileAfterDownload", QString() },
        { "cbCheckForNewFile", false },
        { "seCheckForNewFiles", 30 },
        { "cbCheckForUpdate", true },
        { "seDownloadChecksPerDay", 1 },
        { "cbExecuteBefore", false },
        { "edtExecuteBefore", QString() },
        { "cbUseMD5ForCloudDownload", true },
        { "PingServer", defaults::PingServer },
        { "cbDontUseOnBattery", true },
        { "cbUseTempDir", false },
        { "cbSaveDesktopFile", false },
        { "DebugLevel", 0 },
        { "ScreensaverDetection", true },
        { "BatteryDetection", true },
        { "HttpProtocolVersion", QStringLiteral("HTTP/1.1") },
        { "cbBackImage", false },
        { "edtBackImage", QString() },
        { "cbProjektion", QStringLiteral("orthographic") },
        { "seRotate", 0 },
        { "cbCenter", false },
        { "seCenterX", halfScreen(true).toInt() },
        { "seCenterY", halfScreen(false).toInt() },
        { "rbStringParameter", false },
        { "ddbConfig", QStringLiteral("default") },
        { "ddbBodyTarget", QStringLiteral("earth") },
        { "ddbViewBody", QStringLiteral("earth") },
        { "seRadius2", 45 },
        { "seLat", 0 },
        { "seLon", 0 },
        { "cbOrigin", QStringLiteral("sun") },
        { "cbOriginOpposite", false },
        { "cbViewLabel", false },
    };
}

} // namespace

TEST(SettingsFileFirstStart, EveryMissingKeyTakesItsDefault)
{
    TempDir dir;
    Program p(dir.path());
    spoilSettings(p.settings, missingKeyDefaults());
    p.settings.setText(QStringLiteral("UserAgent"), QStringLiteral("Mozilla/3.0 (Globewall v1 )"));
    p.settings.setLines(QStringLiteral("mSatfiles"), { QStringLiteral("stale") });
    EXPECT_FALSE(p.file.SettingsLoaded());

    p.file.IniLoad(QString());

    expectSettings(p.settings, missingKeyDefaults(), "first start");
    EXPECT_EQ(p.settings.text(QStringLiteral("UserAgent")), QStringLiteral("Mozilla/3.0 (Globewall v1 )"));
    EXPECT_TRUE(p.settings.checked(QStringLiteral("rbLatLon"))) << "no viewpoint key leaves the group";
    EXPECT_TRUE(p.settings.checked(QStringLiteral("rbOriginAbove")));
    EXPECT_TRUE(p.settings.lines(QStringLiteral("mSatfiles")).isEmpty());
    EXPECT_TRUE(p.settings.lines(QStringLiteral("mTime")).isEmpty()) << "no count: unchanged";
    EXPECT_EQ(p.settings.checkItems(QStringLiteral("cbTimeServer")).size(), 1) << "the window's server stays";
    EXPECT_EQ(p.settings.lines(QStringLiteral("cbOrigin")), bodyList());
    EXPECT_EQ(p.hooks.iconColour, 16777215);
    EXPECT_EQ(p.file.ConfigFileName(), dir.file(QStringLiteral("Globewall.ini")));
    EXPECT_EQ(p.hooks.label, QStringLiteral("Current Config File: Globewall.ini"));
    EXPECT_TRUE(p.file.SettingsLoaded());
    EXPECT_FALSE(p.file.ConfigLoading());
    EXPECT_FALSE(QFile::exists(p.file.baseFile())) << "loading writes nothing";
}

TEST(SettingsFileFirstStart, HooksRunInLoadOrderWithConfigLoadingAroundTheConfiguration)
{
    TempDir dir;
    Program p(dir.path());
    p.file.IniLoad(QString());
    EXPECT_EQ(p.hooks.calls,
        (QStringList { "getConfigs*", "ddbConfigChange*", "detectAutostart", "btnMakeBGTransparentClick",
            "edtParameterChange", "cbProjektionChange" }));

    // A failing step is raised at the end: the steps after it still run and every stored
    // setting is loaded, so the next save cannot write the window's defaults over the file.
    dir.write(QStringLiteral("Globewall.ini"),
        "[New Parameter]\nRadius=60\nLatitude=-12\nlabel=1\n"
        "[Satellites]\nSatellite 0=iss\n");
    p.hooks.calls.clear();
    p.hooks.failConfigChange = true;
    try {
        p.file.IniLoad(QString());
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("renderer configuration unreadable"));
    }
    EXPECT_EQ(p.hooks.calls,
        (QStringList { "getConfigs*", "ddbConfigChange*", "detectAutostart", "btnMakeBGTransparentClick",
            "edtParameterChange", "cbProjektionChange" }));
    expectSettings(
        p.settings, { { "seRadius2", 60 }, { "seLat", -12 }, { "cbViewLabel", true } }, "after a failing step");
    EXPECT_EQ(p.settings.lines(QStringLiteral("mSatfiles")), QStringList { QStringLiteral("iss") });
    EXPECT_TRUE(p.file.SettingsLoaded());
    EXPECT_FALSE(p.file.ConfigLoading()) << "a failing hook must not leave the configuration editor muted";
}

TEST(SettingsFileFirstStart, SaveWritesEveryKeyInWritingOrderOwnerOnly)
{
    TempDir dir;
    Program p(dir.path());
    p.file.IniLoad(QString());
    p.file.IniSave(p.file.ConfigFileName());

    const IniFile ini(p.file.baseFile());
    EXPECT_EQ(ini.keys(QStringLiteral("Config")),
        (QStringList { "Config File", "File", "Para", "StartEvery", "Start Minimized", "Start every x sec",
            "Start App at start", "Web Adress", "Destination", "Download from HTTP", "Hide launched App", "Use Proxy",
            "Proxy", "Proxy Port", "Proxy Username", "Proxy Password", "Mirror", "Priority Idle", "Priority Normal",
            "Priority High", "Transparent at Start", "Restore transparency", "Start XPlanet after Download",
            "Icon Font Color", "Globewall enabled", "auto time synchronization", "Execute File after download",
            "File after download", "Check for new file", "Check for new file every", "Check for updates every day",
            "Check extra downloads x times per day", "Execute file before rendering",
            "Execute filename before rendering", "check MD5 of Cloudfile", "Server to ping", "don`t run on Battery",
            "Use Temp dir for image", "Save Desktop File", "Desktop background", "Metered connection",
            "Desktop background command", "Lock screen background", "Desktop notifications", "Aurora threshold",
            "Earthquake label magnitude", "ISS orbit trail", "Proxy Password Store" }));
    EXPECT_EQ(ini.sections(),
        (QStringList { "Config", "Time", "TimeServer", "Parameter Selection", "New Parameter", "Window" }))
        << "Debug is never written; the empty grid and lists leave no section; the window's comes last";
    EXPECT_EQ(ini.keys(QStringLiteral("Window")),
        (QStringList { "Screen", "Left", "Top", "Width", "Height", "Close box", "Told how to come back" }));
    EXPECT_EQ(ini.readString(QStringLiteral("Window"), QStringLiteral("Close box"), {}), QStringLiteral("ask"));
    EXPECT_EQ(ini.keys(QStringLiteral("New Parameter")),
        (QStringList { "Body", "View body", "Radius", "Config", "Latitude", "Longitude", "LatitudeLongitude",
            "view origin", "origin body", "opposite origin", "origin above", "origin below", "random viewpoint",
            "label" }));
    EXPECT_EQ(ini.keys(QStringLiteral("Parameter Selection")),
        (QStringList { "Back image checked", "Back image", "Projection", "Rotate", "Center", "Center X", "Center Y",
            "Use parameter from string" }));
    EXPECT_EQ(ini.readString(QStringLiteral("Config"), QStringLiteral("Config File"), {}), p.file.baseFile());
    EXPECT_EQ(ini.readInteger(QStringLiteral("Time"), QStringLiteral("How often"), 99), -1) << "empty mTime";
    EXPECT_EQ(ini.readInteger(QStringLiteral("TimeServer"), QStringLiteral("Count"), 99), 0);
    EXPECT_EQ(ini.readString(QStringLiteral("TimeServer"), QStringLiteral("Server  0"), {}), defaults::TimeServer);
    EXPECT_EQ(ini.readString(QStringLiteral("TimeServer"), QStringLiteral("Checked 0"), {}), QStringLiteral("0"));
    const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    EXPECT_FALSE(QFile::permissions(p.file.baseFile()) & others) << "the file holds the proxy password";
}

TEST(SettingsFileRoundTrip, EverySettingComesBackFromANewStart)
{
    const std::vector<Expected> values = {
        { "edtAppFile", QStringLiteral("/usr/bin/xplanet") },
        { "edtParameter", QStringLiteral("-fontsize 12") },
        { "SpinEdit", -30 },
        { "cbStartMinimized", true },
        { "cbStartEveryXsec", false },
        { "cbLaunchAtStart", true },
        { "edtWebAdress", QStringLiteral("http://example.invalid/c.jpg") },
        { "edtFileDestination", QStringLiteral("/tmp/c.jpg") },
        { "cbDownload", true },
        { "cbHideApp", false },
        { "cbUseProxy", true },
        { "edtProxy", QStringLiteral("proxy.invalid") },
        { "edtProxyPort", QStringLiteral("3128") },
        { "edtProxyName", QStringLiteral("me") },
        { "edtProxyPasswd", QStringLiteral("pa ss=wörd") },
        { "rbHigh", true },
        { "cbMakeTransAtStart", false },
        { "cbRestoreTrans", true },
        { "cbStartAfterDownload", false },
        { "ColorDialog", 0x123456 },
        { "Globewallenabled", false },
        { "cbAdjustTime", true },
        { "cbExecuteFileAfterDownload", true },
        { "edtExecuteFileAfterDownload", QStringLiteral("/bin/true") },
        { "cbCheckForNewFile", true },
        { "seCheckForNewFiles", 45 },
        { "cbCheckForUpdate", false },
        { "seDownloadChecksPerDay", 2880 },
        { "cbExecuteBefore", true },
        { "edtExecuteBefore", QStringLiteral("/bin/false") },
        { "cbUseMD5ForCloudDownload", false },
        { "PingServer", QStringLiteral("#") },
        { "cbDontUseOnBattery", false },
        { "cbUseTempDir", true },
        { "cbSaveDesktopFile", true },
        { "cbBackImage", true },
        { "edtBackImage", QStringLiteral("/tmp/b.png") },
        { "cbProjektion", QStringLiteral("mercator") },
        { "seRotate", 360 },
        { "cbCenter", true },
        { "seCenterX", -5 },
        { "seCenterY", 7000 },
        { "rbStringParameter", true },
        { "ddbConfig", QStringLiteral("overlay") },
        { "ddbBodyTarget", QStringLiteral("moon") },
        { "ddbViewBody", QStringLiteral("mars") },
        { "seRadius2", -1 },
        { "seLat", -90 },
        { "seLon", 180 },
        { "rbRandomViewpoint", true },
        { "cbOrigin", QStringLiteral("phobos") },
        { "cbOriginOpposite", true },
        { "rbOriginBelow", true },
        { "cbViewLabel", true },
    };
    TempDir dir;
    {
        Program first(dir.path());
        first.file.IniLoad(QString());
        applySettings(first.settings, values);
        first.settings.setLines(QStringLiteral("mTime"), { "07:30", "#19:00", "" });
        first.settings.setCheckItems(QStringLiteral("cbTimeServer"), { { "a.invalid", false }, { "b.invalid", true } });
        first.settings.setLines(QStringLiteral("mSatfiles"), { "iss", "hst" });
        first.settings.setLines(QStringLiteral("mMarkerfiles"), { "earth" });
        first.settings.setCell(QStringLiteral("sgDownloadFiles"), 0, 1, QStringLiteral("http://example.invalid/q"));
        first.settings.setCell(QStringLiteral("sgDownloadFiles"), 1, 1, QStringLiteral("/tmp/q"));
        first.settings.setCell(QStringLiteral("sgDownloadFiles"), 1, 2, QStringLiteral("/tmp/only-destination"));
        first.settings.setCell(QStringLiteral("sgDownloadFiles"), 0, 49, QStringLiteral("http://example.invalid/last"));
        first.file.IniSave(first.file.ConfigFileName());
    }
    Program next(dir.path());
    next.file.IniLoad(QString());
    expectSettings(next.settings, values, "after restart");
    EXPECT_FALSE(next.settings.checked(QStringLiteral("rbLatLon")));
    EXPECT_FALSE(next.settings.checked(QStringLiteral("rbNormal")));
    EXPECT_EQ(next.settings.lines(QStringLiteral("mTime")), (QStringList { "07:30", "#19:00", "" }));
    EXPECT_EQ(next.settings.checkItems(QStringLiteral("cbTimeServer")),
        (QVector<CheckItem> { { "a.invalid", false }, { "b.invalid", true } }));
    EXPECT_EQ(next.settings.lines(QStringLiteral("mSatfiles")), (QStringList { "iss", "hst" }));
    EXPECT_EQ(next.settings.lines(QStringLiteral("mMarkerfiles")), (QStringList { "earth" }));
    EXPECT_EQ(next.settings.cell(QStringLiteral("sgDownloadFiles"), 1, 2), QStringLiteral("/tmp/only-destination"));
    EXPECT_EQ(
        next.settings.cell(QStringLiteral("sgDownloadFiles"), 0, 49), QStringLiteral("http://example.invalid/last"));
    EXPECT_EQ(
        IniFile(next.file.baseFile()).keys(QStringLiteral("Download")), (QStringList { "0,1", "1,1", "1,2", "0,49" }));
}

// A profile named on the command line is its own base file and records its own name: a name
// the file holds comes back as the same name at the next start, and exactly the names it would
// not are refused before the start.
TEST(SettingsFileRoundTrip, AProfileNameComesBackOrIsRefused)
{
    struct Case
    {
        const char* label;
        QString name; // inside the test folder
    };
    const Case cases[] = {
        { "plain", QStringLiteral("profile.ini") },
        { "blanks, a tab, an equals sign and a semicolon inside", QStringLiteral("; my = profile\tnew.ini") },
        { "beyond Latin-1", QStringLiteral("Grüße 🌍 профиль.ini") },
        { "a line break", QStringLiteral("two\nlines.ini") },
        { "a carriage return", QStringLiteral("two\rlines.ini") },
        { "an escape sequence", QStringLiteral("two\x1b[2Jlines.ini") },
        { "a blank at the end", QStringLiteral("profile.ini ") },
        { "a tab at the end", QStringLiteral("profile.ini\t") },
        { "longer than a value is read back", QString(2100, QLatin1Char('p')) },
    };
    for (const Case& c : cases) {
        TempDir dir;
        // The long name as folders, so the file system takes it.
        QString name = c.name;
        for (qsizetype at = 200; at < name.size(); at += 201)
            name.insert(at, QLatin1Char('/'));
        const QString file = dir.file(name);
        QDir().mkpath(QFileInfo(file).absolutePath());
        {
            Program p(dir.path());
            p.file.setBaseFile(file);
            p.file.IniLoad(QString());
            p.file.IniSave(p.file.ConfigFileName());
        }
        Program next(dir.path());
        next.file.setBaseFile(file);
        next.file.IniLoad(QString());
        const bool comesBack = next.file.ConfigFileName() == file;
        const QString problem = SettingsFile::fileNameProblem(file);
        EXPECT_EQ(problem.isEmpty(), comesBack) << c.label << ": " << problem.toStdString();
    }
    EXPECT_FALSE(SettingsFile::fileNameProblem(QStringLiteral("/a/\uFFFD.ini")).isEmpty())
        << "what bytes that are not UTF-8 became";
}
