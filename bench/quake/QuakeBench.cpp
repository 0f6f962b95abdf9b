// ConvertAscQuakeToMarker against an awk script writing the same marker file, on a generated
// earthquake list (1,000,000 lines unless given). Runs alternate; prints the ratio of the
// medians (ours / awk's), which should not exceed 1.0.
#include "downloads/QuakeMarkers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray generateList(int lines)
{
    QByteArray text = "Earthquakes of the last days\n\n  yy/mm/dd hh:mm:ss    lat     lon   dep mag         region\n";
    text.reserve(qsizetype(lines) * 80);
    QRandomGenerator random(42);
    static const char* regions[] = {"HONSHU, JAPAN", "NEAR COAST OF PERU", "SOUTHERN ALASKA", "FIJI ISLANDS REGION",
                                    "CENTRAL MID-ATLANTIC RIDGE", "SOUTHERN GREECE", "KERMADEC ISLANDS, NEW ZEALAND"};
    char line[160];
    for (int i = 3; i < lines; ++i) {
        const double lat = random.bounded(9000) / 100.0;
        const double lon = random.bounded(18000) / 100.0;
        const int n = std::snprintf(line, sizeof line, "24/01/%02d %02d:%02d:%02d%7.2f%c%7.2f%c%6.1f %3.1f   A  %s\n",
                                    1 + i % 28, i % 24, i % 60, (i * 7) % 60, lat, random.bounded(2) ? 'S' : 'N', lon,
                                    random.bounded(2) ? 'W' : 'E', random.bounded(7000) / 10.0,
                                    4.0 + random.bounded(40) / 10.0, regions[random.bounded(7)]);
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
    awk.start(QStringLiteral("awk"), {QStringLiteral("-f"), script, asc});
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const QString script = QStringLiteral(GW_QUAKE_AWK);

    QTemporaryDir dir;
    const QString asc = dir.filePath(QStringLiteral("quake.asc"));
    {
        QFile f(asc);
        if (!f.open(QIODevice::WriteOnly) || f.write(generateList(lines)) < 0)
            return 2;
    }
    const QString ours = dir.filePath(QStringLiteral("ours.marker"));
    const QString theirs = dir.filePath(QStringLiteral("awk.marker"));

    std::vector<double> oursTimes, awkTimes;
    for (int round = 0; round < rounds; ++round) {
        oursTimes.push_back(runOurs(asc, ours));
        awkTimes.push_back(runAwk(script, asc, theirs));
        if (round == 0 && read(ours) != read(theirs)) {
            std::fprintf(stderr, "outputs differ\n");
            return 1;
        }
    }
    const double a = median(oursTimes);
    const double b = median(awkTimes);
    std::printf("quake: %d lines, ConvertAscQuakeToMarker %.3f s, awk %.3f s, ratio %.3f (target <= 1.0)\n", lines, a,
                b, a / b);
    return 0;
}
