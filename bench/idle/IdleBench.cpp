// What Globewall costs while it waits: the shipped program, copied into a fresh folder with a
// temporary HOME and started as a user starts it (first-start settings: nothing is due for two
// minutes), against a minimal Qt Widgets program showing a tray icon, with and without a 5 s
// timer. All run at the same time on a private X server with trayer as the notification area
// and a private session bus. The program is measured at its second start, with the settings its
// first start saved. After 40 s of start-up, CPU seconds and wake-ups (voluntary context
// switches of all threads) are counted over the given time; the table gives them per minute and
// their ratios (target: at most 1.25 against the program with the timer, and no more CPU).
// Then a simulated day of ticks through the scheduler logic is timed.
//
//   bench_idle [seconds]       (default 60)
#include "scheduler/CentralScheduler.h"
#include "scheduler/SystemState.h"
#include "scheduler/TimedJobs.h"
#include "settings/MemorySettings.h"
#include "shared/AppState.h"
#include "shared/LogSink.h"
#include "support/BenchSupport.h"
#include "support/ManualClock.h"
#include "support/MemorySinks.h"
#include "support/ShippedProgram.h"
#include "support/XvfbFixture.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QPainter>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int StartUpSeconds = 40;

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

// Jobs that take no time and keep the time stamps as the real ones do.
class DayJobs : public gw::TimedJobs
{
public:
    DayJobs(gw::AppState& state, const gw::Clock& clock)
        : m_state(state)
        , m_clock(clock)
    {
    }
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

void ready()
{
    std::printf("ready\n");
    std::fflush(stdout);
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
    QSystemTrayIcon icon { QIcon(pm) };
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
    settings.setLines(QStringLiteral("mTime"), { QStringLiteral("07:30"), QStringLiteral("19:30") });
    gw::AppState state;
    gw::MemoryLog log;
    gw::ManualClock clock(gw::toDateTime(QDateTime(QDate(2024, 5, 14), QTime(0, 0))));
    // The power supply as this computer reports it; the screensaver asked of nobody.
    gw::SystemState system(settings, clock, {}, [] { return false; });
    DayJobs jobs(state, clock);
    gwbench::QuietTray tray;
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

// The threads of a process by name, with their voluntary context switches.
QMap<QString, long long> switchesByThread(qint64 pid)
{
    QMap<QString, long long> out;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks.filePath(task) + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        QString name;
        long long switches = 0;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("Name:"))
                name = QString::fromUtf8(line.mid(5).trimmed());
            else if (line.startsWith("voluntary_ctxt_switches:"))
                switches = line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
        out[name + QLatin1Char('/') + task] = switches;
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    const QString role = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
    if (role.startsWith(QLatin1String("--minimal"))) {
        QApplication app(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        return runMinimal(app);
    }

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, atoi(argv[1])) : 60;
    const QString built = QStringLiteral(GW_BINARY_DIR "/src/app/Globewall");

    gwtest::XvfbServer xvfb;
    if (!xvfb.start()) {
        std::fprintf(stderr, "no X server: %s\n", qPrintable(xvfb.error()));
        return 1;
    }
    gwbench::SessionBus bus;
    if (!bus.start()) {
        std::fprintf(stderr, "no session bus: dbus-daemon did not start\n");
        return 1;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), xvfb.display());
    QProcess trayer;
    trayer.setProcessEnvironment(env);
    trayer.setStandardOutputFile(QProcess::nullDevice());
    trayer.setStandardErrorFile(QProcess::nullDevice());
    trayer.start(QStringLiteral("trayer"),
        { QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--height"), QStringLiteral("24"),
            QStringLiteral("--widthtype"), QStringLiteral("request") });
    if (!trayer.waitForStarted(10000))
        std::fprintf(stderr, "trayer did not start; the icons wait for a tray\n");
    QThread::msleep(500);

