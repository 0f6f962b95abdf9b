// The earthquake download by the shipped program against `curl -o` and an awk script writing the
// same marker file, for the old fixed-column list and for the summary feed (CSV), generated with
// the given number of lines. The program (support/FeedDownload.h) has the built-in address as
// a row of its download list and converts what it fetched to a marker file beside it; it asks
// through lighttpd on loopback as its proxy, and curl asks for the same address through the same
// proxy. The program's round runs from the request to check all downloads until the marker file
// is moved into place (the unchanged small cloud map's HEAD request, the row's HEAD request, the
// transfer, the conversion); the reference's is curl's transfer and awk's conversion. Runs
// alternate; prints the ratios of the medians (the program's / the tools'), whose targets are at
// most 1.0 for the list and 0.5 for the feed. The two marker files must be the same.
//
// The program converts feeds of at most 64 MiB and 200,000 records, so the default stays below.
//
//   bench_quake [lines, default 100000] [runs, default 5]
#include "support/BenchSupport.h"
#include "support/FeedDownload.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <charconv>
#include <cstdio>

namespace {

const QString kBuilt = QStringLiteral(GW_BINARY_DIR "/src/app/Globewall");

QByteArray generateList(int lines)
{
    QByteArray text = "Earthquakes of the last days\n\n  yy/mm/dd hh:mm:ss    lat     lon   dep mag         region\n";
    text.reserve(qsizetype(lines) * 80);
    QRandomGenerator random(42);
    static const char* regions[] = { "HONSHU, JAPAN", "NEAR COAST OF PERU", "SOUTHERN ALASKA", "FIJI ISLANDS REGION",
        "CENTRAL MID-ATLANTIC RIDGE", "SOUTHERN GREECE", "KERMADEC ISLANDS, NEW ZEALAND" };
    char line[160];
    for (int i = 3; i < lines; ++i) {
        const double lat = random.bounded(9000) / 100.0;
        const double lon = random.bounded(18000) / 100.0;
        const int n = std::snprintf(line, sizeof line, "24/01/%02d %02d:%02d:%02d%7.2f%c%7.2f%c%6.1f %3.1f   A  %s\n",
            1 + i % 28, i % 24, i % 60, (i * 7) % 60, lat, random.bounded(2) ? 'S' : 'N', lon,
            random.bounded(2) ? 'W' : 'E', random.bounded(7000) / 10.0, 4.0 + random.bounded(40) / 10.0,
            regions[random.bounded(7)]);
        text.append(line, n);
    }
    return text;
}

// The feed's columns as the service writes them; every tenth magnitude missing, places quoted
// with commas, some with quotes of their own. The quakes are years old: all of one colour.
QByteArray generateFeed(int lines)
{
    QByteArray text = "time,latitude,longitude,depth,mag,magType,nst,gap,dmin,rms,net,id,updated,place,type,"
                      "horizontalError,depthError,magError,magNst,status,locationSource,magSource\n";
    text.reserve(qsizetype(lines) * 190);
    QRandomGenerator random(7);
    static const char* places[]
        = { "\"5 km NW of The Geysers, CA\"", "\"Fiji region\"", "\"120 km SSE of \"\"Kokopo\"\", Papua New Guinea\"",
              "\"Central Alaska\"", "\"South Sandwich Islands region\"" };
    char line[400];
    char lat[32], lon[32];
    for (int i = 1; i < lines; ++i) {
        // Shortest decimal texts, as the service writes them and the conversion prints them.
        *std::to_chars(lat, lat + 31, (random.bounded(1800000) - 900000) / 10000.0, std::chars_format::fixed).ptr
            = '\0';
        *std::to_chars(lon, lon + 31, (random.bounded(3600000) - 1800000) / 10000.0, std::chars_format::fixed).ptr
            = '\0';
        char mag[16] = "";
        if (i % 10)
            std::snprintf(mag, sizeof mag, "%.2f", random.bounded(800) / 100.0);
        const int n = std::snprintf(line, sizeof line,
            "2020-12-%02dT%02d:%02d:%02d.%03dZ,%s,%s,%.2f,%s,ml,12,80,0.05,0.2,ak,ak0261%05d,"
            "2020-12-07T10:00:00.000Z,%s,earthquake,0.3,0.5,0.1,9,automatic,ak,ak\n",
            1 + i % 28, i % 24, i % 60, (i * 7) % 60, i % 1000, lat, lon, random.bounded(70000) / 100.0, mag,
            i % 100000, places[random.bounded(5)]);
        text.append(line, n);
    }
    return text;
}

QByteArray read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The first line where two marker files differ, or empty.
QString firstDifference(const QByteArray& ours, const QByteArray& theirs)
{
    if (ours == theirs)
        return {};
    const QList<QByteArray> a = ours.split('\n'), b = theirs.split('\n');
    qsizetype i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    return QStringLiteral("line %1:\n%2\n%3")
        .arg(i + 1)
        .arg(QString::fromUtf8(a.value(i)), QString::fromUtf8(b.value(i)));
}

struct Result
{
    double ours = -1;
    double tools = -1;
};

// Alternating rounds of the program and of curl with awk on the built-in address `address`;
// negative times when a round failed or the marker files differ.
Result compare(const gwbench::FeedSite& site, const QString& address, const QString& script, int runs)
{
    const QString name = address.section(QLatin1Char('/'), -1);
    gwbench::FeedDownload program(site, kBuilt, address);
    QString error;
    if (!program.start(&error)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(error));
        return {};
    }

