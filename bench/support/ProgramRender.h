#pragma once
// A render of the shipped program, asked for with the request "Globewall --render-now" passes on
// to the running copy, written to its instance socket by the benchmark itself, so the time is the
// program's own render cycle and not a second start. The render is timed from the request
// until the program's xplanet child has ended and, where the desktop takes the
// picture from a file, until the picture before it is gone (the program deletes it right after
// the desktop took the new one). The reference is the same xplanet command (read from the
// child's /proc entry) run alone afterwards, writing to a file of its own.
#include "support/InstanceRequest.h"
#include "support/ShippedProgram.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <functional>

namespace gwbench {

// The pid of an xplanet child of `parent`, or empty. The kernel lists each thread's children.
inline QString childXplanet(qint64 parent)
{
    const QString tasks = QStringLiteral("/proc/%1/task").arg(parent);
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
}

// CPU seconds of a process itself and of its children it has waited for.
struct Cpu
{
    double own = 0;
    double children = 0;
};

inline Cpu cpuOf(qint64 pid)
{
    Cpu c;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return c;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> f = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    if (f.size() > 14) {
        c.own = (f[11].toDouble() + f[12].toDouble()) / tick;
        c.children = (f[13].toDouble() + f[14].toDouble()) / tick;
    }
    return c;
}

struct RenderRound
{
    bool ok = false;
    double viaProgramMs = 0; // from the request to the picture shown
    double fromXplanetMs = 0; // from its xplanet appearing to the picture shown
    double programCpuMs = 0; // the program's own CPU meanwhile (its threads, not xplanet)
    double xplanetCpuMs = 0; // its xplanet's CPU
    QStringList xplanet; // the command, program first
    QString folder; // its working folder
};

// One render of the running program `running` (a copy in `copy`) on `display` and `bus`.
// `shown` tells, once xplanet has ended, whether the picture is on the desktop (empty: at once).
// A render makes one xplanet per monitor: the render is over when no further xplanet has
// followed the last one for 300 ms and the picture is shown; its time is that of the last
// xplanet's end or of the picture shown, whichever came later. A request that the program did
// not take (it starts no render while one runs) is repeated once after 10 s, timed anew.
inline RenderRound renderThroughProgram(const ShippedProgram& copy, QProcess& running, const QString& display,
    const QString& bus, const std::function<bool()>& shown = {})
{
    RenderRound r;
    const qint64 pid = running.processId();
    const Cpu before = cpuOf(pid);
    const auto alive = [](const QString& child) {
        return QFileInfo::exists(QStringLiteral("/proc/") + child + QStringLiteral("/cmdline"));
    };
    const QString socket = instanceSocket(copy, display, bus);
    QElapsedTimer t;
    QString child;
    for (int attempt = 0; attempt < 2 && child.isEmpty(); ++attempt) {
        t.start();
        if (!askRunningProgram(socket, "render-now"))
            continue;
        const QDeadlineTimer appear(10000);
        while ((child = childXplanet(pid)).isEmpty() && !appear.hasExpired() && running.state() == QProcess::Running)
            QThread::usleep(500);
    }
    if (child.isEmpty())
        return r;
    const qint64 started = t.nsecsElapsed();
    // Seen this early, the child may not have reached its exec yet: its command line is empty
    // and its folder still the program's until then.
    const QDeadlineTimer execed(2000);
    while (r.xplanet.isEmpty() && alive(child) && !execed.hasExpired()) {
        QFile cmdline(QStringLiteral("/proc/") + child + QStringLiteral("/cmdline"));
        if (cmdline.open(QIODevice::ReadOnly))
            r.xplanet = QString::fromLocal8Bit(cmdline.readAll()).split(QChar(0), Qt::SkipEmptyParts);
        if (r.xplanet.isEmpty())
            QThread::usleep(200);
    }
    r.folder = QFileInfo(QStringLiteral("/proc/") + child + QStringLiteral("/cwd")).symLinkTarget();

    QStringList seen { child };
    QString current = child;
    qint64 lastEnd = 0;
    qint64 shownAt = -1;
    QElapsedTimer quiet;
    const QDeadlineTimer end(120000);
    while (!end.hasExpired()) {
        if (!current.isEmpty()) {
            // A zombie keeps its /proc entry until the program has reaped it.
            if (alive(current)) {
                QThread::usleep(500);
                continue;
            }
            lastEnd = t.nsecsElapsed();
            current.clear();
            shownAt = -1;
            quiet.start();
        }
        const QString next = childXplanet(pid);
        if (!next.isEmpty() && !seen.contains(next)) {
            seen << next;
            current = next;
            continue;
        }
        if (shownAt < 0 && (!shown || shown()))
            shownAt = t.nsecsElapsed();
        if (shownAt >= 0 && quiet.elapsed() >= 300)
            break;
        QThread::usleep(500);
    }
    const qint64 done = std::max(lastEnd, shownAt);
    const Cpu after = cpuOf(pid);
    r.viaProgramMs = static_cast<double>(done) / 1e6;
    r.fromXplanetMs = static_cast<double>(done - started) / 1e6;
    r.programCpuMs = (after.own - before.own) * 1000;
    r.xplanetCpuMs = (after.children - before.children) * 1000;
    r.ok = !r.xplanet.isEmpty() && shownAt >= 0;
    return r;
}

// The round's xplanet command alone, its -output (if any) redirected to `output`, `times` times
// over (once per monitor); milliseconds.
inline double xplanetAlone(
    const RenderRound& round, const QString& output, const QProcessEnvironment& env, int times = 1)
{
    QStringList args = round.xplanet;
    const qsizetype out = args.indexOf(QStringLiteral("-output"));
    if (out >= 0 && out + 1 < args.size())
        args[out + 1] = output;
    const QString program = args.takeFirst();
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < times; ++i) {
        QProcess xplanet;
        xplanet.setProcessEnvironment(env);
        xplanet.setWorkingDirectory(round.folder);
        xplanet.setProcessChannelMode(QProcess::MergedChannels);
        xplanet.start(program, args);
        xplanet.waitForFinished(-1);
        xplanet.readAll();
    }
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

} // namespace gwbench