    struct Idler
    {
        const char* role = "";
        const char* label = "";
        gwbench::ShippedProgram* home = nullptr;
        QProcess process;
        gwbench::Usage before, after;
        QMap<QString, long long> threadsBefore, threadsAfter;
    };
    gwbench::ShippedProgram globewall(built), minimal(built), minimalTimer(built);
    if (!globewall.copied()) {
        std::fprintf(stderr, "the program could not be copied from %s\n", qPrintable(built));
        return 1;
    }
    Idler idlers[3];
    idlers[0].label = "Globewall idling";
    idlers[0].home = &globewall;
    idlers[1].role = "--minimal";
    idlers[1].label = "minimal tray program";
    idlers[1].home = &minimal;
    idlers[2].role = "--minimal-timer";
    idlers[2].label = "  with a 5 s timer";
    idlers[2].home = &minimalTimer;
    // The user's second day: a first start, ended as the session ends it, saves the first-start
    // settings with the times of its timed jobs, so the start measured has nothing due (a first
    // start's list download comes at its second minute) and draws no first-start globe.
    {
        QProcess first;
        globewall.start(first, xvfb.display(), bus.address());
        QThread::sleep(5);
        gwbench::stop(first);
        if (!QFileInfo::exists(globewall.file(QStringLiteral("bin/Globewall.ini")))) {
            std::fprintf(stderr, "the first start saved no settings\n");
            return 1;
        }
    }
    for (Idler& i : idlers) {
        if (*i.role)
            i.home->start(i.process, xvfb.display(), bus.address(), { QString::fromLatin1(i.role) },
                QCoreApplication::applicationFilePath());
        else
            i.home->start(i.process, xvfb.display(), bus.address());
    }
    bool started = true;
    for (Idler& i : idlers)
        started = i.process.waitForStarted(30000) && started;
    // Start-up, the first ticks that put the first frame into the tray, and Qt's painting threads
    // of the first drawing (they end 30 s after it) are not idling.
    QThread::sleep(StartUpSeconds);
    for (Idler& i : idlers)
        started = i.process.state() == QProcess::Running && started;
    if (!started) {
        std::fprintf(stderr, "an idling program did not start or ended early\n");
        for (Idler& i : idlers)
            gwbench::stop(i.process);
        gwbench::stop(trayer);
        return 1;
    }
    for (Idler& i : idlers) {
        i.threadsBefore = switchesByThread(i.process.processId());
        i.before = gwbench::usageOf(i.process.processId());
    }
    std::printf("idling %d s after %d s of start-up, all programs at once (the shipped program, its second start: "
                "%s)\n",
        seconds, StartUpSeconds, qPrintable(built));
    std::fflush(stdout);
    QThread::sleep(static_cast<unsigned long>(seconds));
    for (Idler& i : idlers) {
        i.after = gwbench::usageOf(i.process.processId());
        i.threadsAfter = switchesByThread(i.process.processId());
    }

    const double perMinute = 60.0 / seconds;
    const auto cpu = [](const Idler& i) { return i.after.cpuSeconds - i.before.cpuSeconds; };
    // Thread by thread: a thread that ended meanwhile takes its count along, one that began
    // counts from zero.
    const auto wakes = [&](const Idler& i) {
        long long sum = 0;
        for (auto it = i.threadsAfter.cbegin(); it != i.threadsAfter.cend(); ++it)
            sum += it.value() - i.threadsBefore.value(it.key());
        return static_cast<double>(sum) * perMinute;
    };
    std::printf("\n%-24s %12s %18s %8s %14s %18s\n", "", "CPU seconds", "wake-ups / minute", "threads", "CPU ratio",
        "wake-ups ratio");
    for (const Idler& i : idlers) {
        std::printf("%-24s %12.3f %18.1f %8d", i.label, cpu(i), wakes(i), i.after.threads);
        if (&i == &idlers[0])
            std::printf("\n");
        else
            std::printf(" %14s %18s\n", qPrintable(ratio(cpu(idlers[0]), cpu(i))),
                qPrintable(ratio(wakes(idlers[0]), wakes(i))));
    }
    std::printf("(ratios: Globewall over the row's program; target against the 5 s timer: wake-ups <= 1.25,\n"
                " CPU <= 1.0. \"-\" where the row's program used nothing measurable: CPU time is counted in\n"
                " 10 ms steps.)\n\nGlobewall's wake-ups per minute by thread:\n");
    for (auto it = idlers[0].threadsAfter.cbegin(); it != idlers[0].threadsAfter.cend(); ++it)
        std::printf("  %-28s %8.1f\n", qPrintable(it.key()),
            static_cast<double>(it.value() - idlers[0].threadsBefore.value(it.key())) * perMinute);
    for (auto it = idlers[0].threadsBefore.cbegin(); it != idlers[0].threadsBefore.cend(); ++it)
        if (!idlers[0].threadsAfter.contains(it.key()))
            std::printf("  %-28s ended meanwhile\n", qPrintable(it.key()));

    for (Idler& i : idlers)
        gwbench::stop(i.process);
    gwbench::stop(trayer);
    simulatedDay();
    return 0;
}
