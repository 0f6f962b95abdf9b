// DownloadFile against `curl -o` for one file served by lighttpd on loopback, alternating.
// Prints the median time of each and their ratio (ours / curl's; the target is at most 1.10),
// then the peak memory of a download of the given size against one of 1 MiB (target: within
// 10 MB). Usage: bench_download [size in MiB, default 1024] [runs, default 5]
#include "ServerProcess.h"

#include "downloads/DownloadEngine.h"
#include "downloads/DownloadRecords.h"
#include "downloads/TransferDisplay.h"
#include "downloads/TransferProgress.h"
#include "settings/MemorySettings.h"
#include "shared/AppState.h"
#include "shared/Clock.h"
#include "shared/LogSink.h"
#include "shared/TrayImage.h"
#include "support/MemorySinks.h"
#include "support/ScriptedDialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class Tray : public gw::TrayImage
{
public:
    gw::TrayList iconList() const override { return m_list; }
    void setIconList(gw::TrayList l) override { m_list = l; }
    int imageCount() const override { return m_list == gw::TrayList::Globe ? 26 : 15; }
    int frameIndex() const override { return m_frame; }
    void setFrameIndex(int i) override { m_frame = i; }
    bool animate() const override { return false; }
    void setAnimate(bool) override { }

private:
    gw::TrayList m_list = gw::TrayList::Globe;
    int m_frame = 0;
};

class Display : public gw::TransferDisplay
{
public:
    qint64 progressMax() const override { return m_max; }
    void setProgressMax(qint64 m) override { m_max = m; }
    void setProgressPosition(qint64) override { }
    void setStatusPanel1(const QString&) override { }
    void setBusyCursor(bool) override { }

private:
    qint64 m_max = 0;
};

bool makeFile(const QString& path, qint64 bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>((i * 131) ^ (i >> 9));
    for (qint64 done = 0; done < bytes; done += block.size())
        f.write(block.constData(), qMin<qint64>(block.size(), bytes - done));
    return true;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long peakRssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

struct Engine
{
    gw::MemorySettings settings;
    gw::AppState state;
    gw::MemoryLog log;
    gw::ScriptedDialogs dialogs;
    Tray tray;
    gw::SystemClock clock;
    Display display;
    QString ini;
    gw::DownloadRecords records { [this] { return ini; } };
    gw::DownloadEngine engine { settings, state, log, dialogs, clock, records };
    Engine() { gw::showTransfers(engine, tray, display, settings); }
};

// One download in this process, for the memory measurement: prints the peak RSS in kB.
int downloadOnce(const QString& url, const QString& dest)
{
    Engine e;
    if (!e.engine.DownloadFile(url, dest, false))
        return 1;
    std::printf("%ld\n", peakRssKb());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--once"))
        return downloadOnce(args.value(2), args.value(3));

    const qint64 mib = args.size() > 1 ? args[1].toLongLong() : 1024;
    const int runs = args.size() > 2 ? args[2].toInt() : 5;
    QTemporaryDir www;
    QTemporaryDir out;
    const qint64 bytes = mib * 1024 * 1024;
    if (!makeFile(www.filePath(QStringLiteral("big.bin")), bytes)
        || !makeFile(www.filePath(QStringLiteral("small.bin")), 1024 * 1024)) {
        std::fprintf(stderr, "cannot write the test files\n");
        return 1;
    }
    gwtest::LighttpdFixture lighttpd(www.path());
    if (!lighttpd.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(lighttpd.error()));
        return 1;
    }
    const QString url = lighttpd.url(QStringLiteral("/big.bin"));
    const QString ours = out.filePath(QStringLiteral("ours.bin"));
    const QString theirs = out.filePath(QStringLiteral("curl.bin"));

    Engine e;
    std::vector<double> ourTimes;
    std::vector<double> curlTimes;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        if (!e.engine.DownloadFile(url, ours, false)) {
            std::fprintf(stderr, "DownloadFile failed\n");
            return 1;
        }
        ourTimes.push_back(static_cast<double>(t.nsecsElapsed()) / 1e9);

        t.start();
        if (QProcess::execute(QStringLiteral("curl"), { QStringLiteral("-s"), QStringLiteral("-o"), theirs, url })
            != 0) {
            std::fprintf(stderr, "curl failed\n");
            return 1;
        }
        curlTimes.push_back(static_cast<double>(t.nsecsElapsed()) / 1e9);
        QFile::remove(ours);
        QFile::remove(theirs);
    }
    const double o = median(ourTimes);
    const double c = median(curlTimes);
    std::printf("download of %lld MiB, %d runs: DownloadFile %.3f s, curl -o %.3f s, ratio %.3f (target <= 1.10)\n",
        static_cast<long long>(mib), runs, o, c, o / c);

    auto peak = [&](const QString& file) {
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--once"), lighttpd.url(QStringLiteral("/") + file), out.filePath(file) });
        p.waitForFinished(-1);
        QFile::remove(out.filePath(file));
        return p.readAllStandardOutput().trimmed().toLong();
    };
    const long big = peak(QStringLiteral("big.bin"));
    const long small = peak(QStringLiteral("small.bin"));
    std::printf("peak RSS: %ld kB for %lld MiB, %ld kB for 1 MiB, difference %.1f MB (target within 10 MB)\n", big,
        static_cast<long long>(mib), small, (big - small) / 1024.0);
    return 0;
}
