// What Globewall costs while it waits: the scheduler ticking every five seconds with nothing
// due and the tray icon shown, against a minimal Qt Widgets program showing a tray icon. Both
// run at the same time on a private X server with trayer as the notification area; the table
// gives CPU seconds and wake-ups (voluntary context switches) per minute and their ratios
// (target: at most 1.5). Then a simulated day of ticks through the scheduler logic is timed.
//
// Until the real executable can be measured, the idling side is this program in its
// "--globewall" role: the scheduler, the tray component and the 5 s timer, as the window wires them.
//
//   bench_idle [seconds]       (default 60)
#include "desktop/TrayIcon.h"
#include "desktop/TrayHandlers.h"
#include "scheduler/CentralScheduler.h"
#include "scheduler/SystemState.h"
#include "scheduler/TimedJobs.h"
#include "settings/MemorySettings.h"
#include "shared/AppState.h"
#include "support/ManualClock.h"
#include "shared/LogSink.h"
#include "support/XvfbFixture.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

namespace {

// Settings as a first start leaves them: renders every ten minutes, one list download a day.
void loadedDefaults(gw::MemorySettings& s)
{
    s.setChecked(QStringLiteral("cbStartEveryXsec"), true);
    s.setInteger(QStringLiteral("SpinEdit"), 600);
    s.setInteger(QStringLiteral("seCheckForNewFiles"), 30);
    s.setChecked(QStringLiteral("cbDontUseOnBattery"), true);
    s.setChecked(QStringLiteral("cbCheckForUpdate"), true);
    s.setInteger(QStringLiteral("seDownloadChecksPerDay"), 1);
}

class CountingJobs : public gw::TimedJobs
{
public:
    void StartXPlanet() override { ++calls; }
    bool cloudIntervalJob() override { return ++calls, true; }
    bool cloudFixedTimeJob() override { return ++calls, true; }
    bool listJob() override { return ++calls, true; }
    int calls = 0;
};

// Jobs that take no time and keep the time stamps as the real ones do.
class DayJobs : public gw::TimedJobs
{
public:
    DayJobs(gw::AppState& state, const gw::Clock& clock) : m_state(state), m_clock(clock) {}
    void StartXPlanet() override
    {
        ++calls;
        m_state.LastRenderTime = m_clock.now();
    }
    bool cloudIntervalJob() override
    {
        ++calls;
        m_state.LastCloudCheckTime = m_clock.now();
        return true;
    }
    bool cloudFixedTimeJob() override
    {
        ++calls;
        m_state.CloudTimeDue = false;
        return true;
    }
    bool listJob() override
    {
        ++calls;
        m_state.LastFileCheckTime = m_clock.now();
        return true;
    }
    int calls = 0;

private:
    gw::AppState& m_state;
    const gw::Clock& m_clock;
};

class QuietTray : public gw::TrayImage
{
public:
    gw::TrayList iconList() const override { return gw::TrayList::Globe; }
    void setIconList(gw::TrayList) override {}
    int imageCount() const override { return 26; }
    int frameIndex() const override { return frame; }
    void setFrameIndex(int f) override { frame = f; }
    bool animate() const override { return false; }
    void setAnimate(bool) override {}
    int frame = -1;
};

void ready()
{
    std::printf("ready\n");
    std::fflush(stdout);
}

int runGlobewall(QApplication& app)
{
    gw::MemorySettings settings;
    loadedDefaults(settings);
    gw::AppState state;
    gw::MemoryLog log;
    gw::SystemClock clock;
    gw::SystemState system(settings, clock);
    CountingJobs jobs;
    QWidget window;
    gw::TrayIcon tray;
    tray.setMainWindow(&window);
    gw::WidgetWindowControl control(window, tray);
    gw::TrayHandlers handlers(tray, settings, control);
    handlers.showTrayIcon();
    handlers.setUpAnimation();
    gw::CentralScheduler scheduler(settings, state, log, tray, clock, system, jobs);
    scheduler.seedStartTimes();
    QTimer centralTimer;
    centralTimer.setInterval(5000);
    QObject::connect(&centralTimer, &QTimer::timeout, [&] { scheduler.CentralTimerTimer(); });
    centralTimer.start();
    ready();
    const int rc = app.exec();
    if (jobs.calls)
        std::fprintf(stderr, "a job was started while idling\n");
    return rc;
}

int runMinimal(QApplication& app)
{
    QPixmap pm(22, 22);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(30, 90, 200));
    p.drawEllipse(1, 1, 20, 20);
    p.end();
    QSystemTrayIcon icon{QIcon(pm)};
    icon.show();
    // The second reference: the same with an empty 5 s timer, the least any program ticking
    // every five seconds can cost.
    QTimer tick;
    if (app.arguments().contains(QStringLiteral("--minimal-timer"))) {
        tick.setInterval(5000);
        tick.start();
    }
    ready();
    return app.exec();
}

struct Usage
{
    double cpuSeconds = 0;
    long long voluntarySwitches = 0;
};

Usage usageOf(qint64 pid)
{
    Usage u;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray text = stat.readAll();
        // Fields after the command's closing parenthesis; utime and stime are the 12th and 13th.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12)
            u.cpuSeconds = (fields[11].toDouble() + fields[12].toDouble()) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("voluntary_ctxt_switches:"))
                u.voluntarySwitches = line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    }
    return u;
}

