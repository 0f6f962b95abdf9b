#include "background/PngRead.h"

#include <QFile>
#include <QtEndian>

#include <cstdlib>
#include <zlib.h>

namespace gw {

namespace {

    int paeth(int a, int b, int c)
    {
        const int p = a + b - c;
        const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        return pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
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

    int width = 0, height = 0, channels = 0;
    QByteArray packed;
    for (qsizetype at = 8; at + 12 <= data.size();) {
        const quint32 length = qFromBigEndian<quint32>(data.constData() + at);
        const QByteArray type = data.mid(at + 4, 4);
        if (length > static_cast<quint32>(data.size() - at - 12))
            return bad("cut off");
        const char* body = data.constData() + at + 8;
        if (type == "IHDR" && length >= 13) {
            width = static_cast<int>(qFromBigEndian<quint32>(body));
            height = static_cast<int>(qFromBigEndian<quint32>(body + 4));
            const int depth = static_cast<unsigned char>(body[8]);
            const int colour = static_cast<unsigned char>(body[9]);
            if (depth != 8 || (colour != 2 && colour != 6) || body[12] != 0)
                return bad("only 8-bit RGB pictures without interlacing are read");
            channels = colour == 2 ? 3 : 4;
        } else if (type == "IDAT") {
            packed.append(body, length);
        }
        at += 12 + length;
    }
    if (width <= 0 || height <= 0 || width > 32768 || height > 32768)
        return bad("no usable picture size");

    const qsizetype stride = static_cast<qsizetype>(width) * channels;
    QByteArray raw((stride + 1) * height, '\0');
    uLongf rawSize = static_cast<uLongf>(raw.size());
    if (uncompress(reinterpret_cast<Bytef*>(raw.data()), &rawSize, reinterpret_cast<const Bytef*>(packed.constData()),
            static_cast<uLong>(packed.size()))
            != Z_OK
        || rawSize != static_cast<uLongf>(raw.size()))
        return bad("damaged picture data");

    picture->width = width;
    picture->height = height;
    picture->rgb = QByteArray(static_cast<qsizetype>(width) * height * 3, '\0');
    QByteArray previous(stride, '\0');
    QByteArray row(stride, '\0');
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const unsigned char*>(raw.constData() + y * (stride + 1));
        const int filter = line[0];
        auto* cur = reinterpret_cast<unsigned char*>(row.data());
        const auto* up = reinterpret_cast<const unsigned char*>(previous.constData());
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
        char* out = picture->rgb.data() + static_cast<qsizetype>(y) * width * 3;
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < 3; ++k)
                out[x * 3 + k] = static_cast<char>(cur[x * channels + k]);
        std::swap(previous, row);
    }
    return true;
}

} // namespace gw
