#include "app/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace gw {

namespace {
    QPixmap globe(int size)
    {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF disc(0.5, 0.5, size - 1.0, size - 1.0);
        QRadialGradient sea(disc.center() - QPointF(size / 5.0, size / 5.0), size * 0.75);
        sea.setColorAt(0, QColor(90, 160, 255));
        sea.setColorAt(1, QColor(10, 50, 140));
        p.setPen(Qt::NoPen);
        p.setBrush(sea);
        p.drawEllipse(disc);

        // Two rough continents, clipped to the disc.
        QPainterPath clip;
        clip.addEllipse(disc);
        p.setClipPath(clip);
        p.setBrush(QColor(60, 150, 60));
        const double s = size;
        p.drawEllipse(QRectF(s * 0.12, s * 0.18, s * 0.38, s * 0.30));
        p.drawEllipse(QRectF(s * 0.30, s * 0.45, s * 0.22, s * 0.40));
        p.drawEllipse(QRectF(s * 0.58, s * 0.22, s * 0.30, s * 0.24));
        p.drawEllipse(QRectF(s * 0.62, s * 0.52, s * 0.20, s * 0.22));

        p.setClipping(false);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(255, 255, 255, 90), qMax(1.0, s / 32.0)));
        p.drawEllipse(QRectF(s * 0.30, 0.5, s * 0.40, s - 1.0));
        p.drawLine(QPointF(0.5, s / 2.0), QPointF(s - 0.5, s / 2.0));
        p.setPen(QPen(QColor(0, 20, 60), qMax(1.0, s / 24.0)));
        p.drawEllipse(disc);
        return pm;
    }
} // namespace

QIcon globewallIcon()
{
    QIcon icon;
    for (int size : { 16, 22, 24, 32, 48, 64 })
        icon.addPixmap(globe(size));
    return icon;
}

} // namespace gw
