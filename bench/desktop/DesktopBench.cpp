// What showing the globe on a desktop costs over xplanet writing the same pictures alone:
// from the start of a render ("Render now", through the desktop's own interface) to the
// picture applied, against the same xplanet command with -output/-geometry started directly
// once per monitor. Same process run, alternating which goes first; 1 and 2 monitors; on
// Xfce (xfwm4 and xfdesktop under Xvfb, xfconf on a private bus) and headless sway (run as a
// throwaway user when started as root, since sway refuses root). Target: ratio <= 1.15.
//
//   bench_desktop [rounds]        (default 7)
#include "support/BenchSupport.h"
#include "background/Monitor.h"
#include "renderer/CommandLine.h"
#include "renderer/RenderControl.h"
#include "settings/MemorySettings.h"
#include "shared/AppState.h"
#include "shared/Clock.h"
#include "shared/Dialogs.h"
#include "shared/LogSink.h"
#include "shared/TrayImage.h"
#include "support/ScriptedDialogs.h"
#include "support/XvfbFixture.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

using gwbench::median;
using gwbench::QuietTray;

// A started helper, ended by its own pid when the set-up goes.
struct Helpers
{
    ~Helpers()
    {
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            (*it)->terminate();
            if (!(*it)->waitForFinished(3000))
                (*it)->kill();
            (*it)->waitForFinished(3000);
            delete *it;
        }
    }
    QProcess* start(const QString& program, const QStringList& args, const QProcessEnvironment& env = {},
                    bool readOutput = false)
    {
        auto* p = new QProcess;
        if (!env.isEmpty())
            p->setProcessEnvironment(env);
        if (!readOutput)
            p->setStandardOutputFile(QProcess::nullDevice());
        p->setStandardErrorFile(QProcess::nullDevice());
        p->start(program, args);
        p->waitForStarted(5000);
        list.push_back(p);
        return p;
    }
    std::vector<QProcess*> list;
};

bool startSessionBus(Helpers& helpers)
{
    QProcess* bus = helpers.start(QStringLiteral("dbus-daemon"),
                                  {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")},
                                  {}, true);
    QByteArray address;
    const QDeadlineTimer deadline(10000);
    while (!address.contains('\n') && !deadline.hasExpired() && bus->waitForReadyRead(200))
        address += bus->readAllStandardOutput();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.trimmed());
    return !address.trimmed().isEmpty();
}

