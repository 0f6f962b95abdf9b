// Nobody sees the desktop: the desktops' own screensavers (MATE's and Cinnamon's, real, under a
// private X server), GNOME's interface (python3-dbusmock's stand-in) and the login session
// (python3-dbusmock's logind on a private system bus), merged as the scheduler asks them.
#include "SchedulerRig.h"
#include "scheduler/LogindSessionWatch.h"
#include "scheduler/ScreensaverQuery.h"
#include "support/SystemBusTest.h"
#include "support/WaitUntil.h"
#include "support/XvfbFixture.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace gwtest;

namespace {

// Cinnamon's screensaver reads a keyboard schema that only the whole Cinnamon desktop installs:
// the system's schemas plus that one, compiled into a folder of the test's own.
bool cinnamonSchemas(const QString& folder)
{
    QDir().mkpath(folder);
    const QDir system(QStringLiteral("/usr/share/glib-2.0/schemas"));
    for (const QString& name : system.entryList({ QStringLiteral("*.xml"), QStringLiteral("*.override") }))
        QFile::copy(system.filePath(name), folder + QLatin1Char('/') + name);
    QFile keyboard(folder + QStringLiteral("/org.cinnamon.keyboard.gschema.xml"));
    if (!keyboard.open(QIODevice::WriteOnly))
        return false;
    keyboard.write("<schemalist><schema id=\"org.cinnamon.keyboard\" path=\"/org/cinnamon/keyboard/\">"
                   "<key name=\"keyboard-type\" type=\"s\"><default>'full'</default></key>"
                   "<key name=\"keyboard-size\" type=\"i\"><default>2</default></key>"
                   "</schema></schemalist>\n");
    keyboard.close();
    return QProcess::execute(QStringLiteral("glib-compile-schemas"), { folder }) == 0;
}

const QString kGnome = QStringLiteral("org.gnome.ScreenSaver");

class ScreenLock : public SystemBusTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(session.started()) << "dbus-daemon did not start";
        ASSERT_NO_FATAL_FAILURE(SystemBusTest::SetUp());
        client = session.connect(QStringLiteral("gwtest-session"));
    }
    // python3-dbusmock's stand-in for GNOME's interface, on the session bus.
    bool startGnome(BusService& service)
    {
        return service.startMock(QStringLiteral("gnome_screensaver"), session.address(), false, client, kGnome);
    }

    TempDir dir;
    PrivateBus session;
    QDBusConnection client { QString() };
};

} // namespace

// Each desktop's screensaver switched on and off through its own interface: the merged answer
// follows, and each change is announced.
TEST_F(ScreenLock, EachDesktopsScreensaverGates)
{
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.start(640, 480)) << xvfb.error().toStdString();
    // The desktops share the schemas Cinnamon's screensaver needs: they hold the system's too.
    const QString schemas = dir.file(QStringLiteral("schemas"));
    ASSERT_TRUE(cinnamonSchemas(schemas)) << "glib-compile-schemas failed";
    QProcessEnvironment desktop = QProcessEnvironment::systemEnvironment();
    desktop.insert(QStringLiteral("DISPLAY"), xvfb.display());
    desktop.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), session.address());
    desktop.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
    desktop.insert(QStringLiteral("GSETTINGS_SCHEMA_DIR"), schemas);
    desktop.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.file(QStringLiteral("config")));
    desktop.remove(QStringLiteral("WAYLAND_DISPLAY"));
    struct Row
    {
        const char* label;
        const char* name;
        const char* program; // none: GNOME's stand-in
        QStringList arguments;
    };
    const Row rows[] = {
        { "MATE's screensaver", "org.mate.ScreenSaver", "mate-screensaver", { "--no-daemon" } },
        { "Cinnamon's screensaver", "org.cinnamon.ScreenSaver", "cinnamon-screensaver", {} },
        { "GNOME's interface", "org.gnome.ScreenSaver", nullptr, {} },
    };
    for (const Row& r : rows) {
        const QString name = QString::fromLatin1(r.name);
        const QString path = QLatin1Char('/') + QString(name).replace(QLatin1Char('.'), QLatin1Char('/'));
        BusService service;
        if (!(r.program ? service.start(QString::fromLatin1(r.program), r.arguments, desktop, client, name)
                        : startGnome(service))) {
            ADD_FAILURE() << r.label << ": " << service.error().toStdString();
            continue;
        }
        gw::PlatformScreensaver platform(client, {}, systemClient);
        int announced = 0;
        QObject::connect(&platform, &gw::PlatformScreensaver::changed, [&] { ++announced; });
        EXPECT_FALSE(platform.active()) << r.label << ": at rest";

        busCall(client, name, path, name, QStringLiteral("SetActive"), { true });
        EXPECT_TRUE(waitUntil([&] { return platform.active(); }, 10000)) << r.label << ": switched on";
        EXPECT_GE(announced, 1) << r.label << ": the change comes as an event";
        EXPECT_TRUE(platform.activeEndsWithEvent()) << r.label;

        const int before = announced;
        busCall(client, name, path, name, QStringLiteral("SetActive"), { false });
        EXPECT_TRUE(waitUntil([&] { return !platform.active() && announced > before; }, 10000))
            << r.label << ": switched off";
    }
}

