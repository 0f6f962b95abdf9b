// The settings file against files written by hand, by other programs, or not writable at all.
#include "SettingsFileRig.h"

#include "settings/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace gw;
using namespace gwtest;

namespace {
QByteArray dataFile(const char* name)
{
    return readFile(testData(QStringLiteral("settings/") + QString::fromLatin1(name)));
}

QByteArray section(const QByteArray& file, const QByteArray& header)
{
    const qsizetype start = file.indexOf(header);
    const qsizetype end = file.indexOf("\r\n[", start + 1);
    return start < 0 ? QByteArray() : file.mid(start, end < 0 ? -1 : end - start);
}
} // namespace

TEST(SettingsFileInput, HandWrittenFileWithOtherCaseHexAndWords)
{
    TempDir dir;
    const QString base = dir.write(QStringLiteral("Globewall.ini"), dataFile("handwritten.ini"));
    Program p(dir.path());
    p.settings.setChecked(QStringLiteral("cbHideApp"), false);
    p.file.IniLoad(QString());

    expectSettings(p.settings,
        { { "edtAppFile", QStringLiteral("/opt/xplanet/bin/xplanet") },
            { "edtParameter", QStringLiteral("-body earth") }, { "SpinEdit", 60 }, { "cbStartMinimized", true },
            { "cbLaunchAtStart", false }, { "seCheckForNewFiles", 5 }, { "seDownloadChecksPerDay", 16 },
            { "ColorDialog", 0x00FF00 }, { "rbIdle", true }, { "rbNormal", false }, { "Globewallenabled", false },
            { "PingServer", QStringLiteral("#no ping") }, { "cbHideApp", true }, { "DebugLevel", 2 },
            { "ScreensaverDetection", false }, { "BatteryDetection", true },
            { "UserAgent", QStringLiteral("HandAgent/1.0") }, { "HttpProtocolVersion", QStringLiteral("HTTP/1.1") },
            { "seRotate", 360 }, { "seCenterX", 12 }, { "ddbBodyTarget", QStringLiteral("mars") }, { "rbOrigin", true },
            { "rbLatLon", false }, { "cbOrigin", QStringLiteral("moon") } },
        "hand-written file");
    EXPECT_EQ(p.settings.lines(QStringLiteral("mTime")), (QStringList { "07:30", "19:45" }));
    EXPECT_EQ(p.hooks.iconColour, 0x00FF00);
    EXPECT_EQ(p.settings.lines(QStringLiteral("cbOrigin")).size(), 37) << "the origin list offers the bodies";

    // Saving keeps what the writer does not own, byte for byte.
    const QByteArray before = readFile(base);
    p.file.IniSave(p.file.ConfigFileName());
    const QByteArray after = readFile(base);
    for (const char* kept : { "User Agent=HandAgent/1.0\r\n", "HTTP Protocol Version=http/1.0\r\n",
             "Unknown Key=keep me\r\n", "; Written by hand" })
        EXPECT_TRUE(after.contains(kept)) << kept;
    for (const char* header : { "[debug]", "[My Notes]", "[Downloaded Files]" })
        EXPECT_EQ(section(after, header), section(before, header)) << header;
    EXPECT_TRUE(after.contains("[CONFIG]\r\nfile=/opt/xplanet/bin/xplanet\r\n"))
        << "keys keep their place and spelling";
}

TEST(SettingsFileInput, ValuesReadBackTo2047CharactersAndProtocolNeedsExactCase)
{
    struct Case
    {
        const char* label;
        QByteArray stored;
        QString protocol;
    };
    const Case cases[] = {
        { "exact", "HTTP/1.0", QStringLiteral("HTTP/1.0") },
        { "lower case", "http/1.0", QStringLiteral("HTTP/1.1") },
        { "other", "HTTP/2", QStringLiteral("HTTP/1.1") },
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.write(QStringLiteral("Globewall.ini"),
            "[Config]\nPara=" + QByteArray(3000, 'x') + "\nHTTP Protocol Version=" + c.stored + "\n");
        Program p(dir.path());
        p.file.IniLoad(QString());
        EXPECT_EQ(p.settings.text(QStringLiteral("HttpProtocolVersion")), c.protocol) << c.label;
        EXPECT_EQ(p.settings.text(QStringLiteral("edtParameter")).size(), 2047) << c.label;
    }
}

