// What showing the globe on a desktop costs over xplanet writing the same pictures alone. The
// shipped program (a copy in a fresh folder, temporary HOME) runs on the desktop and each round
// asks it for a render with the request "Globewall --render-now" passes on, written to its instance
// socket; the round is timed from that request to the
// picture applied (the pictures before it deleted, which the program does right after the
// desktop took the new ones; on one bare X monitor xplanet paints the root window itself),
// against that round's xplanet command run alone once per monitor (support/ProgramRender.h).
// Same process run, alternating which goes first. Set-ups: Xfce (xfwm4 and xfdesktop under
// Xvfb, xfconf on a private bus), 1 monitor; bare X with 2 monitors (RandR monitors on Xvfb);
// headless sway with 1 and 2 outputs (the program as a Wayland client; run as a throwaway user
// when started as root, since sway refuses root). Target: ratio <= 1.15.
//
//   bench_desktop [rounds]        (default 7)
#include "support/BenchSupport.h"
#include "support/ProgramRender.h"
#include "support/ShippedProgram.h"
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
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

using gwbench::median;

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
    QProcess* start(
        const QString& program, const QStringList& args, const QProcessEnvironment& env = {}, bool readOutput = false)
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
        { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1") }, {}, true);
    QByteArray address;
    const QDeadlineTimer deadline(10000);
    while (!address.contains('\n') && !deadline.hasExpired() && bus->waitForReadyRead(200))
        address += bus->readAllStandardOutput();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.trimmed());
    return !address.trimmed().isEmpty();
}

// The shipped program rendering onto one set-up: `background` is its "Desktop background"
// setting, `session` the desktop's variables, `monitors` how many the program will find.
int measureProgram(const char* setUp, const char* background, const QProcessEnvironment& session, int monitors,
    int rounds, const QString& display, const QString& bus)
{
    const QString built = QStringLiteral(GW_BINARY_DIR "/src/app/Globewall");
    gwbench::ShippedProgram copy(built);
    copy.extra = session;
    QFile ini(copy.file(QStringLiteral("bin/Globewall.ini")));
    if (!copy.copied() || !ini.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "%s: the program could not be copied from %s\n", setUp, qPrintable(built));
        return 1;
    }
    ini.write("[Config]\nFile=/usr/bin/xplanet\nStart every x sec=0\nStart Minimized=1\nHide launched App=1\n"
              "Check for new file=0\nCheck for updates every day=0\nDownload from HTTP=0\nTransparent at Start=0\n"
              "Server to ping=#\nDesktop background=");
    ini.write(background);
    ini.write("\n");
    ini.close();
    const QString pictures = copy.home() + QStringLiteral("/.cache/Globewall");
    auto files = [&] { return QDir(pictures).entryList(QDir::Files); };

    QProcess program;
    copy.start(program, display, bus);
    if (!program.waitForStarted(10000)) {
        std::fprintf(stderr, "%s: the program did not start\n", setUp);
        return 1;
    }
    QThread::sleep(3);
    QStringList before;
    // Applied: one new picture per monitor and none of those before left (on one bare X monitor
    // there is no file: xplanet's end is the end).
    auto shown = [&] {
        const QStringList now = files();
        if (now.isEmpty() && before.isEmpty())
            return true;
        if (now.size() != monitors)
            return false;
        for (const QString& f : now)
            if (before.contains(f))
                return false;
        return true;
    };
    gwbench::RenderRound last = gwbench::renderThroughProgram(copy, program, display, bus, shown);
    if (!last.ok) {
        std::printf("Globewall render-now request, %s: no render (see %s)\n", setUp,
            qPrintable(copy.file(QStringLiteral("out.txt"))));
        gwbench::stop(program);
        return 1;
    }
    const QProcessEnvironment env = copy.environment(display, bus);
    std::vector<double> ours, alone;
    bool failed = false;
    auto viaProgram = [&] {
        if (failed)
            return 1e9; // one round without a render says enough
        before = files();
        const gwbench::RenderRound r = gwbench::renderThroughProgram(copy, program, display, bus, shown);
        if (r.ok)
            last = r;
        else
            failed = true;
        ours.push_back(r.viaProgramMs);
        return r.ok ? r.viaProgramMs : 1e9;
    };
    auto direct = [&] {
        alone.push_back(gwbench::xplanetAlone(last, copy.file(QStringLiteral("direct.png")), env, monitors));
        return alone.back();
    };
    std::printf(
        "Globewall render-now request, %s\n%-6s %14s %12s %8s\n", setUp, "round", "render+apply", "xplanet", "ratio");
    const std::vector<double> ratios = gwbench::alternatingRatios(rounds, viaProgram, direct);
    gwbench::stop(program);
    if (failed) {
        std::printf("Globewall render-now request, %s: a render did not happen within 30 s; program output in %s\n\n",
            setUp, qPrintable(copy.file(QStringLiteral("out.txt"))));
        return 1;
    }
    std::printf(
        "Globewall render-now request, %s: median ratio %.3f, median times %.1f ms and %.1f ms (target <= 1.15)\n\n",
        setUp, median(ratios), median(ours), median(alone));
    std::fflush(stdout);
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
    helpers.start(QStringLiteral("xfwm4"), { QStringLiteral("--compositor=off") });
    helpers.start(QStringLiteral("xfdesktop"), {});
    QThread::sleep(2);
    QProcessEnvironment session;
    session.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("XFCE"));
    // The program's own settings folder is private; xfconf's daemon is the session's.
    const int result = measureProgram("Xfce, 1 monitor", "Xfce", session, 1, rounds, xvfb.display(),
        qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"));
    qunsetenv("DISPLAY");
    return result;
}

