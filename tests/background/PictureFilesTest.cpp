// The pictures' names in the cache folder, which of them go after a switch, and when the
// user's own parameters already choose the output.
#include "background/PictureFiles.h"
#include "background/DesktopBackend.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <gtest/gtest.h>

namespace {

QString touch(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    return path;
}

gw::Picture monitor(const QString& name, QPoint at = {})
{
    return { name, QRect(at, QSize(640, 480)), {} };
}

} // namespace

TEST(PictureFiles, EveryRenderGetsANewNameAndOnlyTheShownPictureOfAMonitorStays)
{
    gwtest::TempDir tmp;
    gw::PictureFiles files(tmp.file("cache/Globewall"));
    QString error;
    ASSERT_TRUE(files.prepare(&error)) << error.toStdString();

    QSet<QString> names;
    for (int i = 0; i < 50; ++i)
        names.insert(files.newFile(monitor(QStringLiteral("DP-1"))));
    EXPECT_EQ(names.size(), 50) << "desktops cache by name: a name is never reused";

    const QString odd = touch(files.newFile(monitor(QStringLiteral("Dell U2415 _1"))));
    EXPECT_FALSE(QFileInfo(odd).fileName().contains(QLatin1Char(' ')));
    const QString mine = touch(tmp.file("cache/Globewall/globe_DP-1_mine.png"));
    const QString old = touch(files.newFile(monitor(QStringLiteral("DP-1"))));
    gw::Picture shown = monitor(QStringLiteral("DP-1"));
    shown.file = touch(files.newFile(shown));
    files.keepOnly({ shown });
    EXPECT_TRUE(QFile::exists(shown.file)) << "the shown picture stays";
    EXPECT_FALSE(QFile::exists(old)) << "the previous picture of the monitor goes";
    EXPECT_TRUE(QFile::exists(odd)) << "another monitor's picture stays";
    EXPECT_TRUE(QFile::exists(mine)) << "a file not named by a render stays";
}