TEST(SettingsFileInput, SpinEditsTakeStoredValuesWithinTheirBounds)
{
    struct Case
    {
        const char* key;
        const char* stored;
        const char* control;
        int expected;
    };
    const Case cases[] = {
        { "Check for new file every", "3", "seCheckForNewFiles", 5 },
        { "Check for new file every", "2000", "seCheckForNewFiles", 1000 },
        { "Check for new file every", "-", "seCheckForNewFiles", 30 },
        { "StartEvery", "-30", "SpinEdit", -30 },
        { "StartEvery", "0", "SpinEdit", 0 },
        { "Check extra downloads x times per day", "5000", "seDownloadChecksPerDay", 2880 },
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.write(QStringLiteral("Globewall.ini"), QByteArray("[Config]\n") + c.key + "=" + c.stored + "\n");
        Program p(dir.path());
        p.file.IniLoad(QString());
        EXPECT_EQ(p.settings.integer(QString::fromLatin1(c.control)), c.expected) << c.key << "=" << c.stored;
    }
}

TEST(SettingsFileInput, MasterSwitchFlipsThroughTheTrayOperationOnlyWhenItDiffers)
{
    struct Case
    {
        const char* label;
        QByteArray line;
        bool before;
        bool clickFlips;
        int clicks;
        bool after;
    };
    const Case cases[] = {
        { "0 turns it off", "Globewall enabled=0", true, true, 1, false },
        { "0 when already off", "Globewall enabled=0", false, true, 0, false },
        { "1 turns it on", "Globewall enabled=1", false, true, 1, true },
        { "1 when already on", "Globewall enabled=1", true, true, 0, true },
        { "missing key is on", "", false, true, 1, true },
        { "a word is the default", "Globewall enabled=off", false, true, 1, true },
        { "a click that does not flip", "Globewall enabled=0", true, false, 1, false },
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.write(QStringLiteral("Globewall.ini"), "[Config]\n" + c.line + "\n");
        Program p(dir.path());
        p.hooks.clickFlips = c.clickFlips;
        p.settings.setChecked(QStringLiteral("Globewallenabled"), c.before);
        p.file.IniLoad(QString());
        EXPECT_EQ(p.hooks.masterClicks, c.clicks) << c.label;
        EXPECT_EQ(p.settings.checked(QStringLiteral("Globewallenabled")), c.after) << c.label;
    }
}

TEST(SettingsFileInput, GridKeysOutsideTheEntriesOrMalformedAreSkipped)
{
    TempDir dir;
    dir.write(QStringLiteral("Globewall.ini"), dataFile("grid.ini"));
    Program p(dir.path());
    const QString grid = QStringLiteral("sgDownloadFiles");
    p.settings.setCell(grid, 0, 7, QStringLiteral("not named, kept"));
    p.file.IniLoad(QString());

    EXPECT_EQ(p.settings.cell(grid, 0, 1), QStringLiteral("http://example.invalid/one"));
    EXPECT_EQ(p.settings.cell(grid, 1, 4), QStringLiteral("only three characters after the comma count"));
    EXPECT_EQ(p.settings.cell(grid, 0, 10), QStringLiteral("hex row"));
    EXPECT_EQ(p.settings.cell(grid, 1, 49), QStringLiteral("/data/last"));
    EXPECT_EQ(p.settings.cell(grid, 0, 7), QStringLiteral("not named, kept"));
    EXPECT_EQ(p.settings.cell(grid, 0, 0), QString()) << "the header row is not an entry";
    EXPECT_EQ(p.settings.cell(grid, 0, 5), QString());

    p.file.IniSave(p.file.ConfigFileName());
    EXPECT_EQ(IniFile(p.file.baseFile()).keys(QStringLiteral("Download")),
        (QStringList { "0,1", "1,1", "1,4", "0,7", "0,10", "0,49", "1,49" }))
        << "rewritten in row order, nothing outside the grid";
}

