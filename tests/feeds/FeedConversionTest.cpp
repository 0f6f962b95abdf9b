// Feeds that do not convert leave the previous marker file as it was and say why; records
// without a usable position are left out, not the whole feed.
#include "feeds/FeedConversion.h"
#include "FeedsRig.h"
#include "support/TempDir.h"

#include <QFileInfo>

using namespace gw;
using feeds::Kind;
using gwtest::aurora;
using gwtest::geoFeature;
using gwtest::geoJson;

namespace {

const QByteArray kPrevious = "1 2 \"previous (5.0)\" color=green\r\n";

QByteArray storm(const QByteArray& members)
{
    return R"({"id":"al052026","binNumber":"AT5",)" + members + R"(,"lastUpdate":"2026-09-01T21:00:00.000Z"})";
}

QByteArray storms(const QList<QByteArray>& list)
{
    return R"({"activeStorms":[)" + list.join(',') + "]}";
}

QByteArray repeated(const QByteArray& item, int count, char separator = ',')
{
    QByteArray out;
    out.reserve((item.size() + 1) * count);
    for (int i = 0; i < count; ++i) {
        if (i)
            out += separator;
        out += item;
    }
    return out;
}

} // namespace

TEST(FeedConversion, AFeedThatDoesNotConvertKeepsThePreviousMarkers)
{
    const QByteArray csvHeader = "time,latitude,longitude,mag,place\n";
    struct Case
    {
        const char* label;
        Kind kind;
        QByteArray feed;
        QString why; // the start of the reason given
    };
    const Case cases[] = {
        { "GeoJSON whose only position is 1e999", Kind::Quake, geoJson({ geoFeature("[1e999,10]") }),
            "not one of its 1 records has a position" },
        { "GeoJSON with a bare NaN", Kind::Quake, geoJson({ geoFeature("[NaN,10]") }),
            "not JSON: unexpected 'N' at byte" },
        { "200,000 nested arrays", Kind::Quake,
            "{\"features\":" + QByteArray(200000, '[') + QByteArray(200000, ']') + "}",
            "not JSON: nested deeper than 32" },
        { "GeoJSON that breaks off", Kind::Quake, geoJson({ geoFeature("[1,2]") }).chopped(3),
            "not JSON: the document ends early" },
        { "text after the document", Kind::Quake, geoJson({ geoFeature("[1,2]") }) + "{}",
            "not JSON: text after the document" },
        { "a JSON object without features", Kind::Quake, R"({"type":"FeatureCollection"})",
            "no features in the document" },
        { "an HTML page at a summary feed's address", Kind::Quake, "<!DOCTYPE html><html>busy</html>",
            "not an earthquake feed: HTML page, 32 bytes" },
        { "CSV whose records have no position", Kind::Quake, csvHeader + "t,north,east,5,X\nt,,,5,Y\n",
            "not one of its 2 records has a position" },
        { "200,001 CSV records", Kind::Quake, csvHeader + repeated("t,1,2,5,X", 200001, '\n'),
            "more than 200000 records" },
        { "a CSV quote that never closes", Kind::Quake, csvHeader + "t,1,2,5,\"X" + QByteArray(1100000, 'x'),
            "a record longer than 1048576 bytes" },
        { "an aurora grid of 10^6 points", Kind::Aurora, aurora(repeated("[0,60,50]", 1000000)),
            "more than 200000 records" },
        { "an aurora forecast without coordinates", Kind::Aurora, R"({"Observation Time":"x"})",
            "no coordinates in the forecast" },
        { "an aurora grid of NaN texts", Kind::Aurora, aurora(R"(["NaN","NaN",50])"),
            "not one of its 1 records has a position" },
        { "a storm with its position missing", Kind::Storms, storms({ storm(R"("name":"Ana","intensity":"50")") }),
            "not one of its 1 records has a position" },
        { "a storm list without its list", Kind::Storms, R"({"storms":[]})", "no activeStorms in the list" },
        { "a string of 70,000 bytes", Kind::Storms, "{\"activeStorms\":[\"" + QByteArray(70000, 'x') + "\"]}",
            "not JSON: a string longer than 65536 bytes" },
    };
    for (const Case& c : cases) {
        gwtest::TempDir dir;
        const QString input = dir.write("feed", c.feed);
        const QString marker = dir.write("feed.marker", kPrevious);
        const feeds::Outcome outcome = feeds::convertFile(c.kind, input, marker);
        EXPECT_EQ(outcome.status, feeds::Outcome::Failed) << c.label;
        EXPECT_TRUE(outcome.error.startsWith(c.why)) << c.label << ": " << outcome.error.toStdString();
        EXPECT_EQ(gwtest::readFile(marker), kPrevious) << c.label;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << c.label << ": no file left beside it";
    }
}

TEST(FeedConversion, AFeedLargerThanAnyRealOneIsNotRead)
{
    gwtest::TempDir dir;
    const QString input = dir.write("quake.geojson", geoJson({ geoFeature("[1,2]") }));
    QFile file(input);
    ASSERT_TRUE(file.resize(feeds::limits::maxFileBytes + 1)); // the rest of it blanks: a sparse file
    const QString marker = dir.write("quake.marker", kPrevious);
    const feeds::Outcome outcome = feeds::convertFile(Kind::Quake, input, marker);
    EXPECT_EQ(outcome.error, "67108865 bytes, more than the 64 MiB a feed may have");
    EXPECT_EQ(gwtest::readFile(marker), kPrevious);
}

