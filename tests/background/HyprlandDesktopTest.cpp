// Hyprland: Debian has no Hyprland, so a stand-in hyprctl on PATH records what the backend asks
// of hyprpaper, and fails where a row says so.
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
                "echo \"$*\" >> \"" + QFile::encodeName(m_calls)
                    + "\"\n[ \"$2\" = \"$HYPRCTL_FAIL\" ] && { echo 'no hyprpaper' >&2; exit 1; }\nexit 0");
            m_path = qgetenv("PATH");
            qputenv("PATH", QFile::encodeName(tmp.file(QStringLiteral("fakebin"))) + ":" + m_path);
        }
        void TearDown() override
        {
            qputenv("PATH", m_path);
            qunsetenv("HYPRCTL_FAIL");
            DesktopRig::TearDown();
        }
        QStringList calls() const
        {
            QFile f(m_calls);
            if (!f.open(QIODevice::ReadOnly))
                return {};
            return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        }

        QString m_calls;
        QByteArray m_path;
    };

    TEST_F(HyprlandDesktop, EachMonitorGetsItsPictureThroughHyprpaper)
    {
        const gw::MonitorList monitors = { { QStringLiteral("DP-1"), QRect(0, 0, 400, 300) },
            { QStringLiteral("HDMI-A-1"), QRect(400, 0, 300, 200) } };
        renderTo(QStringLiteral("Hyprland"), monitors);
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
            renderTo(QStringLiteral("Hyprland"), { { QStringLiteral("DP-1"), QRect(0, 0, 400, 300) } });
            ASSERT_EQ(backgroundLog().size(), 1) << log.lines.join(QLatin1Char('\n')).toStdString();
            EXPECT_TRUE(backgroundLog().first().contains(QStringLiteral("(Hyprland)")))
                << backgroundLog().first().toStdString();
            EXPECT_EQ(pictures(), QStringList { previous });
        }
    }

} // namespace
} // namespace backgroundtest
