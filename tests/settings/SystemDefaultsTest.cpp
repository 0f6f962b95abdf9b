// The administrator's defaults beneath the user's settings file: keys the user never set come
// from them, the user's own win, and a save never copies them into the user's file.
#include "SettingsFileRig.h"

#include "settings/IniFile.h"

#include <QDir>

using namespace gwtest;

namespace {

// XDG_CONFIG_DIRS pointed at two folders of the test for its life: a site's and a vendor's.
class ConfigDirs
{
public:
    ConfigDirs()
        : m_saved(qgetenv("XDG_CONFIG_DIRS"))
        , m_had(qEnvironmentVariableIsSet("XDG_CONFIG_DIRS"))
    {
        qputenv("XDG_CONFIG_DIRS", (site.path() + ":relative/dir:" + vendor.path()).toLocal8Bit());
    }
    ~ConfigDirs()
    {
        if (m_had)
            qputenv("XDG_CONFIG_DIRS", m_saved);
        else
            qunsetenv("XDG_CONFIG_DIRS");
    }
    static void put(const TempDir& dir, const QByteArray& text)
    {
        QDir().mkpath(dir.file("Globewall"));
        QFile f(dir.file("Globewall/Globewall.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    TempDir site;
    TempDir vendor;

private:
    QByteArray m_saved;
    bool m_had;
};

} // namespace

TEST(SystemDefaults, KeysTheUserNeverSetComeFromTheAdministrator)
{
    struct Case
    {
        const char* label;
        QByteArray user; // the user's settings file
        QString mirror; // after the load
        bool useProxy;
        QString firstRow; // the download list's first address
    };
    const Case cases[] = {
        { "a new user gets the site's settings", "", "http://mirror.school.lan", true, "https://site/feed.csv" },
        { "the user's own key wins", "[Config]\nMirror=http://home.lan\nUse Proxy=0\n", "http://home.lan", false,
            "https://site/feed.csv" },
        { "a list the user holds wins whole", "[Download]\n0,1=https://mine/a.csv\n1,1=/tmp/a.csv\n",
            "http://mirror.school.lan", true, "https://mine/a.csv" },
        { "an empty value of the user's is a value", "[Config]\nMirror=\n", "", true, "https://site/feed.csv" },
    };
    for (const Case& c : cases) {
        ConfigDirs dirs;
        ConfigDirs::put(dirs.site,
            "[Config]\nMirror=http://mirror.school.lan\nUse Proxy=1\nProxy=cache.lan\nConfig File=/etc/elsewhere.ini\n"
            "[Download]\n0,1=https://site/feed.csv\n1,1=/tmp/feed.csv\n");
        ConfigDirs::put(dirs.vendor, "[Config]\nMirror=http://vendor.lan\nProxy Port=3128\n");
        TempDir programDir;
        if (!c.user.isEmpty())
            programDir.write("Globewall.ini", c.user);
        Program program(programDir.path());
        program.file.IniLoad(QString());
        EXPECT_EQ(program.file.ConfigFileName(), programDir.file("Globewall.ini"))
            << c.label << ": the defaults never name the user's file";
        EXPECT_EQ(program.settings.text("edtMirror"), c.mirror) << c.label;
        EXPECT_EQ(program.settings.checked("cbUseProxy"), c.useProxy) << c.label;
        EXPECT_EQ(program.settings.text("edtProxyPort"), "3128") << c.label << ": the vendor's folder lies beneath";
        EXPECT_EQ(program.settings.cell("sgDownloadFiles", 0, 1), c.firstRow) << c.label;
    }
}

TEST(SystemDefaults, ASaveKeepsOnlyWhatTheUserChanged)
{
    ConfigDirs dirs;
    ConfigDirs::put(dirs.site, "[Config]\nMirror=http://mirror.school.lan\nUse Proxy=1\nProxy=cache.lan\n");
    TempDir programDir;
    Program program(programDir.path());
    program.file.IniLoad(QString());
    program.settings.setText("edtProxy", "my-proxy.lan");
    program.file.IniSave(QString());

    const gw::IniFile saved(programDir.file("Globewall.ini"));
    EXPECT_FALSE(saved.hasKey("Config", "Mirror")) << "kept as the site set it: not copied";
    EXPECT_FALSE(saved.hasKey("Config", "Use Proxy")) << "unchanged switch";
    EXPECT_EQ(saved.readString("Config", "Proxy", QString()), "my-proxy.lan") << "changed by the user";
    EXPECT_TRUE(saved.hasKey("Config", "Proxy Port")) << "no default of the site: written as before";

    // The site changes its mirror: a user who kept the old one follows.
    ConfigDirs::put(dirs.site, "[Config]\nMirror=http://new-mirror.lan\n");
    Program again(programDir.path());
    again.file.IniLoad(QString());
    EXPECT_EQ(again.settings.text("edtMirror"), "http://new-mirror.lan");
    EXPECT_EQ(again.settings.text("edtProxy"), "my-proxy.lan");

    // A key the user's file held stays in it even when it equals the default.
    gw::IniFile::change(programDir.file("Globewall.ini"),
        [](gw::IniFile& ini) { ini.writeString("Config", "Mirror", "http://new-mirror.lan"); });
    again.file.IniLoad(QString());
    again.file.IniSave(QString());
    EXPECT_TRUE(gw::IniFile(programDir.file("Globewall.ini")).hasKey("Config", "Mirror"));
}

TEST(SystemDefaults, AnUnreadableDefaultsFileIsReportedAndLosesNothing)
{
    ConfigDirs dirs;
    QDir().mkpath(dirs.site.file("Globewall/Globewall.ini")); // a folder where the file should be
    TempDir programDir;
    programDir.write("Globewall.ini", "[Config]\nMirror=http://home.lan\n");
    Program program(programDir.path());
    try {
        program.file.IniLoad(QString());
        ADD_FAILURE() << "the unreadable file is reported";
    } catch (const gw::Error& e) {
        EXPECT_TRUE(e.message().contains(dirs.site.file("Globewall/Globewall.ini"))) << e.message().toStdString();
    }
    EXPECT_EQ(program.settings.text("edtMirror"), "http://home.lan");
}
