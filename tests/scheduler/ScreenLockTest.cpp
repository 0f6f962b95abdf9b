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
    QProcessEnvironment desktopEnvironment(const QString& display) const
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("DISPLAY"), display);
        e.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), session.address());
        e.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
        e.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.file(QStringLiteral("config")));
        e.remove(QStringLiteral("WAYLAND_DISPLAY"));
        return e;
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
    struct Row
    {
        const char* label;
        const char* name;
        std::function<bool(BusService&)> start;
    };
    const QProcessEnvironment desktop = desktopEnvironment(xvfb.display());
    const std::vector<Row> rows = {
        { "MATE's screensaver", "org.mate.ScreenSaver",
            [&](BusService& s) {
                return s.start(QStringLiteral("mate-screensaver"), { QStringLiteral("--no-daemon") }, desktop, client,
                    QStringLiteral("org.mate.ScreenSaver"));
            } },
        { "Cinnamon's screensaver", "org.cinnamon.ScreenSaver",
            [&](BusService& s) {
                const QString schemas = dir.file(QStringLiteral("schemas"));
                if (!cinnamonSchemas(schemas))
                    return false;
                QProcessEnvironment e = desktop;
                e.insert(QStringLiteral("GSETTINGS_SCHEMA_DIR"), schemas);
                return s.start(
                    QStringLiteral("cinnamon-screensaver"), {}, e, client, QStringLiteral("org.cinnamon.ScreenSaver"));
            } },
        { "GNOME's interface", "org.gnome.ScreenSaver", [&](BusService& s) { return startGnome(s); } },
    };
    for (const Row& r : rows) {
        const QString name = QString::fromLatin1(r.name);
        const QString path = QLatin1Char('/') + QString(name).replace(QLatin1Char('.'), QLatin1Char('/'));
        BusService service;
        if (!r.start(service)) {
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
        auto platform = std::make_shared<gw::PlatformScreensaver>(
            client, gw::PlatformScreensaver::X11DisplaySource {}, systemClient);
        SchedulerRig rig;
        gw::SystemState state(rig.settings, rig.clock, rig.powerRoot(), [platform] { return platform->active(); });
        gw::CentralScheduler scheduler(rig.settings, rig.state, rig.log, rig.tray, rig.clock, state, rig.jobs);
        rig.settings.setChecked(QStringLiteral("cbStartEveryXsec"), true);
        rig.settings.setInteger(QStringLiteral("SpinEdit"), 10);
        scheduler.seedStartTimes();
        for (int i = 0; i < 12; ++i) {
            rig.clock.advanceSeconds(5);
            scheduler.CentralTimerTimer();
        }
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
