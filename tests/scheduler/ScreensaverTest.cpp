// The screensaver asked of a real D-Bus daemon: a private one, with a stand-in screensaver service.
#include "SchedulerRig.h"
#include "scheduler/ScreensaverQuery.h"
#include "support/PrivateBus.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QScopeGuard>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>

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

} // namespace

TEST(ScreensaverBus, GetActiveAndTheStartSignal)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.started()) << "dbus-daemon did not start";
    QDBusConnection client = bus.connect(QStringLiteral("gwtest-client"));
    ASSERT_TRUE(client.isConnected());
    EXPECT_FALSE(gw::dbusScreensaverActive(client).has_value()) << "no service: no answer";

    QThread serviceThread;
    serviceThread.start();
    // A failed assertion returns early; a running QThread destroyed then would abort the run
    // and hide which assertion failed.
    const auto stopService = qScopeGuard([&] {
        serviceThread.quit();
        serviceThread.wait();
    });
    auto* service = new FakeScreenSaver;
    service->moveToThread(&serviceThread);
    QDBusConnection serviceConnection = bus.connect(QStringLiteral("gwtest-service"));
    bool registered = false;
    // The bus ties its signal relay to the object, so the object is registered from its own thread.
    QMetaObject::invokeMethod(
        service,
        [&] {
            registered = serviceConnection.registerService(QStringLiteral("org.freedesktop.ScreenSaver"))
                && serviceConnection.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), service,
                    QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
        },
        Qt::BlockingQueuedConnection);
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

    QMetaObject::invokeMethod(
        service, [&] { serviceConnection.unregisterObject(QStringLiteral("/org/freedesktop/ScreenSaver")); },
        Qt::BlockingQueuedConnection);
    QDBusConnection::disconnectFromBus(QStringLiteral("gwtest-service"));
    QDBusConnection::disconnectFromBus(QStringLiteral("gwtest-client"));
    QMetaObject::invokeMethod(service, "deleteLater");
}

// The watch asks the service once and then follows its signals and its coming and going; each
// row is a step on one bus, with the answer and the number of GetActive calls made until then.
TEST(ScreensaverBus, TheWatchFollowsSignalsInsteadOfAskingAtEachTick)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.started()) << "dbus-daemon did not start";
    QDBusConnection client = bus.connect(QStringLiteral("gwtest-watch"));
    QThread serviceThread;
    serviceThread.start();
    const auto stopService = qScopeGuard([&] {
        serviceThread.quit();
        serviceThread.wait();
    });
    auto* service = new FakeScreenSaver;
    service->moveToThread(&serviceThread);
    QDBusConnection serviceConnection = bus.connect(QStringLiteral("gwtest-watched"));
    const QString name = QStringLiteral("org.freedesktop.ScreenSaver");
    const QString path = QStringLiteral("/org/freedesktop/ScreenSaver");
    auto onServiceThread
        = [&](const std::function<void()>& f) { QMetaObject::invokeMethod(service, f, Qt::BlockingQueuedConnection); };

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
                    path, service, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
                serviceConnection.registerService(name);
            });
            break;
        case Step::Announce:
            QMetaObject::invokeMethod(service, "announce", Qt::QueuedConnection, Q_ARG(bool, r.on));
            break;
        case Step::Leave:
            onServiceThread([&] {
                serviceConnection.unregisterService(name);
                serviceConnection.unregisterObject(path);
            });
            break;
        }
        EXPECT_TRUE(gwtest::waitUntil([&] { return watch.active() == r.expected; }, 10000)) << r.label;
        EXPECT_EQ(watch.questionsAsked(), r.questionsSoFar) << r.label;
        EXPECT_EQ(service->questions.load(), r.serviceQuestionsSoFar) << r.label;
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("gwtest-watched"));
    QDBusConnection::disconnectFromBus(QStringLiteral("gwtest-watch"));
    QMetaObject::invokeMethod(service, "deleteLater");
}

TEST(ScreensaverBus, AMessageLogThatCannotBeWrittenIsNoCrash)
{
    SchedulerRig rig;
    rig.settings.setInteger(QStringLiteral("DebugLevel"), 1);
    gw::setProgramDir(rig.dir.file(QStringLiteral("missing")));
    gw::ScreensaverMessageLog messageLog(rig.system, rig.clock, QDBusConnection(QStringLiteral("not connected")));
    EXPECT_FALSE(messageLog.isSubscribed());
    EXPECT_NO_THROW(messageLog.activeChanged(true));
}

#include "ScreensaverTest.moc"