// One set-up's rounds for one and two monitors; prints a table and the median ratios.
void measure(const char* setUp, const gw::SessionEnvironment& session, const gw::MonitorList& all, int rounds,
             const QString& home)
{
    gw::MemorySettings settings;
    settings.setText(QStringLiteral("edtAppFile"), QStringLiteral("/usr/bin/xplanet"));
    settings.setChecked(QStringLiteral("cbHideApp"), true);
    settings.setText(QStringLiteral("ddbViewBody"), QStringLiteral("earth"));
    settings.setText(QStringLiteral("ddbDesktopBackground"), QStringLiteral("automatic"));
    gw::AppState state;
    gw::MemoryLog log;
    gw::MemoryMessageWindow messages;
    gw::ScriptedDialogs dialogs;
    QuietTray tray;
    gw::SystemClock clock;
    gw::RenderControl render(settings, state, log, messages, dialogs, tray, clock);
    render.setHome(home);
    render.setCacheFolder(home + QStringLiteral("/cache"));
    render.setPictureFolder(home + QStringLiteral("/pictures"));
    render.setSessionEnvironment(session);

    for (const int count : {1, 2}) {
        const gw::MonitorList monitors = all.mid(0, count);
        render.setMonitorSource([monitors] { return monitors; });
        // One render first: it creates the renderer folder and gives the arguments.
        render.btnExecuteClick();
        QStringList params = render.launcher().ExeParams();
        params.resize(std::max<qsizetype>(0, params.size() - 2)); // this picture's -output and -geometry
        const QStringList args = gw::splitArguments(params.join(QLatin1Char(' ')));
        const QString folder = render.layout().rendererFolder();
        if (count == 1)
            std::printf("xplanet %s\n", qPrintable(args.join(QLatin1Char(' '))));

        auto timeRender = [&] {
            QElapsedTimer t;
            t.start();
            render.btnExecuteClick();
            return t.nsecsElapsed() / 1e6;
        };
        auto timeDirect = [&] {
            QElapsedTimer t;
            t.start();
            for (const gw::Monitor& m : monitors) {
                QProcess xplanet;
                xplanet.setWorkingDirectory(folder);
                xplanet.setProcessChannelMode(QProcess::MergedChannels);
                xplanet.start(QStringLiteral("/usr/bin/xplanet"),
                              args + QStringList{QStringLiteral("-output"), home + QStringLiteral("/direct.png"),
                                                 QStringLiteral("-geometry"),
                                                 QStringLiteral("%1x%2").arg(m.geometry.width()).arg(m.geometry.height())});
                xplanet.waitForFinished(-1);
                xplanet.readAll();
            }
            return t.nsecsElapsed() / 1e6;
        };

        std::printf("%s, %d monitor(s)\n%-6s %14s %12s %8s\n", setUp, count, "round", "render+apply", "xplanet",
                    "ratio");
        const std::vector<double> ratios = gwbench::alternatingRatios(rounds, timeRender, timeDirect);
        const QStringList problems = log.lines.filter(QStringLiteral("Desktop background"));
        std::printf("%s, %d monitor(s): median ratio %.3f (target <= 1.15)%s\n\n", setUp, count, median(ratios),
                    problems.isEmpty() ? "" : qPrintable(QStringLiteral("; log: ") + problems.last()));
        std::fflush(stdout);
    }
}