TEST(PictureFiles, TwoMonitorsNeverShareOrDeleteEachOthersPictures)
{
    struct Row
    {
        const char* name;
        gw::Picture a, b;
        bool sameMonitor = false;
    };
    const Row rows[] = {
        { "a blank and a dash", monitor(QStringLiteral("DP 1")), monitor(QStringLiteral("DP-1")) },
        { "two without a name", monitor({}), monitor({}, QPoint(640, 0)) },
        { "one name begins the other", monitor(QStringLiteral("DP-1")), monitor(QStringLiteral("DP-1-1")) },
        { "an underscore and its escape", monitor(QStringLiteral("a_b")), monitor(QStringLiteral("a+5Fb")) },
        { "a name like a place", monitor(QStringLiteral("@0,0")), monitor({}) },
        { "the same name twice", monitor(QStringLiteral("HDMI-1")), monitor(QStringLiteral("HDMI-1")), true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        gwtest::TempDir tmp;
        gw::PictureFiles files(tmp.file("cache"));
        QString error;
        ASSERT_TRUE(files.prepare(&error));
        const QString oldA = touch(files.newFile(row.a));
        const QString oldB = touch(files.newFile(row.b));
        gw::Picture a = row.a, b = row.b;
        a.file = touch(files.newFile(a));
        b.file = touch(files.newFile(b));
        EXPECT_NE(a.file, b.file);

        if (!row.sameMonitor) {
            files.keepOnly({ a });
            EXPECT_TRUE(QFile::exists(b.file)) << "the other monitor's new picture stays";
        }
        files.keepOnly({ a, b });
        EXPECT_TRUE(QFile::exists(a.file));
        EXPECT_TRUE(QFile::exists(b.file));
        EXPECT_FALSE(QFile::exists(oldA));
        EXPECT_FALSE(QFile::exists(oldB));
    }
}

TEST(PictureFiles, AFolderThatCannotBeWrittenIsReported)
{
    gwtest::TempDir tmp;
    touch(tmp.file("plain"));
    gw::PictureFiles files(tmp.file("plain/Globewall"));
    QString error;
    EXPECT_FALSE(files.prepare(&error));
    EXPECT_TRUE(error.contains(tmp.file("plain/Globewall"))) << error.toStdString();
}

TEST(PictureFiles, TheUsersOwnOutputOptionsWin)
{
    struct Row
    {
        const char* name;
        QStringList arguments;
        bool chooses;
    };
    const Row rows[] = {
        { "none", { "-body", "earth", "-radius", "40" }, false },
        { "-output", { "-output", "/tmp/a.png" }, true },
        { "--geometry", { "--geometry", "800x600" }, true },
        { "-window", { "-window" }, true },
        { "-root in capitals", { "-ROOT" }, true },
        { "-window_id is another option", { "-window_id", "12" }, false },
        { "a value that looks like the word", { "-label_string", "output" }, false },
        // Abbreviations as xplanet reads them: only one that fits a single option counts.
        { "-geom is -geometry", { "-geom", "800x600" }, true },
        { "--ge= is -geometry", { "--ge=800x600" }, true },
        { "-output=file", { "-output=/tmp/a.png" }, true },
        { "-outp fits three options, xplanet refuses it", { "-outp", "/tmp/a.png" }, false },
        { "-win fits -window, -window-id and -window_title", { "-win" }, false },
        { "-transpn is -transpng, which writes a file too", { "-transpn", "/tmp/a.png" }, true },
        { "-transp fits -transparency and -transpng", { "-transp", "/tmp/a.png" }, false },
        { "-window- is -window-id", { "-window-", "5" }, true },
        { "-ro fits -root and -rotate", { "-ro", "30" }, false },
        { "-out_ is no option", { "-out_", "x" }, false },
    };
    for (const Row& row : rows)
        EXPECT_EQ(gw::argumentsChooseOutput(row.arguments), row.chooses) << row.name;
}

TEST(PictureFiles, PlansGiveOnePicturePerMonitorOrOneForAll)
{
    const gw::MonitorList two = { { "L", QRect(0, 0, 1920, 1080) }, { "R", QRect(1920, 0, 1280, 1024) } };
    const gw::MonitorList far = { { "A", QRect(0, 0, 320, 200) }, { "B", QRect(30000, 30000, 320, 200) } };
    const gw::MonitorList eightK = { { "1", QRect(0, 0, 7680, 4320) }, { "2", QRect(7680, 0, 7680, 4320) },
        { "3", QRect(0, 4320, 7680, 4320) }, { "4", QRect(7680, 4320, 7680, 4320) } };
    const gw::MonitorList withEmpty = { two[0], { "Z", QRect(500, 0, 0, 0) }, two[1] };
    struct Row
    {
        const char* name;
        gw::PictureLayout layout;
        gw::MonitorList monitors;
        QVector<QRect> sizes;
    };
    const Row rows[] = {
        { "per monitor", gw::PictureLayout::PerMonitor, two, { QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024) } },
        { "spanned: one per monitor, composed later", gw::PictureLayout::Spanned, two,
            { QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024) } },
        { "spanned over one", gw::PictureLayout::Spanned, { two.first() }, { QRect(0, 0, 1920, 1080) } },
        { "one picture of the first", gw::PictureLayout::OnePicture, two, { QRect(0, 0, 1920, 1080) } },
        { "root window composes both", gw::PictureLayout::RootWindow, two,
            { QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024) } },
        { "no monitor known", gw::PictureLayout::PerMonitor, {}, { QRect(0, 0, 1920, 1080) } },
        // A picture of 30320x30200 would take 2.7 GB and half a minute at every render.
        { "spanned over monitors far apart: the first one's", gw::PictureLayout::Spanned, far,
            { QRect(0, 0, 320, 200) } },
        { "root window over monitors far apart: the first one's", gw::PictureLayout::RootWindow, far,
            { QRect(0, 0, 320, 200) } },
        { "per monitor, far apart: nothing is composed", gw::PictureLayout::PerMonitor, far,
            { QRect(0, 0, 320, 200), QRect(30000, 30000, 320, 200) } },
        { "four 8K monitors in a square are composed", gw::PictureLayout::Spanned, eightK,
            { QRect(0, 0, 7680, 4320), QRect(7680, 0, 7680, 4320), QRect(0, 4320, 7680, 4320),
                QRect(7680, 4320, 7680, 4320) } },
        // The renderer fails on -geometry 0x0, and then no monitor got a new picture.
        { "a monitor of no size is left out", gw::PictureLayout::PerMonitor, withEmpty,
            { QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024) } },
        { "spanned: a monitor of no size is left out", gw::PictureLayout::Spanned, withEmpty,
            { QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024) } },
        { "only monitors of no size: the usual one picture", gw::PictureLayout::PerMonitor,
            { { "Z", QRect(0, 0, 0, 0) } }, { QRect(0, 0, 1920, 1080) } },
    };
    for (const Row& row : rows) {
        QVector<QRect> got;
        for (const gw::Picture& p : gw::plannedPictures(row.layout, row.monitors))
            got << p.geometry;
        EXPECT_EQ(got, row.sizes) << row.name;
    }
}
