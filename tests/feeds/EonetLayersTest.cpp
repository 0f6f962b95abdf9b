// The natural event tracker's layers: volcanoes and wildfires as markers, the storm layer made
// from both storm downloads, hostile event lists refused with the previous files kept, and the
// earthquakes of the summary feeds labelled, sized and coloured as maps of them are read.
#include "FeedsRig.h"
#include "feeds/FeedConversion.h"
#include "feeds/StormLayer.h"
#include "support/TempDir.h"

using namespace gw;
using feeds::Kind;

namespace {

QByteArray feature(const QByteArray& props, const QByteArray& geometry = R"({"type":"Point","coordinates":[10,20]})")
{
    return R"({"type":"Feature","properties":{)" + props + R"(},"geometry":)" + geometry + "}";
}

QByteArray events(const QList<QByteArray>& features)
{
    return R"({"title":"EONET Events","type":"FeatureCollection","features":[)" + features.join(',') + "]}";
}

QByteArray fire(int n, double size, const char* unit = "acres")
{
    return feature(R"("id":"F)" + QByteArray::number(n) + R"(","title":"Fire )" + QByteArray::number(n)
            + R"(, State","date":"2026-09-01T00:00:00Z","magnitudeValue":)" + QByteArray::number(size)
            + R"(,"magnitudeUnit":")" + unit + "\"",
        "{\"type\":\"Point\",\"coordinates\":[" + QByteArray::number(-120 + n) + ",40]}");
}

} // namespace