// The built program itself, as a user runs it: settings that render every few seconds onto
// Xfce, the program started on the Xvfb display. A render is timed from the moment its xplanet
// process appears until the picture before it is deleted, which the program does right after
// the desktop took the new one; the reference is xplanet run again with that process's own
// command line and folder, after the render. Only one monitor: the program's come from the
// display. The work before xplanet starts is the same as for the root window (bench_render).
int measureProgram(int rounds, const QString& display)
{
    const QString program = QStringLiteral(GW_BINARY_DIR "/src/app/Globewall");
    if (!QFileInfo(program).isExecutable()) {
        std::printf("program: %s is not built; skipped\n", qPrintable(program));
        return 0;
    }
    QTemporaryDir root;
    const QString bin = root.filePath(QStringLiteral("bin"));
    const QString home = root.filePath(QStringLiteral("home"));
    const QString pictures = home + QStringLiteral("/.cache/Globewall");
    for (const QString& d : {bin, home + QStringLiteral("/.config"), root.filePath(QStringLiteral("run"))})
        QDir().mkpath(d);
    QFile::setPermissions(root.filePath(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::copy(program, bin + QStringLiteral("/Globewall"));
    QFile ini(bin + QStringLiteral("/Globewall.ini"));
    if (!ini.open(QIODevice::WriteOnly))
        return 1;
    ini.write("[Config]\nFile=/usr/bin/xplanet\nStartEvery=3\nStart every x sec=1\nHide launched App=1\n"
              "Check for new file=0\nCheck for updates every day=0\nDownload from HTTP=0\nTransparent at Start=0\n"
              "Server to ping=#\nDesktop background=Xfce\n");
    ini.close();

    QProcess gw;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root.filePath(QStringLiteral("run")));
    env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("XFCE"));
    gw.setProcessEnvironment(env);
    gw.setWorkingDirectory(root.path());
    gw.setStandardOutputFile(QProcess::nullDevice());
    gw.setStandardErrorFile(QProcess::nullDevice());
    gw.start(bin + QStringLiteral("/Globewall"), {});
    if (!gw.waitForStarted(5000))
        return 1;
    const QString parent = QString::number(gw.processId());

    // The xplanet child of the program, if one runs: its pid. The kernel lists each thread's
    // children, which is quick enough to poll every millisecond.
    auto childXplanet = [&]() -> QString {
        const QString tasks = QStringLiteral("/proc/") + parent + QStringLiteral("/task");
        for (const QString& tid : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile children(tasks + QLatin1Char('/') + tid + QStringLiteral("/children"));
            if (!children.open(QIODevice::ReadOnly))
                continue;
            for (const QByteArray& pid : children.readAll().split(' ')) {
                QFile comm(QStringLiteral("/proc/") + QString::fromLatin1(pid.trimmed()) + QStringLiteral("/comm"));
                if (!pid.trimmed().isEmpty() && comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "xplanet")
                    return QString::fromLatin1(pid.trimmed());
            }
        }
        return {};
    };
    auto files = [&] { return QDir(pictures).entryList(QDir::Files); };

    std::printf("Globewall (the program), Xfce, 1 monitor\n%-6s %14s %12s %8s\n", "round", "render+apply", "xplanet",
                "ratio");
    std::vector<double> ratios;
    QString seen;
    for (int i = 0; i <= rounds && gw.state() == QProcess::Running;) {
        QString pid;
        const QDeadlineTimer wait(20000);
        while ((pid = childXplanet()).isEmpty() || pid == seen) {
            if (wait.hasExpired() || gw.state() != QProcess::Running) {
                std::printf("program: no render within 20 s\n");
                gw.kill();
                gw.waitForFinished(5000);
                return 1;
            }
            QThread::usleep(1000);
        }
        QElapsedTimer t;
        t.start();
        seen = pid;
        const QStringList before = files();
        QFile cmdline(QStringLiteral("/proc/") + pid + QStringLiteral("/cmdline"));
        cmdline.open(QIODevice::ReadOnly);
        QStringList args = QString::fromLocal8Bit(cmdline.readAll()).split(QChar(0), Qt::SkipEmptyParts);
        const QString folder = QFileInfo(QStringLiteral("/proc/") + pid + QStringLiteral("/cwd")).symLinkTarget();
        // Applied: exactly one picture left, and not one that was there before.
        const QDeadlineTimer applied(20000);
        while (!(files().size() == 1 && !before.contains(files().first())) && !applied.hasExpired())
            QThread::usleep(500);
        const double viaProgram = t.nsecsElapsed() / 1e6;
        const QStringList shown = files();
        if (i++ == 0 || args.isEmpty())
            continue; // the first render has no picture before it to replace
        const qsizetype out = args.indexOf(QStringLiteral("-output"));
        if (out >= 0 && out + 1 < args.size())
            args[out + 1] = root.filePath(QStringLiteral("direct.png"));
        t.restart();
        QProcess xplanet;
        xplanet.setWorkingDirectory(folder);
        xplanet.setProcessChannelMode(QProcess::MergedChannels);
        xplanet.start(args.takeFirst(), args);
        xplanet.waitForFinished(-1);
        xplanet.readAll();
        const double direct = t.nsecsElapsed() / 1e6;
        // A render of the program that began meanwhile shared the processors and was seen late.
        if (const QString during = childXplanet(); !during.isEmpty() || files() != shown) {
            seen = during;
            std::printf("%-6d the program's next render began meanwhile: not counted\n", i - 1);
            continue;
        }
        ratios.push_back(viaProgram / direct);
        std::printf("%-6d %11.1f ms %9.1f ms %8.3f\n", i - 1, viaProgram, direct, ratios.back());
    }
    gw.terminate();
    if (!gw.waitForFinished(10000))
        gw.kill();
    gw.waitForFinished(5000);
    if (ratios.empty())
        return 1;
    std::printf("Globewall (the program), Xfce, 1 monitor: median ratio %.3f (target <= 1.15)\n\n", median(ratios));
    return 0;
}

