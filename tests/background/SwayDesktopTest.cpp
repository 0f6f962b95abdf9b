// sway, headless with two outputs: the automatic choice in a sway session asks sway for its
// outputs and sends one picture per output over sway's IPC, and each output then shows a whole
// globe of its own, whatever screens Qt sees. sway
// refuses to run as root, so under root the test runs itself again as a throwaway user.
#include "DesktopRig.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>

namespace backgroundtest {
namespace {

    constexpr char kUnprivileged[] = "GLOBEWALL_TEST_UNPRIVILEGED";
    constexpr int kThrowawayId = 64123;

    class SwayDesktop : public DesktopRig
    {
    protected:
        void SetUp() override
        {
            for (const char* tool : { "sway", "swaymsg", "swaybg", "grim", "setpriv" })
                if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                    GTEST_SKIP() << tool << " is not installed";
            if (::geteuid() == 0)
                return; // the copy of this test run as the throwaway user does the work
            DesktopRig::SetUp();
        }
        void TearDown() override
        {
            if (m_sway.state() != QProcess::NotRunning) {
                m_sway.terminate();
                if (!m_sway.waitForFinished(5000))
                    m_sway.kill();
                m_sway.waitForFinished(5000);
            }
            if (::geteuid() != 0)
                DesktopRig::TearDown();
        }

        // Runs this test again as a user who owns nothing here; its output is shown on failure.
        void runUnprivileged()
        {
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QString::fromLatin1(kUnprivileged), QStringLiteral("1"));
            for (const char* name : { "XDG_RUNTIME_DIR", "DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "HOME" })
                env.remove(QString::fromLatin1(name));
            env.insert(QStringLiteral("HOME"), QDir::tempPath());
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::MergedChannels);
            const QString id = QString::number(kThrowawayId);
            const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
            child.start(QStringLiteral("setpriv"),
                { QStringLiteral("--reuid=") + id, QStringLiteral("--regid=") + id, QStringLiteral("--clear-groups"),
                    QCoreApplication::applicationFilePath(),
                    QStringLiteral("--gtest_filter=%1.%2").arg(info->test_suite_name(), info->name()) });
            ASSERT_TRUE(child.waitForFinished(100000));
            const QString out = QString::fromLocal8Bit(child.readAll());
            EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
            EXPECT_TRUE(out.contains(QStringLiteral("[  PASSED  ] 1 test."))) << out.toStdString();
        }

        // Starts headless sway with a private runtime folder and red outputs; fills m_outputs.
        void startSway()
        {
            const QString runtime = tmp.file(QStringLiteral("run"));
            ASSERT_TRUE(QDir().mkpath(runtime));
            QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            const QString config
                = tmp.write(QStringLiteral("sway.conf"), "output * resolution 640x480 bg #ff0000 solid_color\n");
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
            env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
            env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
            env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
            env.insert(QStringLiteral("WLR_HEADLESS_OUTPUTS"), QStringLiteral("2"));
            m_sway.setProcessEnvironment(env);
            m_sway.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            m_sway.setStandardOutputFile(QProcess::nullDevice());
            m_sway.start(QStringLiteral("sway"), { QStringLiteral("-c"), config });
            ASSERT_TRUE(m_sway.waitForStarted(5000));

            qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
            gwtest::waitUntil([&] { return findOutputs(runtime) >= 2; }, 15000, 200);
            ASSERT_EQ(m_outputs.size(), 2) << "sway did not come up with two headless outputs";
        }

        // The outputs of the sway behind the IPC socket in `runtime`, once it has one.
        qsizetype findOutputs(const QString& runtime)
        {
            const QStringList sockets = QDir(runtime).entryList({ QStringLiteral("sway-ipc.*.sock") }, QDir::System);
            if (sockets.isEmpty())
                return 0;
            qputenv("SWAYSOCK", QDir(runtime).filePath(sockets.first()).toLocal8Bit());
            qputenv("WAYLAND_DISPLAY", "wayland-1");
            m_outputs.clear();
            const QJsonArray outputs = QJsonDocument::fromJson(
                output(QStringLiteral("swaymsg"),
                    { QStringLiteral("-t"), QStringLiteral("get_outputs"), QStringLiteral("-r") })
                    .toUtf8())
                                           .array();
            for (const QJsonValue& v : outputs) {
                const QJsonObject rect = v[QStringLiteral("rect")].toObject();
                m_outputs.append({ v[QStringLiteral("name")].toString(),
                    QRect(rect[QStringLiteral("x")].toInt(), rect[QStringLiteral("y")].toInt(),
                        rect[QStringLiteral("width")].toInt(), rect[QStringLiteral("height")].toInt()) });
            }
            return m_outputs.size();
        }

        QImage grab(const QString& name) const
        {
            const QString file = tmp.file(name + QStringLiteral(".png"));
            QProcess::execute(QStringLiteral("grim"), { QStringLiteral("-o"), name, file });
            return QImage(file);
        }

        QProcess m_sway;
        gw::MonitorList m_outputs;
    };

    TEST_F(SwayDesktop, EachOutputShowsAWholeGlobeOfItsOwnWhateverQtSees)
    {
        if (::geteuid() == 0)
            return runUnprivileged();
        startSway();
        if (HasFatalFailure())
            return;
        for (const gw::Monitor& m : m_outputs)
            ASSERT_TRUE(isRed(grab(m.name).pixel(10, 10))) << "sway's own red background";

        render.setSessionEnvironment({ QStringLiteral("sway"), QStringLiteral("wayland"), QStringLiteral("wayland-1"),
            qEnvironmentVariable("SWAYSOCK"), {} });
        // Through XWayland, or with another Qt platform, Qt sees one screen of another name.
        renderTo(QStringLiteral("automatic"), { { QStringLiteral("-"), QRect(0, 0, 1920, 1080) } });
        EXPECT_TRUE(backgroundLog().isEmpty()) << backgroundLog().join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(pictures().size(), 2);
        const QString shots = qEnvironmentVariable("GLOBEWALL_SCREENSHOTS");
        for (const gw::Monitor& m : m_outputs) {
            QImage shot;
            gwtest::waitUntil(
                [&] {
                    shot = grab(m.name);
                    return showsGlobeAt(shot, shot.rect());
                },
                10000, 200);
            EXPECT_TRUE(showsGlobeAt(shot, shot.rect())) << m.name.toStdString() << " does not show a whole globe";
            if (!shots.isEmpty())
                shot.save(QDir(shots).filePath(QStringLiteral("sway-") + m.name + QStringLiteral(".png")));
        }
    }

    class SwayUnreachable : public DesktopRig
    {
    };

    TEST_F(SwayUnreachable, MonitorsThatCannotBeAskedForAreOneLogLine)
    {
        render.setSessionEnvironment(
            { QStringLiteral("sway"), QStringLiteral("wayland"), QStringLiteral("wayland-1"), {}, {} });
        qputenv("SWAYSOCK", QFile::encodeName(tmp.file(QStringLiteral("gone.sock"))));
        renderTo(QStringLiteral("automatic"), {});
        qunsetenv("SWAYSOCK");
        ASSERT_FALSE(backgroundLog().isEmpty());
        EXPECT_TRUE(backgroundLog().first().contains(
            QStringLiteral("(sway): the monitors cannot be found (cannot reach sway's socket")))
            << backgroundLog().join(QLatin1Char('\n')).toStdString();
    }

} // namespace
} // namespace backgroundtest