TEST(SettingsFileInput, ListCountsDecideWhetherAListIsReplaced)
{
    struct Case
    {
        const char* label;
        QByteArray file;
        QStringList times;
        int servers;
    };
    const Case cases[] = {
        { "no counts: unchanged", "", { "06:00" }, 1 },
        { "count -1: unchanged", "[Time]\nHow often=-1\n[TimeServer]\nCount=-1\n", { "06:00" }, 1 },
        { "count 0 without the entry: unchanged", "[Time]\nHow often=0\n[TimeServer]\nCount=0\n", { "06:00" }, 1 },
        { "count 2 without entries: unchanged", "[TimeServer]\nCount=2\nServer  ing\n", { "06:00" }, 1 },
        { "count beyond the entries", "[Time]\nHow often=2\nTime 0=07:00\n", { "07:00" }, 1 },
        { "a gap reads as an empty entry", "[Time]\nHow often=5\nTime 0=a\ntime 2=c\nTime 03x=no\n", { "a", "", "c" },
            1 },
        { "huge counts read only the entries there are",
            "[Time]\nHow often=999999999\nTime 1=b\n[TimeServer]\nCount=2147483647\nChecked 1=1\n", { "", "b" }, 2 },
        { "count below the entries", "[Time]\nHow often=0\nTime 0=a\nTime 1=b\n", { "a" }, 1 },
        { "server entries", "[TimeServer]\nCount=1\nServer  0=a\nChecked 0=1\nServer  1=b\n", { "06:00" }, 2 },
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.write(QStringLiteral("Globewall.ini"), c.file);
        Program p(dir.path());
        p.settings.setLines(QStringLiteral("mTime"), { QStringLiteral("06:00") });
        p.file.IniLoad(QString());
        EXPECT_EQ(p.settings.lines(QStringLiteral("mTime")), c.times) << c.label;
        EXPECT_EQ(p.settings.checkItems(QStringLiteral("cbTimeServer")).size(), c.servers) << c.label;
        p.file.IniSave(p.file.ConfigFileName());
        EXPECT_LE(IniFile(p.file.baseFile()).keys(QStringLiteral("Time")).size(), 6)
            << c.label << ": no empty entries written";
    }
    // An empty server list is saved with Count -1, so the next start keeps the window's server.
    TempDir dir;
    Program p(dir.path());
    p.file.IniLoad(QString());
    p.settings.setCheckItems(QStringLiteral("cbTimeServer"), {});
    p.file.IniSave(p.file.ConfigFileName());
    EXPECT_EQ(IniFile(p.file.baseFile()).readInteger(QStringLiteral("TimeServer"), QStringLiteral("Count"), 0), -1);
    Program next(dir.path());
    next.file.IniLoad(QString());
    EXPECT_EQ(next.settings.checkItems(QStringLiteral("cbTimeServer")).size(), 1);
}

