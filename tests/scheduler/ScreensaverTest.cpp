// The screensaver asked of a real D-Bus daemon: a private one, with a stand-in screensaver service.
#include "SchedulerRig.h"
#include "scheduler/ScreensaverQuery.h"
#include "support/PrivateBus.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

using namespace gwtest;

namespace {

// Stands in for the desktop's screensaver service; lives on its own thread so a blocking
// call from the test's thread gets its answer.
class FakeScreenSaver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    std::atomic<bool> active { false };
    std::atomic<int> questions { 0 };

public slots:
    bool GetActive()
    {
        ++questions;
        return active;
    }
    void announce(bool on) { emit ActiveChanged(on); }

signals:
    void ActiveChanged(bool on);
};

// A private bus, the program's connection to it (`client`) and the stand-in service on a
// thread of its own, not yet published on the bus.
class ScreensaverBus : public ::testing::Test
{
protected:
    void TearDown() override
    {
        if (!service)
            return;
        QDBusConnection::disconnectFromBus(QStringLiteral("gwtest-service"));
        QDBusConnection::disconnectFromBus(QStringLiteral("gwtest-client"));
        QMetaObject::invokeMethod(service, "deleteLater");
        // Also after a failed assertion: a running QThread destroyed would abort the run and
        // hide which assertion failed.
        serviceThread.quit();
        serviceThread.wait();
    }

    // False when the bus did not start.
    bool startService()
    {
        bus.emplace();
        if (!bus->started())
            return false;
        client = bus->connect(QStringLiteral("gwtest-client"));
        serviceThread.start();
        service = new FakeScreenSaver;
        service->moveToThread(&serviceThread);
        serviceConnection = bus->connect(QStringLiteral("gwtest-service"));
        return true;
    }
    // The bus ties its signal relay to the object, so the object is registered from its own thread.
    void onServiceThread(const std::function<void()>& f)
    {
        QMetaObject::invokeMethod(service, f, Qt::BlockingQueuedConnection);
    }

    const QString serviceName = QStringLiteral("org.freedesktop.ScreenSaver");
    const QString servicePath = QStringLiteral("/org/freedesktop/ScreenSaver");
    std::optional<PrivateBus> bus;
    QDBusConnection client { QString() };
    QThread serviceThread;
    FakeScreenSaver* service = nullptr;
    QDBusConnection serviceConnection { QString() };
};

} // namespace

TEST_F(ScreensaverBus, GetActiveAndTheStartSignal)
{
    ASSERT_TRUE(startService()) << "dbus-daemon did not start";
    ASSERT_TRUE(client.isConnected());
    EXPECT_FALSE(gw::dbusScreensaverActive(client).has_value()) << "no service: no answer";

    bool registered = false;
    onServiceThread([&] {
        registered = serviceConnection.registerService(serviceName)
            && serviceConnection.registerObject(
                servicePath, service, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
    });
    ASSERT_TRUE(registered);

    EXPECT_EQ(gw::dbusScreensaverActive(client), std::optional<bool>(false)) << "service says inactive";
    service->active = true;
    EXPECT_EQ(gw::dbusScreensaverActive(client), std::optional<bool>(true)) << "service says active";

    // The start signal feeds its own diagnostic log; the end signal writes nothing.
    SchedulerRig rig;
    rig.settings.setInteger(QStringLiteral("DebugLevel"), 1);
    gw::ScreensaverMessageLog messageLog(rig.system, rig.clock, client);
    ASSERT_TRUE(messageLog.isSubscribed());
    const QString name = QStringLiteral("Globewall.ScreenSaverMessage.log");
    QMetaObject::invokeMethod(service, "announce", Qt::QueuedConnection, Q_ARG(bool, false));
    QMetaObject::invokeMethod(service, "announce", Qt::QueuedConnection, Q_ARG(bool, true));
    EXPECT_TRUE(gwtest::waitUntil([&] { return !rig.logLines(name).isEmpty(); }, 10000))
        << "no line after ActiveChanged(true)";
    QCoreApplication::processEvents();
    const QStringList lines = rig.logLines(name);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0], gw::DateTimeToStr(rig.clock.now()) + QStringLiteral(": Screensaver is active"));

    onServiceThread([&] { serviceConnection.unregisterObject(servicePath); });
}

