// GNOME, Cinnamon and MATE take one picture through their GSettings keys, stored by the real
// dconf service on the private bus. Two monitors side by side: one picture of both, spanned,
// with a whole globe on each monitor.
#include "DesktopRig.h"

#include <QStandardPaths>
#include <QUrl>

namespace backgroundtest {
namespace {

    class GSettingsDesktop : public DesktopRig
    {
    protected:
        static QString get(const QString& schema, const QString& key)
        {
            QString value = output(QStringLiteral("gsettings"), { QStringLiteral("get"), schema, key });
            if (value.size() >= 2 && value.startsWith(QLatin1Char('\'')))
                value = value.mid(1, value.size() - 2);
            return value;
        }
        // How a desktop's key names `file`: as a file URI, else as a plain path.
        static QString named(const QString& file, bool uri)
        {
            return uri ? QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded) : file;
        }
    };

    TEST_F(GSettingsDesktop, EachDesktopsKeysNameTheNewPictureAndThePreviousOneGoes)
    {
        struct Row
        {
            const char* choice;
            const char* schema;
            QStringList keys; // each names the picture
            bool uri; // as a file URI, else as a plain path
        };
        const Row rows[] = {
            { "GNOME", "org.gnome.desktop.background", { "picture-uri", "picture-uri-dark" }, true },
            { "Cinnamon", "org.cinnamon.desktop.background", { "picture-uri" }, true },
            { "MATE", "org.mate.background", { "picture-filename" }, false },
        };
        const gw::MonitorList monitors = { { QStringLiteral("left"), QRect(0, 0, 320, 200) },
            { QStringLiteral("right"), QRect(320, 0, 200, 150) } };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.choice);
            const QString schema = QString::fromLatin1(row.schema);
            if (!output(QStringLiteral("gsettings"), { QStringLiteral("list-schemas") })
                     .split(QLatin1Char('\n'))
                     .contains(schema)) {
                ADD_FAILURE() << "schema " << row.schema << " missing: install its package (scripts/setup)";
                continue;
            }
            QDir(pictureFolder()).removeRecursively();
            renderTo(QString::fromLatin1(row.choice), monitors);
            ASSERT_TRUE(backgroundLog().isEmpty()) << backgroundLog().join(QLatin1Char('\n')).toStdString();
            ASSERT_EQ(pictures().size(), 1);
            const QString first = pictures().first();
            const QImage picture(first, "PNG");
            EXPECT_EQ(picture.size(), QSize(520, 200)) << "one picture of the whole desktop";
            EXPECT_TRUE(showsGlobeAt(picture, monitors.at(0).geometry)) << "left monitor";
            EXPECT_TRUE(showsGlobeAt(picture, monitors.at(1).geometry)) << "right monitor";
            for (const QString& key : row.keys)
                EXPECT_EQ(get(schema, key), named(first, row.uri)) << key.toStdString();
            EXPECT_EQ(get(schema, QStringLiteral("picture-options")), QStringLiteral("spanned"));

