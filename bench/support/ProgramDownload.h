#pragma once
// Downloads by the shipped program: a copy of the executable (support/ShippedProgram.h) on a
// private X server with trayer as the notification area and a private session bus, handed a
// settings file the benchmark writes (--settings), asked to "check all downloads" with the
// request "Globewall --download-now" passes on, written to its instance socket by the benchmark
// itself, so no second start is timed. A round ends when the file it waits for is moved into
// place: the program renames a download (and a marker file) into place only when it is whole
// and has passed its checks, so that moment is the end of the work a user waits for.
//
// lighttpd on loopback serves the files. It also answers requests in proxy form
// ("GET http://host/path"), so with lighttpd as the program's proxy the built-in addresses (the
// cloud map and its MD5 sum, the earthquake list and feeds) are served from loopback too; the
// references ask for the same addresses through the same proxy.
#include "support/InstanceRequest.h"
#include "support/ShippedProgram.h"
#include "support/XvfbFixture.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <utility>

namespace gwbench {

// Files moved or written into one folder, seen through inotify: the benchmark sleeps while the
// program works instead of polling beside it on a machine of two cores.
class FolderWatch
{
public:
    explicit FolderWatch(const QString& folder)
        : m_fd(inotify_init1(IN_CLOEXEC | IN_NONBLOCK))
    {
        if (m_fd >= 0)
            m_ok = inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_MOVED_TO | IN_CLOSE_WRITE) >= 0;
    }
    ~FolderWatch()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    bool ok() const { return m_ok; }

    // Forgets the events so far, so a wait sees only what comes after it.
    void drain()
    {
        alignas(inotify_event) char buffer[16384];
        while (::read(m_fd, buffer, sizeof buffer) > 0) { }
    }

    // True when a file named `name` arrived within `timeoutMs`.
    bool waitFor(const QString& name, int timeoutMs)
    {
        const QByteArray wanted = QFile::encodeName(name);
        const QDeadlineTimer deadline(timeoutMs);
        alignas(inotify_event) char buffer[16384];
        while (!deadline.hasExpired()) {
            pollfd p { m_fd, POLLIN, 0 };
            if (::poll(&p, 1, static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))) <= 0)
                continue;
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && wanted == event->name)
                    return true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return false;
    }

private:
    int m_fd = -1;
    bool m_ok = false;
};

// A JPEG of 8192x4096 as the program checks a cloud map: its frame header and its end marker,
// with `scanBytes` of scan data between them. The program never decodes a downloaded map (no
// render follows in these benchmarks), and curl and md5sum do not look at the bytes either, so
// what the scan data mean does not change anyone's work.
inline bool writeCloudMap(const QString& path, qint64 scanBytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    static const char header[] = "\xFF\xD8" // start of image
                                 "\xFF\xC0\x00\x11\x08\x10\x00\x20\x00\x03" // baseline frame, 4096 high, 8192 wide
                                 "\x01\x11\x00\x02\x11\x01\x03\x11\x01";
    f.write(header, sizeof header - 1);
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(((i * 131) ^ (i >> 9)) % 255); // no 0xFF: no marker inside the scan
    for (qint64 done = 0; done < scanBytes; done += block.size())
        f.write(block.constData(), std::min<qint64>(block.size(), scanBytes - done));
    return f.write("\xFF\xD9", 2) == 2 && f.flush();
}

inline QString md5HexOf(const QString& path)
{
    QFile f(path);
    QCryptographicHash hash(QCryptographicHash::Md5);
    return f.open(QIODevice::ReadOnly) && hash.addData(&f) ? QString::fromLatin1(hash.result().toHex()) : QString();
}

// The settings a download benchmark hands the program: nothing timed, no render after a
// download, the cloud map and the download list rows it names, lighttpd as the proxy if given.
struct DownloadSettings
{
    QString cloudUrl;
    QString cloudDestination;
    bool checkMd5 = false;
    quint16 proxyPort = 0;
    QList<std::pair<QString, QString>> rows; // address, destination

    QByteArray text() const
    {
        QByteArray s = "[Config]\nFile=/usr/bin/xplanet\nStart every x sec=0\nStart Minimized=1\n"
                       "Hide launched App=1\nCheck for new file=0\nCheck for updates every day=0\n"
                       "Download from HTTP=0\nCheck extra downloads x times per day=0\nServer to ping=#\n"
                       "Start XPlanet after Download=0\nExecute File after download=0\n";
        s += "Web Adress=" + cloudUrl.toUtf8() + "\nDestination=" + cloudDestination.toUtf8() + '\n';
        s += QByteArray("check MD5 of Cloudfile=") + (checkMd5 ? "1" : "0") + '\n';
        if (proxyPort)
            s += "Use Proxy=1\nProxy=127.0.0.1\nProxy Port=" + QByteArray::number(proxyPort) + '\n';
        else
            s += "Use Proxy=0\n";
        s += "[Download]\n";
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const QByteArray row = QByteArray::number(i + 1);
            s += "0," + row + '=' + rows[i].first.toUtf8() + "\n1," + row + '=' + rows[i].second.toUtf8() + '\n';
        }
        return s;
    }
};