TEST(EonetLayers, EventsBecomeMarkersAtTheirLatestPosition)
{
    QList<QByteArray> fires;
    for (int n = 0; n < 12; ++n)
        fires << fire(n, n == 11 ? 2000 : 100 * (n + 1), n == 11 ? "hectares" : "acres");
    fires << feature(R"("id":"F99","title":"Unmeasured Fire","magnitudeValue":null)");
    struct Case
    {
        const char* label;
        Kind kind;
        QByteArray feed;
        QByteArray expected; // the whole output; for wildfires the labelled count
    };
    const Case cases[] = {
        { "a volcano named without its country", Kind::Volcanoes,
            events({ feature(R"("id":"V1","title":"Etna Volcano, Italy","date":"2026-09-01T00:00:00Z")",
                R"({"type":"Point","coordinates":[15,37.75]})") }),
            "37.75 15 \"Etna Volcano\" color={255,140,0} symbolsize=6\r\n" },
        { "a polygon stands for its centroid, the closing point counted once", Kind::Volcanoes,
            events({ feature(R"("id":"V2","title":"Kilauea Volcano")",
                R"({"type":"Polygon","coordinates":[[[-156,18],[-154,18],[-154,20],[-156,20],[-156,18]]]})") }),
            "19 -155 \"Kilauea Volcano\" color={255,140,0} symbolsize=6\r\n" },
        { "a polygon across the date line is centred on it", Kind::Volcanoes,
            events({ feature(R"("id":"V3","title":"Islands")",
                R"({"type":"Polygon","coordinates":[[[179,0],[-179,0],[-179,2],[179,2],[179,0]]]})") }),
            "1 180 \"Islands\" color={255,140,0} symbolsize=6\r\n" },
        { "an event's observations: the latest wherever it stands in the list", Kind::Volcanoes,
            events({ feature(R"("id":"V4","title":"Late","date":"2026-09-02T00:00:00Z")",
                         R"({"type":"Point","coordinates":[2,1]})"),
                feature(R"("id":"V4","title":"Early","date":"2026-09-01T00:00:00Z")",
                    R"({"type":"Point","coordinates":[4,3]})") }),
            "1 2 \"Late\" color={255,140,0} symbolsize=6\r\n" },
        { "quotes and line breaks in a title stay inside its label", Kind::Volcanoes,
            events({ feature(R"("id":"V5","title":"A\" image=x.png \"\nB")") }),
            "20 10 \"A' image=x.png '"
            " B\" color={255,140,0} symbolsize=6\r\n" },
        { "a feature without geometry is no marker, the others are", Kind::Volcanoes,
            events({ R"({"type":"Feature","properties":{"id":"V6","title":"Nowhere"}})",
                feature(R"("id":"V7","title":"Here")") }),
            "20 10 \"Here\" color={255,140,0} symbolsize=6\r\n" },
        { "an empty list: no event is news too", Kind::Volcanoes, events({}), "" },
        { "wildfires: labels for the ten largest in hectares", Kind::Wildfires, events(fires), "10" },
    };
    for (const Case& c : cases) {
        QString error;
        const QByteArray markers = feeds::convertText(c.kind, c.feed, &error);
        EXPECT_TRUE(error.isEmpty()) << c.label << ": " << error.toStdString();
        if (c.kind != Kind::Wildfires) {
            EXPECT_EQ(markers, c.expected) << c.label;
            continue;
        }
        const QList<QByteArray> lines = markers.trimmed().split('\n');
        EXPECT_EQ(lines.size(), 13) << c.label;
        EXPECT_EQ(markers.count("\"\" color={255,0,0}"), 13 - c.expected.toInt()) << c.label;
        EXPECT_TRUE(markers.contains("\"Fire 11\" color")) << "2000 hectares is the largest";
        EXPECT_FALSE(markers.contains("\"Fire 0\"")) << "100 acres is the smallest";
        EXPECT_FALSE(markers.contains("Unmeasured")) << "a fire of no stated size gets no label";
    }
}

TEST(EonetLayers, AHostileEventListKeepsThePreviousFiles)
{
    QByteArray million = R"({"type":"Polygon","coordinates":[[)";
    for (int i = 0; i < 1000000; ++i)
        million += "[1,2],";
    million += "[1,2]]]}";
    struct Case
    {
        const char* label;
        QByteArray feed;
        QString why;
    };
    const Case cases[] = {
        { "a bare NaN", events({ feature(R"("id":"X")", R"({"type":"Point","coordinates":[NaN,2]})") }),
            "not JSON: unexpected 'N'" },
        { "features that are no list", R"({"type":"FeatureCollection","features":"none"})",
            "its features are no list" },
        { "no position anywhere", events({ feature(R"("id":"X")", R"({"type":"Point","coordinates":["1","2"]})") }),
            "not one of its 1 records has a position" },
        { "a polygon of a million points", events({ feature(R"("id":"X")", million) }),
            "a geometry of more than 10000 points" },
        { "an HTML page", "<html><body>maintenance</body></html>", "not a list of events: HTML page" },
    };
    for (const Case& c : cases) {
        for (Kind kind : { Kind::Volcanoes, Kind::Wildfires, Kind::EonetStorms }) {
            gwtest::TempDir dir;
            const QString marker = dir.write("events.marker", "0 0 \"previous\"\r\n");
            const feeds::Outcome outcome = feeds::convertFile(kind, dir.write("events.json", c.feed), marker);
            EXPECT_EQ(outcome.status, feeds::Outcome::Failed) << c.label;
            EXPECT_TRUE(outcome.error.startsWith(c.why)) << c.label << ": " << outcome.error.toStdString();
            EXPECT_EQ(gwtest::readFile(marker), "0 0 \"previous\"\r\n") << c.label;
        }
        // The storm layer keeps both of its files.
        gwtest::TempDir dir;
        const feeds::StormFiles files { gwtest::testData("feeds/CurrentStorms.json"),
            dir.write("storm-events.json", c.feed), dir.write("storms.marker", "previous"),
            dir.write("storms.arc", "previous") };
        const feeds::StormOutcome outcome = feeds::convertStorms(files);
        EXPECT_EQ(outcome.status, feeds::Outcome::Failed) << c.label;
        EXPECT_TRUE(outcome.error.startsWith("storm events: ")) << c.label << ": " << outcome.error.toStdString();
        EXPECT_EQ(gwtest::readFile(files.markerFile), "previous") << c.label;
        EXPECT_EQ(gwtest::readFile(files.arcFile), "previous") << c.label;
    }
}

TEST(EonetLayers, TheStormLayerDrawsEachStormOnceWithItsTrack)
{
    const QByteArray list = gwtest::readFile(gwtest::testData("feeds/CurrentStorms.json"));
    const QByteArray tracked = gwtest::readFile(gwtest::testData("feeds/eonet-storms.json"));
    const QByteArray franklin = "25 -70 \"Franklin (category 4)\" color={200,0,0} symbolsize=8\r\n";
    const QByteArray hilary = "-20 150 \"Hilary (tropical storm)\" color={255,255,0} symbolsize=8\r\n";
    const QByteArray bebinca = "18 130 \"Bebinca (category 4)\" color={200,0,0} symbolsize=8\r\n";
    const QByteArray alfred = "-15 80 \"Alfred (tropical storm)\" color={255,255,0} symbolsize=8\r\n";
    const QByteArray bebincaTrack = "12 140 15 135 color={255,255,0} thickness=2\r\n"
                                    "15 135 18 130 color={255,170,0} thickness=2\r\n";
    // The list's position is newer than the tracker's last: the track ends at its marker.
    const QByteArray franklinTrack = "20 -65 24 -69 color={255,40,0} thickness=2\r\n"
                                     "24 -69 25 -70 color={255,40,0} thickness=2\r\n";
    struct Case
    {
        const char* label;
        QByteArray list, events; // null: not downloaded
        QByteArray markers, arcs;
    };
    const Case cases[] = {
        // Franklin is in both by name, Kirk is Hilary by place and hour.
        { "both downloads", list, tracked, franklin + hilary + bebinca + alfred, bebincaTrack + franklinTrack },
        { "the list alone", list, QByteArray(), franklin + hilary, "" },
        { "the tracker alone", QByteArray(), tracked,
            bebinca + "24 -69 \"Franklin (category 3)\" color={255,40,0} symbolsize=8\r\n" + alfred
                + "-20.5 150.5 \"Kirk (tropical storm)\" color={255,255,0} symbolsize=8\r\n",
            bebincaTrack + franklinTrack.first(franklinTrack.indexOf('\n') + 1) },
        { "a storm the title names but gives no wind", QByteArray(),
            events({ feature(R"("id":"S","title":"Super Typhoon Ragasa","date":"2026-09-01T00:00:00Z")") }),
            "20 10 \"Ragasa (super typhoon)\" color={255,255,255} symbolsize=8\r\n", "" },
    };
    for (const Case& c : cases) {
        QByteArray markers, arcs;
        QString error;
        ASSERT_TRUE(feeds::convertStormText(c.list, c.events, &markers, &arcs, &error))
            << c.label << ": " << error.toStdString();
        EXPECT_EQ(markers, c.markers) << c.label;
        EXPECT_EQ(arcs, c.arcs) << c.label;
    }
}

TEST(EonetLayers, StormsAreTheSameByNameOrByPlaceWithinAnHour)
{
    const QByteArray listed = R"({"activeStorms":[{"name":"Milton","classification":"HU","intensity":"100",)"
                              R"("latitudeNumeric":20,"longitudeNumeric":-90,"lastUpdate":"2026-09-01T12:00:00Z"}]})";
    struct Case
    {
        const char* label;
        QByteArray title, date, coordinates;
        bool same;
    };
    const Case cases[] = {
        { "the same name, far away", "Hurricane MILTON", "2026-08-20T00:00:00Z", "[0,0]", true },
        { "another name, 200 km off, 50 minutes apart", "Tropical Storm X", "2026-09-01T12:50:00Z", "[-90,21.8]",
            true },
        { "another name, 400 km off at the same time", "Tropical Storm X", "2026-09-01T12:00:00Z", "[-90,23.6]",
            false },
        { "another name, the same place two hours apart", "Tropical Storm X", "2026-09-01T14:00:00Z", "[-90,20]",
            false },
    };
    for (const Case& c : cases) {
        QByteArray markers, arcs;
        const QByteArray tracked = events({ feature(R"("id":"E","title":")" + c.title + R"(","date":")" + c.date + "\"",
            R"({"type":"Point","coordinates":)" + c.coordinates + "}") });
        ASSERT_TRUE(feeds::convertStormText(listed, tracked, &markers, &arcs)) << c.label;
        EXPECT_EQ(markers.count('\n'), c.same ? 1 : 2) << c.label << "\n" << markers.toStdString();
    }
}

TEST(EonetLayers, QuakesAreLabelledFromTheLabelMagnitudeAndColouredByAge)
{
    feeds::Options options;
    options.nowMsecs = feeds::isoTimeMsecs("2026-12-08T12:00:00Z");
    const qint64 now = options.nowMsecs;
    const auto quake = [](const char* mag, qint64 msecs) {
        return R"({"type":"Feature","properties":{"mag":)" + QByteArray(mag) + R"(,"place":"Somewhere","time":)"
            + QByteArray::number(msecs) + R"(},"geometry":{"type":"Point","coordinates":[20,10]}})";
    };
    struct Case
    {
        const char* label;
        const char* magnitude;
        qint64 age; // milliseconds before now
        QByteArray expected;
    };
    const Case cases[] = {
        { "a strong quake of the last hour", "6.1", 1800000,
            "10 20 \"Somewhere (6.1)\" color={255,0,0} symbolsize=8\r\n" },
        { "a weak one of the last day: no label", "2.6", 7200000, "10 20 \"\" color={255,150,0} symbolsize=3\r\n" },
        { "the label magnitude itself is labelled", "5.0", 3 * 86400000LL,
            "10 20 \"Somewhere (5.0)\" color={255,255,0} symbolsize=7\r\n" },
        { "no magnitude: no label, a small marker", "null", 3 * 86400000LL,
            "10 20 \"\" color={255,255,0} symbolsize=3\r\n" },
        { "a magnitude past any quake's", "99", 3 * 86400000LL, "10 20 \"\" color={255,255,0} symbolsize=3\r\n" },
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_EQ(
            feeds::convertText(Kind::Quake, gwtest::geoJson({ quake(c.magnitude, now - c.age) }), &error, options),
            c.expected)
            << c.label << error.toStdString();
    }
    // The last hour's are drawn last, on top; CSV gives its time as text.
    const QByteArray csv = "time,latitude,longitude,mag,place\n"
                           "2026-12-08T11:30:00.000Z,1,1,4.0,A\n"
                           "2026-12-07T00:00:00.000Z,2,2,4.0,B\n";
    EXPECT_EQ(feeds::convertText(Kind::Quake, csv, nullptr, options),
        "2 2 \"\" color={255,255,0} symbolsize=5\r\n"
        "1 1 \"\" color={255,0,0} symbolsize=5\r\n");
    options.quakeLabelMagnitude = 3.5;
    EXPECT_TRUE(feeds::convertText(Kind::Quake, csv, nullptr, options).contains("\"A (4.0)\""));
}

TEST(EonetLayers, IsoTimesAreReadWithTheirOffset)
{
    struct Case
    {
        const char* text;
        qint64 msecs; // 0: not a time
    };
    const Case cases[] = {
        { "1970-01-01T00:00:00Z", 0 },
        { "2026-12-08T07:12:33.120Z", 1796713953120 },
        { "2026-12-08T09:12:33.12+02:00", 1796713953120 },
        { "2026-12-08T07:12Z", 1796713920000 },
        { "2026-13-08T07:12:33Z", 0 },
        { "2026-12-08", 0 },
        { "2026-12-08T07:12:33Zjunk", 0 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(feeds::isoTimeMsecs(c.text), c.msecs) << c.text;
}
