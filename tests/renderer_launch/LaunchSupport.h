#pragma once
// Small shell scripts as stand-ins for the renderer and the files run around a render, and
// a way to act while a launcher waits for its child.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTimer>

#include <functional>

namespace launchtest {

// Writes an executable /bin/sh script.
inline QString writeScript(const QString& path, const QByteArray& body)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write("#!/bin/sh\n" + body + "\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// Prints every argument on a line of its own, in brackets.
inline QByteArray printArgs()
{
    return "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done";
}

// Calls `step` every 10 ms on the event loop (which the launcher runs while it waits) until
// it returns true; after `watchdogMs` calls `onTimeout` instead, so a hung child cannot hang
// the test. The object stops itself when it goes out of scope.
class WhileWaiting
{
public:
    WhileWaiting(std::function<bool()> step, std::function<void()> onTimeout, int watchdogMs = 20000)
    {
        m_clock.start();
        QObject::connect(&m_timer, &QTimer::timeout, [this, step, onTimeout, watchdogMs] {
            if (m_clock.elapsed() > watchdogMs) {
                m_timer.stop();
                m_timedOut = true;
                onTimeout();
                return;
            }
            if (step()) {
                m_timer.stop();
                m_done = true;
            }
        });
        m_timer.start(10);
    }
    bool done() const { return m_done; }
    bool timedOut() const { return m_timedOut; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    bool m_done = false;
    bool m_timedOut = false;
};

// Field `index` (1-based, as in proc(5)) of /proc/<pid>/stat; empty when the process is gone.
inline QString procStatField(qint64 pid, int index)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromLatin1(f.readAll());
    const qsizetype close = text.lastIndexOf(QLatin1Char(')'));
    const QStringList rest = text.mid(close + 2).split(QLatin1Char(' '));
    const int at = index - 3; // the fields after the command name start with field 3
    return at >= 0 && at < rest.size() ? rest[at] : QString();
}

// Gone, or a zombie nobody reaped yet: either way it no longer runs.
inline bool processEnded(qint64 pid)
{
    const QString state = procStatField(pid, 3);
    return state.isEmpty() || state == QStringLiteral("Z") || state == QStringLiteral("X");
}

} // namespace launchtest
