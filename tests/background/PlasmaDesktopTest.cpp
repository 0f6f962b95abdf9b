// KDE Plasma: plasmashell does not run without its full session, so a small service on the
// private bus takes its place at org.kde.plasmashell and records the script it is sent. The
// script then runs in a real JavaScript engine (node) against desktops() and
// screenGeometry() of two screens whose indexes run against the monitors' order: each screen
// must get the picture rendered for the monitor it lies on.
#include "DesktopRig.h"
#include "support/WaitUntil.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace backgroundtest {
namespace {

    constexpr char kRecorder[] = R"(import sys, dbus, dbus.service, dbus.mainloop.glib
from gi.repository import GLib
dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
class Shell(dbus.service.Object):
    @dbus.service.method('org.kde.PlasmaShell', in_signature='s', out_signature='s')
    def evaluateScript(self, script):
        open(sys.argv[1], 'w').write(script)
        return ''
bus = dbus.SessionBus()
name = dbus.service.BusName('org.kde.plasmashell', bus)
Shell(bus, '/PlasmaShell')
GLib.MainLoop().run()
)";

    // Screen 0 lies on the right, screen 1 on the left; each desktop records what it was given.
    constexpr char kFakeShell[]
        = R"(var geometries = [{x: 640, y: 0, width: 800, height: 600}, {x: 0, y: 0, width: 640, height: 480}];
function screenGeometry(i) { return geometries[i]; }
var shown = {};
function desktop(screen) {
  return {screen: screen, wallpaperPlugin: '', currentConfigGroup: [],
          writeConfig: function (key, value) {
            if (this.wallpaperPlugin === 'org.kde.image' && this.currentConfigGroup.join('/') === 'Wallpaper/org.kde.image/General')
              shown[this.screen + '.' + key] = value;
          }};
}
function desktops() { return [desktop(1), desktop(0)]; }
)";

    class PlasmaDesktop : public DesktopRig
    {
    protected:
        void SetUp() override
        {
            DesktopRig::SetUp();
            if (IsSkipped())
                return;
            if (QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty())
                GTEST_SKIP() << "node is not installed: nothing can run the recorded script";
            // The system's Python: python3-dbus lives there, not in a user's own Python.
            if (QProcess::execute(m_python, { QStringLiteral("-c"), QStringLiteral("import dbus, gi") }) != 0)
                GTEST_SKIP() << "python3-dbus is not installed: no stand-in for plasmashell";
            m_recorder.start(m_python, { QStringLiteral("-c"), QString::fromLatin1(kRecorder), m_script });
            ASSERT_TRUE(gwtest::waitUntil(
                [] {
                    return QDBusConnection::sessionBus().interface()->isServiceRegistered(
                        QStringLiteral("org.kde.plasmashell"));
                },
                10000, 100))
                << "the stand-in for plasmashell did not come up";
        }
        void TearDown() override
        {
            m_recorder.kill();
            m_recorder.waitForFinished(5000);
            DesktopRig::TearDown();
        }

        // What each screen's wallpaper Image was set to, after running the recorded script.
        QJsonObject runRecordedScript() const
        {
            QProcess node;
            node.start(QStringLiteral("node"), {});
            node.write(QByteArray(kFakeShell) + gwtest::readFile(m_script)
                + "\nprocess.stdout.write(JSON.stringify(shown));\n");
            node.closeWriteChannel();
            node.waitForFinished(20000);
            EXPECT_EQ(node.exitCode(), 0) << node.readAllStandardError().toStdString();
            return QJsonDocument::fromJson(node.readAllStandardOutput()).object();
        }

        const QString m_python = QStringLiteral("/usr/bin/python3");
        QString m_script = tmp.file(QStringLiteral("script.js"));
        QProcess m_recorder;
    };

    TEST_F(PlasmaDesktop, EveryScreenGetsThePictureOfItsOwnMonitor)
    {
        const gw::MonitorList monitors = { { QStringLiteral("DP-1"), QRect(0, 0, 640, 480) },
            { QStringLiteral("DP-2"), QRect(640, 0, 800, 600) } };
        renderTo(QStringLiteral("KDE Plasma"), monitors);
        EXPECT_TRUE(backgroundLog().isEmpty()) << backgroundLog().join(QLatin1Char('\n')).toStdString();

        const QJsonObject shown = runRecordedScript();
        const QString left = QUrl(shown.value(QStringLiteral("1.Image")).toString()).toLocalFile();
        const QString right = QUrl(shown.value(QStringLiteral("0.Image")).toString()).toLocalFile();
        EXPECT_EQ(QImage(left).size(), QSize(640, 480)) << left.toStdString();
        EXPECT_EQ(QImage(right).size(), QSize(800, 600)) << right.toStdString();
        QStringList both = { left, right };
        both.sort();
        EXPECT_EQ(pictures(), both) << "the files shown are the ones kept";
    }

    TEST_F(PlasmaDesktop, TheLockScreenGetsTheFirstMonitorsPictureInItsOwnConfiguration)
    {
        if (QStandardPaths::findExecutable(QStringLiteral("kreadconfig5")).isEmpty())
            GTEST_SKIP() << "kreadconfig5 is not installed (libkf5config-bin)";
        const auto lockImage = [] {
            return output(QStringLiteral("kreadconfig5"),
                { "--file", "kscreenlockerrc", "--group", "Greeter", "--group", "Wallpaper", "--group", "org.kde.image",
                    "--group", "General", "--key", "Image" });
        };
        const gw::MonitorList monitors = { { QStringLiteral("DP-1"), QRect(0, 0, 640, 480) } };
        renderTo(QStringLiteral("KDE Plasma"), monitors);
        EXPECT_TRUE(lockImage().isEmpty()) << "untouched while the box is not ticked";

        settings.setChecked(QStringLiteral("cbLockScreen"), true);
        renderTo(QStringLiteral("KDE Plasma"), monitors);
        EXPECT_TRUE(backgroundLog().isEmpty()) << backgroundLog().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(pictures().size(), 1);
        EXPECT_EQ(QUrl(lockImage()).toLocalFile(), pictures().first());
        EXPECT_EQ(output(QStringLiteral("kreadconfig5"),
                      { "--file", "kscreenlockerrc", "--group", "Greeter", "--key", "WallpaperPlugin" }),
            QStringLiteral("org.kde.image"));
    }

} // namespace
} // namespace backgroundtest
