// The layers' markers and tracks as the real xplanet draws them, on a black map in the
// rectangular projection, where a pixel's place tells its latitude and longitude.
#include "FeedsRig.h"
#include "feeds/FeedConversion.h"
#include "feeds/StormLayer.h"
#include "support/TempDir.h"

#include <QDir>
#include <QStandardPaths>

using namespace gw;
using gwtest::countPixels;

namespace {

constexpr int kWidth = 1440; // 4 pixels a degree
constexpr int kHeight = 720;

// The whole 1-degree grid as the forecast gives it: 60 to 80 % between 65 and 70 degrees north,
// nothing elsewhere.
QByteArray auroraBand()
{
    QByteArray points;
    for (int lon = 0; lon < 360; ++lon)
        for (int lat = -90; lat <= 90; ++lat) {
            const int percent = lat >= 65 && lat <= 70 ? 60 + (lon % 21) : 0;
            points += '[' + QByteArray::number(lon) + ',' + QByteArray::number(lat) + ',' + QByteArray::number(percent)
                + "],";
        }
    points.chop(1);
    return gwtest::aurora(points);
}

int column(double longitude)
{
    return int((longitude + 180) / 360 * kWidth);
}
int row(double latitude)
{
    return int((90 - latitude) / 180 * kHeight);
}

bool isGreenToRed(const QColor& p)
{
    return p.blue() < 90 && (p.red() > 150 || p.green() > 150);
}

} // namespace

TEST(RenderLayers, TheAuroraBandAndTheStormsAreDrawnWhereTheFeedsPutThem)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xplanet")).isEmpty())
        GTEST_SKIP() << "xplanet is not installed";
    gwtest::TempDir home;
    const QString markers = home.path() + "/.xplanet/markers/";
    const QString images = home.path() + "/.xplanet/images/";
    ASSERT_TRUE(QDir().mkpath(markers) && QDir().mkpath(images));
    QImage black(kWidth, kHeight, QImage::Format_RGB32);
    black.fill(Qt::black);
    ASSERT_TRUE(black.save(images + "black.png"));

    const QString auroraFeed = home.write("aurora.json", auroraBand());
    const feeds::Outcome aurora = feeds::convertFile(feeds::Kind::Aurora, auroraFeed, markers + "aurora.marker");
    ASSERT_EQ(aurora.status, feeds::Outcome::Written) << aurora.error.toStdString();
    EXPECT_EQ(aurora.markers, 360 * 6);
    const feeds::Outcome storms = feeds::convertFile(
        feeds::Kind::Storms, gwtest::testData("feeds/CurrentStorms.json"), markers + "storms.marker");
    ASSERT_EQ(storms.status, feeds::Outcome::Written) << storms.error.toStdString();
    ASSERT_EQ(storms.markers, 2);

    const QString config = home.write("layers",
        "[default]\nshade=100\n[earth]\nmap=black.png\n"
        "marker_file=aurora.marker\nmarker_file=storms.marker\n");
    const QImage image = gwtest::renderOnce(home.path(),
        { "-geometry", QString("%1x%2").arg(kWidth).arg(kHeight), "-config", config, "-projection", "rectangular",
            "-longitude", "0", "-date", "20260908.120000" });
    ASSERT_EQ(image.size(), QSize(kWidth, kHeight));

    // The band: every stretch of 10 degrees of longitude holds green-to-red points, and both
    // ends of the scale are there.
    const QRect band(0, row(70.5), kWidth, row(64.5) - row(70.5));
    for (int lon = -180; lon < 180; lon += 10) {
        const QRect stretch(column(lon), band.top(), column(lon + 10) - column(lon), band.height());
        EXPECT_GT(countPixels(image, stretch, isGreenToRed), 20) << "band at " << lon << " degrees";
    }
    EXPECT_GT(
        countPixels(image, band, [](const QColor& p) { return p.green() > 200 && p.red() > 120 && p.blue() < 90; }), 50)
        << "yellow-green of 60 %";
    EXPECT_GT(
        countPixels(image, band, [](const QColor& p) { return p.red() > 200 && p.green() > 120 && p.blue() < 90; }), 50)
        << "orange of 80 %";

    // The storms: a marker and a label in the storm's colour beside its position (xplanet puts
    // the label on whichever side has room).
    const auto near = [](double lat, double lon) { return QRect(column(lon) - 180, row(lat) - 16, 360, 32); };
    const auto red = [](const QColor& p) { return p.red() > 180 && p.green() < 80 && p.blue() < 60; };
    const auto yellow = [](const QColor& p) { return p.red() > 200 && p.green() > 200 && p.blue() < 60; };
    EXPECT_GT(countPixels(image, near(25, -70), red), 30) << "Franklin (category 4)";
    EXPECT_GT(countPixels(image, near(-20, 150), yellow), 30) << "Hilary (tropical storm)";

    // Nothing where the feeds have nothing: above and below the band, away from the storms.
    QImage rest = image;
    for (const QRect& drawn : { QRect(0, band.top() - 6, kWidth, band.height() + 12), near(25, -70), near(-20, 150) })
        for (int y = std::max(0, drawn.top()); y <= std::min(kHeight - 1, drawn.bottom()); ++y)
            for (int x = std::max(0, drawn.left()); x <= std::min(kWidth - 1, drawn.right()); ++x)
                rest.setPixelColor(x, y, Qt::black);
    EXPECT_EQ(countPixels(rest, rest.rect(), [](const QColor& p) { return p.red() > 60 || p.green() > 60; }), 0)
        << "coloured pixels outside the band and the storms";
}