int benchBareX(int rounds)
{
    gwtest::XvfbServer xvfb;
    if (!xvfb.start(1280, 480)) {
        std::fprintf(stderr, "bare X: no X server: %s\n", qPrintable(xvfb.error()));
        return 1;
    }
    gwbench::SessionBus bus;
    if (!bus.start())
        return 1;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), xvfb.display());
    for (const QStringList& args : { QStringList { "--setmonitor", "left", "640/160x480/120+0+0", "screen" },
             QStringList { "--setmonitor", "right", "640/160x480/120+640+0", "none" } }) {
        QProcess xrandr;
        xrandr.setProcessEnvironment(env);
        xrandr.start(QStringLiteral("xrandr"), args);
        if (!xrandr.waitForFinished(10000) || xrandr.exitCode() != 0) {
            std::fprintf(stderr, "bare X: xrandr --setmonitor failed\n");
            return 1;
        }
    }
    QProcessEnvironment session;
    session.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QString());
    return measureProgram("bare X, 2 monitors", "automatic", session, 2, rounds, xvfb.display(), bus.address());
}

// Headless sway with `count` outputs of 640x480; the program talks Wayland to it.
int benchSway(int rounds, int count)
{
    Helpers helpers;
    QTemporaryDir home;
    const QString runtime = home.path() + QStringLiteral("/run");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile config(home.path() + QStringLiteral("/sway.conf"));
    if (!config.open(QIODevice::WriteOnly) || config.write("output * resolution 640x480\n") < 0) {
        std::fprintf(stderr, "sway: no configuration file in %s\n", qPrintable(home.path()));
        return 1;
    }
    config.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    env.insert(QStringLiteral("WLR_HEADLESS_OUTPUTS"), QString::number(count));
    env.remove(QStringLiteral("DISPLAY"));
    helpers.start(QStringLiteral("sway"), { QStringLiteral("-c"), config.fileName() }, env);
    QString swaysock;
    QString wayland;
    int outputs = 0;
    const QDeadlineTimer deadline(15000);
    while (outputs < count && !deadline.hasExpired()) {
        QThread::msleep(200);
        const QStringList sockets = QDir(runtime).entryList({ QStringLiteral("sway-ipc.*.sock") }, QDir::System);
        const QStringList displays = QDir(runtime).entryList({ QStringLiteral("wayland-*") }, QDir::System);
        if (sockets.isEmpty() || displays.isEmpty())
            continue;
        swaysock = QDir(runtime).filePath(sockets.first());
        wayland
            = QDir(runtime).filePath(displays.filter(QRegularExpression(QStringLiteral("^wayland-\\d+$"))).value(0));
        QProcess msg;
        QProcessEnvironment msgEnv = env;
        msgEnv.insert(QStringLiteral("SWAYSOCK"), swaysock);
        msg.setProcessEnvironment(msgEnv);
        msg.start(
            QStringLiteral("swaymsg"), { QStringLiteral("-t"), QStringLiteral("get_outputs"), QStringLiteral("-r") });
        msg.waitForFinished(5000);
        outputs = static_cast<int>(QJsonDocument::fromJson(msg.readAllStandardOutput()).array().size());
    }
    if (outputs < count) {
        std::fprintf(stderr, "sway: did not come up with %d headless outputs\n", count);
        return 1;
    }
    // The throwaway user has no session bus of its own; the program runs without one.
    QProcessEnvironment session;
    session.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    session.insert(QStringLiteral("WAYLAND_DISPLAY"), wayland);
    session.insert(QStringLiteral("SWAYSOCK"), swaysock);
    session.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("sway"));
    session.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    const QByteArray label = QStringLiteral("sway, %1 output(s)").arg(count).toUtf8();
    return measureProgram(label.constData(), "automatic", session, count, rounds, QString(), QString());
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    const bool swayOnly = argc > 2 && qstrcmp(argv[2], "--sway") == 0;
    int result = 0;
    if (!swayOnly) {
        result |= benchXfce(rounds);
        std::fflush(stdout);
        result |= benchBareX(rounds);
    }
    std::fflush(stdout);
    if (::geteuid() != 0) {
        result |= benchSway(rounds, 1);
        std::fflush(stdout);
        result |= benchSway(rounds, 2);
    } else {
        // sway refuses root: the sway half runs again as a user who owns nothing here.
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        env.insert(QStringLiteral("HOME"), QDir::tempPath());
        child.setProcessEnvironment(env);
        child.start(QStringLiteral("setpriv"),
            { QStringLiteral("--reuid=64123"), QStringLiteral("--regid=64123"), QStringLiteral("--clear-groups"),
                QCoreApplication::applicationFilePath(), QString::number(rounds), QStringLiteral("--sway") });
        child.waitForFinished(-1);
        result |= child.exitCode();
    }
    return result;
}