TEST(FeedConversion, RecordsWithoutAPlaceablePositionAreLeftOut)
{
    const QByteArray good = "10 20 \"\" color={255,255,0} symbolsize=6\r\n";
    struct Case
    {
        const char* label;
        QByteArray coordinates;
    };
    const Case cases[] = {
        { "latitude 1e999", "[20,1e999]" },
        { "longitude -1e999", "[-1e999,10]" },
        { "latitude 90.5", "[20,90.5]" },
        { "longitude 180.01", "[180.01,10]" },
        { "coordinates as text", "[\"20\",\"10\"]" },
        { "one coordinate", "[20]" },
        { "coordinates null", "null" },
    };
    for (const Case& c : cases) {
        QString error;
        const QByteArray markers = feeds::convertText(Kind::Quake,
            geoJson({ geoFeature("[20,10]"), geoFeature(c.coordinates), geoFeature("[20,10,5]") }), &error);
        EXPECT_EQ(markers, good + good) << c.label << ": " << error.toStdString();
    }
}

TEST(FeedConversion, AuroraPointsFromTheThresholdGoFromGreenToRed)
{
    struct Case
    {
        const char* label;
        QByteArray point;
        int threshold;
        QByteArray marker; // empty: none
    };
    const char* tail = " symbolsize=2 outlined=false\r\n";
    const Case cases[] = {
        { "below the threshold", "[10,65,9.9]", 10, "" },
        { "at the threshold: green", "[10,65,10]", 10, "65 10 \"\" color={0,255,0}" },
        { "half way: yellow", "[10,65,55]", 10, "65 10 \"\" color={255,255,0}" },
        { "certain: red", "[10,65,100]", 10, "65 10 \"\" color={255,0,0}" },
        { "more than certain", "[10,65,101]", 10, "" },
        { "east of 180 degrees counts as west", "[359,-70,100]", 10, "-70 -1 \"\" color={255,0,0}" },
        { "a threshold of 50", "[10,65,30]", 50, "" },
        { "a threshold of 0 is taken as 1", "[10,65,0]", 0, "" },
    };
    for (const Case& c : cases) {
        feeds::Options options;
        options.auroraThreshold = c.threshold;
        QString error;
        const QByteArray markers = feeds::convertText(Kind::Aurora, aurora(c.point), &error, options);
        EXPECT_EQ(markers, c.marker.isEmpty() ? QByteArray() : c.marker + tail) << c.label << error.toStdString();
        EXPECT_TRUE(error.isEmpty()) << c.label << ": " << error.toStdString();
    }
}

TEST(FeedConversion, OneMarkerPerStormLabelledByItsCategoryOrClass)
{
    struct Case
    {
        const char* label;
        QByteArray members;
        QByteArray marker;
    };
    const Case cases[] = {
        { "a hurricane of 100 knots",
            R"("name":"Franklin","classification":"HU","intensity":"100","latitudeNumeric":27.9,"longitudeNumeric":-71.1)",
            "27.9 -71.1 \"Franklin (category 3)\" color={255,40,0} symbolsize=8\r\n" },
        { "category 5 from 137 knots",
            R"("name":"Max","classification":"HU","intensity":137,"latitudeNumeric":15,"longitudeNumeric":-60)",
            "15 -60 \"Max (category 5)\" color={255,0,255} symbolsize=8\r\n" },
        { "a tropical storm",
            R"("name":"Ana","classification":"TS","intensity":"50","latitudeNumeric":20.5,"longitudeNumeric":-110.25)",
            "20.5 -110.25 \"Ana (tropical storm)\" color={255,255,0} symbolsize=8\r\n" },
        { "a depression without a name",
            R"("classification":"TD","intensity":"30","latitudeNumeric":-12,"longitudeNumeric":150)",
            "-12 150 \"unnamed (tropical depression)\" color={0,170,255} symbolsize=8\r\n" },
        { "a quote in the name, no intensity",
            R"("name":"A\" image=x \"","classification":"PTC","latitudeNumeric":1,"longitudeNumeric":2)",
            "1 2 \"A' image=x ' (potential tropical cyclone)\" color={255,255,255} symbolsize=8\r\n" },
        { "an intensity of 1e308 knots",
            R"("name":"B","classification":"HU","intensity":1e308,"latitudeNumeric":1,"longitudeNumeric":2)",
            "1 2 \"B (hurricane)\" color={255,255,255} symbolsize=8\r\n" },
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_EQ(feeds::convertText(Kind::Storms, storms({ storm(c.members) }), &error), c.marker)
            << c.label << ": " << error.toStdString();
    }
}

TEST(FeedConversion, AnEmptyStormListEmptiesTheMarkerFile)
{
    gwtest::TempDir dir;
    const QString input = dir.write("storms.json", R"({"activeStorms":[]})");
    const QString marker = dir.write("storms.marker", kPrevious);
    const feeds::Outcome outcome = feeds::convertFile(Kind::Storms, input, marker);
    EXPECT_EQ(outcome.status, feeds::Outcome::Written) << outcome.error.toStdString();
    EXPECT_EQ(gwtest::readFile(marker), QByteArray());
}