    QTemporaryDir reference;
    const QString theirList = reference.filePath(name);
    const QString theirMarker = reference.filePath(QFileInfo(program.markerFile()).fileName());
    bool toolsFailed = false;
    auto tools = [&] {
        const double fetch = gwbench::timedRun(QStringLiteral("curl"),
            { QStringLiteral("-s"), QStringLiteral("-x"), site.proxy(), QStringLiteral("-o"), theirList, address },
            program.environment());
        const double convert = gwbench::timedRun(
            QStringLiteral("awk"), { QStringLiteral("-f"), script, theirList }, program.environment(), theirMarker);
        toolsFailed |= fetch < 0 || convert < 0;
        return fetch + convert;
    };
    std::printf("%s\n%-6s %14s %12s %8s\n", qPrintable(name), "round", "Globewall", "curl, awk", "ratio");
    const gwbench::Medians medians = gwbench::alternatingMedians(
        runs, [&] { return program.round(); }, tools);
    const bool failed = toolsFailed || program.failed();
    const QString difference = firstDifference(read(program.markerFile()), read(theirMarker));
    const QByteArray errors = program.errors();
    if (failed || !errors.isEmpty() || !difference.isEmpty()) {
        std::fprintf(stderr, "%s: %s%s%s\n", qPrintable(name), failed ? "a round failed\n" : "", errors.constData(),
            difference.isEmpty() ? "" : qPrintable(QStringLiteral("the marker files differ at ") + difference));
        return {};
    }
    return { medians.ours / 1000, medians.reference / 1000 };
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(10, std::atoi(argv[1])) : 100000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    // The program converts only what comes from these built-in addresses.
    const QString list = QStringLiteral("http://earthquake.usgs.gov/neis/finger/quake.asc");
    const QString feed = QStringLiteral("http://earthquake.usgs.gov/earthquakes/feed/v1.0/summary/2.5_week.csv");
    gwbench::FeedSite site;
    QString error;
    if (!site.start({ { list, generateList(lines) }, { feed, generateFeed(lines) } }, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    const Result fixed = compare(site, list, QStringLiteral(GW_QUAKE_AWK), runs);
    if (fixed.ours < 0)
        return 1;
    std::printf("quake: %d lines, Globewall %.3f s, curl -o and awk %.3f s, ratio %.3f (target <= 1.0)\n", lines,
        fixed.ours, fixed.tools, fixed.ours / fixed.tools);
    std::fflush(stdout);
    const Result csv = compare(site, feed, QStringLiteral(GW_QUAKE_CSV_AWK), runs);
    if (csv.ours < 0)
        return 1;
    std::printf("quake feed: %d records, Globewall %.3f s, curl -o and awk %.3f s, ratio %.3f (target <= 0.5)\n",
        lines - 1, csv.ours, csv.tools, csv.ours / csv.tools);
    return 0;
}
