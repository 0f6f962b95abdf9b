// The files this program writes, read by the real xplanet: after the earthquake markers and
// the satellite are added to the earth's section, a render shows them.
#include "downloads/QuakeMarkers.h"
#include "renderer/ConfigEditor.h"
#include "renderer/MarkerSatelliteFiles.h"
#include "settings/MemorySettings.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace gw;

namespace {

struct Colours
{
    int green = 0; // earthquake markers and their labels
    int red = 0; // the satellite's label
};

Colours countColours(const QString& png)
{
    const QImage image(png);
    Colours c;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor p = image.pixelColor(x, y);
            if (p.green() > 180 && p.red() < 100 && p.blue() < 100)
                ++c.green;
            if (p.red() > 180 && p.green() < 80 && p.blue() < 80)
                ++c.red;
        }
    return c;
}

// One rectangular map of the whole earth at a fixed time, so the satellite is always in view.
QString render(const QString& home, const QString& name)
{
    const QString out = home + QLatin1Char('/') + name + QStringLiteral(".png");
    QProcess xplanet;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    xplanet.setProcessEnvironment(env);
    xplanet.setWorkingDirectory(home);
    xplanet.setProcessChannelMode(QProcess::MergedChannels);
    xplanet.start(QStringLiteral("xplanet"),
        { QStringLiteral("-num_times"), QStringLiteral("1"), QStringLiteral("-output"), out,
            QStringLiteral("-geometry"), QStringLiteral("400x400"), QStringLiteral("-config"),
            QStringLiteral("default"), QStringLiteral("-body"), QStringLiteral("earth"), QStringLiteral("-projection"),
            QStringLiteral("rectangular"), QStringLiteral("-date"), QStringLiteral("20240101.120000") });
    if (!xplanet.waitForFinished(60000)) {
        xplanet.kill();
        xplanet.waitForFinished();
        ADD_FAILURE() << "xplanet did not finish";
    }
    EXPECT_TRUE(QFile::exists(out)) << xplanet.readAll().toStdString();
    return out;
}

} // namespace

TEST(RenderWithMarkers, XplanetDrawsTheQuakeMarkersAndTheSatellite)
{
    const QString satPicture = QStringLiteral("/usr/share/xplanet/images/iss.png");
    if (QStandardPaths::findExecutable(QStringLiteral("xplanet")).isEmpty()
        || !QFile::exists(QStringLiteral("/usr/share/xplanet/config/default")) || !QFile::exists(satPicture))
        GTEST_SKIP() << "xplanet and its images are not installed";

    gwtest::TempDir home;
    MemorySettings settings;
    ScriptedDialogs dialogs;
    ConfigEditor editor(settings, dialogs, home.path());
    MarkerSatelliteFiles lists(settings, dialogs, editor, nullptr);
    const RendererLayout layout = editor.layout();
    ASSERT_TRUE(layout.ensureFolders());

    // The downloads of the earthquake list and the TLE file, and what follows them.
    const QString asc = layout.markersFolder() + QStringLiteral("quake.asc");
    gwtest::writeFile(asc, gwtest::readFile(gwtest::testData(QStringLiteral("quake/quake.asc"))));
    ConvertAscQuakeToMarker(asc, layout.markersFolder() + QStringLiteral("quake.marker"));
    const QString tle = layout.satellitesFolder() + QStringLiteral("iss.tle");
    gwtest::writeFile(tle, gwtest::readFile(gwtest::testData(QStringLiteral("renderer_config/iss.tle"))));
    const QString picture = layout.satelliteImagesFolder() + QStringLiteral("iss.png");
    ASSERT_TRUE(QFile::copy(satPicture, picture));
    dialogs.queueFile(picture);
    lists.GenerateSatFile(tle);

    // xplanet's own configuration, read from its system folder.
    settings.setText(QStringLiteral("ddbConfig"), QStringLiteral("default"));
    settings.setText(QStringLiteral("ddbBodyTarget"), QStringLiteral("earth"));
    editor.ddbConfigChange();
    const Colours before = countColours(render(home.path(), QStringLiteral("before")));

    dialogs.queueFile(layout.markersFolder() + QStringLiteral("quake.marker"));
    lists.btnChoosMarkerfileClick();
    dialogs.queueFile(layout.satellitesFolder() + QStringLiteral("iss"));
    lists.btnChooseSatelliteClick();
    editor.btnApplyChangesClick();
    ASSERT_TRUE(dialogs.messages().isEmpty()) << dialogs.messages().join(QLatin1Char('\n')).toStdString();

    const Colours after = countColours(render(home.path(), QStringLiteral("after")));
    EXPECT_GT(after.green, before.green + 100) << "green earthquake markers: " << before.green << " -> " << after.green;
    EXPECT_GT(after.red, before.red + 30) << "the satellite's red label: " << before.red << " -> " << after.red;
}
