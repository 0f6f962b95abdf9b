// The layer boxes of the "Download settings" page: each adds and removes exactly its row of the
// download list and its line in the earth's section of the renderer configuration.
#include "downloads/DownloadLayers.h"
#include "renderer/ConfigEditor.h"
#include "renderer/ConfigText.h"
#include "settings/MemorySettings.h"
#include "shared/Endpoints.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace gw;
using Layer = DownloadLayers::Layer;

namespace {

const QByteArray kConfig = "[default]\nmarker_color=red\n\n[earth]\nmarker_file=earth\nsatellite_file=mine\n\n"
                           "[moon]\nmarker_file=moon\n";

struct LayersRig
{
    gwtest::TempDir home;
    MemorySettings settings;
    ScriptedDialogs dialogs;
    ConfigEditor editor { settings, dialogs, home.path() };
    QList<int> fetched;
    DownloadLayers layers { settings, editor, [this](int row) { fetched << row; }, home.path() };

    LayersRig()
    {
        editor.layout().ensureFolders();
        gwtest::writeFile(configFile(), kConfig);
        settings.setText("ddbConfig", "default");
        settings.setText("ddbBodyTarget", "earth");
        editor.ddbConfigChange();
        setRow(1, "http://example.org/my.txt", home.file("my.txt"));
    }
    QString configFile() const { return editor.layout().configFolder() + "default"; }
    QStringList earth() const { return bodySectionText(readConfigFile(configFile()).lines, "earth"); }
    void setRow(int row, const QString& source, const QString& destination)
    {
        settings.setCell("sgDownloadFiles", 0, row, source);
        settings.setCell("sgDownloadFiles", 1, row, destination);
    }
    QStringList row(int r) const
    {
        return { settings.cell("sgDownloadFiles", 0, r), settings.cell("sgDownloadFiles", 1, r) };
    }
};

} // namespace

TEST(Layers, EachBoxAddsAndRemovesExactlyItsRowAndConfigurationLine)
{
    struct Case
    {
        const char* label;
        Layer layer;
        QString source;
        QString destination; // below ~/.xplanet/
        QString line; // in the earth's section
        QString list; // the configuration tab's list that shows it
    };
    const Case cases[] = {
        { "earthquakes", Layer::Earthquakes, endpoints::quakeFeed(), "markers/quake.csv", "marker_file=quake.marker",
            "mMarkerfiles" },
        { "aurora", Layer::Aurora, endpoints::auroraFeed(), "markers/aurora.json", "marker_file=aurora.marker",
            "mMarkerfiles" },
        { "ISS", Layer::Iss, endpoints::issElements(), "satellites/iss.tle", "satellite_file=iss", "mSatfiles" },
        { "volcanoes", Layer::Volcanoes, endpoints::naturalEvents("volcanoes"), "markers/volcanoes.json",
            "marker_file=volcanoes.marker", "mMarkerfiles" },
        { "wildfires", Layer::Wildfires, endpoints::naturalEvents("wildfires"), "markers/wildfires.json",
            "marker_file=wildfires.marker", "mMarkerfiles" },
    };
    for (const Case& c : cases) {
        LayersRig rig;
        const QStringList before = rig.earth();
        ASSERT_FALSE(rig.layers.isOn(c.layer)) << c.label;

        rig.layers.setOn(c.layer, true);
        EXPECT_EQ(rig.row(2), QStringList({ c.source, rig.home.path() + "/.xplanet/" + c.destination })) << c.label;
        EXPECT_EQ(rig.fetched, QList<int> { 2 }) << c.label;
        EXPECT_TRUE(rig.layers.isOn(c.layer)) << c.label;
        const QStringList on = rig.earth();
        EXPECT_TRUE(on.contains(c.line)) << c.label << ": applied to the configuration file";
        EXPECT_EQ(on.size(), before.size() + 1) << c.label;
        EXPECT_TRUE(rig.settings.lines(c.list).contains(c.line.section('=', 1))) << c.label;
        for (Layer other : DownloadLayers::All)
            EXPECT_EQ(rig.layers.isOn(other), other == c.layer) << c.label << " " << int(other);

        rig.layers.setOn(c.layer, false);
        EXPECT_EQ(rig.row(2), QStringList({ "", "" })) << c.label;
        EXPECT_EQ(rig.row(1)[0], "http://example.org/my.txt") << c.label << ": other rows stay";
        EXPECT_EQ(rig.earth(), before) << c.label;
        EXPECT_FALSE(rig.layers.isOn(c.layer)) << c.label;
        EXPECT_TRUE(bodySectionText(readConfigFile(rig.configFile()).lines, "moon").contains("marker_file=moon"))
            << c.label << ": other bodies stay";
    }
}

