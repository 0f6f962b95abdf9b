// The built program as a process: one instance per user, and SIGTERM or SIGINT closes it the
// normal way, so the settings are saved. Each test runs a private copy of the binary, so its
// program folder (where the settings go) is private and writable.
#include "TestPaths.h"
#include "shared/Posix.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"
#include "support/XvfbFixture.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace {

class ProgramCopy
{
public:
    ProgramCopy()
    {
        const QString built = QStringLiteral(GW_BINARY_DIR "/src/app/Globewall");
        m_binary = dir.file(QStringLiteral("bin/Globewall"));
        QDir().mkpath(dir.file(QStringLiteral("bin")));
        QDir().mkpath(dir.file(QStringLiteral("home")));
        QDir().mkpath(dir.file(QStringLiteral("runtime")));
        QFile::setPermissions(
            dir.file(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_copied = QFile::copy(built, m_binary);
        QFile::setPermissions(m_binary, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    bool copied() const { return m_copied; }
    QString programFile(const QString& name) const { return dir.file(QStringLiteral("bin/") + name); }
    QString settingsFile() const { return programFile(QStringLiteral("Globewall.ini")); }
    QByteArray settings() const { return gwtest::readFile(settingsFile()); }

    // `display`: an X server to run on instead of the offscreen platform.
    void start(QProcess& p, const QString& scaleFactor = QString(), const QString& display = QString()) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!scaleFactor.isEmpty())
            env.insert(QStringLiteral("QT_SCALE_FACTOR"), scaleFactor);
        env.insert(
            QStringLiteral("QT_QPA_PLATFORM"), display.isEmpty() ? QStringLiteral("offscreen") : QStringLiteral("xcb"));
        if (!display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("HOME"), dir.file(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.file(QStringLiteral("home/.config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.file(QStringLiteral("runtime")));
        p.setProcessEnvironment(env);
        p.start(m_binary, {});
    }

    // Waits until the first instance has run its creation: the last files a first start writes
    // are xplanet's configuration with the first-start markers (after the renderer folders),
    // then the sockets beside its lock on which it hears later starts and status requests, each
    // made in a private folder that goes once the socket is in place.
    bool waitUntilCreated(QProcess& p) const
    {
        const QString marker = dir.file(QStringLiteral("home/.xplanet/config/default"));
        const QDir runtime(dir.file(QStringLiteral("runtime")));
        bool ended = false;
        const bool created = gwtest::waitUntil(
            [&] {
                if (QFileInfo(marker).isFile() && runtime.exists(QStringLiteral("Globewall.socket"))
                    && runtime.exists(QStringLiteral("Globewall.status"))
                    && runtime.entryList({ QStringLiteral(".globewall-*") }, QDir::Dirs | QDir::Hidden).isEmpty())
                    return true;
                if (p.state() == QProcess::NotRunning)
                    return ended = true;
                p.waitForReadyRead(50);
                return false;
            },
            60000);
        return created && !ended;
    }

    // Copied, started and created; else what the program said on standard error.
    ::testing::AssertionResult startCreated(
        QProcess& p, const QString& scaleFactor = QString(), const QString& display = QString()) const
    {
        if (!m_copied)
            return ::testing::AssertionFailure() << "the program was not copied";
        start(p, scaleFactor, display);
        if (!waitUntilCreated(p))
            return ::testing::AssertionFailure() << p.readAllStandardError().toStdString();
        return ::testing::AssertionSuccess();
    }

    // Every file below the test folder with its size and modification time.
    QStringList snapshot() const
    {
        QStringList out;
        QDirIterator it(
            dir.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo fi(it.next());
            out << fi.filePath() + QLatin1Char(' ') + QString::number(fi.size()) + QLatin1Char(' ')
                    + QString::number(fi.lastModified().toMSecsSinceEpoch());
        }
        out.sort();
        return out;
    }

    gwtest::TempDir dir;

private:
    QString m_binary;
    bool m_copied = false;
};

} // namespace

TEST(Process, SecondInstanceEndsAtOnceAndChangesNothing)
{
    ProgramCopy copy;
    QProcess first;
    ASSERT_TRUE(copy.startCreated(first));
    const QStringList before = copy.snapshot();

    QProcess second;
    copy.start(second);
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty()) << "silently";
    EXPECT_TRUE(second.readAllStandardError().isEmpty()) << "silently";
    EXPECT_EQ(first.state(), QProcess::Running) << "the first goes on";
    EXPECT_EQ(copy.snapshot(), before) << "nothing written";
    EXPECT_FALSE(QFileInfo::exists(copy.settingsFile()));

    first.terminate();
    ASSERT_TRUE(first.waitForFinished(30000));
}

// A signal (a logout's SIGTERM, a terminal's SIGINT) closes the program the normal way, so the
// settings are saved. The default centre of the globe saved is half the screen in device pixels,
// the renderer's unit: the offscreen screen has 800 x 800 of them whatever the scaling. Where no
// notification area exists and the platform is not X11, the tray icon is not asked for, and Qt's
// watcher for a later one (an X11 signal) does not complain at every start.
TEST(Process, AnEndBySignalSavesTheSettings)
{
    struct Case
    {
        const char* label;
        int signo;
        const char* scale; // QT_SCALE_FACTOR; empty: none
    };
    const Case cases[] = {
        { "TerminationSignalsSaveTheSettings, NoWarningAboutTheTrayWatcherWithoutANotificationArea: SIGTERM", SIGTERM,
            "" },
        { "TerminationSignalsSaveTheSettings: SIGINT", SIGINT, "" },
        { "DefaultCentreCountsDevicePixels: scale 1", SIGTERM, "1" },
        { "DefaultCentreCountsDevicePixels: scale 2", SIGTERM, "2" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ProgramCopy copy;
        QProcess p;
        ASSERT_TRUE(copy.startCreated(p, QString::fromLatin1(c.scale)));
        ::kill(static_cast<pid_t>(p.processId()), c.signo);
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << "ended by its own close, not by the signal";
        EXPECT_EQ(p.exitCode(), 0);
        const QByteArray ini = copy.settings();
        EXPECT_TRUE(ini.contains("[Config]")) << ini.toStdString();
        EXPECT_TRUE(ini.contains("StartEvery=600"));
        EXPECT_TRUE(ini.contains("Center X=400\r\n")) << ini.toStdString();
        EXPECT_TRUE(ini.contains("Center Y=400\r\n")) << ini.toStdString();
        const QByteArray err = p.readAllStandardError();
        EXPECT_FALSE(err.contains("systemTrayWindowChanged")) << err.toStdString();
    }
}

TEST(Process, EndsOnSIGTERMWhenTheSettingsCannotBeSaved)
{
    struct Case
    {
        const char* label;
        // Makes the settings unsavable; returns the name the reports must hold.
        std::function<QString(const ProgramCopy&)> before;
        // Waits until the state to test is reached.
        std::function<void(const ProgramCopy&, QProcess&)> ready;
    };
    const Case cases[] = {
        { "a FIFO as settings file, while the start-up error box is up",
            [](const ProgramCopy& copy) {
                ::mkfifo(QFile::encodeName(copy.settingsFile()).constData(), 0600);
                return QStringLiteral("Globewall.ini");
            },
            [](const ProgramCopy&, QProcess& p) { p.waitForFinished(2000); } },
        { "the settings folder removed while running",
            [](const ProgramCopy& copy) {
                const QString sub = copy.dir.file(QStringLiteral("synced"));
                QDir().mkpath(sub);
                gwtest::writeFile(copy.settingsFile(),
                    "[Config]\nConfig File=" + (sub + QStringLiteral("/settings.ini")).toUtf8() + "\n");
                gwtest::writeFile(sub + QStringLiteral("/settings.ini"), "[Config]\nStartEvery=42\n");
                return QStringLiteral("settings.ini");
            },
            [](const ProgramCopy& copy, QProcess& p) {
                // The renderer folders are made once the settings are loaded.
                gwtest::waitUntil(
                    [&] {
                        p.waitForReadyRead(50);
                        return QFileInfo(copy.dir.file(QStringLiteral("home/.xplanet/images"))).isDir();
                    },
                    30000);
                QDir(copy.dir.file(QStringLiteral("synced"))).removeRecursively();
            } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ProgramCopy copy;
        ASSERT_TRUE(copy.copied());
        const QString named = c.before(copy);
        QProcess p;
        copy.start(p);
        c.ready(copy, p);
        ASSERT_EQ(p.state(), QProcess::Running) << p.readAllStandardError().toStdString();
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        const bool ended = p.waitForFinished(10000);
        if (!ended) {
            p.kill();
            p.waitForFinished(5000);
        }
        ASSERT_TRUE(ended) << "still running 10 s after SIGTERM";
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        const QByteArray err = p.readAllStandardError();
        EXPECT_TRUE(err.contains(named.toUtf8())) << "standard error names the file: " << err.toStdString();
        const QByteArray log = gwtest::readFile(copy.programFile(QStringLiteral("Globewall.log")));
        EXPECT_TRUE(log.contains(" - Error. ")) << log.toStdString();
    }
}

// The very first start renders at once where there is a display, so a new user sees the globe
// within seconds; a later start waits for the interval, and no display means no render.
TEST(Process, FirstStartRendersOnceWhereADisplayIsReachable)
{
    gwtest::XvfbServer x;
    if (!x.start())
        GTEST_SKIP() << x.error().toStdString();
    struct Case
    {
        const char* label;
        bool onDisplay;
        int rendersAtFirstStart;
    };
    const Case cases[] = {
        { "on a display", true, 1 },
        { "without a display", false, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ProgramCopy copy;
        ASSERT_TRUE(copy.copied());
        const QString renders = copy.dir.file(QStringLiteral("renders"));
        const QString renderer = copy.programFile(QStringLiteral("xplanet"));
        gwtest::writeFile(renderer, "#!/bin/sh\necho render >> '" + renders.toUtf8() + "'\n");
        QFile::setPermissions(renderer, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const auto count = [&] { return gwtest::readFile(renders).count("render"); };
        // First start, then a later one with the settings file the first one saved.
        for (int start = 0; start < 2; ++start) {
            QProcess p;
            ASSERT_TRUE(copy.startCreated(p, QString(), c.onDisplay ? x.display() : QString()));
            if (start == 0 && c.rendersAtFirstStart > 0)
                gwtest::waitUntil([&] { return count() >= c.rendersAtFirstStart; }, 20000);
            else
                gwtest::waitUntil([] { return false; }, 3000);
            EXPECT_EQ(count(), c.rendersAtFirstStart) << "start " << start + 1;
            p.terminate();
            ASSERT_TRUE(p.waitForFinished(30000));
            ASSERT_TRUE(QFileInfo::exists(copy.settingsFile()));
        }
    }
}

namespace {

// Runs xdotool on `display`; its output, trimmed.
QString xdotool(const QString& display, const QStringList& arguments)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("xdotool"), arguments);
    p.waitForFinished(10000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// The main window's place on the desktop as the window manager shows it ("x,y"); empty while
// it is not shown.
QString shownWindowPlace(const QString& display)
{
    const QString id = xdotool(display,
        { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
            QStringLiteral("^Globewall by") })
                           .section(QLatin1Char('\n'), 0, 0);
    if (id.isEmpty())
        return {};
    const QString geometry = xdotool(display, { QStringLiteral("getwindowgeometry"), id });
    const int at = geometry.indexOf(QStringLiteral("Position: "));
    return at < 0 ? QString() : geometry.mid(at + 10).section(QLatin1Char(' '), 0, 0);
}

QByteArray iniValue(const QByteArray& ini, const QByteArray& key)
{
    const int at = ini.indexOf("\n" + key + "=");
    if (at < 0)
        return {};
    const QByteArray rest = ini.mid(at + key.size() + 2);
    return rest.left(rest.indexOf('\r')).trimmed();
}

} // namespace

// Under a real window manager, which puts a frame round the window: each start opens the window
// where the last one left it (it used to creep up and left by the frame at every start), and a
// plain second start brings a window hidden in the tray back, as --show does.
TEST(Process, TheWindowComesBackWhereItWasLeftAndASecondStartBringsItForward)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xfwm4")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "needs xfwm4 and xdotool (scripts/setup)";
    gwtest::XvfbServer x;
    if (!x.start(1280, 1024))
        GTEST_SKIP() << x.error().toStdString();
    QProcess windowManager;
    QProcessEnvironment wmEnv = QProcessEnvironment::systemEnvironment();
    wmEnv.insert(QStringLiteral("DISPLAY"), x.display());
    windowManager.setProcessEnvironment(wmEnv);
    windowManager.start(QStringLiteral("xfwm4"), { QStringLiteral("--compositor=off") });
    ASSERT_TRUE(windowManager.waitForStarted(5000));
    const auto stopWindowManager = qScopeGuard([&] {
        windowManager.kill();
        windowManager.waitForFinished(5000);
    });

    ProgramCopy copy;
    struct Start
    {
        const char* label;
        bool minimized; // "Start Minimized" in the settings file before this start
    };
    const Start starts[] = { { "first start", false }, { "second", false }, { "third", false },
        { "fourth, in the tray until started again", true } };
    QByteArray left;
    QByteArray top;
    QString place;
    for (const Start& s : starts) {
        SCOPED_TRACE(s.label);
        if (s.minimized) {
            QByteArray ini = copy.settings();
            ini.replace("Start Minimized=0", "Start Minimized=1");
            gwtest::writeFile(copy.settingsFile(), ini);
        }
        QProcess p;
        ASSERT_TRUE(copy.startCreated(p, QString(), x.display()));
        if (s.minimized) {
            gwtest::waitUntil([] { return false; }, 1500);
            EXPECT_TRUE(shownWindowPlace(x.display()).isEmpty()) << "in the tray";
            QProcess again;
            copy.start(again, QString(), x.display());
            ASSERT_TRUE(again.waitForFinished(30000));
            EXPECT_EQ(again.exitCode(), 0) << again.readAllStandardError().toStdString();
        }
        QString now;
        EXPECT_TRUE(gwtest::waitUntil(
            [&] {
                now = shownWindowPlace(x.display());
                return !now.isEmpty();
            },
            20000))
            << "the window is shown";
        if (!place.isEmpty()) {
            EXPECT_EQ(now, place) << "where the last start left it";
        }
        place = now;
        p.terminate();
        ASSERT_TRUE(p.waitForFinished(30000));
        const QByteArray ini = copy.settings();
        if (!left.isEmpty()) {
            EXPECT_EQ(iniValue(ini, "Left"), left);
            EXPECT_EQ(iniValue(ini, "Top"), top);
        }
        left = iniValue(ini, "Left");
        top = iniValue(ini, "Top");
        ASSERT_FALSE(left.isEmpty()) << ini.toStdString();
    }
}

// A client that opens 1,100 connections to the instance socket and holds them, under a low
// descriptor limit: the program neither spins nor runs out of descriptors, and the save at the
// end still opens its files.
TEST(Process, AFloodOfConnectionsNeitherSpinsNorStopsTheSave)
{
    ProgramCopy copy;
    ASSERT_TRUE(copy.copied());
    QProcess p;
    p.setChildProcessModifier([] {
        const rlimit low { 128, 128 };
        ::setrlimit(RLIMIT_NOFILE, &low);
    });
    ASSERT_TRUE(copy.startCreated(p));

    rlimit saved = {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit raised = saved;
    raised.rlim_cur = std::min<rlim_t>(saved.rlim_max, 4096);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &raised), 0);
    sockaddr_un address;
    ASSERT_TRUE(
        gw::unixSocketAddress(QFile::encodeName(copy.dir.file(QStringLiteral("runtime/Globewall.socket"))), &address));
    std::vector<gw::UniqueFd> held;
    QElapsedTimer flooding;
    flooding.start();
    while (held.size() < 1100 && flooding.elapsed() < 10000) {
        gw::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            held.push_back(std::move(fd));
        else
            QThread::usleep(200); // the queue is full until the program accepts
    }
    EXPECT_EQ(held.size(), 1100u) << "the program stopped accepting";

    // Processor time of the program while the client holds its connections.
    const auto cpuMs = [&p] {
        const QList<QByteArray> fields
            = gwtest::readFile(QStringLiteral("/proc/%1/stat").arg(p.processId())).split(')').last().split(' ');
        return (fields.value(12).toLong() + fields.value(13).toLong()) * 1000 / ::sysconf(_SC_CLK_TCK);
    };
    const long before = cpuMs();
    QThread::msleep(2000);
    EXPECT_LT(cpuMs() - before, 200) << "ms of processor time in two seconds";

    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(30000));
    held.clear();
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    const QByteArray err = p.readAllStandardError();
    EXPECT_FALSE(err.contains("Too many open files")) << err.toStdString();
    EXPECT_TRUE(copy.settings().contains("[Config]"));
}
