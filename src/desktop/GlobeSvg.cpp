#include "desktop/GlobeSvg.h"

#include "desktop/TrayFrames.h"

#include <QColor>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>

#include <algorithm>
#include <cmath>

namespace gw {

namespace {

    constexpr double kDeg = 3.14159265358979323846 / 180.0;
    constexpr int kEdgeSteps = 5; // points along each cell edge, so edges follow the sphere's curve

    // Orthographic view of a point on the globe: the unit disc (v upwards) and whether it faces us.
    // The inverse of the tray's sampling; a point behind the globe goes to the rim, which clips the
    // outline of a cell that crosses it closely enough at icon sizes.
    QPointF project(double latDeg, double lonDeg, double centreLon, double centre, double radius)
    {
        const double lat = latDeg * kDeg;
        const double d = (lonDeg - centreLon) * kDeg;
        const double tilt = GlobeTiltDegrees * kDeg;
        const double xg = std::cos(lat) * std::sin(d);
        const double yg = std::sin(lat);
        const double zg = std::cos(lat) * std::cos(d);
        double u = xg;
        double v = yg * std::cos(tilt) - zg * std::sin(tilt);
        const double z = yg * std::sin(tilt) + zg * std::cos(tilt);
        if (z < 0) {
            const double len = std::hypot(u, v);
            if (len > 0) {
                u /= len;
                v /= len;
            }
        }
        return { centre + u * radius, centre - v * radius };
    }

    // A latitude-longitude box as a polygon on the disc.
    QPolygonF box(double north, double south, double west, double east, double centreLon, double c, double r)
    {
        QPolygonF poly;
        for (int i = 0; i < kEdgeSteps; ++i)
            poly << project(north, west + (east - west) * i / kEdgeSteps, centreLon, c, r);
        for (int i = 0; i < kEdgeSteps; ++i)
            poly << project(north + (south - north) * i / kEdgeSteps, east, centreLon, c, r);
        for (int i = 0; i < kEdgeSteps; ++i)
            poly << project(south, east + (west - east) * i / kEdgeSteps, centreLon, c, r);
        for (int i = 0; i < kEdgeSteps; ++i)
            poly << project(south + (north - south) * i / kEdgeSteps, west, centreLon, c, r);
        return poly;
    }

    QString number(double v)
    {
        return QString::number(v, 'f', 2);
    }

    QString pathData(const QPainterPath& path)
    {
        QString d;
        for (int i = 0; i < path.elementCount(); ++i) {
            const QPainterPath::Element e = path.elementAt(i);
            if (e.isMoveTo())
                d += QLatin1Char('M');
            else if (e.isLineTo())
                d += QLatin1Char('L');
            else if (e.isCurveTo())
                d += QLatin1Char('C');
            else
                d += QLatin1Char(' ');
            d += number(e.x) + QLatin1Char(',') + number(e.y);
        }
        return d;
    }

    QString colour(QRgb c)
    {
        return QColor::fromRgb(c).name();
    }

} // namespace

QByteArray globeSvg(int size, double turnDegrees)
{
    const double margin = std::max(0.5, size / 32.0);
    const double radius = size / 2.0 - margin;
    const double c = size / 2.0;
    const double centreLon = -turnDegrees;

    QPainterPath disc;
    disc.addEllipse(QPointF(c, c), radius, radius);

    QPainterPath land;
    land.setFillRule(Qt::WindingFill);
    for (int row = 0; row < GlobeLandRows; ++row)
        for (int col = 0; col < GlobeLandColumns; ++col)
            if (globeLandCell(row, col))
                land.addPolygon(
                    box(90.0 - 10 * row, 80.0 - 10 * row, -180.0 + 10 * col, -170.0 + 10 * col, centreLon, c, radius));
    QPainterPath ice;
    ice.setFillRule(Qt::WindingFill);
    for (int lon = -180; lon < 180; lon += 10) {
        ice.addPolygon(box(90.0, GlobeIceLatitude, lon, lon + 10, centreLon, c, radius));
        ice.addPolygon(box(-GlobeIceLatitude, -90.0, lon, lon + 10, centreLon, c, radius));
    }
    land = land.simplified().intersected(disc);
    ice = ice.simplified().intersected(disc);

    // Light from the upper left: bright towards (-0.45, 0.55) of the disc, dark at the far rim.
    const double lx = c - 0.45 * radius;
    const double ly = c - 0.55 * radius;
    const double rim = std::max(1.0, size / 24.0);
    const double rimRadius = radius - 0.5 * rim;
    QString svg = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" viewBox=\"0 0 %1 %1\">\n"
        "  <defs>\n"
        "    <radialGradient id=\"light\" gradientUnits=\"userSpaceOnUse\" cx=\"%2\" cy=\"%3\" r=\"%4\">\n"
        "      <stop offset=\"0\" stop-color=\"#ffffff\" stop-opacity=\"0.18\"/>\n"
        "      <stop offset=\"0.35\" stop-color=\"#000000\" stop-opacity=\"0\"/>\n"
        "      <stop offset=\"1\" stop-color=\"#000000\" stop-opacity=\"0.6\"/>\n"
        "    </radialGradient>\n"
        "  </defs>\n")
                      .arg(size)
                      .arg(number(lx), number(ly), number(radius * 1.75));
    svg += QStringLiteral("  <circle cx=\"%1\" cy=\"%1\" r=\"%2\" fill=\"%3\"/>\n")
               .arg(number(c), number(radius), colour(GlobeOcean));
    svg += QStringLiteral("  <path fill=\"%1\" d=\"%2\"/>\n").arg(colour(GlobeLand), pathData(land));
    svg += QStringLiteral("  <path fill=\"%1\" d=\"%2\"/>\n").arg(colour(GlobeIce), pathData(ice));
    svg += QStringLiteral("  <circle cx=\"%1\" cy=\"%1\" r=\"%2\" fill=\"url(#light)\"/>\n")
               .arg(number(c), number(radius));
    svg += QStringLiteral("  <circle cx=\"%1\" cy=\"%1\" r=\"%2\" fill=\"none\" stroke=\"%3\" stroke-opacity=\"%4\" "
                          "stroke-width=\"%5\"/>\n")
               .arg(number(c), number(rimRadius), colour(GlobeRim), number(qAlpha(GlobeRim) / 255.0), number(rim));
    svg += QStringLiteral("</svg>\n");
    return svg.toUtf8();
}

} // namespace gw
