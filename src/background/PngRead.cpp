#include "background/PngRead.h"

#include <QFile>
#include <QtEndian>

#include <cstdlib>
#include <cstring>
#include <zlib.h>

namespace gw {

namespace {

    int paeth(int a, int b, int c)
    {
        const int p = a + b - c;
        const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        return pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
    }

    // What the chunks say: the size from IHDR, the compressed rows from every IDAT.
    struct PngChunks
    {
        int width = 0;
        int height = 0;
        int channels = 0;
        QByteArray packed;
    };

    // Null on success, else why the chunks cannot be read.
    const char* readChunks(const QByteArray& data, PngChunks* chunks)
    {
        for (qsizetype at = 8; at + 12 <= data.size();) {
            const quint32 length = qFromBigEndian<quint32>(data.constData() + at);
            const QByteArray type = data.mid(at + 4, 4);
            if (length > static_cast<quint32>(data.size() - at - 12))
                return "cut off";
            const char* body = data.constData() + at + 8;
            if (type == "IHDR" && length >= 13) {
                chunks->width = static_cast<int>(qFromBigEndian<quint32>(body));
                chunks->height = static_cast<int>(qFromBigEndian<quint32>(body + 4));
                const int depth = static_cast<unsigned char>(body[8]);
                const int colour = static_cast<unsigned char>(body[9]);
                if (depth != 8 || (colour != 2 && colour != 6) || body[12] != 0)
                    return "only 8-bit RGB pictures without interlacing are read";
                chunks->channels = colour == 2 ? 3 : 4;
            } else if (type == "IDAT") {
                chunks->packed.append(body, length);
            }
            at += 12 + length;
        }
        if (chunks->width <= 0 || chunks->height <= 0 || chunks->width > 32768 || chunks->height > 32768)
            return "no usable picture size";
        return nullptr;
    }

    // The filtered rows, each a filter byte and `stride` bytes; false unless exactly that many.
    bool inflateRows(const PngChunks& chunks, qsizetype stride, QByteArray* raw)
    {
        *raw = QByteArray((stride + 1) * chunks.height, '\0');
        uLongf rawSize = static_cast<uLongf>(raw->size());
        return uncompress(reinterpret_cast<Bytef*>(raw->data()), &rawSize,
                   reinterpret_cast<const Bytef*>(chunks.packed.constData()), static_cast<uLong>(chunks.packed.size()))
            == Z_OK
            && rawSize == static_cast<uLongf>(raw->size());
    }

    // Undoes one row's filter into `cur`, given the row above (zeros above the first).
    void unfilterRow(
        const unsigned char* line, const unsigned char* up, unsigned char* cur, qsizetype stride, int channels)
    {
        const int filter = line[0];
        for (qsizetype i = 0; i < stride; ++i) {
            const int a = i >= channels ? cur[i - channels] : 0;
            const int b = up[i];
            const int c = i >= channels ? up[i - channels] : 0;
            int predictor = 0;
            switch (filter) {
            case 1:
                predictor = a;
                break;
            case 2:
                predictor = b;
                break;
            case 3:
                predictor = (a + b) / 2;
                break;
            case 4:
                predictor = paeth(a, b, c);
                break;
            default:
                break;
            }
            cur[i] = static_cast<unsigned char>(line[1 + i] + predictor);
        }
    }

    // Every row unfiltered, the alpha channel dropped.
    void unfilterRows(const QByteArray& raw, const PngChunks& chunks, qsizetype stride, RgbPicture* picture)
    {
        const int width = chunks.width;
        const int channels = chunks.channels;
        picture->width = width;
        picture->height = chunks.height;
        picture->rgb = QByteArray(static_cast<qsizetype>(width) * chunks.height * 3, '\0');
        QByteArray previous(stride, '\0');
        QByteArray row(stride, '\0');
        for (int y = 0; y < chunks.height; ++y) {
            const auto* line = reinterpret_cast<const unsigned char*>(raw.constData() + y * (stride + 1));
            auto* cur = reinterpret_cast<unsigned char*>(row.data());
            unfilterRow(line, reinterpret_cast<const unsigned char*>(previous.constData()), cur, stride, channels);
            char* out = picture->rgb.data() + static_cast<qsizetype>(y) * width * 3;
            for (int x = 0; x < width; ++x)
                for (int k = 0; k < 3; ++k)
                    out[x * 3 + k] = static_cast<char>(cur[x * channels + k]);
            std::swap(previous, row);
        }
    }

} // namespace

bool readPng(const QString& file, RgbPicture* picture, QString* error)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read ") + file;
        return false;
    }
    const QByteArray data = in.readAll();
    const auto bad = [&](const char* why) {
        *error = file + QStringLiteral(": ") + QLatin1String(why);
        return false;
    };
    if (!data.startsWith("\x89PNG\r\n\x1a\n"))
        return bad("not a PNG picture");

    PngChunks chunks;
    if (const char* why = readChunks(data, &chunks))
        return bad(why);
    const qsizetype stride = static_cast<qsizetype>(chunks.width) * chunks.channels;
    QByteArray raw;
    if (!inflateRows(chunks, stride, &raw))
        return bad("damaged picture data");
    unfilterRows(raw, chunks, stride, picture);
    return true;
}

bool isWholePng(const QString& file, int width, int height, QString* error)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read ") + file;
        return false;
    }
    const QByteArray data = in.readAll();
    if (!data.startsWith("\x89PNG\r\n\x1a\n")) {
        *error = QStringLiteral("not a PNG picture");
        return false;
    }
    bool sized = false;
    for (qsizetype at = 8; at + 12 <= data.size();) {
        const quint32 length = qFromBigEndian<quint32>(data.constData() + at);
        if (length > static_cast<quint32>(data.size() - at - 12))
            break;
        const char* type = data.constData() + at + 4;
        const auto* checked = reinterpret_cast<const Bytef*>(type);
        if (crc32(0L, checked, length + 4) != qFromBigEndian<quint32>(type + 4 + length)) {
            *error = QStringLiteral("damaged picture data");
            return false;
        }
        if (!sized) {
            const int w = static_cast<int>(qFromBigEndian<quint32>(type + 4));
            const int h = static_cast<int>(qFromBigEndian<quint32>(type + 8));
            if (std::memcmp(type, "IHDR", 4) != 0 || length < 13) {
                *error = QStringLiteral("no picture header");
                return false;
            }
            if (w != width || h != height) {
                *error = QStringLiteral("%1x%2 pixels instead of %3x%4").arg(w).arg(h).arg(width).arg(height);
                return false;
            }
            sized = true;
        }
        at += 12 + length;
        if (std::memcmp(type, "IEND", 4) == 0) {
            if (at == data.size())
                return true;
            *error = QStringLiteral("data after the picture's end");
            return false;
        }
    }
    *error = QStringLiteral("cut short after %1 bytes").arg(data.size());
    return false;
}

} // namespace gw