int benchXfce(int rounds)
{
    Helpers helpers;
    gwtest::XvfbServer xvfb;
    if (!xvfb.start(1280, 480)) {
        std::fprintf(stderr, "Xfce: no X server: %s\n", qPrintable(xvfb.error()));
        return 1;
    }
    QTemporaryDir home;
    qputenv("DISPLAY", xvfb.display().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    if (!startSessionBus(helpers)) {
        std::fprintf(stderr, "Xfce: no session bus\n");
        return 1;
    }
    helpers.start(QStringLiteral("xfwm4"), {QStringLiteral("--compositor=off")});
    helpers.start(QStringLiteral("xfdesktop"), {});
    QThread::sleep(2);
    measure("Xfce", {QStringLiteral("XFCE"), QStringLiteral("x11"), {}, {}, {}},
            {{QStringLiteral("screen"), QRect(0, 0, 640, 480)}, {QStringLiteral("right"), QRect(640, 0, 640, 480)}},
            rounds, home.path());
    const int result = measureProgram(rounds, xvfb.display());
    qunsetenv("DISPLAY");
    return result;
}

int benchSway(int rounds)
{
    Helpers helpers;
    QTemporaryDir home;
    const QString runtime = home.path() + QStringLiteral("/run");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile config(home.path() + QStringLiteral("/sway.conf"));
    if (!config.open(QIODevice::WriteOnly) || config.write("output * resolution 640x480\n") < 0)
        return 1;
    config.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    env.insert(QStringLiteral("WLR_HEADLESS_OUTPUTS"), QStringLiteral("2"));
    helpers.start(QStringLiteral("sway"), {QStringLiteral("-c"), config.fileName()}, env);
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    gw::MonitorList outputs;
    const QDeadlineTimer deadline(15000);
    while (outputs.size() < 2 && !deadline.hasExpired()) {
        QThread::msleep(200);
        const QStringList sockets = QDir(runtime).entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
        if (sockets.isEmpty())
            continue;
        qputenv("SWAYSOCK", QDir(runtime).filePath(sockets.first()).toLocal8Bit());
        QProcess msg;
        msg.start(QStringLiteral("swaymsg"), {QStringLiteral("-t"), QStringLiteral("get_outputs"), QStringLiteral("-r")});
        msg.waitForFinished(5000);
        outputs.clear();
        for (const QJsonValue& v : QJsonDocument::fromJson(msg.readAllStandardOutput()).array()) {
            const QJsonObject r = v[QStringLiteral("rect")].toObject();
            outputs.append({v[QStringLiteral("name")].toString(),
                            QRect(r[QStringLiteral("x")].toInt(), r[QStringLiteral("y")].toInt(),
                                  r[QStringLiteral("width")].toInt(), r[QStringLiteral("height")].toInt())});
        }
    }
    if (outputs.size() < 2) {
        std::fprintf(stderr, "sway: did not come up with two headless outputs\n");
        return 1;
    }
    measure("sway", {QStringLiteral("sway"), QStringLiteral("wayland"), QStringLiteral("wayland-1"),
                     qEnvironmentVariable("SWAYSOCK"), {}},
            outputs, rounds, home.path());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    const bool swayOnly = argc > 2 && qstrcmp(argv[2], "--sway") == 0;
    int result = 0;
    if (!swayOnly)
        result |= benchXfce(rounds);
    std::fflush(stdout);
    if (::geteuid() != 0) {
        result |= benchSway(rounds);
    } else {
        // sway refuses root: the sway half runs again as a user who owns nothing here.
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        env.insert(QStringLiteral("HOME"), QDir::tempPath());
        child.setProcessEnvironment(env);
        child.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=64123"), QStringLiteral("--regid=64123"),
                                                QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(),
                                                QString::number(rounds), QStringLiteral("--sway")});
        child.waitForFinished(-1);
        result |= child.exitCode();
    }
    return result;
}
