// A download by the shipped program against `curl -o` of the same file from the same lighttpd on
// loopback, alternating. The program (support/ProgramDownload.h) has the file as a row of its
// download list and is asked to check all downloads; its destination is deleted before each
// round, so the row is always fetched. Its round runs from the request until the file is moved
// into place, and so holds what a user waits for: the HEAD request on the (unchanged, small)
// cloud map every check begins with, the row's HEAD request, the transfer, the rename. Prints
// the median time of each and their ratio (the program's / curl's; the target is at most 1.10).
//
// Then the program's peak resident memory (VmHWM) after one such download, in a fresh copy for
// each size: the given size against 1 MiB (target: within 10 MB).
//
//   bench_download [size in MiB, default 1024] [runs, default 5]
#include "ServerProcess.h"
#include "support/BenchSupport.h"
#include "support/ProgramDownload.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

const QString kBuilt = QStringLiteral(GW_BINARY_DIR "/src/app/Globewall");

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
    return f.flush();
}

// A copy of the program with `file` from `lighttpd` as its one download list row.
struct Downloader
{
    Downloader(const gwbench::DownloadDesktop& desktop, const gwtest::LighttpdFixture& lighttpd, const QString& file)
        : program(desktop, kBuilt)
        , folder(program.folder(QStringLiteral("downloads")))
        , watch(folder)
    {
        settings.cloudUrl = lighttpd.url(QStringLiteral("/clouds.jpg"));
        settings.cloudDestination = folder + QStringLiteral("/clouds.jpg");
        settings.rows << std::pair<QString, QString> { lighttpd.url(QLatin1Char('/') + file),
            folder + QLatin1Char('/') + file };
    }
    gwbench::DownloadingProgram program;
    QString folder;
    gwbench::FolderWatch watch;
    gwbench::DownloadSettings settings;
};

int fail(const char* what, const QString& detail = {})
{
    std::fprintf(stderr, "%s%s%s\n", what, detail.isEmpty() ? "" : ": ", qPrintable(detail));
    return 1;
}

// The peak resident memory of a fresh copy after it downloaded `file` once, in kB.
long peakAfterOneDownload(
    const gwbench::DownloadDesktop& desktop, const gwtest::LighttpdFixture& lighttpd, const QString& file)
{
    Downloader d(desktop, lighttpd, file);
    QString error;
    if (!d.program.start(d.settings, &error) || d.program.checkAll(d.watch, file) < 0) {
        std::fprintf(stderr, "%s: %s%s\n", qPrintable(file), qPrintable(error), d.program.log().constData());
        return -1;
    }
    return gwbench::statusKb(d.program.pid(), "VmHWM");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 mib = argc > 1 ? std::max(1LL, QByteArray(argv[1]).toLongLong()) : 1024;
    const int runs = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 5;

    QTemporaryDir www;
    QTemporaryDir reference;
    if (!makeFile(www.filePath(QStringLiteral("big.bin")), mib * 1024 * 1024)
        || !makeFile(www.filePath(QStringLiteral("small.bin")), 1024 * 1024)
        || !gwbench::writeCloudMap(www.filePath(QStringLiteral("clouds.jpg")), 4096))
        return fail("cannot write the served files");
    gwtest::LighttpdFixture lighttpd(www.path());
    if (!lighttpd.start())
        return fail("no lighttpd", lighttpd.error());
    gwbench::DownloadDesktop desktop;
    QString error;
    if (!desktop.start(&error))
        return fail("no desktop", error);

    const QString big = QStringLiteral("big.bin");
    std::vector<double> ourTimes, curlTimes;
    bool failed = false;
    {
        Downloader d(desktop, lighttpd, big);
        if (!d.watch.ok() || !d.program.start(d.settings, &error))
            return fail("the program did not start", error);
        // The first check also fetches the cloud map; the rounds find it unchanged.
        if (d.program.checkAll(d.watch, big) < 0)
            return fail("the program did not download", QString::fromLocal8Bit(d.program.log()));
        const QString ours = d.folder + QLatin1Char('/') + big;
        const QString theirs = reference.filePath(big);
        const QString url = lighttpd.url(QLatin1Char('/') + big);
        auto program = [&] {
            QFile::remove(ours);
            const double ms = d.program.checkAll(d.watch, big);
            failed |= ms < 0;
            ourTimes.push_back(ms / 1000);
            return ms;
        };
        auto curl = [&] {
            const double ms = gwbench::timedRun(QStringLiteral("curl"),
                { QStringLiteral("-s"), QStringLiteral("--noproxy"), QStringLiteral("*"), QStringLiteral("-o"), theirs,
                    url },
                d.program.environment());
            QFile::remove(theirs);
            failed |= ms < 0;
            curlTimes.push_back(ms / 1000);
            return ms;
        };
        std::printf("%-6s %14s %12s %8s\n", "round", "Globewall", "curl -o", "ratio");
        gwbench::alternatingRatios(runs, program, curl);
        const QByteArray errors = gwbench::errorLines(d.program.log());
        if (!errors.isEmpty())
            return fail("the program reported errors", QString::fromLocal8Bit(errors));
    }
    if (failed)
        return fail("a round failed");
    const double o = gwbench::median(ourTimes);
    const double c = gwbench::median(curlTimes);
    std::printf("download of %lld MiB, %d runs: Globewall %.3f s, curl -o %.3f s, ratio %.3f (target <= 1.10)\n",
        static_cast<long long>(mib), runs, o, c, o / c);
    std::fflush(stdout);

    const long bigPeak = peakAfterOneDownload(desktop, lighttpd, big);
    const long smallPeak = peakAfterOneDownload(desktop, lighttpd, QStringLiteral("small.bin"));
    if (bigPeak < 0 || smallPeak < 0)
        return fail("no peak memory");
    std::printf("peak RSS of the program: %ld kB after a %lld MiB download, %ld kB after a 1 MiB one, "
                "difference %.1f MB (target within 10 MB)\n",
        bigPeak, static_cast<long long>(mib), smallPeak, (bigPeak - smallPeak) / 1024.0);
    return 0;
}