TEST(Layers, ARowTypedByHandTicksItsBox)
{
    struct Case
    {
        const char* label;
        QString source;
        int layer; // -1: none
    };
    const Case cases[] = {
        { "another earthquake summary feed",
            endpoints::hosts().quakeFeeds + "/earthquakes/feed/v1.0/summary/4.5_day.geojson", int(Layer::Earthquakes) },
        { "the old fixed-column list", endpoints::quakeList(), int(Layer::Earthquakes) },
        { "the aurora forecast", endpoints::auroraFeed(), int(Layer::Aurora) },
        { "the storm list", endpoints::stormFeed(), int(Layer::Storms) },
        { "the tracker's storms", endpoints::naturalEvents("severeStorms"), int(Layer::Storms) },
        { "the tracker's volcanoes", endpoints::naturalEvents("volcanoes"), int(Layer::Volcanoes) },
        { "the tracker's wildfires", endpoints::naturalEvents("wildfires"), int(Layer::Wildfires) },
        { "the tracker's events of every category", endpoints::hosts().naturalEvents + "/api/v3/events/geojson", -1 },
        { "two categories in one list", endpoints::naturalEvents("volcanoes,wildfires"), -1 },
        { "the ISS's elements in another form",
            endpoints::hosts().satellites + "/NORAD/elements/gp.php?CATNR=25544&FORMAT=3LE", int(Layer::Iss) },
        { "another satellite", endpoints::hosts().satellites + "/NORAD/elements/gp.php?CATNR=20580&FORMAT=TLE", -1 },
        { "a storm list elsewhere", "https://example.org/CurrentStorms.json", -1 },
    };
    for (const Case& c : cases) {
        LayersRig rig;
        rig.setRow(5, c.source, rig.home.file("x"));
        for (Layer layer : DownloadLayers::All)
            EXPECT_EQ(rig.layers.isOn(layer), int(layer) == c.layer) << c.label << ": " << int(layer);
    }
}

TEST(Layers, TheStormBoxFetchesBothStormSourcesIntoOneMarkerAndOneArcFile)
{
    struct Case
    {
        const char* label;
        QString typed; // a storm row there before the box is ticked; empty: none
        QList<int> fetched;
        QString marker; // in the earth's section
    };
    const Case cases[] = {
        { "an empty list", "", { 2, 3 }, "marker_file=storms.marker" },
        { "the list typed by hand: the tracker's storms beside it", endpoints::stormFeed(), { 5, 2 },
            "marker_file=mine.marker" },
        { "the tracker's storms typed by hand: the list beside them", endpoints::naturalEvents("severeStorms"),
            { 5, 2 }, "marker_file=storms.marker" },
    };
    for (const Case& c : cases) {
        LayersRig rig;
        if (!c.typed.isEmpty())
            rig.setRow(5, c.typed, rig.home.file("mine.json"));
        const QStringList before = rig.earth();
        rig.layers.setOn(Layer::Storms, true);
        EXPECT_EQ(rig.fetched, c.fetched) << c.label;
        const QStringList on = rig.earth();
        EXPECT_TRUE(on.contains(c.marker)) << c.label << ": " << on.join('|').toStdString();
        EXPECT_TRUE(on.contains("arc_file=" + c.marker.section('=', 1).section('.', 0, 0) + ".arc")) << c.label;
        EXPECT_EQ(on.size(), before.size() + 2) << c.label << ": one marker file for both downloads";

        rig.layers.setOn(Layer::Storms, false);
        EXPECT_EQ(rig.earth(), before) << c.label;
        for (int row : c.fetched)
            EXPECT_EQ(rig.row(row), QStringList({ "", "" })) << c.label;
    }
}
