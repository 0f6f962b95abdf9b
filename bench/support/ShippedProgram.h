#pragma once
// The program as a user starts it, for the benchmarks that measure it: the built executable
// copied into an empty folder of its own (its settings and logs go beside it, as for a
// portable copy), a temporary HOME, configuration, cache and runtime folder, the display and
// session bus the benchmark gives. Nothing of the user's own files is seen or touched.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

namespace gwbench {

class ShippedProgram
{
public:
    explicit ShippedProgram(const QString& built)
    {
        for (const char* sub : { "bin", "home/.config", "home/.cache", "runtime", "tmp" })
            QDir().mkpath(m_dir.filePath(QString::fromLatin1(sub)));
        QFile::setPermissions(
            m_dir.filePath(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_copied = QFile::copy(built, exe());
    }

    bool copied() const { return m_copied; }
    QString exe() const { return m_dir.filePath(QStringLiteral("bin/Globewall")); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    QString home() const { return m_dir.filePath(QStringLiteral("home")); }

    // The environment of a desktop session on `display` with the session bus `bus` (empty: none).
    QProcessEnvironment environment(const QString& display, const QString& bus) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : { "http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                 "no_proxy", "NO_PROXY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS" })
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("HOME"), home());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("home/.config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), m_dir.filePath(QStringLiteral("home/.cache")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("TMPDIR"), m_dir.filePath(QStringLiteral("tmp")));
        if (!bus.isEmpty())
            env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus);
        for (const QString& key : extra.keys())
            env.insert(key, extra.value(key));
        return env;
    }

    // Starts the copy (or `program` in the same surroundings, for the reference).
    void start(QProcess& p, const QString& display, const QString& bus, const QStringList& arguments = {},
        const QString& program = {}) const
    {
        p.setProcessEnvironment(environment(display, bus));
        p.setWorkingDirectory(m_dir.path());
        p.setStandardOutputFile(m_dir.filePath(QStringLiteral("out.txt")), QIODevice::Append);
        p.setStandardErrorFile(m_dir.filePath(QStringLiteral("out.txt")), QIODevice::Append);
        p.start(program.isEmpty() ? exe() : program, arguments);
    }

    // Variables of the session that replace the above (a Wayland desktop's, say).
    QProcessEnvironment extra;

private:
    QTemporaryDir m_dir;
    bool m_copied = false;
};

// A private session bus, as every desktop session has one.
class SessionBus
{
public:
    bool start()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return false;
        m_process.start(daemon,
            { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
                QStringLiteral("--address=unix:path=") + m_dir.filePath(QStringLiteral("bus")) });
        if (!m_process.waitForStarted(5000))
            return false;
        QByteArray out;
        for (int i = 0; i < 50 && !out.contains('\n'); ++i) {
            m_process.waitForReadyRead(200);
            out += m_process.readAllStandardOutput();
        }
        m_address = QString::fromLatin1(out.trimmed());
        return !m_address.isEmpty();
    }
    ~SessionBus()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
    const QString& address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_address;
};

// Ends a process: SIGTERM, then SIGKILL.
inline void stop(QProcess& p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

struct Usage
{
    double cpuSeconds = 0; // user and system time of all threads, ended ones included
    long long voluntarySwitches = 0; // of the threads that live now
    int threads = 0;
};

// What a process has used so far, all its threads counted.
inline Usage usageOf(qint64 pid)
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
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks.filePath(task) + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        ++u.threads;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("voluntary_ctxt_switches:"))
                u.voluntarySwitches += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    }
    return u;
}

// A value of /proc/<pid>/status in kB ("VmHWM", "VmRSS"); -1 when unknown.
inline long statusKb(qint64 pid, const char* key)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace gwbench
