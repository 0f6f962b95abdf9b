// The files this program writes, read by the real xplanet: after the earthquake markers and
// the satellite are added to the earth's section, a render shows them.
#include "FeedsRig.h"
#include "feeds/QuakeMarkers.h"
#include "renderer/ConfigEditor.h"
#include "renderer/MarkerSatelliteFiles.h"
#include "settings/MemorySettings.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

#include <QFile>
#include <QStandardPaths>

using namespace gw;

namespace {

struct Colours
{
    int green = 0; // earthquake markers and their labels
    int red = 0; // the satellite's label
};

// One rectangular map of the whole earth at a fixed time, so the satellite is always in view.
Colours renderColours(const QString& home)
{
    const QImage image = gwtest::renderOnce(home,
        { "-geometry", "400x400", "-config", "default", "-projection", "rectangular", "-date", "20240101.120000" });
    return { gwtest::countPixels(image, image.rect(),
                 [](const QColor& p) { return p.green() > 180 && p.red() < 100 && p.blue() < 100; }),
        gwtest::countPixels(
            image, image.rect(), [](const QColor& p) { return p.red() > 180 && p.green() < 80 && p.blue() < 80; }) };
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
    const Colours before = renderColours(home.path());

    dialogs.queueFile(layout.markersFolder() + QStringLiteral("quake.marker"));
    lists.btnChoosMarkerfileClick();
    dialogs.queueFile(layout.satellitesFolder() + QStringLiteral("iss"));
    lists.btnChooseSatelliteClick();
    editor.btnApplyChangesClick();
    ASSERT_TRUE(dialogs.messages().isEmpty()) << dialogs.messages().join(QLatin1Char('\n')).toStdString();

    const Colours after = renderColours(home.path());
    EXPECT_GT(after.green, before.green + 100) << "green earthquake markers: " << before.green << " -> " << after.green;
    EXPECT_GT(after.red, before.red + 30) << "the satellite's red label: " << before.red << " -> " << after.red;
}
