#include "feeds/QuakeFeeds.h"
#include "FeedsRig.h"
#include "feeds/FeedConversion.h"
#include "feeds/QuakeMarkers.h"

using namespace gw;
using gwtest::geoFeature;
using gwtest::geoJson;

namespace {

const QByteArray kCsvHeader = "time,latitude,longitude,depth,mag,magType,nst,gap,dmin,rms,net,id,updated,place,type,"
                              "horizontalError,depthError,magError,magNst,status,locationSource,magSource\n";

QByteArray csvRecord(const QByteArray& lat, const QByteArray& lon, const QByteArray& mag, const QByteArray& place)
{
    return "2026-12-07T10:00:00.000Z," + lat + ',' + lon + ",10," + mag
        + ",mb,,45,1.2,0.7,us,us7000abcd,"
          "2026-12-07T10:20:00.040Z,"
        + place + ",earthquake,5.1,1.9,0.04,180,reviewed,us,us\n";
}

// The same four earthquakes in each feed: the markers must not tell them apart.
// Every earthquake labelled that has a magnitude; all of them older than a day.
const QByteArray kMarkers
    = "38.8221666 -122.8075 \"5 km NW of The Geysers, CA (2.6)\" color={255,255,0} symbolsize=3\r\n"
      "-15.5 -172.1 \"\" color={255,255,0} symbolsize=3\r\n"
      "0 0 \" (4.0)\" color={255,255,0} symbolsize=5\r\n";

QByteArray markersOf(const QByteArray& feed)
{
    feeds::Options options;
    options.quakeLabelMagnitude = 0;
    return feeds::convertText(feeds::Kind::QuakeList, feed, nullptr, options);
}

} // namespace

TEST(QuakeFeeds, EveryFormatGivesTheSameMarkers)
{
    const QByteArray csv = kCsvHeader + csvRecord("38.8221666", "-122.8075", "2.56", R"("5 km NW of The Geysers, CA")")
        + csvRecord("-15.5", "-172.1", "", R"("Samoa ""Islands"", ""region""")")
        + csvRecord("", "", "6.1", R"("no position, no marker")") + csvRecord("0", "0", "4", "");
    const QByteArray json
        = geoJson({ geoFeature("[-122.8075,38.8221666,1.9]", "2.56", R"("5 km NW of The Geysers, CA")"),
            geoFeature("[-172.1,-15.5,10]", "null", R"("Samoa \"Islands\", \"region\"")"),
            geoFeature("null", "6.1", R"("no position")"), geoFeature("[0,0]", "4", "null") });
    struct Case
    {
        const char* label;
        QByteArray input;
        quake::Format format;
    };
    const Case cases[] = {
        { "CSV feed", csv, quake::Format::Csv },
        { "CSV feed with CR LF and a byte order mark", "\xEF\xBB\xBF" + QByteArray(csv).replace("\n", "\r\n"),
            quake::Format::Csv },
        { "GeoJSON feed", json, quake::Format::GeoJson },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(quake::formatOf(c.input), c.format) << c.label;
        EXPECT_EQ(markersOf(c.input), kMarkers) << c.label;
    }
}

TEST(QuakeFeeds, BrokenRecordsGiveNoMarker)
{
    struct Case
    {
        const char* label;
        QByteArray input;
        QByteArray markers;
    };
    const Case cases[] = {
        { "words as degrees", kCsvHeader + csvRecord("north", "12", "5", "X"), "" },
        { "a record cut short", kCsvHeader + "2026-12-07T10:00:00.000Z,12", "" },
        { "options hidden in the place", kCsvHeader + csvRecord("1", "2", "5", R"("X"" image=/etc/passwd """)"),
            "1 2 \"X' image=/etc/passwd ' (5.0)\" color={255,255,0} symbolsize=7\r\n" },
        { "a line break inside the quoted place", kCsvHeader + csvRecord("1", "2", "5", "\"A\nB\""),
            "1 2 \"A B (5.0)\" color={255,255,0} symbolsize=7\r\n" },
        { "JSON that breaks off", geoJson({ geoFeature("[2,1]", "5", "\"X\"") }).chopped(5), "" },
        { "JSON coordinates as text", geoJson({ geoFeature("[\"2\",\"1\"]", "5", "\"X\"") }), "" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(markersOf(c.input), c.markers) << c.label;
}

TEST(QuakeFeeds, HundredThousandRecords)
{
    QByteArray csv = kCsvHeader;
    QList<QByteArray> features;
    for (int i = 0; i < 100000; ++i) {
        const QByteArray lat = QByteArray::number(i % 180 - 89.5, 'f', 1);
        const QByteArray lon = QByteArray::number(i % 360 - 179.25, 'f', 2);
        csv += csvRecord(lat, lon, "4.5", "\"Place " + QByteArray::number(i) + ", Somewhere\"");
        features.append(
            geoFeature('[' + lon + ',' + lat + ']', "4.5", "\"Place " + QByteArray::number(i) + ", Somewhere\""));
    }
    const QByteArray markers = markersOf(csv);
    EXPECT_EQ(markers.count('\n'), 100000);
    EXPECT_TRUE(markers.endsWith("\"Place 99999, Somewhere (4.5)\" color={255,255,0} symbolsize=6\r\n"));
    EXPECT_EQ(markersOf(geoJson(features)), markers);
}
