// What the storm layer costs: the shipped program fetching 5,000 observations of the natural
// event tracker's storms (100 storms of 50 positions each) and writing their markers and tracks,
// against one xplanet render at 1920x1080 that draws those markers and arcs. The program
// (support/FeedDownload.h) has the tracker's storm address as the one row of its download list,
// asks through lighttpd on loopback as its proxy, and is asked to check all downloads through
// its instance socket; its round runs from the request until the marker file is moved into
// place (the arc file is moved just before it). Rounds alternate; prints the ratio of the
// medians (the program's / the render's), whose target is below 0.10.
//
//   bench_events [runs, default 5]
#include "support/BenchSupport.h"
#include "support/FeedDownload.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

namespace {

const QString kBuilt = QStringLiteral(GW_BINARY_DIR "/src/app/Globewall");
constexpr int kStorms = 100;
constexpr int kPositions = 50;

// Storms as the tracker lists them: each observation a feature, six hours apart, moving west
// and poleward as they strengthen.
QByteArray generateEvents()
{
    QByteArray json = R"({"title":"EONET Events","type":"FeatureCollection","features":[)";
    QRandomGenerator random(7);
    for (int s = 0; s < kStorms; ++s) {
        double lat = (s % 2 ? -1 : 1) * (8 + random.bounded(10));
        double lon = -180 + random.bounded(360);
        for (int p = 0; p < kPositions; ++p) {
            lat += lat > 0 ? 0.3 : -0.3;
            lon = lon - 0.8 < -180 ? lon + 359.2 : lon - 0.8;
            const int knots = 25 + (p * 3) % 130;
            const int hour = p * 6;
            json += R"({"type":"Feature","properties":{"id":"EONET_)" + QByteArray::number(10000 + s)
                + R"(","title":"Tropical Cyclone Storm)" + QByteArray::number(s) + R"(","date":"2026-09-)"
                + QByteArray::number(1 + hour / 24).rightJustified(2, '0') + 'T'
                + QByteArray::number(hour % 24).rightJustified(2, '0') + R"(:00:00Z","magnitudeValue":)"
                + QByteArray::number(knots)
                + R"(,"magnitudeUnit":"kts","categories":[{"id":"severeStorms","title":"Severe Storms"}],)"
                  R"("sources":[{"id":"JTWC","url":"https://example.org/"}]},"geometry":{"type":"Point","coordinates":[)"
                + QByteArray::number(lon, 'f', 2) + ',' + QByteArray::number(lat, 'f', 2) + "]}},";
        }
    }
    json.chop(1);
    return json + "]}";
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    // The program converts only what comes from the service's own address.
    const QString address
        = QStringLiteral("http://eonet.gsfc.nasa.gov/api/v3/events/geojson?status=open&category=severeStorms");
    gwbench::FeedSite site;
    QString error;
    if (!site.start({ { address, generateEvents() } }, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    gwbench::FeedDownload program(site, kBuilt, address, QStringLiteral("storm-events.json"));
    if (!program.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QString marker = program.markerFile();
    const QString arc = program.environment().value(QStringLiteral("HOME")) + "/.xplanet/arcs/storm-events.arc";

    // xplanet's home with the markers and tracks, and the earth's section naming them.
    QTemporaryDir home;
    const QString config = home.filePath(QStringLiteral("events-config"));
    const QString picture = home.filePath(QStringLiteral("render.png"));
    if (!QDir().mkpath(home.filePath(QStringLiteral(".xplanet/markers")))
        || !QDir().mkpath(home.filePath(QStringLiteral(".xplanet/arcs")))
        || !QFile::copy(marker, home.filePath(QStringLiteral(".xplanet/markers/storms.marker")))
        || !QFile::copy(arc, home.filePath(QStringLiteral(".xplanet/arcs/storms.arc")))
        || !gwbench::writeFile(config, "[earth]\nmarker_file=storms.marker\narc_file=storms.arc\n")) {
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
                QStringLiteral("1920x1080"), QStringLiteral("-config"), config, QStringLiteral("-output"), picture },
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
    QFile markers(marker), arcs(arc);
    const qint64 storms = markers.open(QIODevice::ReadOnly) ? markers.readAll().count('\n') : 0;
    const qint64 segments = arcs.open(QIODevice::ReadOnly) ? arcs.readAll().count('\n') : 0;
    const double globewall = medians.ours / 1000, xplanet = medians.reference / 1000;
    std::printf("events: %d observations, %lld storms, %lld track segments, Globewall %.3f s, xplanet at 1920x1080 "
                "%.3f s, ratio %.3f (target < 0.10)\n",
        kStorms * kPositions, static_cast<long long>(storms), static_cast<long long>(segments), globewall, xplanet,
        globewall / xplanet);
    return 0;
}
