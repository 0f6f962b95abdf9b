// The aurora and storm markers as the real xplanet draws them, on a black map in the
// rectangular projection, where a pixel's place tells its latitude and longitude.
#include "FeedsRig.h"
#include "feeds/FeedConversion.h"
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