// A private X server with trayer and a session bus, shared by the program copies of one run.
class DownloadDesktop
{
public:
    bool start(QString* error)
    {
        if (!m_xvfb.start(1024, 768)) {
            *error = QStringLiteral("no X server: ") + m_xvfb.error();
            return false;
        }
        if (!m_bus.start()) {
            *error = QStringLiteral("no session bus");
            return false;
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_xvfb.display());
        m_trayer.setProcessEnvironment(env);
        m_trayer.setStandardOutputFile(QProcess::nullDevice());
        m_trayer.setStandardErrorFile(QProcess::nullDevice());
        m_trayer.start(QStringLiteral("trayer"),
            { QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--height"), QStringLiteral("24"),
                QStringLiteral("--widthtype"), QStringLiteral("request") });
        return true;
    }
    ~DownloadDesktop() { stop(m_trayer); }
    QString display() const { return m_xvfb.display(); }
    QString bus() const { return m_bus.address(); }

private:
    gwtest::XvfbServer m_xvfb;
    SessionBus m_bus;
    QProcess m_trayer;
};

// One copy of the shipped program, running with the settings it was given.
class DownloadingProgram
{
public:
    DownloadingProgram(const DownloadDesktop& desktop, const QString& built)
        : m_desktop(desktop)
        , m_copy(built)
    {
    }
    ~DownloadingProgram() { stop(m_program); }

    // A folder inside the copy's own, made on the way.
    QString folder(const QString& name) const
    {
        const QString path = m_copy.file(name);
        QDir().mkpath(path);
        return path;
    }

    QProcessEnvironment environment() const { return m_copy.environment(m_desktop.display(), m_desktop.bus()); }

    bool start(const DownloadSettings& settings, QString* error)
    {
        const QString file = m_copy.file(QStringLiteral("bench-settings.ini"));
        QFile ini(file);
        if (!m_copy.copied() || !ini.open(QIODevice::WriteOnly) || ini.write(settings.text()) < 0) {
            *error = QStringLiteral("cannot set up the program's copy");
            return false;
        }
        ini.close();
        m_copy.start(m_program, m_desktop.display(), m_desktop.bus(), { QStringLiteral("--settings"), file });
        if (!m_program.waitForStarted(10000)) {
            *error = QStringLiteral("the program did not start");
            return false;
        }
        // Past its start-up: its socket is listening and the first tick has passed.
        QThread::sleep(3);
        if (m_program.state() != QProcess::Running) {
            *error = QStringLiteral("the program ended at start: ") + output();
            return false;
        }
        return true;
    }

    // Asks for a check of all downloads and waits until `name` arrives in `watch`'s folder;
    // milliseconds from the request, or a negative number when it did not come within
    // `timeoutMs`. Afterwards the program is given a moment to end the job (recording the date,
    // the rows after), so the next request is not refused as coming while a job runs.
    double checkAll(FolderWatch& watch, const QString& name, int timeoutMs = 300000)
    {
        const QString socket = instanceSocket(m_copy, m_desktop.display(), m_desktop.bus());
        watch.drain();
        QElapsedTimer t;
        t.start();
        if (!askRunningProgram(socket, "download-now"))
            return -1;
        const bool arrived = watch.waitFor(name, timeoutMs);
        const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
        QThread::msleep(300);
        return arrived ? ms : -1;
    }

    // The transfer log the program writes beside itself.
    QByteArray log() const { return readAll(m_copy.file(QStringLiteral("bin/Globewall.log"))); }
    QByteArray output() const { return readAll(m_copy.file(QStringLiteral("out.txt"))); }
    qint64 pid() const { return m_program.processId(); }

private:
    static QByteArray readAll(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    const DownloadDesktop& m_desktop;
    ShippedProgram m_copy;
    QProcess m_program;
};

// The log's lines that report an error, for a benchmark to refuse figures from a failed run.
inline QByteArray errorLines(const QByteArray& log)
{
    QByteArray errors;
    for (const QByteArray& line : log.split('\n'))
        if (line.contains(" - Error"))
            errors += line + '\n';
    return errors;
}

// `program` with `arguments` in `env`, waited for; milliseconds, or a negative number on failure.
inline double timedRun(const QString& program, const QStringList& arguments, const QProcessEnvironment& env,
    const QString& outputFile = {})
{
    QProcess p;
    p.setProcessEnvironment(env);
    if (!outputFile.isEmpty())
        p.setStandardOutputFile(outputFile);
    QElapsedTimer t;
    t.start();
    p.start(program, arguments);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), p.readAllStandardError().constData());
        return -1;
    }
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

} // namespace gwbench