// The watch asks the service once and then follows its signals and its coming and going; each
// row is a step on one bus, with the answer and the number of GetActive calls made until then.
TEST_F(ScreensaverBus, TheWatchFollowsSignalsInsteadOfAskingAtEachTick)
{
    ASSERT_TRUE(startService()) << "dbus-daemon did not start";
    gw::BusScreensaverWatch watch(client);
    enum class Step { Ask, Appear, Announce, Leave };
    struct Row
    {
        const char* label;
        Step step;
        bool on;
        std::optional<bool> expected;
        int questionsSoFar; // of the watch
        int serviceQuestionsSoFar;
    };
    const Row rows[] = {
        { "service absent: asked once", Step::Ask, false, std::nullopt, 1, 0 },
        { "absent is remembered, not asked again", Step::Ask, false, std::nullopt, 1, 0 },
        { "service appearing later is asked once", Step::Appear, true, true, 2, 1 },
        { "its answer is kept between ticks", Step::Ask, false, true, 2, 1 },
        { "ActiveChanged(false) without a question", Step::Announce, false, false, 2, 1 },
        { "ActiveChanged(true) without a question", Step::Announce, true, true, 2, 1 },
        { "service leaving: absent again", Step::Leave, false, std::nullopt, 2, 1 },
    };
    for (const Row& r : rows) {
        switch (r.step) {
        case Step::Ask:
            break;
        case Step::Appear:
            service->active = r.on;
            onServiceThread([&] {
                serviceConnection.registerObject(
                    servicePath, service, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
                serviceConnection.registerService(serviceName);
            });
            break;
        case Step::Announce:
            QMetaObject::invokeMethod(service, "announce", Qt::QueuedConnection, Q_ARG(bool, r.on));
            break;
        case Step::Leave:
            onServiceThread([&] {
                serviceConnection.unregisterService(serviceName);
                serviceConnection.unregisterObject(servicePath);
            });
            break;
        }
        EXPECT_TRUE(gwtest::waitUntil([&] { return watch.active() == r.expected; }, 10000)) << r.label;
        EXPECT_EQ(watch.questionsAsked(), r.questionsSoFar) << r.label;
        EXPECT_EQ(service->questions.load(), r.serviceQuestionsSoFar) << r.label;
    }
}

TEST_F(ScreensaverBus, AMessageLogThatCannotBeWrittenIsNoCrash)
{
    SchedulerRig rig;
    rig.settings.setInteger(QStringLiteral("DebugLevel"), 1);
    gw::setProgramDir(rig.dir.file(QStringLiteral("missing")));
    gw::ScreensaverMessageLog messageLog(rig.system, rig.clock, QDBusConnection(QStringLiteral("not connected")));
    EXPECT_FALSE(messageLog.isSubscribed());
    EXPECT_NO_THROW(messageLog.activeChanged(true));
}

#include "ScreensaverTest.moc"

// Each desktop's screensaver has its service file installed but none runs: a question starts
// none of them (one was started that way with its own idea of when to lock the screen). The
// last row, a question that lets the bus start the service, shows the rig would notice a start.
TEST(ScreensaverActivation, AnInstalledServiceThatDoesNotRunIsNeverStarted)
{
    gwtest::TempDir data;
    const QString started = data.file(QStringLiteral("started"));
    const QString record
        = data.write(QStringLiteral("record"), "#!/bin/sh\necho \"$1\" >> '" + started.toUtf8() + "'\n");
    QFile::setPermissions(record, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const gw::ScreensaverService& s : gw::desktopScreensavers())
        data.write(QStringLiteral("dbus-1/services/") + s.service + QStringLiteral(".service"),
            "[D-BUS Service]\nName=" + s.service.toUtf8() + "\nExec=" + record.toUtf8() + ' ' + s.service.toUtf8()
                + '\n');
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    env.insert(QStringLiteral("XDG_DATA_DIRS"), data.file(QStringLiteral("none")));
    PrivateBus bus(env);
    ASSERT_TRUE(bus.started()) << "dbus-daemon did not start";
    QDBusConnection client = bus.connect(QStringLiteral("gwtest-activation"));
    const QDBusConnection noSystemBus { QString() };

    struct Case
    {
        const char* label;
        std::function<void()> ask;
        QStringList startedAfter;
    };
    const auto watchOf = [&](int i) {
        return [&, i] { EXPECT_FALSE(gw::BusScreensaverWatch(client, gw::desktopScreensavers()[i]).active()); };
    };
    const Case cases[] = {
        { "GNOME's", watchOf(0), {} },
        { "Cinnamon's", watchOf(1), {} },
        { "MATE's", watchOf(2), {} },
        { "freedesktop's", watchOf(3), {} },
        { "every source merged, as at a tick",
            [&] { EXPECT_FALSE(gw::PlatformScreensaver(client, {}, noSystemBus).active()); }, {} },
        { "an ordinary call, which may start it",
            [&] {
                const gw::ScreensaverService& mate = gw::desktopScreensavers()[2];
                client.call(QDBusMessage::createMethodCall(
                                mate.service, mate.path, mate.interface, QStringLiteral("GetActive")),
                    QDBus::Block, 2000);
            },
            { QStringLiteral("org.mate.ScreenSaver") } },
    };
    for (const Case& c : cases) {
        c.ask();
        if (!c.startedAfter.isEmpty())
            gwtest::waitUntil([&] { return QFileInfo::exists(started); }, 10000);
        const QStringList lines
            = QString::fromUtf8(gwtest::readFile(started)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        EXPECT_EQ(lines, c.startedAfter) << c.label;
    }
}
