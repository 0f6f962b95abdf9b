#include "desktop/TrayFrames.h"

#include <QFont>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTransform>
#include <algorithm>
#include <array>
#include <cmath>

namespace gw {

namespace {

    constexpr double kPi = 3.14159265358979323846;
    constexpr double kDeg = kPi / 180.0;

    // ---- land mask: 10-degree cells, rows from 85N down to 85S, columns from 175W eastwards ----

    struct Run
    {
        int row, from, to;
    };

    // Rough continents; at tray sizes a cell is at most a few pixels.
    constexpr Run kLand[] = {
        { 0, 14, 15 },
        { 1, 6, 10 },
        { 1, 12, 15 },
        { 1, 19, 19 },
        { 1, 23, 23 },
        { 1, 26, 29 },
        { 2, 1, 11 },
        { 2, 13, 15 },
        { 2, 19, 35 },
        { 3, 2, 2 },
        { 3, 5, 11 },
        { 3, 17, 31 },
        { 3, 33, 33 },
        { 4, 5, 11 },
        { 4, 17, 31 },
        { 5, 6, 9 },
        { 5, 17, 18 },
        { 5, 21, 29 },
        { 5, 31, 31 },
        { 6, 7, 7 },
        { 6, 9, 9 },
        { 6, 16, 23 },
        { 6, 25, 26 },
        { 6, 28, 29 },
        { 7, 8, 9 },
        { 7, 16, 22 },
        { 7, 25, 25 },
        { 7, 28, 28 },
        { 8, 10, 12 },
        { 8, 17, 21 },
        { 8, 28, 29 },
        { 9, 10, 14 },
        { 9, 19, 21 },
        { 9, 28, 31 },
        { 10, 10, 13 },
        { 10, 19, 22 },
        { 10, 30, 32 },
        { 11, 11, 13 },
        { 11, 19, 20 },
        { 11, 29, 32 },
        { 12, 11, 12 },
        { 12, 19, 19 },
        { 12, 30, 32 },
        { 12, 35, 35 },
        { 13, 11, 11 },
        { 13, 34, 34 },
        { 14, 11, 11 },
        { 15, 0, 3 },
        { 15, 12, 12 },
        { 15, 18, 35 },
        { 16, 0, 35 },
        { 17, 0, 35 },
    };

    constexpr int kRows = GlobeLandRows;
    constexpr int kCols = GlobeLandColumns;

    using Mask = std::array<std::array<float, kCols>, kRows>;

    const Mask& landMask()
    {
        static const Mask mask = [] {
            Mask m {};
            for (const Run& r : kLand)
                for (int c = r.from; c <= r.to; ++c)
                    m[r.row][c] = 1.0f;
            return m;
        }();
        return mask;
    }

    // Land share at a point, interpolated between cell centres so coasts are not blocky.
    double landAt(double latDeg, double lonDeg)
    {
        const Mask& m = landMask();
        const double row = std::clamp((85.0 - latDeg) / 10.0, 0.0, kRows - 1.0);
        double col = (lonDeg + 175.0) / 10.0;
        col -= std::floor(col / kCols) * kCols; // wrap around the date line
        const int r0 = static_cast<int>(std::floor(row));
        const int r1 = std::min(r0 + 1, kRows - 1);
        const int c0 = static_cast<int>(std::floor(col)) % kCols;
        const int c1 = (c0 + 1) % kCols;
        const double fr = row - r0;
        const double fc = col - std::floor(col);
        const double top = m[r0][c0] * (1 - fc) + m[r0][c1] * fc;
        const double bottom = m[r1][c0] * (1 - fc) + m[r1][c1] * fc;
        return top * (1 - fr) + bottom * fr;
    }

    struct Rgb
    {
        double r, g, b;
    };

    Rgb rgb(QRgb c)
    {
        return { double(qRed(c)), double(qGreen(c)), double(qBlue(c)) };
    }

    const Rgb kOcean = rgb(GlobeOcean);
    const Rgb kLandColour = rgb(GlobeLand);
    const Rgb kIce = rgb(GlobeIce);
    constexpr double kTilt = GlobeTiltDegrees * kDeg;

