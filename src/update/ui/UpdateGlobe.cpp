#include "update/ui/UpdateGlobe.h"

#include <QImage>
#include <QPainter>
#include <QtMath>

#include <cmath>

namespace gw {

namespace {

    // A few land masses as (latitude, longitude, radius) in degrees: enough that the turn shows.
    struct Blob
    {
        double lat, lon, radius;
    };
    constexpr Blob kLand[] = {
        { 50, 10, 18 },
        { 10, 20, 22 },
        { -15, 25, 15 },
        { 50, 90, 28 },
        { 20, 80, 12 },
        { 45, -100, 25 },
        { 15, -90, 8 },
        { -15, -60, 20 },
        { -25, 135, 14 },
        { 72, -40, 10 },
    };

    double angularDistance(double lat1, double lon1, double lat2, double lon2)
    {
        const double a = qDegreesToRadians(lat1), b = qDegreesToRadians(lat2);
        const double d = qDegreesToRadians(lon2 - lon1);
        const double c = std::sin(a) * std::sin(b) + std::cos(a) * std::cos(b) * std::cos(d);
        return qRadiansToDegrees(std::acos(qBound(-1.0, c, 1.0)));
    }

    QImage drawFrame(int size, double centreLon)
    {
        QImage img(size, size, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        const double r = size / 2.0 - 1.0;
        const double c = size / 2.0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const double u = (x + 0.5 - c) / r;
                const double v = (c - y - 0.5) / r;
                const double rr = u * u + v * v;
                if (rr > 1.0)
                    continue;
                const double z = std::sqrt(1.0 - rr);
                const double lat = qRadiansToDegrees(std::asin(v));
                const double lon = centreLon + qRadiansToDegrees(std::atan2(u, z));
                bool land = false;
                for (const Blob& b : kLand)
                    land = land || angularDistance(lat, lon, b.lat, b.lon) < b.radius;
                QColor colour = land ? QColor(70, 150, 60) : QColor(40, 90, 190);
                // Lit from the upper left, so the ball looks round.
                const double light = qMax(0.0, -0.4 * u + 0.5 * v + 0.77 * z);
                colour = QColor::fromRgbF(qMin(1.0, colour.redF() * (0.45 + 0.7 * light)),
                    qMin(1.0, colour.greenF() * (0.45 + 0.7 * light)),
                    qMin(1.0, colour.blueF() * (0.45 + 0.7 * light)));
                img.setPixelColor(x, y, colour);
            }
        }
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(20, 40, 90), 1.0));
        p.drawEllipse(QRectF(c - r, c - r, 2 * r, 2 * r));
        return img;
    }

} // namespace

QVector<QPixmap> drawUpdateGlobeFrames(int count, int size)
{
    QVector<QPixmap> frames;
    if (count <= 0 || size <= 0)
        return frames;
    frames.reserve(count);
    // Turning eastwards: the longitude in the middle falls from frame to frame.
    for (int i = 0; i < count; ++i)
        frames.append(QPixmap::fromImage(drawFrame(size, -360.0 * i / count)));
    return frames;
}

} // namespace gw
