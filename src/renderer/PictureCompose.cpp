#include "renderer/PictureCompose.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

namespace gw {

namespace {

    // The fastest compression: the picture is written at every render and read once.
    constexpr int kPngQuality = 85;

} // namespace

bool composePictures(const QVector<Picture>& parts, const QString& file, QString* error)
{
    QRect whole;
    for (const Picture& p : parts)
        whole = whole.united(p.geometry);
    QImage canvas(whole.size(), QImage::Format_RGB888);
    if (canvas.isNull()) {
        *error = QStringLiteral("no memory for a picture of %1x%2").arg(whole.width()).arg(whole.height());
        return false;
    }
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // One part decoded at a time: the memory of the canvas and one monitor's picture.
    for (const Picture& p : parts) {
        QImageReader reader(p.file, "png");
        const QImage part = reader.read();
        if (part.isNull()) {
            *error = p.file + QStringLiteral(": ") + reader.errorString();
            return false;
        }
        painter.drawImage(p.geometry.topLeft() - whole.topLeft(), part);
    }
    painter.end();

    QFile out(file);
    QImageWriter writer(&out, "png");
    writer.setQuality(kPngQuality);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || !writer.write(canvas) || !out.flush()) {
        *error = QStringLiteral("cannot write ") + file + QStringLiteral(": ")
            + (out.error() != QFileDevice::NoError ? out.errorString() : writer.errorString());
        out.close();
        QFile::remove(file);
        return false;
    }
    return true;
}

} // namespace gw
