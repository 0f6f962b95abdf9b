// What the aurora layer costs: the shipped program fetching the full forecast grid (65,160
// points, an oval of 10 to 90 % around both poles) and writing its markers, against one xplanet
// render at 1920x1080 that draws those markers. The program (support/FeedDownload.h) has the
// forecast's address as a row of its download list, asks through lighttpd on loopback as its
// proxy, and is asked to check all downloads through its instance socket; its round runs from
// the request until the marker file is moved into place (the unchanged cloud map's HEAD
// request, the row's, the transfer, the conversion). The render is xplanet alone with the
// markers in the earth's section, written to a file. Rounds alternate; prints the ratio of the
// medians (the program's / the render's), whose target is below 0.10.
//
//   bench_aurora [runs, default 5]
#include "support/BenchSupport.h"
#include "support/FeedDownload.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

namespace {

const QString kBuilt = QStringLiteral(GW_BINARY_DIR "/src/app/Globewall");

// The forecast as the service writes it: every degree of longitude and latitude, the
// probability highest on a ring about 23 degrees from each magnetic pole.
QByteArray generateGrid()
{
    QByteArray json = R"({"Observation Time": "2026-12-08T08:00:00Z", "Forecast Time": "2026-12-08T08:30:00Z", )"
                      R"("Data Format": "[Longitude, Latitude, Aurora]", "coordinates": [)";
    QRandomGenerator random(11);
    for (int lon = 0; lon < 360; ++lon)
        for (int lat = -90; lat <= 90; ++lat) {
            const double ring = 67 + 5 * std::cos((lon - 290) * M_PI / 180);
            const double distance = std::abs(std::abs(lat) - ring);
            const int percent = distance > 6 ? 0 : int(90 - distance * 13) - int(random.bounded(10));
            json += '[' + QByteArray::number(lon) + ", " + QByteArray::number(lat) + ", "
                + QByteArray::number(std::max(0, percent)) + "], ";
        }
    json.chop(2);
    return json + "]}";
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    // The program converts only what comes from the service's own address.
    const QString address = QStringLiteral("http://services.swpc.noaa.gov/json/ovation_aurora_latest.json");
    gwbench::FeedSite site;
    QString error;
    if (!site.start({ { address, generateGrid() } }, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    gwbench::FeedDownload program(site, kBuilt, address);
    if (!program.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QString marker = program.markerFile();

    // xplanet's home with the markers, and the earth's section naming them.
    QTemporaryDir home;
    const QString config = home.filePath(QStringLiteral("aurora-config"));
    const QString picture = home.filePath(QStringLiteral("render.png"));
    if (!QDir().mkpath(home.filePath(QStringLiteral(".xplanet/markers")))
        || !QFile::copy(marker, home.filePath(QStringLiteral(".xplanet/markers/aurora.marker")))
        || !gwbench::writeFile(config, "[earth]\nmarker_file=aurora.marker\n")) {
        std::fprintf(stderr, "cannot set up xplanet's folder\n");
        return 1;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    bool renderFailed = false;
    auto render = [&] {
        QFile::remove(picture);
        const double ms = gwbench::timedRun(QStringLiteral("xplanet"),
            { QStringLiteral("-num_times"), QStringLiteral("1"), QStringLiteral("-geometry"),
                QStringLiteral("1920x1080"), QStringLiteral("-config"), config, QStringLiteral("-latitude"),
                QStringLiteral("60"), QStringLiteral("-output"), picture },
            env);
        renderFailed |= ms < 0 || !QFileInfo(picture).isFile();
        return ms;
    };

    std::printf("%-6s %14s %12s %8s\n", "round", "Globewall", "xplanet", "ratio");
    const gwbench::Medians medians = gwbench::alternatingMedians(
        runs, [&] { return program.round(); }, render);
    const bool failed = renderFailed || program.failed();
    const QByteArray errors = program.errors();
    if (failed || !errors.isEmpty()) {
        std::fprintf(stderr, "%s%s\n", failed ? "a round failed\n" : "", errors.constData());
        return 1;
    }
    QFile markers(marker);
    const qint64 points = markers.open(QIODevice::ReadOnly) ? markers.readAll().count('\n') : 0;
    const double globewall = medians.ours / 1000, xplanet = medians.reference / 1000;
    std::printf("aurora: 65160 grid points, %lld markers, Globewall %.3f s, xplanet at 1920x1080 %.3f s, ratio %.3f "
                "(target < 0.10)\n",
        static_cast<long long>(points), globewall, xplanet, globewall / xplanet);
    return 0;
}
