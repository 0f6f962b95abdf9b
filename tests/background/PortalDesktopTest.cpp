// The desktop portal: a stand-in on the private bus takes the picture and answers the way a
// portal does, with the request's Response signal after the call. Only a Response of 0 counts
// as shown; any other, or none within the limit, is one log line and the previous picture stays.
#include "DesktopRig.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

namespace backgroundtest {
namespace {

    // argv: the response to send ("none": never answer), the file to record the picture's path in.
    constexpr char kPortal[] = R"(import os, sys, dbus, dbus.service, dbus.mainloop.glib
from gi.repository import GLib
dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
class Request(dbus.service.Object):
    @dbus.service.signal('org.freedesktop.portal.Request', signature='ua{sv}')
    def Response(self, response, results):
        pass
class Portal(dbus.service.Object):
    @dbus.service.method('org.freedesktop.portal.Wallpaper', in_signature='sha{sv}', out_signature='o',
                         sender_keyword='sender')
    def SetWallpaperFile(self, parent, fd, options, sender=None):
        open(sys.argv[2], 'w').write(os.readlink('/proc/self/fd/%d' % fd.take()))
        path = '/org/freedesktop/portal/desktop/request/%s/%s' % (sender[1:].replace('.', '_'), options['handle_token'])
        request = Request(bus, path)
        if sys.argv[1] != 'none':
            GLib.timeout_add(50, lambda: request.Response(dbus.UInt32(int(sys.argv[1])), dbus.Dictionary({}, signature='sv')))
        return dbus.ObjectPath(path)
bus = dbus.SessionBus()
name = dbus.service.BusName('org.freedesktop.portal.Desktop', bus)
Portal(bus, '/org/freedesktop/portal/desktop')
GLib.MainLoop().run()
)";

    const QString kPortalName = QStringLiteral("org.freedesktop.portal.Desktop");

    class PortalDesktop : public DesktopRig
    {
    protected:
        void SetUp() override
        {
            DesktopRig::SetUp();
            if (IsSkipped())
                return;
            if (QProcess::execute(m_python, { QStringLiteral("-c"), QStringLiteral("import dbus, gi") }) != 0)
                GTEST_SKIP() << "python3-dbus is not installed: no stand-in for the portal";
        }
        void TearDown() override
        {
            stopPortal();
            DesktopRig::TearDown();
        }
        static bool portalRegistered()
        {
            return QDBusConnection::sessionBus().interface()->isServiceRegistered(kPortalName);
        }
        void startPortal(const QString& response)
        {
            m_portal.start(m_python, { QStringLiteral("-c"), QString::fromLatin1(kPortal), response, m_shown });
            const QDeadlineTimer deadline(10000);
            while (!portalRegistered()) {
                ASSERT_FALSE(deadline.hasExpired()) << "the stand-in portal did not come up";
                QThread::msleep(50);
            }
        }
        void stopPortal()
        {
            m_portal.kill();
            m_portal.waitForFinished(5000);
            const QDeadlineTimer deadline(5000);
            while (portalRegistered() && !deadline.hasExpired())
                QThread::msleep(50);
        }

        const QString m_python = QStringLiteral("/usr/bin/python3");
        QString m_shown = tmp.file(QStringLiteral("shown.txt"));
        QProcess m_portal;
    };

    TEST_F(PortalDesktop, OnlyAResponseOfZeroCountsAsShown)
    {
        struct Row
        {
            const char* name;
            const char* response;
            const char* reason; // in the log line; null: shown, no line
        };
        const Row rows[] = {
            { "accepted", "0", nullptr },
            { "cancelled", "1", "refused SetWallpaperFile: response 1 (cancelled)" },
            { "failed", "2", "refused SetWallpaperFile: response 2 (failed)" },
            { "no answer", "none", "gave no answer to SetWallpaperFile within 1 s" },
        };
        render.setApplyTimeLimit(1000);
        const gw::MonitorList monitor = { { QStringLiteral("DP-1"), QRect(0, 0, 320, 240) } };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            log.lines.clear();
            QDir(pictureFolder()).removeRecursively();
            const QString previous
                = tmp.write(QStringLiteral("cache/Globewall/globe_DP-1_20260101-000000-000-1.png"), "x");
            QFile::remove(m_shown);
            startPortal(QString::fromLatin1(row.response));

            QElapsedTimer took;
            took.start();
            renderTo(QStringLiteral("desktop portal"), monitor);
            EXPECT_LT(took.elapsed(), 8000);
            const QString shown = QString::fromUtf8(gwtest::readFile(m_shown));
            EXPECT_FALSE(shown.isEmpty()) << "the portal was handed the picture";
            if (!row.reason) {
                EXPECT_TRUE(backgroundLog().isEmpty()) << backgroundLog().join(QLatin1Char('\n')).toStdString();
                EXPECT_EQ(pictures(), QStringList { shown }) << "the new picture replaces the previous one";
                EXPECT_TRUE(showsGlobeAt(QImage(shown), QRect(0, 0, 320, 240)));
            } else {
                ASSERT_EQ(backgroundLog().size(), 1) << log.lines.join(QLatin1Char('\n')).toStdString();
                EXPECT_TRUE(backgroundLog().first().contains(QString::fromLatin1(row.reason)))
                    << backgroundLog().first().toStdString();
                EXPECT_EQ(pictures(), QStringList { previous }) << "the picture shown before stays, no new one is left";
            }
            stopPortal();
        }
    }

} // namespace
} // namespace backgroundtest
