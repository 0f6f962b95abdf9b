#pragma once
// Feeds as their services write them, built from the parts a test varies, and one render by the
// real xplanet of a temporary home's files.
#include "support/ChildProcess.h"

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QList>
#include <QProcess>
#include <QRect>
#include <QStringList>
#include <gtest/gtest.h>

#include <functional>

namespace gwtest {

inline QByteArray geoFeature(
    const QByteArray& coordinates, const QByteArray& mag = "4.5", const QByteArray& place = R"("X")")
{
    return R"({"type":"Feature","properties":{"mag":)" + mag + R"(,"place":)" + place
        + R"(,"time":1796637600000},"geometry":{"type":"Point","coordinates":)" + coordinates + "},\"id\":\"x\"}";
}

inline QByteArray geoJson(const QList<QByteArray>& features)
{
    return R"({"type":"FeatureCollection","metadata":{"count":3},"features":[)" + features.join(',') + "]}";
}

// The aurora forecast with `points` ("[lon,lat,percent],...") as its grid.
inline QByteArray aurora(const QByteArray& points)
{
    return R"({"Observation Time":"2026-12-08T08:00:00Z","Forecast Time":"2026-12-08T08:30:00Z",)"
           R"("Data Format":"[Longitude, Latitude, Aurora]","coordinates":[)"
        + points + "]}";
}

// xplanet's picture of the earth for `arguments` (its configuration, size, projection, date)
// with `home` as HOME; a null image, with a failure said, when it gives none.
inline QImage renderOnce(const QString& home, const QStringList& arguments)
{
    const QString out = home + QStringLiteral("/render.png");
    QFile::remove(out);
    QProcess xplanet;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    xplanet.setProcessEnvironment(env);
    xplanet.setWorkingDirectory(home);
    xplanet.setProcessChannelMode(QProcess::MergedChannels);
    xplanet.start(QStringLiteral("xplanet"),
        QStringList { QStringLiteral("-num_times"), QStringLiteral("1"), QStringLiteral("-output"), out,
            QStringLiteral("-body"), QStringLiteral("earth") }
            + arguments);
    if (!xplanet.waitForFinished(60000)) {
        stopChild(xplanet);
        ADD_FAILURE() << "xplanet did not finish";
    }
    const QImage image(out);
    EXPECT_FALSE(image.isNull()) << xplanet.readAll().toStdString();
    return image;
}

// The pixels of `area` that pass `test`.
inline int countPixels(const QImage& image, QRect area, const std::function<bool(const QColor&)>& test)
{
    area &= image.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += test(image.pixelColor(x, y)) ? 1 : 0;
    return n;
}

} // namespace gwtest