    double margin(int size)
    {
        return std::max(0.5, size / 32.0);
    }

    // Colour of the globe seen at unit-disc point (u, v), v upwards, or nothing outside the disc.
    bool globeSample(double u, double v, double centreLon, Rgb& out)
    {
        const double rr = u * u + v * v;
        if (rr > 1.0)
            return false;
        const double z = std::sqrt(1.0 - rr);
        const double y = v * std::cos(kTilt) + z * std::sin(kTilt);
        const double zr = -v * std::sin(kTilt) + z * std::cos(kTilt);
        const double lat = std::asin(std::clamp(y, -1.0, 1.0)) / kDeg;
        const double lon = centreLon + std::atan2(u, zr) / kDeg;
        Rgb c = landAt(lat, lon) >= 0.5 ? kLandColour : kOcean;
        if (std::abs(lat) > GlobeIceLatitude)
            c = kIce;
        // Light from the upper left, so the ball looks round even at 16 pixels.
        const double light = std::max(0.0, -0.45 * u + 0.55 * v + 0.70 * z);
        const double shade = 0.40 + 0.70 * light;
        out = { std::min(255.0, c.r * shade), std::min(255.0, c.g * shade), std::min(255.0, c.b * shade) };
        return true;
    }

    QImage transparentImage(int size)
    {
        QImage img(size, size, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        return img;
    }

    void drawRim(QImage& img, const QColor& colour)
    {
        const int size = img.width();
        const double m = margin(size);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(colour, std::max(1.0, size / 24.0)));
        p.setBrush(Qt::NoBrush);
        const double inset = m + 0.5 * std::max(1.0, size / 24.0);
        p.drawEllipse(QRectF(inset, inset, size - 2 * inset, size - 2 * inset));
    }

    // ---- an icon engine that paints on demand ----

    class DrawnIconEngine : public QIconEngine
    {
    public:
        explicit DrawnIconEngine(std::function<QImage(int)> draw)
            : m_draw(std::move(draw))
        {
        }

        QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
        {
            const int side = std::max(1, std::min(size.width(), size.height()));
            auto it = m_cache.find(side);
            if (it == m_cache.end())
                it = m_cache.insert(side, QPixmap::fromImage(m_draw(side)));
            return *it;
        }

        void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
        {
            const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
            const QSize physical(qRound(rect.width() * dpr), qRound(rect.height() * dpr));
            QPixmap pm = pixmap(physical, mode, state);
            pm.setDevicePixelRatio(dpr);
            const int side = std::min(rect.width(), rect.height());
            const QRect square(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2, side, side);
            painter->drawPixmap(square, pm);
        }

        QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
        {
            const int side = std::min(size.width(), size.height());
            return { side, side };
        }

        QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
        {
            QList<QSize> sizes;
            for (int s : TrayIconSizes)
                sizes << QSize(s, s);
            return sizes;
        }

        QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
        {
            QPixmap pm = pixmap(size * scale, mode, state);
            pm.setDevicePixelRatio(scale);
            return pm;
        }

        bool isNull() override { return false; }
        QIconEngine* clone() const override { return new DrawnIconEngine(m_draw); }
        QString key() const override { return QStringLiteral("GlobewallDrawn"); }

    private:
        std::function<QImage(int)> m_draw;
        QHash<int, QPixmap> m_cache;
    };

} // namespace

bool globeLandCell(int row, int column)
{
    return landMask()[row][column] > 0.5f;
}

QIcon drawnIcon(std::function<QImage(int size)> draw)
{
    return QIcon(new DrawnIconEngine(std::move(draw)));
}

QImage drawGlobe(int size, double turnDegrees)
{
    QImage img = transparentImage(size);
    const double m = margin(size);
    const double radius = size / 2.0 - m;
    const double centre = size / 2.0;
    // Small icons get more samples per pixel: their edges carry the shape.
    const int n = size <= 24 ? 4 : 3;
    for (int y = 0; y < size; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < size; ++x) {
            double r = 0, g = 0, b = 0;
            int inside = 0;
            for (int sy = 0; sy < n; ++sy) {
                for (int sx = 0; sx < n; ++sx) {
                    const double px = x + (sx + 0.5) / n;
                    const double py = y + (sy + 0.5) / n;
                    Rgb c;
                    if (globeSample((px - centre) / radius, (centre - py) / radius, -turnDegrees, c)) {
                        r += c.r;
                        g += c.g;
                        b += c.b;
                        ++inside;
                    }
                }
            }
            if (inside == 0)
                continue;
            const int alpha = qRound(255.0 * inside / (n * n));
            line[x] = qRgba(qRound(r / inside), qRound(g / inside), qRound(b / inside), alpha);
        }
    }
    drawRim(img, QColor::fromRgba(GlobeRim));
    return img;
}