TEST(RenderLayers, StormTracksVolcanoesAndOnlyStrongQuakesAreLabelledWhereTheFeedsPutThem)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xplanet")).isEmpty())
        GTEST_SKIP() << "xplanet is not installed";
    gwtest::TempDir home;
    const QString markers = home.path() + "/.xplanet/markers/";
    const QString arcs = home.path() + "/.xplanet/arcs/";
    const QString images = home.path() + "/.xplanet/images/";
    ASSERT_TRUE(QDir().mkpath(markers) && QDir().mkpath(arcs) && QDir().mkpath(images));
    QImage black(kWidth, kHeight, QImage::Format_RGB32);
    black.fill(Qt::black);
    ASSERT_TRUE(black.save(images + "black.png"));

    const feeds::StormOutcome storms = feeds::convertStorms({ gwtest::testData("feeds/CurrentStorms.json"),
        gwtest::testData("feeds/eonet-storms.json"), markers + "storms.marker", arcs + "storms.arc" });
    ASSERT_EQ(storms.status, feeds::Outcome::Written) << storms.error.toStdString();
    const feeds::Outcome volcanoes = feeds::convertFile(
        feeds::Kind::Volcanoes, gwtest::testData("feeds/eonet-volcanoes.json"), markers + "volcanoes.marker");
    ASSERT_EQ(volcanoes.status, feeds::Outcome::Written) << volcanoes.error.toStdString();
    feeds::Options options;
    options.nowMsecs = 1796637600000LL + 3 * 86400000LL; // the quakes are three days old: yellow
    const QString quakes = home.write("quakes.geojson",
        gwtest::geoJson({ gwtest::geoFeature("[-30,-40]", "2.6", R"("Weak Place")"),
            gwtest::geoFeature("[60,-40]", "6.1", R"("Strong Place")") }));
    ASSERT_EQ(feeds::convertFile(feeds::Kind::Quake, quakes, markers + "quake.marker", options).status,
        feeds::Outcome::Written);

    const QString config = home.write("layers",
        "[default]\nshade=100\n[earth]\nmap=black.png\nmarker_file=storms.marker\narc_file=storms.arc\n"
        "marker_file=volcanoes.marker\nmarker_file=quake.marker\n");
    const QImage image = gwtest::renderOnce(home.path(),
        { "-geometry", QString("%1x%2").arg(kWidth).arg(kHeight), "-config", config, "-projection", "rectangular",
            "-longitude", "0", "-date", "20260902.000000" });
    ASSERT_EQ(image.size(), QSize(kWidth, kHeight));

    const auto near = [](double lat, double lon) { return QRect(column(lon) - 180, row(lat) - 16, 360, 32); };
    const auto at = [](double lat, double lon) { return QRect(column(lon) - 3, row(lat) - 3, 7, 7); };
    const auto deepRed
        = [](const QColor& p) { return p.red() > 160 && p.red() < 230 && p.green() < 40 && p.blue() < 40; };
    const auto yellow = [](const QColor& p) { return p.red() > 200 && p.green() > 200 && p.blue() < 60; };
    const auto orange
        = [](const QColor& p) { return p.red() > 200 && p.green() > 120 && p.green() < 200 && p.blue() < 60; };
    EXPECT_GT(countPixels(image, near(18, 130), deepRed), 30) << "Bebinca (category 4) at its latest position";
    // Its track: yellow while a tropical storm, orange once a typhoon, along each segment.
    for (double f : { 0.25, 0.5, 0.75 }) {
        EXPECT_GT(countPixels(image, at(12 + 3 * f, 140 - 5 * f), yellow), 2) << "first segment at " << f;
        EXPECT_GT(countPixels(image, at(15 + 3 * f, 135 - 5 * f), orange), 2) << "second segment at " << f;
    }
    EXPECT_GT(countPixels(image, near(37.75, 15), orange), 30) << "Etna Volcano";
    EXPECT_GT(countPixels(image, near(19.42, -155.29), orange), 30) << "Kilauea Volcano, its polygon's centre";

    // Beside the quakes' markers: a label only for the strong one.
    const auto besideMarker = [&](double lat, double lon) {
        QImage copy = image.copy(near(lat, lon));
        const QRect marker = at(lat, lon).adjusted(-6, -6, 6, 6).translated(-near(lat, lon).topLeft());
        for (int y = marker.top(); y <= marker.bottom(); ++y)
            for (int x = marker.left(); x <= marker.right(); ++x)
                copy.setPixelColor(x, y, Qt::black);
        return countPixels(copy, copy.rect(), yellow);
    };
    EXPECT_EQ(besideMarker(-40, -30), 0) << "magnitude 2.6: no label";
    EXPECT_GT(besideMarker(-40, 60), 30) << "magnitude 6.1: its label";
    EXPECT_GT(countPixels(image, at(-40, -30).adjusted(-6, -6, 6, 6), yellow), 3) << "the weak quake's marker";
}