            renderTo(QString::fromLatin1(row.choice), monitors);
            ASSERT_EQ(pictures().size(), 1) << "the previous picture is gone after the switch";
            EXPECT_NE(pictures().first(), first);
            for (const QString& key : row.keys)
                EXPECT_EQ(get(schema, key), named(pictures().first(), row.uri)) << key.toStdString();
        }
    }

    TEST_F(GSettingsDesktop, TheLockScreenGetsThePictureOnlyWhenAsked)
    {
        struct Row
        {
            const char* choice;
            const char* schema; // null: the lock screen follows the desktop's own key
            const char* key;
            bool uri;
        };
        const Row rows[] = {
            { "GNOME", "org.gnome.desktop.screensaver", "picture-uri", true },
            { "MATE", "org.mate.screensaver", "picture-filename", false },
            { "Cinnamon", nullptr, nullptr, false },
        };
        const gw::MonitorList one = { { QStringLiteral("M"), QRect(0, 0, 320, 200) } };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.choice);
            const QString schema = QString::fromLatin1(row.schema);
            const QString key = QString::fromLatin1(row.key);
            settings.setChecked(QStringLiteral("cbLockScreen"), false);
            renderTo(QString::fromLatin1(row.choice), one);
            const QString before = row.schema ? get(schema, key) : QString();
            if (row.schema) {
                EXPECT_FALSE(before.contains(pictureFolder())) << "untouched while the box is not ticked";
            }

            settings.setChecked(QStringLiteral("cbLockScreen"), true);
            renderTo(QString::fromLatin1(row.choice), one);
            ASSERT_TRUE(backgroundLog().isEmpty()) << backgroundLog().join(QLatin1Char('\n')).toStdString();
            ASSERT_EQ(pictures().size(), 1);
            if (row.schema) {
                EXPECT_EQ(get(schema, key), named(pictures().first(), row.uri));
            }
        }
    }

    TEST_F(GSettingsDesktop, ADesktopWithoutALockScreenPictureSaysSoOnce)
    {
        settings.setChecked(QStringLiteral("cbLockScreen"), true);
        settings.setText(QStringLiteral("edtBackgroundCommand"), QStringLiteral("true {file}"));
        renderTo(QStringLiteral("command"), { { QStringLiteral("M"), QRect(0, 0, 320, 200) } });
        renderTo(QStringLiteral("command"), { { QStringLiteral("M"), QRect(0, 0, 320, 200) } });
        ASSERT_EQ(backgroundLog().size(), 1);
        EXPECT_TRUE(backgroundLog().first().contains(QStringLiteral("lock screen has no picture Globewall can set")));
        EXPECT_EQ(pictures().size(), 1) << "the desktop's picture is shown all the same";
    }

    // The tool reads its keys back from another store than the desktop's (a sandbox, another
    // XDG_CONFIG_HOME): stood in for by a `gsettings` first on PATH whose reads see only the
    // schema's defaults. The desktop (dconf) has the new picture all the same, so it must stay.
    // Each row is one render on the same desktop, the read-back disagreeing or not.
    TEST_F(GSettingsDesktop, AReadBackThatDisagreesDeletesNoPictureTheDesktopMayShow)
    {
        const QString realTool = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
        ASSERT_FALSE(realTool.isEmpty());
        const QString otherStore = tmp.file(QStringLiteral("other-store"));
        launchtest::writeScript(otherStore + QStringLiteral("/gsettings"),
            "if [ \"$1\" = get ]; then GSETTINGS_BACKEND=memory exec '" + realTool.toUtf8()
                + "' \"$@\"; fi\n"
                  "exec '"
                + realTool.toUtf8() + "' \"$@\"\n");
        const QByteArray path = qgetenv("PATH");
        struct Row
        {
            const char* label;
            bool disagrees;
            int pictures; // in the picture folder afterwards
            int logLines; // about the background, so far
        };
        const Row rows[] = {
            { "agrees: one picture", false, 1, 0 },
            { "disagrees: the new one and the confirmed one stay, one line", true, 2, 1 },
            { "disagrees again: the one between goes, no second line", true, 2, 1 },
            { "agrees again: only the newest stays", false, 1, 1 },
            { "disagrees after that: a new spell, a new line", true, 2, 2 },
        };
        const gw::MonitorList one = { { QStringLiteral("M"), QRect(0, 0, 320, 200) } };
        const QString schema = QStringLiteral("org.gnome.desktop.background");
        for (const Row& row : rows) {
            qputenv("PATH", row.disagrees ? otherStore.toLocal8Bit() + ':' + path : path);
            renderTo(QStringLiteral("GNOME"), one);
            qputenv("PATH", path);
            EXPECT_EQ(pictures().size(), row.pictures) << row.label;
            ASSERT_FALSE(pictures().isEmpty()) << row.label;
            EXPECT_EQ(get(schema, QStringLiteral("picture-uri")), named(pictures().constLast(), true))
                << row.label << ": the desktop names the newest, and it is there";
            EXPECT_EQ(backgroundLog().size(), row.logLines) << row.label << "\n"
                                                            << backgroundLog().join(QLatin1Char('\n')).toStdString();
        }
        EXPECT_TRUE(backgroundLog().constLast().contains(QStringLiteral("picture-uri did not keep the new value")));
    }

    TEST_F(GSettingsDesktop, GnomeOnTwoMonitorsShowsAWholeGlobeOnEachHalf)
    {
        const gw::MonitorList monitors = splitDisplay();
        ASSERT_EQ(monitors.size(), 2) << xvfb.error().toStdString();
        render.setSessionEnvironment({ QStringLiteral("GNOME"), QStringLiteral("x11"), {}, {}, {} });
        renderTo(QStringLiteral("automatic"), monitors);
        ASSERT_TRUE(backgroundLog().isEmpty()) << backgroundLog().join(QLatin1Char('\n')).toStdString();

        const QImage shown(
            QUrl(get(QStringLiteral("org.gnome.desktop.background"), QStringLiteral("picture-uri"))).toLocalFile());
        ASSERT_EQ(shown.size(), QSize(800, 300));
        EXPECT_TRUE(showsGlobeAt(shown, QRect(0, 0, 400, 300))) << "left half";
        EXPECT_TRUE(showsGlobeAt(shown, QRect(400, 0, 400, 300))) << "right half";
        EXPECT_LT(qGray(shown.pixel(400, 150)), 10) << "space at the seam: never one globe across both";
        EXPECT_EQ(pictures().size(), 1) << "the monitors' own pictures are gone once composed";
    }

    // Monitors far apart (a picture of 30320x30200 would take 2.7 GB at every render), and one
    // of no size, which the renderer cannot draw: the first monitor's picture, one line each render spell.
    TEST_F(GSettingsDesktop, MonitorsTooFarApartToComposeShowTheFirstMonitorsPicture)
    {
        const gw::MonitorList monitors = { { QStringLiteral("A"), QRect(0, 0, 320, 200) },
            { QStringLiteral("Z"), QRect(320, 0, 0, 0) }, { QStringLiteral("B"), QRect(30000, 30000, 320, 200) } };
        render.setSessionEnvironment({ QStringLiteral("GNOME"), QStringLiteral("x11"), {}, {}, {} });
        renderTo(QStringLiteral("automatic"), monitors);
        renderTo(QStringLiteral("automatic"), monitors);
        const QStringList lines = backgroundLog();
        ASSERT_EQ(lines.size(), 1) << lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(lines.first().contains(QLatin1String("30320x30200"))) << lines.first().toStdString();
        const QImage shown(
            QUrl(get(QStringLiteral("org.gnome.desktop.background"), QStringLiteral("picture-uri"))).toLocalFile());
        EXPECT_EQ(shown.size(), QSize(320, 200));
        EXPECT_TRUE(showsGlobeAt(shown, shown.rect()));
    }

} // namespace
} // namespace backgroundtest
