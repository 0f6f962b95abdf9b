// Hyprland: Debian has no Hyprland, so a stand-in hyprctl on PATH lists the monitors of a JSON
// file, records what the backend asks of hyprpaper, and fails where a row says so.
#include "DesktopRig.h"

#include <QFile>

namespace backgroundtest {
namespace {

    class HyprlandDesktop : public DesktopRig
    {
    protected:
        void SetUp() override
        {
            DesktopRig::SetUp();
            m_calls = tmp.file(QStringLiteral("hyprctl-calls"));
            // Fails when its request is the one named in $HYPRCTL_FAIL.
            launchtest::writeScript(tmp.file(QStringLiteral("fakebin/hyprctl")),
                "echo \"$*\" >> \"" + QFile::encodeName(m_calls) + "\"\n[ \"$1\" = monitors ] && exec cat \""
                    + QFile::encodeName(monitorsFile())
                    + "\"\n[ \"$2\" = \"$HYPRCTL_FAIL\" ] && { echo 'no "
                      "hyprpaper' >&2; exit 1; }\nexit 0");
            // Qt through XWayland sees one screen of another name.
            render.setMonitorSource([] {
                return gw::MonitorList { { QStringLiteral("-"), QRect(0, 0, 1920, 1080) } };
            });
            m_path = qgetenv("PATH");
            qputenv("PATH", QFile::encodeName(tmp.file(QStringLiteral("fakebin"))) + ":" + m_path);
        }
        void TearDown() override
        {
            qputenv("PATH", m_path);
            qunsetenv("HYPRCTL_FAIL");
            DesktopRig::TearDown();
        }
        QString monitorsFile() const { return tmp.file(QStringLiteral("monitors.json")); }
        void listMonitors(const QByteArray& json) const { tmp.write(QStringLiteral("monitors.json"), json); }
        void renderTo(const QString& choice)
        {
            settings.setText(QStringLiteral("ddbDesktopBackground"), choice);
            render.btnExecuteClick();
        }
        QStringList calls() const
        {
            QFile f(m_calls);
            if (!f.open(QIODevice::ReadOnly))
                return {};
            return QString::fromUtf8(f.readAll())
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                .filter(QStringLiteral("hyprpaper"));
        }

        QString m_calls;
        QByteArray m_path;
    };

    TEST_F(HyprlandDesktop, EachMonitorHyprctlListsGetsItsPictureThroughHyprpaper)
    {
        // The second is turned a quarter at scale 2: its mode is 200x300, its place logical.
        listMonitors(R"([{"name":"DP-1","x":0,"y":0,"width":400,"height":300,"scale":1.0,"transform":0},
            {"name":"HDMI-A-1","x":200,"y":0,"width":200,"height":300,"scale":2.0,"transform":1},
            {"name":"HDMI-A-2","x":0,"y":0,"width":640,"height":480,"scale":1.0,"disabled":true}])");
        const gw::MonitorList monitors = { { QStringLiteral("DP-1"), QRect(0, 0, 400, 300) },
            { QStringLiteral("HDMI-A-1"), QRect(400, 0, 300, 200) } };
        renderTo(QStringLiteral("Hyprland"));
        EXPECT_TRUE(backgroundLog().isEmpty()) << backgroundLog().join(QLatin1Char('\n')).toStdString();
        const QStringList files = pictures();
        ASSERT_EQ(files.size(), 2);
        const QStringList got = calls();
        ASSERT_EQ(got.size(), 5) << got.join(QLatin1Char('\n')).toStdString();
        for (const gw::Monitor& m : monitors) {
            const QString file = files.filter(m.name).value(0);
            ASSERT_FALSE(file.isEmpty()) << "no picture named after " << m.name.toStdString();
            EXPECT_EQ(QImage(file).size(), m.geometry.size());
            const int preload = got.indexOf(QStringLiteral("hyprpaper preload ") + file);
            const int show = got.indexOf(QStringLiteral("hyprpaper wallpaper ") + m.name + QLatin1Char(',') + file);
            EXPECT_GE(preload, 0);
            EXPECT_GT(show, preload) << "a picture is loaded before it is shown";
        }
        EXPECT_EQ(got.last(), QStringLiteral("hyprpaper unload unused"));
    }

    TEST_F(HyprlandDesktop, ARefusalIsOneLogLineAndKeepsThePreviousPicture)
    {
        for (const char* failing : { "preload", "wallpaper" }) {
            SCOPED_TRACE(failing);
            log.lines.clear();
            QDir(pictureFolder()).removeRecursively();
            QDir().mkpath(pictureFolder());
            const QString previous
                = tmp.write(QStringLiteral("cache/Globewall/globe_desktop_20260101-000000-000-1.png"), "x");
            qputenv("HYPRCTL_FAIL", failing);
            listMonitors(R"([{"name":"DP-1","x":0,"y":0,"width":400,"height":300,"scale":1.0}])");
            renderTo(QStringLiteral("Hyprland"));
            ASSERT_EQ(backgroundLog().size(), 1) << log.lines.join(QLatin1Char('\n')).toStdString();
            EXPECT_TRUE(backgroundLog().first().contains(QStringLiteral("(Hyprland)")))
                << backgroundLog().first().toStdString();
            EXPECT_EQ(pictures(), QStringList { previous });
        }
    }

    TEST_F(HyprlandDesktop, MonitorsHyprctlCannotListAreOneLogLineAndQtsScreensServe)
    {
        struct Row
        {
            const char* name;
            QByteArray json; // null: hyprctl fails
            const char* reason;
        };
        const Row rows[] = {
            { "hyprctl fails", {}, "(hyprctl exited with code 1" },
            { "not JSON", "Hyprland is not running", "(hyprctl's list of monitors is no JSON list)" },
            { "no monitor", "[]",
                "the monitors cannot be found (the desktop lists none); the screens Qt sees are used" },
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            log.lines.clear();
            QFile::remove(monitorsFile());
            if (!row.json.isNull())
                listMonitors(row.json);
            renderTo(QStringLiteral("Hyprland"));
            renderTo(QStringLiteral("Hyprland"));
            ASSERT_EQ(backgroundLog().size(), 1) << "once, not at every render";
            EXPECT_TRUE(backgroundLog().first().contains(QString::fromLatin1(row.reason)))
                << backgroundLog().first().toStdString();
            EXPECT_TRUE(calls().last().startsWith(QStringLiteral("hyprpaper unload"))) << "Qt's screen got a picture";
            // A list that works again is logged anew when it fails next time.
            listMonitors(R"([{"name":"DP-1","x":0,"y":0,"width":400,"height":300,"scale":1.0}])");
            renderTo(QStringLiteral("Hyprland"));
        }
    }

} // namespace
} // namespace backgroundtest
