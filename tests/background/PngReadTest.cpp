// The renderer's pictures read back for the root window: each row filter with values worked
// out by hand (including the wrap past 255), and the pictures that must be refused with a reason.
#include "background/PngRead.h"
#include "support/TempDir.h"

#include <QFile>
#include <QtEndian>

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

QByteArray chunk(const char* type, const QByteArray& body)
{
    QByteArray out(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(body.size()), out.data());
    const QByteArray typed = QByteArray(type, 4) + body;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(crc32(
                              0, reinterpret_cast<const Bytef*>(typed.constData()), static_cast<uInt>(typed.size()))),
        crc.data());
    return out + typed + crc;
}

QByteArray header(int width, int height, int depth = 8, int colour = 2, int interlace = 0)
{
    QByteArray body(13, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(width), body.data());
    qToBigEndian<quint32>(static_cast<quint32>(height), body.data() + 4);
    body[8] = static_cast<char>(depth);
    body[9] = static_cast<char>(colour);
    body[12] = static_cast<char>(interlace);
    return chunk("IHDR", body);
}

QByteArray packed(const QList<int>& rows)
{
    QByteArray raw;
    for (int b : rows)
        raw.append(static_cast<char>(b));
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    QByteArray out(static_cast<qsizetype>(size), '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.constData()),
        static_cast<uLong>(raw.size()));
    out.resize(static_cast<qsizetype>(size));
    return out;
}

QByteArray png(const QByteArray& chunks)
{
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunks + chunk("IEND", {});
}

QList<int> pixels(const gw::RgbPicture& picture)
{
    QList<int> out;
    for (char c : picture.rgb)
        out << static_cast<unsigned char>(c);
    return out;
}

} // namespace

TEST(PngRead, EveryRowFilterGivesThePixelsWorkedOutByHand)
{
    struct Row
    {
        const char* label;
        int width, height, colour;
        QList<int> rows; // filter byte, then the row's bytes
        QList<int> expected; // RGB, row by row
    };
    const Row rows[] = {
        { "none", 2, 1, 2, { 0, 1, 2, 3, 4, 5, 6 }, { 1, 2, 3, 4, 5, 6 } },
        { "sub adds the pixel to the left", 2, 1, 2, { 1, 10, 20, 30, 5, 5, 5 }, { 10, 20, 30, 15, 25, 35 } },
        { "sub wraps past 255", 2, 1, 2, { 1, 200, 0, 0, 100, 0, 0 }, { 200, 0, 0, 44, 0, 0 } },
        { "up adds the pixel above", 1, 2, 2, { 0, 10, 20, 30, 2, 1, 2, 3 }, { 10, 20, 30, 11, 22, 33 } },
        { "average rounds down, left from the new row", 2, 2, 2,
            { 0, 100, 100, 100, 200, 200, 200, 3, 1, 1, 1, 0, 0, 0 },
            { 100, 100, 100, 200, 200, 200, 51, 51, 51, 125, 125, 125 } },
        { "paeth picks the nearest of left, up, up-left", 2, 2, 2, { 0, 10, 10, 10, 40, 40, 40, 4, 5, 5, 5, 1, 1, 1 },
            { 10, 10, 10, 40, 40, 40, 15, 15, 15, 41, 41, 41 } },
        { "alpha is dropped and sub steps over it", 2, 1, 6, { 1, 10, 20, 30, 255, 1, 1, 1, 0 },
            { 10, 20, 30, 11, 21, 31 } },
    };
    gwtest::TempDir dir;
    for (const Row& r : rows) {
        const QString file = dir.file(QStringLiteral("picture.png"));
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate)) << r.label;
        out.write(png(header(r.width, r.height, 8, r.colour) + chunk("IDAT", packed(r.rows))));
        out.close();
        gw::RgbPicture picture;
        QString error;
        ASSERT_TRUE(gw::readPng(file, &picture, &error)) << r.label << ": " << error.toStdString();
        EXPECT_EQ(picture.width, r.width) << r.label;
        EXPECT_EQ(picture.height, r.height) << r.label;
        EXPECT_EQ(pixels(picture), r.expected) << r.label;
    }
}

TEST(PngRead, PicturesItCannotReadAreRefusedWithTheReason)
{
    const QByteArray rgb = packed({ 0, 1, 2, 3 });
    const QByteArray idat = chunk("IDAT", rgb);
    struct Row
    {
        const char* label;
        QByteArray content;
        const char* reason; // after "<file>: "; null when the file is not there at all
    };
    const Row rows[] = {
        { "missing file", {}, nullptr },
        { "text, not a picture", "P3 1 1 255 0 0 0", "not a PNG picture" },
        { "a chunk longer than the file",
            QByteArray("\x89PNG\r\n\x1a\n", 8) + header(1, 1) + QByteArray("\0\0\1\0IDATabcd", 12), "cut off" },
        { "16 bits per channel", png(header(1, 1, 16) + idat), "only 8-bit RGB pictures without interlacing are read" },
        { "palette colours", png(header(1, 1, 8, 3) + idat), "only 8-bit RGB pictures without interlacing are read" },
        { "interlaced", png(header(1, 1, 8, 2, 1) + idat), "only 8-bit RGB pictures without interlacing are read" },
        { "no header", png(idat), "no usable picture size" },
        { "absurd size", png(header(40000, 1) + idat), "no usable picture size" },
        { "rows missing", png(header(1, 2) + idat), "damaged picture data" },
        { "rows to spare", png(header(1, 1) + chunk("IDAT", packed({ 0, 1, 2, 3, 0, 4, 5, 6 }))),
            "damaged picture data" },
        { "not deflated", png(header(1, 1) + chunk("IDAT", "garbage")), "damaged picture data" },
    };
    gwtest::TempDir dir;
    for (const Row& r : rows) {
        const QString file = dir.file(QStringLiteral("picture.png"));
        QFile::remove(file);
        if (r.reason) {
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly)) << r.label;
            out.write(r.content);
        }
        gw::RgbPicture picture;
        QString error;
        EXPECT_FALSE(gw::readPng(file, &picture, &error)) << r.label;
        const QString expected
            = r.reason ? file + QStringLiteral(": ") + QLatin1String(r.reason) : QStringLiteral("cannot read ") + file;
        EXPECT_EQ(error, expected) << r.label;
    }
}

TEST(PngRead, RowsSplitOverSeveralDataChunksAreJoined)
{
    const QByteArray rows = packed({ 0, 1, 2, 3, 2, 1, 1, 1 });
    gwtest::TempDir dir;
    const QString file = dir.file(QStringLiteral("split.png"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(png(header(1, 2) + chunk("IDAT", rows.left(3)) + chunk("tEXt", "Comment") + chunk("IDAT", rows.mid(3))));
    out.close();
    gw::RgbPicture picture;
    QString error;
    ASSERT_TRUE(gw::readPng(file, &picture, &error)) << error.toStdString();
    EXPECT_EQ(pixels(picture), (QList<int> { 1, 2, 3, 2, 3, 4 }));
}
