// A cloud map replaces the previous copy only when it is a whole picture twice as wide as high:
// an over-used address answers with a web page, a transfer may end early.
#include "DownloadRig.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

using namespace gwtest;

namespace {

const QByteArray kPrevious = "the previous map";

QByteArray picture(int width, int height, const char* format)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// The same picture with another size in its header: the check reads the header only.
QByteArray claiming(QByteArray bytes, int width, int height)
{
    const auto put16 = [&](qsizetype at, int v) {
        bytes[at] = char(v >> 8);
        bytes[at + 1] = char(v);
    };
    if (bytes.startsWith("\x89PNG")) {
        for (int i = 0; i < 4; ++i) {
            bytes[16 + i] = char(quint32(width) >> (24 - 8 * i));
            bytes[20 + i] = char(quint32(height) >> (24 - 8 * i));
        }
        return bytes;
    }
    const qsizetype frame = bytes.indexOf("\xFF\xC0");
    put16(frame + 5, height);
    put16(frame + 7, width);
    return bytes;
}

} // namespace

TEST(CloudMapCheck, OnlyWholePicturesTwiceAsWideAsHighReplaceTheMap)
{
    const QByteArray jpeg = picture(64, 32, "JPG");
    const QByteArray html = "<!DOCTYPE html>\n<html><body>Too many requests from your address</body></html>\n";
    const QByteArray exif
        = jpeg.left(2) + "\xFF\xE1" + QByteArray("\x10\x00", 2) + QByteArray(0x1000 - 2, 'x') + jpeg.mid(2);
    struct Case
    {
        const char* label;
        QByteArray status, body;
        QString logged; // empty: accepted
    };
    const Case cases[] = {
        { "a JPEG 64x32", "200 OK", jpeg, "" },
        { "a JPEG behind a long APP segment", "200 OK", exif, "" },
        { "a PNG one pixel off", "200 OK", picture(65, 32, "PNG"), "" },
        { "an HTML page with status 200", "200 OK", html, QString("HTML page, %1 bytes").arg(html.size()) },
        { "a truncated JPEG", "200 OK", jpeg.left(jpeg.size() / 2), "JPEG 64x32, cut short" },
        { "a square JPEG", "200 OK", picture(32, 32, "JPG"), "JPEG 32x32, not twice as wide as high" },
        { "a JPEG header claiming 65535x32767", "200 OK", claiming(jpeg, 65535, 32767),
            "JPEG 65535x32767, wider or higher than the 65500 pixels xplanet reads" },
        { "a PNG header claiming 65502x32751", "200 OK", claiming(picture(64, 32, "PNG"), 65502, 32751),
            "PNG 65502x32751, wider or higher than the 65500 pixels xplanet reads" },
        { "a PNG header claiming 40000x20000", "200 OK", claiming(picture(64, 32, "PNG"), 40000, 20000),
            "PNG 40000x20000, more than 268 million pixels" },
        { "the largest maps in use, 21600x10800", "200 OK", claiming(picture(64, 32, "PNG"), 21600, 10800), "" },
        { "a picture with another 2xx status", "203 Non-Authoritative Information", jpeg,
            "HTTP/1.1 203 Non-Authoritative Information" },
    };
    for (const Case& c : cases) {
        DownloadRig rig;
        HttpFaultServer server;
        server.route("/clouds.jpg", HttpFaultServer::answer("HTTP/1.1 " + c.status, c.body));
        ASSERT_TRUE(server.start());
        const QString url = server.url("/clouds.jpg");
        rig.settings.setText("edtWebAdress", url);
        const QString map = rig.dir.write("clouds.jpg", kPrevious);

        EXPECT_TRUE(rig.engine.DownloadFile(url, map, false)) << c.label;
        EXPECT_EQ(server.count("/clouds.jpg"), 1) << c.label << ": a refused map is not fetched again at once";
        if (c.logged.isEmpty()) {
            EXPECT_EQ(readFile(map), c.body) << c.label;
        } else {
            EXPECT_EQ(readFile(map), kPrevious) << c.label;
            EXPECT_TRUE(rig.log.lines.contains(rig.line(" - Error: not a cloud map (" + c.logged + ")")))
                << c.label << "\n"
                << rig.log.lines.join('\n').toStdString();
        }
        EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files), QStringList { "clouds.jpg" }) << c.label;
    }
}