// With GNOME's interface saying "active", renders every ten seconds give none in a minute;
// inactive, several.
TEST_F(ScreenLock, NoRendersWhileGnomesScreensaverIsActive)
{
    BusService gnome;
    ASSERT_TRUE(startGnome(gnome)) << gnome.error().toStdString();
    for (bool on : { true, false }) {
        busCall(client, kGnome, QStringLiteral("/org/gnome/ScreenSaver"), kGnome, QStringLiteral("SetActive"), { on });
        gw::PlatformScreensaver platform(client, gw::PlatformScreensaver::X11DisplaySource {}, systemClient);
        SchedulerRig rig;
        rig.screensaverFrom = [&platform] { return platform.active(); };
        rig.switchOn({ "cbStartEveryXsec" });
        rig.settings.setInteger(QStringLiteral("SpinEdit"), 10);
        rig.scheduler.seedStartTimes();
        rig.run(60); // twelve ticks
        if (on)
            EXPECT_TRUE(rig.jobs.renders.empty()) << "screensaver active";
        else
            EXPECT_GE(rig.jobs.renders.size(), 4u) << "screensaver inactive";
    }
}

// The login session: locked, or another session in front, gates; its changes are events.
TEST_F(ScreenLock, TheLoginSessionGates)
{
    BusService logind;
    const QString login = QStringLiteral("org.freedesktop.login1");
    ASSERT_TRUE(startMock(logind, QStringLiteral("logind"), login));
    const QDBusMessage added = mock(login, QStringLiteral("/org/freedesktop/login1"), QStringLiteral("AddSession"),
        { QStringLiteral("c7"), QStringLiteral("seat0"), 1000u, QStringLiteral("user"), true });
    ASSERT_EQ(added.type(), QDBusMessage::ReplyMessage) << added.errorMessage().toStdString();
    const QString sessionPath = QStringLiteral("/org/freedesktop/login1/session/c7");

    gw::LogindSessionWatch watch(systemClient, QStringLiteral("c7"));
    int announced = 0;
    QObject::connect(&watch, &gw::ScreenLockSource::changed, [&] { ++announced; });
    struct Row
    {
        const char* label;
        const char* property;
        bool value;
        bool gated;
    };
    const Row rows[] = {
        { "unlocked, in front", nullptr, false, false },
        { "locked", "LockedHint", true, true },
        { "unlocked again", "LockedHint", false, false },
        { "another session in front", "Active", false, true },
        { "back in front", "Active", true, false },
    };
    for (const Row& r : rows) {
        const int before = announced;
        if (r.property) {
            const QDBusMessage set = mock(login, sessionPath, QStringLiteral("UpdateProperties"),
                { QStringLiteral("org.freedesktop.login1.Session"),
                    QVariantMap { { QString::fromLatin1(r.property), r.value } } });
            ASSERT_EQ(set.type(), QDBusMessage::ReplyMessage) << r.label << set.errorMessage().toStdString();
            EXPECT_TRUE(waitUntil([&] { return announced > before; }, 10000)) << r.label << ": announced";
        }
        EXPECT_EQ(watch.active(), std::optional<bool>(r.gated)) << r.label;
    }
}

// No service anywhere, and a session the login manager does not know: nothing gates.
TEST_F(ScreenLock, AbsentServicesAreLeftOut)
{
    gw::PlatformScreensaver platform(client, {}, systemClient);
    EXPECT_FALSE(platform.active());
    gw::LogindSessionWatch noManager(systemClient, QStringLiteral("c1"));
    EXPECT_FALSE(noManager.active().has_value()) << "no login manager";
    gw::LogindSessionWatch notConnected(QDBusConnection(QStringLiteral("not connected")));
    EXPECT_FALSE(notConnected.active().has_value()) << "no system bus";
}
