// ConvertAscQuakeToMarker against an awk script writing the same marker file, on a generated
// earthquake list and a generated CSV summary feed (1,000,000 lines each unless given). Runs
// alternate; prints the ratios of the medians (ours / awk's), which should not exceed 1.0 for
// the list and 0.5 for the feed.
#include "downloads/QuakeMarkers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <vector>

namespace {

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
// with commas, some with quotes of their own.
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
            "2026-12-%02dT%02d:%02d:%02d.%03dZ,%s,%s,%.2f,%s,ml,12,80,0.05,0.2,ak,ak0261%05d,"
            "2026-12-07T10:00:00.000Z,%s,earthquake,0.3,0.5,0.1,9,automatic,ak,ak\n",
            1 + i % 28, i % 24, i % 60, (i * 7) % 60, i % 1000, lat, lon, random.bounded(70000) / 100.0, mag,
            i % 100000, places[random.bounded(5)]);
        text.append(line, n);
    }
    return text;
}

double runOurs(const QString& asc, const QString& marker)
{
    QElapsedTimer t;
    t.start();
    gw::ConvertAscQuakeToMarker(asc, marker);
    return t.nsecsElapsed() / 1e9;
}

double runAwk(const QString& script, const QString& asc, const QString& marker)
{
    QElapsedTimer t;
    t.start();
    QProcess awk;
    awk.setStandardOutputFile(marker);
    awk.start(QStringLiteral("awk"), { QStringLiteral("-f"), script, asc });
    if (!awk.waitForFinished(-1) || awk.exitCode() != 0) {
        std::fprintf(stderr, "awk failed: %s\n", awk.readAllStandardError().constData());
        std::exit(2);
    }
    return t.nsecsElapsed() / 1e9;
}

QByteArray read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Result
{
    double ours, awk;
};

// Alternating runs of both conversions of `text`; exits when their outputs differ.
Result compare(const QTemporaryDir& dir, const QString& name, const QByteArray& text, const QString& script, int rounds)
{
    const QString input = dir.filePath(name);
    {
        QFile f(input);
        if (!f.open(QIODevice::WriteOnly) || f.write(text) < 0)
            std::exit(2);
    }
    const QString ours = dir.filePath(QStringLiteral("ours.marker"));
    const QString theirs = dir.filePath(QStringLiteral("awk.marker"));
    std::vector<double> oursTimes, awkTimes;
    for (int round = 0; round < rounds; ++round) {
        oursTimes.push_back(runOurs(input, ours));
        awkTimes.push_back(runAwk(script, input, theirs));
        if (round == 0 && read(ours) != read(theirs)) {
            const QList<QByteArray> a = read(ours).split('\n'), b = read(theirs).split('\n');
            qsizetype i = 0;
            while (i < a.size() && i < b.size() && a[i] == b[i])
                ++i;
            std::fprintf(stderr, "%s: outputs differ at line %lld:\n%s\n%s\n", qPrintable(name), qlonglong(i + 1),
                a.value(i).constData(), b.value(i).constData());
            std::exit(1);
        }
    }
    return { median(oursTimes), median(awkTimes) };
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    QTemporaryDir dir;

    const Result list
        = compare(dir, QStringLiteral("quake.asc"), generateList(lines), QStringLiteral(GW_QUAKE_AWK), rounds);
    std::printf("quake: %d lines, ConvertAscQuakeToMarker %.3f s, awk %.3f s, ratio %.3f (target <= 1.0)\n", lines,
        list.ours, list.awk, list.ours / list.awk);
    const Result feed
        = compare(dir, QStringLiteral("quake.csv"), generateFeed(lines), QStringLiteral(GW_QUAKE_CSV_AWK), rounds);
    std::printf("quake feed: %d records, CSV to markers %.3f s, awk %.3f s, ratio %.3f (target <= 0.5)\n", lines - 1,
        feed.ours, feed.awk, feed.ours / feed.awk);
    return 0;
}
