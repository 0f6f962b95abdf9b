// The picture composed over several monitors: a composition that can be stopped, as the
// program's end stops it, while events go on. (Its result: the GNOME desktop tests.)
#include "renderer/PictureCompose.h"
#include "support/TempDir.h"

#include <QDir>
#include <QImage>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

gw::Picture part(const gwtest::TempDir& dir, const QString& name, const QRect& at, QRgb colour)
{
    QImage image(at.size(), QImage::Format_RGB888);
    image.fill(colour);
    const QString file = dir.file(name + QStringLiteral(".png"));
    image.save(file, "png");
    return { name, at, file };
}

} // namespace

// A large composition takes seconds; a stop (the user's kill, the program's end) ends it at
// once, and the window's events are handled meanwhile.
TEST(PictureCompose, AStopEndsALargeCompositionWhileEventsGoOn)
{
    gwtest::TempDir dir;
    const QVector<gw::Picture> parts = { part(dir, "a", QRect(0, 0, 64, 64), qRgb(255, 0, 0)),
        part(dir, "b", QRect(7900, 7900, 64, 64), qRgb(0, 255, 0)) };
    const QString out = dir.file(QStringLiteral("desktop.png"));
    std::atomic<bool> stop { false };
    bool ticked = false;
    QTimer::singleShot(100, [&] {
        ticked = true;
        stop.store(true);
    });
    QString error;
    EXPECT_FALSE(gw::composePicturesWhileProcessingEvents(parts, out, &error, stop));
    EXPECT_TRUE(ticked) << "events were handled while it composed";
    EXPECT_EQ(error, QStringLiteral("stopped"));
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << "no part file left";
}
