#include "net/CloudMapCheck.h"

#include <QFile>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace gw::cloudmap {

namespace {

    constexpr qint64 kSniffSize = 512;
    // xplanet's picture readers refuse a side longer than this.
    constexpr qint64 kMaxSide = 65500;
    // The largest maps in use (21600x10800) pass; xplanet holds a map as 3 bytes a pixel, so
    // this is some 800 MB of memory for each render already.
    constexpr qint64 kMaxPixels = qint64(1) << 28;

    int be16(const uchar* p)
    {
        return (p[0] << 8) | p[1];
    }
    qint64 be32(const uchar* p)
    {
        return (qint64(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    }

    bool readAt(QFile& file, qint64 offset, uchar* buffer, qint64 size)
    {
        return file.seek(offset) && file.read(reinterpret_cast<char*>(buffer), size) == size;
    }

    // Walks the marker segments up to the frame header; APP segments (EXIF, ICC) may be long,
    // so each is skipped by its length rather than read.
    void readJpeg(QFile& file, Picture& picture)
    {
        picture.kind = QStringLiteral("JPEG");
        qint64 offset = 2;
        uchar segment[9];
        for (int segments = 0; segments < 1000; ++segments) {
            if (!readAt(file, offset, segment, 4) || segment[0] != 0xFF)
                return;
            const int marker = segment[1];
            if (marker == 0xFF) { // fill byte
                ++offset;
                continue;
            }
            const int length = be16(segment + 2);
            const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
            if (frame) {
                if (length < 8 || !readAt(file, offset + 4, segment, 5))
                    return;
                picture.height = be16(segment + 1);
                picture.width = be16(segment + 3);
                break;
            }
            if (marker == 0xD9 || marker == 0xDA || length < 2)
                return; // image data or the end before any frame header
            offset += 2 + length;
        }
        // Encoders may pad after the end marker; a few bytes of it are allowed.
        const qint64 size = file.size();
        uchar tail[64];
        const qint64 tailSize = std::min<qint64>(size - offset, sizeof tail);
        if (tailSize < 2 || !readAt(file, size - tailSize, tail, tailSize))
            return;
        for (qint64 i = tailSize - 2; i >= 0; --i) {
            if (tail[i] == 0xFF && tail[i + 1] == 0xD9) {
                picture.complete = true;
                return;
            }
        }
    }

    void readPng(QFile& file, Picture& picture)
    {
        picture.kind = QStringLiteral("PNG");
        uchar header[16];
        if (!readAt(file, 8, header, 16) || be32(header) != 13 || std::memcmp(header + 4, "IHDR", 4) != 0)
            return;
        picture.width = int(std::min<qint64>(be32(header + 8), INT_MAX));
        picture.height = int(std::min<qint64>(be32(header + 12), INT_MAX));
        static const uchar kEnd[12] = { 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82 };
        uchar tail[12];
        picture.complete = file.size() >= 8 + 25 + 12 && readAt(file, file.size() - 12, tail, 12)
            && std::memcmp(tail, kEnd, 12) == 0;
    }

    // A name for what came instead of a picture: mostly a web page saying the address is over-used.
    QString describeOther(const QByteArray& start, qint64 size)
    {
        if (size == 0)
            return QStringLiteral("empty file");
        const QByteArray lower = start.trimmed().left(256).toLower();
        if (lower.startsWith("<!doctype html") || lower.startsWith("<html") || lower.contains("<html")
            || lower.contains("<head") || lower.contains("<body"))
            return QStringLiteral("HTML page, %1 bytes").arg(size);
        if (lower.startsWith('<'))
            return QStringLiteral("XML or HTML text, %1 bytes").arg(size);
        if (lower.startsWith("gif8"))
            return QStringLiteral("GIF picture");
        return QStringLiteral("%1 bytes of unknown content").arg(size);
    }

} // namespace

Picture readPicture(const QString& path)
{
    Picture picture;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return picture;
    uchar magic[8];
    if (!readAt(file, 0, magic, 8))
        return picture;
    if (magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF)
        readJpeg(file, picture);
    else if (std::memcmp(magic, "\x89PNG\r\n\x1a\n", 8) == 0)
        readPng(file, picture);
    return picture;
}

QString problem(const QString& path)
{
    const Picture picture = readPicture(path);
    if (picture.kind.isEmpty()) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("unreadable: ") + file.errorString();
        return describeOther(file.read(kSniffSize), file.size());
    }
    if (picture.width <= 0 || picture.height <= 0)
        return picture.kind + QStringLiteral(" picture without a readable size");
    const QString size = QStringLiteral(" %1x%2").arg(picture.width).arg(picture.height);
    if (!picture.complete)
        return picture.kind + size + QStringLiteral(", cut short");
    if (picture.width > kMaxSide || picture.height > kMaxSide)
        return picture.kind + size + QStringLiteral(", wider or higher than the %1 pixels xplanet reads").arg(kMaxSide);
    if (qint64(picture.width) * picture.height > kMaxPixels)
        return picture.kind + size + QStringLiteral(", more than %1 million pixels").arg(kMaxPixels / 1000000);
    if (std::llabs(qint64(picture.width) - 2 * qint64(picture.height)) > 1)
        return picture.kind + size + QStringLiteral(", not twice as wide as high");
    return QString();
}

} // namespace gw::cloudmap