bool waitReady(QProcess& p)
{
    if (!p.waitForStarted(30000))
        return false;
    const QDeadlineTimer deadline(30000);
    QByteArray out;
    while (!out.contains("ready") && !deadline.hasExpired() && p.state() == QProcess::Running) {
        p.waitForReadyRead(200);
        out += p.readAllStandardOutput();
    }
    return out.contains("ready");
}

QString ratio(double a, double b)
{
    return b > 0 ? QString::number(a / b, 'f', 2) : QStringLiteral("-");
}

void simulatedDay()
{
    gw::MemorySettings settings;
    loadedDefaults(settings);
    settings.setChecked(QStringLiteral("cbCheckForNewFile"), true);
    settings.setChecked(QStringLiteral("cbDownload"), true);
    settings.setLines(QStringLiteral("mTime"), {QStringLiteral("07:30"), QStringLiteral("19:30")});
    gw::AppState state;
    gw::MemoryLog log;
    gw::ManualClock clock(gw::toDateTime(QDateTime(QDate(2024, 5, 14), QTime(0, 0))));
    // The power supply as this computer reports it; the screensaver asked of nobody.
    gw::SystemState system(settings, clock, {}, [] { return false; });
    DayJobs jobs(state, clock);
    QuietTray tray;
    gw::CentralScheduler scheduler(settings, state, log, tray, clock, system, jobs);
    scheduler.seedStartTimes();
    QElapsedTimer t;
    t.start();
    const int ticks = 86400 / 5;
    for (int i = 0; i < ticks; ++i) {
        clock.advanceSeconds(5);
        scheduler.CentralTimerTimer();
    }
    const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    std::printf("\nsimulated day: %d ticks, %d jobs started, %.1f ms (%.2f us per tick)\n", ticks, jobs.calls, ms,
                ms * 1000.0 / ticks);
}

} // namespace

int main(int argc, char** argv)
{
    const QString role = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
    if (role == QLatin1String("--globewall") || role.startsWith(QLatin1String("--minimal"))) {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Globewall"));
        QApplication::setQuitOnLastWindowClosed(false);
        return role == QLatin1String("--globewall") ? runGlobewall(app) : runMinimal(app);
    }

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, atoi(argv[1])) : 60;

    gwtest::XvfbServer xvfb;
    if (!xvfb.start()) {
        std::fprintf(stderr, "no X server: %s\n", qPrintable(xvfb.error()));
        return 1;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), xvfb.display());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));

    QProcess trayer;
    trayer.setProcessEnvironment(env);
    trayer.setStandardOutputFile(QProcess::nullDevice());
    trayer.setStandardErrorFile(QProcess::nullDevice());
    trayer.start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--height"),
                                            QStringLiteral("24"), QStringLiteral("--widthtype"), QStringLiteral("request")});
    if (!trayer.waitForStarted(10000))
        std::fprintf(stderr, "trayer did not start; the icons wait for a tray\n");
    QThread::msleep(500);

    const auto stop = [](QProcess& p) {
        p.terminate();
        if (!p.waitForFinished(5000)) {
            p.kill();
            p.waitForFinished(5000);
        }
    };
    struct Idler
    {
        const char* role = "";
        const char* label = "";
        QProcess process;
        Usage before, after;
    };
    Idler idlers[3];
    idlers[0].role = "--globewall";
    idlers[0].label = "Globewall idling";
    idlers[1].role = "--minimal";
    idlers[1].label = "minimal tray program";
    idlers[2].role = "--minimal-timer";
    idlers[2].label = "  with a 5 s timer";
    for (Idler& i : idlers) {
        i.process.setProcessEnvironment(env);
        i.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        i.process.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(i.role)});
    }
    bool started = true;
    for (Idler& i : idlers)
        started = waitReady(i.process) && started;
    if (!started) {
        std::fprintf(stderr, "an idling program did not start\n");
        for (Idler& i : idlers)
            stop(i.process);
        stop(trayer);
        return 1;
    }
    // Start-up, and the first tick that puts the first frame into the tray, are not idling.
    QThread::sleep(7);
    for (Idler& i : idlers)
        i.before = usageOf(i.process.processId());
    std::printf("idling %d s, all programs at once\n", seconds);
    std::fflush(stdout);
    QThread::sleep(static_cast<unsigned long>(seconds));
    for (Idler& i : idlers)
        i.after = usageOf(i.process.processId());

    const double perMinute = 60.0 / seconds;
    const auto cpu = [](const Idler& i) { return i.after.cpuSeconds - i.before.cpuSeconds; };
    const auto wakes = [&](const Idler& i) {
        return static_cast<double>(i.after.voluntarySwitches - i.before.voluntarySwitches) * perMinute;
    };
    std::printf("\n%-24s %12s %18s %14s %18s\n", "", "CPU seconds", "wake-ups / minute", "CPU ratio",
                "wake-ups ratio");
    for (const Idler& i : idlers) {
        std::printf("%-24s %12.3f %18.1f", i.label, cpu(i), wakes(i));
        if (&i == &idlers[0])
            std::printf("\n");
        else
            std::printf(" %14s %18s\n", qPrintable(ratio(cpu(idlers[0]), cpu(i))),
                        qPrintable(ratio(wakes(idlers[0]), wakes(i))));
    }
    std::printf("(ratios: Globewall over the row's program, target <= 1.5; \"-\" where the row's program used\n"
                " nothing measurable: CPU time is counted in 10 ms steps.)\n");

    for (Idler& i : idlers)
        stop(i.process);
    stop(trayer);
    simulatedDay();
    return 0;
}