QImage drawBatteryImage(int size)
{
    QImage img = transparentImage(size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(64);
    QPainterPath word;
    word.addText(QPointF(0, 0), font, QStringLiteral("Bat"));
    // The word stretched across the icon: at 16 pixels type of the usual shape would be unreadable.
    const QRectF from = word.boundingRect();
    const double pen = std::max(1.0, size / 16.0);
    const double height = size * 0.62;
    const QRectF to(pen / 2, (size - height) / 2, size - pen, height);
    QTransform t;
    t.translate(to.left(), to.top());
    t.scale(to.width() / from.width(), to.height() / from.height());
    t.translate(-from.left(), -from.top());
    const QPainterPath path = t.map(word);
    // A dark edge keeps yellow readable on light and dark panels alike.
    p.setPen(QPen(QColor(40, 30, 0, 220), pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(255, 221, 0));
    p.drawPath(path);
    p.setPen(Qt::NoPen);
    p.drawPath(path);
    return img;
}

QImage drawCrossedGlobe(int size)
{
    QImage img = drawGlobe(size, 0.0);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const double w = std::max(2.0, size / 7.0);
    const double a = w / 2.0 + margin(size);
    const double b = size - a;
    p.setPen(QPen(QColor(220, 0, 0), w, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(a, a), QPointF(b, b));
    p.drawLine(QPointF(a, b), QPointF(b, a));
    return img;
}

QImage drawGlobeFill(int size, int step)
{
    step = std::clamp(step, 0, PercentSteps);
    QImage img = transparentImage(size);
    drawRim(img, QColor(90, 90, 90, 150)); // the empty globe: its outline only
    if (step == 0)
        return img;
    const QImage globe = drawGlobe(size, 0.0);
    const double m = margin(size);
    const double bottom = size - m;
    const double top = bottom - (size - 2 * m) * step / PercentSteps;
    QImage level = transparentImage(size);
    for (int y = 0; y < size; ++y) {
        // Share of this pixel row below the fill level, so every step adds something.
        const double cover = std::clamp(std::min<double>(y + 1, bottom) - std::max<double>(y, top), 0.0, 1.0);
        if (cover <= 0)
            continue;
        const auto* src = reinterpret_cast<const QRgb*>(globe.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(level.scanLine(y));
        for (int x = 0; x < size; ++x)
            dst[x] = qRgba(qRed(src[x]), qGreen(src[x]), qBlue(src[x]), qRound(qAlpha(src[x]) * cover));
    }
    QPainter p(&img);
    p.drawImage(0, 0, level);
    return img;
}

ImageList makeDrehenderGlobus()
{
    QVector<QIcon> images;
    for (int i = 0; i < GlobeTurnFrames; ++i)
        images << drawnIcon([i](int s) { return drawGlobe(s, i * GlobeTurnStep); });
    images << drawnIcon(&drawBatteryImage);
    images << drawnIcon(&drawCrossedGlobe);
    return ImageList(QStringLiteral("ilDrehenderGlobus"), images);
}

ImageList makeGlobusProzent()
{
    QVector<QIcon> images;
    for (int i = 0; i <= PercentSteps; ++i)
        images << drawnIcon([i](int s) { return drawGlobeFill(s, i); });
    return ImageList(QStringLiteral("ilGlobusProzent"), images);
}

QIcon makeDefaultTrayIcon()
{
    return drawnIcon([](int s) { return drawGlobe(s, 0.0); });
}

} // namespace gw
