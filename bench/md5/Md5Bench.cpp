// The cloud map download with its MD5 check by the shipped program against what a user would do
// by hand: `curl -o` of the map, `curl -o` of its sum and `md5sum` of the map. The program
// (support/ProgramDownload.h) fetches the built-in cloud map address with "check MD5 of
// Cloudfile" on, through lighttpd on loopback as its proxy; the reference asks the same
// addresses through the same proxy. Each of the program's rounds runs from the request to check
// all downloads until the map is moved into place: the map's HEAD request, its transfer, the
// transfer of the sum, the hashing, the picture check and the rename. Both sides fetch and hash
// the same bytes, so the ratio of the medians (target at most 1.10) is the cost of the program's
// way over the tools'.
//
// The hashing alone is a small part of that time, so it is also given on its own: a second copy
// of the program with the check off fetches the same map in the same rounds, and the difference
// of the two medians is set against `md5sum` of the map alone.
//
//   bench_md5 [size of the map in MiB, default 512] [runs, default 5]
#include "ServerProcess.h"
#include "support/BenchSupport.h"
#include "support/ProgramDownload.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

const QString kBuilt = QStringLiteral(GW_BINARY_DIR "/src/app/Globewall");
// The built-in addresses the program compares exactly: only this map has a sum to check.
const QString kMap = QStringLiteral("http://xplanet.sourceforge.net/clouds_2000.jpg");
const QString kSum = QStringLiteral("http://xplanet.sourceforge.net/md5sum");
const QString kName = QStringLiteral("clouds_2000.jpg");

int fail(const char* what, const QString& detail = {})
{
    std::fprintf(stderr, "%s%s%s\n", what, detail.isEmpty() ? "" : ": ", qPrintable(detail));
    return 1;
}

struct MapDownloader
{
    MapDownloader(const gwbench::DownloadDesktop& desktop, quint16 proxy, bool checkMd5)
        : program(desktop, kBuilt)
        , folder(program.folder(QStringLiteral("maps")))
        , watch(folder)
    {
        settings.cloudUrl = kMap;
        settings.cloudDestination = folder + QLatin1Char('/') + kName;
        settings.checkMd5 = checkMd5;
        settings.proxyPort = proxy;
    }
    double round(bool* failed)
    {
        QFile::remove(settings.cloudDestination);
        const double ms = program.checkAll(watch, kName);
        *failed |= ms < 0;
        return ms;
    }
    gwbench::DownloadingProgram program;
    QString folder;
    gwbench::FolderWatch watch;
    gwbench::DownloadSettings settings;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 mib = argc > 1 ? std::max(1LL, QByteArray(argv[1]).toLongLong()) : 512;
    const int runs = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 5;

    QTemporaryDir www;
    QTemporaryDir reference;
    const QString served = www.filePath(kName);
    if (!gwbench::writeCloudMap(served, mib * 1024 * 1024))
        return fail("cannot write the cloud map");
    const QString digest = gwbench::md5HexOf(served);
    QFile sum(www.filePath(QStringLiteral("md5sum")));
    if (digest.isEmpty() || !sum.open(QIODevice::WriteOnly) || sum.write(digest.toLatin1() + '\n') < 0)
        return fail("cannot write the MD5 sum");
    sum.close();
    gwtest::LighttpdFixture lighttpd(www.path());
    if (!lighttpd.start())
        return fail("no lighttpd", lighttpd.error());
    gwbench::DownloadDesktop desktop;
    QString error;
    if (!desktop.start(&error))
        return fail("no desktop", error);

    MapDownloader checked(desktop, lighttpd.port(), true);
    MapDownloader unchecked(desktop, lighttpd.port(), false);
    for (MapDownloader* d : { &checked, &unchecked }) {
        if (!d->watch.ok() || !d->program.start(d->settings, &error))
            return fail("the program did not start", error);
        bool failed = false;
        if (d->round(&failed) < 0) // the first fetch records the map's date
            return fail("the program did not download the map", QString::fromLocal8Bit(d->program.log()));
    }

    const QString proxy = QStringLiteral("http://127.0.0.1:%1").arg(lighttpd.port());
    const QString theirMap = reference.filePath(kName);
    const QString theirSum = reference.filePath(QStringLiteral("clouds_2000.md5"));
    const QProcessEnvironment env = checked.program.environment();
    bool failed = false;
    bool digestsAgree = true;
    std::vector<double> withCheck, withoutCheck, md5sumAlone, byHand;
    auto program = [&] {
        const double ms = checked.round(&failed);
        withCheck.push_back(ms / 1000);
        withoutCheck.push_back(unchecked.round(&failed) / 1000);
        return ms;
    };
    auto tools = [&] {
        const QStringList curl { QStringLiteral("-s"), QStringLiteral("-x"), proxy, QStringLiteral("-o") };
        const QString md5sumOutput = reference.filePath(QStringLiteral("md5sum.out"));
        const double fetchMap = gwbench::timedRun(QStringLiteral("curl"), curl + QStringList { theirMap, kMap }, env);
        const double fetchSum = gwbench::timedRun(QStringLiteral("curl"), curl + QStringList { theirSum, kSum }, env);
        const double hash = gwbench::timedRun(QStringLiteral("md5sum"), { theirMap }, env, md5sumOutput);
        failed |= fetchMap < 0 || fetchSum < 0 || hash < 0;
        QFile out(md5sumOutput);
        QFile expected(theirSum);
        digestsAgree &= out.open(QIODevice::ReadOnly) && expected.open(QIODevice::ReadOnly)
            && out.readAll().left(32) == expected.readAll().trimmed();
        QFile::remove(theirMap);
        QFile::remove(theirSum);
        md5sumAlone.push_back(hash / 1000);
        byHand.push_back((fetchMap + fetchSum + hash) / 1000);
        return fetchMap + fetchSum + hash;
    };
    std::printf("%-6s %14s %12s %8s\n", "round", "Globewall", "by hand", "ratio");
    gwbench::alternatingRatios(runs, program, tools);

    const QByteArray log = checked.program.log();
    const QByteArray errors = gwbench::errorLines(log) + gwbench::errorLines(unchecked.program.log());
    if (failed || !errors.isEmpty())
        return fail("a round failed", QString::fromLocal8Bit(errors));
    if (!digestsAgree)
        return fail("md5sum disagrees with the served sum");
    // Each round of the checked copy, and its first fetch, must have checked the sum.
    if (log.count("Correct MD5 sum") != runs + 1)
        return fail("the program did not check every map's sum", QString::fromLocal8Bit(log));

    const double o = gwbench::median(withCheck);
    const double h = gwbench::median(byHand);
    const double share = o - gwbench::median(withoutCheck);
    const double m = gwbench::median(md5sumAlone);
    std::printf("cloud map of %lld MiB with its MD5 check, %d runs: Globewall %.3f s, curl -o and md5sum %.3f s, "
                "ratio %.3f (target <= 1.10)\n",
        static_cast<long long>(mib), runs, o, h, o / h);
    std::printf("MD5 of %lld MiB, %d runs: ours %.3f s (with the check minus without), md5sum %.3f s, ratio %.3f\n",
        static_cast<long long>(mib), runs, share, m, share / m);
    return 0;
}
