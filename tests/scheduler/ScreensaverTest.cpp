// The screensaver asked of a real D-Bus daemon: a private one, with a stand-in screensaver service.
#include "SchedulerRig.h"
#include "scheduler/ScreensaverQuery.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QScopeGuard>
#include <QThread>
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
    std::atomic<bool> active{false};

public slots:
    bool GetActive() { return active; }
    void announce(bool on) { emit ActiveChanged(on); }

signals:
    void ActiveChanged(bool on);
};

class PrivateBus
{
public:
    bool start()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return false;
        m_process.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
                                 QStringLiteral("--address=unix:path=") + m_dir.file(QStringLiteral("bus"))});
        if (!m_process.waitForStarted(5000))
            return false;
        QByteArray out;
        gwtest::waitUntil(
            [&] {
                if (out.contains('\n') || m_process.state() != QProcess::Running)
                    return true;
                m_process.waitForReadyRead(200);
                out += m_process.readAllStandardOutput();
                return false;
            },
            10000);
        address = QString::fromLatin1(out.trimmed());
        return !address.isEmpty();
    }
    ~PrivateBus()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
    QDBusConnection connect(const QString& name) { return QDBusConnection::connectToBus(address, name); }

    QString address;

private:
    TempDir m_dir;
    QProcess m_process;
};


} // namespace

TEST(ScreensaverBus, GetActiveAndTheStartSignal)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.start()) << "dbus-daemon did not start";
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
    EXPECT_TRUE(gwtest::waitUntil([&] { return !rig.logLines(name).isEmpty(); }, 10000)) << "no line after ActiveChanged(true)";
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
