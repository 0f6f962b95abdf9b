// The pictures of the two image lists, drawn at the sizes trays use.
#include "desktop/TrayFrames.h"

#include <QPixmap>
#include <gtest/gtest.h>

namespace {

QImage imageOf(const QIcon& icon, int size)
{
    return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
}

qint64 alphaSum(const QImage& img)
{
    qint64 sum = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            sum += qAlpha(img.pixel(x, y));
    return sum;
}

int countPixels(const QImage& img, const std::function<bool(QRgb)>& match)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += match(img.pixel(x, y)) ? 1 : 0;
    return n;
}

int differingPixels(const QImage& a, const QImage& b, int tolerance = 8)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > tolerance || std::abs(qGreen(p) - qGreen(q)) > tolerance
                || std::abs(qBlue(p) - qBlue(q)) > tolerance || std::abs(qAlpha(p) - qAlpha(q)) > tolerance)
                ++n;
        }
    return n;
}

bool yellow(QRgb p)
{
    return qAlpha(p) > 200 && qRed(p) > 200 && qGreen(p) > 170 && qBlue(p) < 90;
}
bool red(QRgb p)
{
    return qAlpha(p) > 200 && qRed(p) > 170 && qGreen(p) < 70 && qBlue(p) < 70;
}

} // namespace

TEST(TrayFrames, ListsHoldTheirImagesAtEverySize)
{
    const gw::ImageList globe = gw::makeDrehenderGlobus();
    const gw::ImageList percent = gw::makeGlobusProzent();
    ASSERT_EQ(globe.count(), 26);
    ASSERT_EQ(percent.count(), 15);
    EXPECT_EQ(globe.name(), QStringLiteral("ilDrehenderGlobus"));
    EXPECT_EQ(percent.name(), QStringLiteral("ilGlobusProzent"));
    for (int size : gw::TrayIconSizes) {
        for (const gw::ImageList* list : { &globe, &percent }) {
            for (int i = 0; i < list->count(); ++i) {
                const QImage img = imageOf(list->image(i), size);
                EXPECT_EQ(img.size(), QSize(size, size)) << list->name().toStdString() << ' ' << i << " at " << size;
                EXPECT_GT(alphaSum(img), 0) << list->name().toStdString() << ' ' << i << " at " << size;
            }
        }
        // Drawn at the size asked for, not scaled from another.
        const auto premultiplied = QImage::Format_ARGB32_Premultiplied;
        EXPECT_EQ(differingPixels(imageOf(globe.image(3), size).convertToFormat(premultiplied),
                      gw::drawGlobe(size, 3 * gw::GlobeTurnStep).convertToFormat(premultiplied), 1),
            0)
            << size;
    }
}

TEST(TrayFrames, TheGlobeTurnsOneFullTurn)
{
    for (int size : gw::TrayIconSizes) {
        const gw::ImageList globe = gw::makeDrehenderGlobus();
        for (int i = 1; i < gw::GlobeTurnFrames; ++i)
            EXPECT_GT(differingPixels(imageOf(globe.image(i - 1), size), imageOf(globe.image(i), size)), 0)
                << "frames " << i - 1 << " and " << i << " at " << size;
        EXPECT_EQ(
            differingPixels(gw::drawGlobe(size, gw::GlobeTurnFrames * gw::GlobeTurnStep), gw::drawGlobe(size, 0), 2), 0)
            << "after 24 frames the globe is back where it started, at " << size;
    }
}

TEST(TrayFrames, BatteryAndCrossedImagesStandApart)
{
    for (int size : gw::TrayIconSizes) {
        const gw::ImageList globe = gw::makeDrehenderGlobus();
        const QImage frame0 = imageOf(globe.image(0), size);
        const QImage battery = imageOf(globe.image(24), size);
        const QImage crossed = imageOf(globe.image(25), size);
        EXPECT_GT(countPixels(battery, yellow), size * size / 20) << "Bat is yellow, at " << size;
        EXPECT_EQ(countPixels(frame0, yellow), 0) << size;
        EXPECT_GT(countPixels(crossed, red), size * size / 20) << "crossed out in red, at " << size;
        EXPECT_EQ(countPixels(frame0, red), 0) << size;
        EXPECT_GT(differingPixels(battery, frame0), size * size / 4) << size;
        EXPECT_GT(differingPixels(crossed, frame0), size) << size;
    }
}

TEST(TrayFrames, PercentFramesFillFromTheBottom)
{
    for (int size : gw::TrayIconSizes) {
        const gw::ImageList percent = gw::makeGlobusProzent();
        const QImage empty = imageOf(percent.image(0), size);
        QImage previous = empty;
        for (int k = 1; k <= gw::PercentSteps; ++k) {
            const QImage img = imageOf(percent.image(k), size);
            EXPECT_GT(alphaSum(img), alphaSum(previous)) << "step " << k << " adds to step " << k - 1 << " at " << size;
            int lessOpaque = 0;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x)
                    lessOpaque += qAlpha(img.pixel(x, y)) + 2 < qAlpha(previous.pixel(x, y)) ? 1 : 0;
            EXPECT_EQ(lessOpaque, 0) << "nothing drawn before disappears, step " << k << " at " << size;
            // Nothing above the fill level: the rows above (k / 14 of the height, plus one) are as empty.
            const int filledRows = size * k / gw::PercentSteps + 1;
            const QImage top = img.copy(0, 0, size, std::max(0, size - filledRows - 1));
            EXPECT_EQ(differingPixels(top, empty.copy(top.rect())), 0) << "step " << k << " at " << size;
            previous = img;
        }
        EXPECT_EQ(differingPixels(previous, gw::drawGlobe(size, 0), 60), 0)
            << "step 14 is the whole globe, at " << size;
    }
}