TEST(SettingsFileInput, LoadingASecondFileIntoTheRunningProgram)
{
    TempDir dir;
    Program p(dir.path());
    p.file.IniLoad(QString());
    const QString grid = QStringLiteral("sgDownloadFiles");
    p.settings.setLines(QStringLiteral("mSatfiles"), { "iss" });
    p.settings.setLines(QStringLiteral("mMarkerfiles"), { "earth", "quake.marker" });
    p.settings.setLines(QStringLiteral("mTime"), { "07:30" });
    p.settings.setCell(grid, 0, 1, QStringLiteral("http://example.invalid/q"));
    p.settings.setCell(grid, 1, 2, QStringLiteral("/data/old"));

    const QString second = dir.write(QStringLiteral("second.ini"), dataFile("second.ini"));
    p.file.setConfigFileName(second);
    p.file.IniLoad(p.file.ConfigFileName());

    EXPECT_EQ(p.file.ConfigFileName(), second);
    EXPECT_EQ(p.hooks.label, QStringLiteral("Current Config File: second.ini"));
    EXPECT_EQ(p.settings.lines(QStringLiteral("mSatfiles")), (QStringList { "hst", "tiangong" }));
    EXPECT_TRUE(p.settings.lines(QStringLiteral("mMarkerfiles")).isEmpty());
    EXPECT_EQ(p.settings.lines(QStringLiteral("mTime")), (QStringList { "07:30" })) << "no count in the file";
    EXPECT_EQ(p.settings.cell(grid, 0, 1), QStringLiteral("http://example.invalid/q")) << "not named: kept";
    EXPECT_EQ(p.settings.cell(grid, 1, 2), QStringLiteral("/data/replaced"));
    EXPECT_FALSE(QFile::exists(p.file.baseFile())) << "the base file learns the name at the next save";
}

TEST(SettingsFileInput, SaveAsIsLoadedAtTheNextStartWithoutTheDownloadRecords)
{
    TempDir dir;
    dir.write(QStringLiteral("Globewall.ini"), "[Downloaded Files]\nhttp://example.invalid/a=1.2.2024\n");
    {
        Program p(dir.path());
        p.file.IniLoad(QString());
        p.settings.setText(QStringLiteral("edtParameter"), QStringLiteral("-body mars"));
        p.file.IniSave(dir.file(QStringLiteral("other.ini")));
        EXPECT_EQ(p.file.ConfigFileName(), dir.file(QStringLiteral("other.ini")));
        EXPECT_EQ(p.hooks.label, QStringLiteral("Current Config File: other.ini"));
    }
    EXPECT_FALSE(IniFile(dir.file(QStringLiteral("other.ini"))).hasSection(QStringLiteral("Downloaded Files")));
    EXPECT_TRUE(IniFile(dir.file(QStringLiteral("Globewall.ini")))
                    .hasKey(QStringLiteral("Downloaded Files"), QStringLiteral("http://example.invalid/a")));
    Program next(dir.path());
    next.file.IniLoad(QString());
    EXPECT_EQ(next.file.ConfigFileName(), dir.file(QStringLiteral("other.ini")));
    EXPECT_EQ(next.settings.text(QStringLiteral("edtParameter")), QStringLiteral("-body mars"));
}

TEST(SettingsFileInput, ConfigFileNamesThatAreEmptyOrRelative)
{
    struct Case
    {
        const char* label;
        QByteArray line;
        const char* expected;
    };
    const Case cases[] = {
        { "empty name means the base file", "Config File=", "Globewall.ini" },
        { "relative name lies in the program folder", "Config File=mine.ini", "mine.ini" },
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.write(QStringLiteral("Globewall.ini"), "[Config]\n" + c.line + "\nPara=from base\n");
        Program p(dir.path());
        p.file.IniLoad(QString());
        EXPECT_EQ(p.file.ConfigFileName(), dir.file(QString::fromLatin1(c.expected))) << c.label;
    }
}

TEST(SettingsFileInput, RefusedWritesNameTheFileAndChangeNothing)
{
    TempDir dir;
    const QString plain = dir.write(QStringLiteral("plain"), "a file, not a folder\n");
    const QByteArray original = "[Config]\nPara=-x\n[Downloaded Files]\nhttp://example.invalid/a=1.2.2024\n";
    const QString base = dir.write(QStringLiteral("Globewall.ini"), original);
    QDir(dir.path()).mkdir(QStringLiteral("folder.ini"));

    struct Case
    {
        const char* label;
        QString target;
    };
    const Case cases[] = {
        { "below a plain file", plain + QStringLiteral("/other.ini") },
        { "a folder where the file should be", dir.file(QStringLiteral("folder.ini")) },
    };
    for (const Case& c : cases) {
        Program p(dir.path());
        p.file.IniLoad(QString());
        try {
            p.file.IniSave(c.target);
            ADD_FAILURE() << c.label << ": no error";
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains(c.target)) << c.label << ": " << e.message().toStdString();
        }
        EXPECT_EQ(readFile(base), original) << c.label;
        EXPECT_EQ(p.file.ConfigFileName(), base) << c.label << ": still saves where it did";
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << c.label << ": no temporary file left";
    }

    // The base file cannot record the new name: the settings are in the new file, the error names the base.
    Program p(plain);
    try {
        p.file.IniSave(dir.file(QStringLiteral("new.ini")));
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(p.file.baseFile())) << e.message().toStdString();
    }
    EXPECT_TRUE(IniFile(dir.file(QStringLiteral("new.ini"))).hasKey(QStringLiteral("Config"), QStringLiteral("Para")));
}

