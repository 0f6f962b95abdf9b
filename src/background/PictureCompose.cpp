#include "background/PictureCompose.h"

#include <QFile>
#include <QtEndian>

#include <cstring>
#include <zlib.h>

namespace gw {

namespace {

    void appendChunk(QByteArray* png, const char* type, const QByteArray& body)
    {
        char length[4];
        qToBigEndian<quint32>(static_cast<quint32>(body.size()), length);
        png->append(length, 4);
        const qsizetype start = png->size();
        png->append(type, 4);
        png->append(body);
        char crc[4];
        qToBigEndian<quint32>(static_cast<quint32>(crc32(0L, reinterpret_cast<const Bytef*>(png->constData() + start),
                                  static_cast<uInt>(body.size() + 4))),
            crc);
        png->append(crc, 4);
    }

} // namespace

bool writePng(const QString& file, const RgbPicture& picture, QString* error)
{
    char header[13] = {};
    qToBigEndian<quint32>(static_cast<quint32>(picture.width), header);
    qToBigEndian<quint32>(static_cast<quint32>(picture.height), header + 4);
    header[8] = 8; // bits per channel
    header[9] = 2; // RGB

    // Each row: filter "none" and its pixels.
    const qsizetype stride = static_cast<qsizetype>(picture.width) * 3;
    QByteArray rows((stride + 1) * picture.height, '\0');
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(
            rows.data() + y * (stride + 1) + 1, picture.rgb.constData() + y * stride, static_cast<size_t>(stride));
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    QByteArray packed(static_cast<qsizetype>(packedSize), '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
            reinterpret_cast<const Bytef*>(rows.constData()), static_cast<uLong>(rows.size()), Z_BEST_SPEED)
        != Z_OK) {
        *error = QStringLiteral("cannot compress the picture");
        return false;
    }
    packed.truncate(static_cast<qsizetype>(packedSize));
    rows.clear();

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(&png, "IHDR", QByteArray(header, sizeof header));
    appendChunk(&png, "IDAT", packed);
    appendChunk(&png, "IEND", {});
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(png) != png.size() || !out.flush()) {
        *error = QStringLiteral("cannot write ") + file + QStringLiteral(": ") + out.errorString();
        out.close();
        QFile::remove(file);
        return false;
    }
    return true;
}

bool composePictures(const QVector<Picture>& parts, const QString& file, QString* error)
{
    QRect whole;
    for (const Picture& p : parts)
        whole = whole.united(p.geometry);
    RgbPicture canvas;
    canvas.width = whole.width();
    canvas.height = whole.height();
    canvas.rgb = QByteArray(static_cast<qsizetype>(canvas.width) * canvas.height * 3, '\0');
    // One part decoded at a time: the memory of the canvas and one monitor's picture.
    for (const Picture& p : parts) {
        RgbPicture part;
        if (!readPng(p.file, &part, error))
            return false;
        const QRect placed = QRect(p.geometry.topLeft() - whole.topLeft(), QSize(part.width, part.height))
                                 .intersected(QRect(0, 0, canvas.width, canvas.height));
        const int fromX = placed.x() - (p.geometry.x() - whole.x());
        const int fromY = placed.y() - (p.geometry.y() - whole.y());
        for (int y = 0; y < placed.height(); ++y)
            std::memcpy(canvas.rgb.data() + (static_cast<qsizetype>(placed.y() + y) * canvas.width + placed.x()) * 3,
                part.rgb.constData() + (static_cast<qsizetype>(fromY + y) * part.width + fromX) * 3,
                static_cast<size_t>(placed.width()) * 3);
    }
    return writePng(file, canvas, error);
}

} // namespace gw