TEST(SettingsFileInput, OnlyRegularFilesOfAtMost16MBAreRead)
{
    struct Case
    {
        const char* label;
        std::function<void(const QString&)> make;
        const char* why;
    };
    const Case cases[] = {
        { "a FIFO would block", [](const QString& f) { ::mkfifo(QFile::encodeName(f).constData(), 0600); },
            "not a regular file" },
        { "a link to an endless device", [](const QString& f) { QFile::link(QStringLiteral("/dev/zero"), f); },
            "not a regular file" },
        { "a file above the limit",
            [](const QString& f) {
                QFile file(f);
                file.open(QIODevice::WriteOnly);
                file.resize(IniFile::MaxFileSize + 1);
            },
            "larger than 16 MB" },
    };
    for (const Case& c : cases) {
        TempDir dir;
        const QString settings = dir.file(QStringLiteral("settings.ini"));
        dir.write(QStringLiteral("Globewall.ini"), "[Config]\nConfig File=" + settings.toUtf8() + "\n");
        c.make(settings);
        const QFileInfo before(settings);
        Program p(dir.path());
        try {
            p.file.IniLoad(QString());
            ADD_FAILURE() << c.label << ": no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), QStringLiteral("Cannot read file \"%1\": %2").arg(settings, QLatin1String(c.why)))
                << c.label;
        }
        EXPECT_TRUE(p.file.SettingsLoaded()) << c.label << ": the load went on with the defaults";
        EXPECT_EQ(p.file.ConfigFileName(), settings) << c.label;
        EXPECT_THROW(p.file.IniSave(p.file.ConfigFileName()), Error) << c.label << ": the save does not replace it";
        const QFileInfo after(settings);
        EXPECT_EQ(after.isSymLink(), before.isSymLink()) << c.label;
        EXPECT_EQ(after.size(), before.size()) << c.label;
    }
}

TEST(SettingsFileInput, TextThatIsNotUtf8ComesBackByteForByte)
{
    struct Case
    {
        const char* label;
        QByteArray section;
        QByteArray line;
        const char* control;
        QString shown;
    };
    const Case cases[] = {
        { "parameter", "[Config]",
            "Para=-label \"Gr\xFC\xDF"
            "e\"",
            "edtParameter", QStringLiteral("-label \"Grüße\"") },
        { "address", "[Config]", "Web Adress=http://example.invalid/M\xF6nd.jpg", "edtWebAdress",
            QStringLiteral("http://example.invalid/Mönd.jpg") },
        { "time entry", "[Time]\r\nHow often=0", "Time 0=caf\xE9", nullptr, QStringLiteral("café") },
    };
    for (const Case& c : cases) {
        TempDir dir;
        const QString base = dir.write(QStringLiteral("Globewall.ini"), c.section + "\r\n" + c.line + "\r\n");
        Program p(dir.path());
        p.file.IniLoad(QString());
        const QString shown = c.control ? p.settings.text(QString::fromLatin1(c.control))
                                        : p.settings.lines(QStringLiteral("mTime")).value(0);
        EXPECT_EQ(shown, c.shown) << c.label;
        p.file.IniSave(p.file.ConfigFileName());
        EXPECT_TRUE(readFile(base).contains("\r\n" + c.line + "\r\n")) << c.label;
    }
}
