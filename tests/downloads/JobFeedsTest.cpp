// The download list as a first start fills it today: the earthquake summary feed becomes
// markers, a downloaded TLE file gets its satellite file without anyone asked.
#include "JobsRig.h"

using namespace gwtest;

namespace {

const QByteArray kFeed = "time,latitude,longitude,depth,mag,magType,place\n"
                         "2026-12-07T10:00:00.000Z,35.5,139.8,10,5.1,mb,\"Honshu, \"\"Japan\"\"\"\n"
                         "2026-12-07T09:00:00.000Z,,,10,4.0,mb,\"no position\"\n"
                         "2026-12-07T08:00:00.000Z,-15.2,-75.1,10,,mb,\"near the coast of Peru\"\n";
// The rig's clock stands before the feed's times: the quakes count as the newest.
const QByteArray kFeedMarkers = "35.5 139.8 \"Honshu, 'Japan' (5.1)\" color={255,0,0} symbolsize=7\r\n"
                                "-15.2 -75.1 \"\" color={255,0,0} symbolsize=3\r\n";

// A feed served at `path` on the rig's server, standing in for each built-in service, and
// fetched by the timed list job as its only row.
struct Feed
{
    const char* label;
    QString path;
    QString file; // in the markers folder
    QByteArray served;
    QByteArray markers; // empty: the previous markers stay
    QString error; // the log line's reason
};

void expectMarkers(const Feed& c)
{
    JobsRig rig;
    for (QString gw::endpoints::Hosts::*host :
        { &gw::endpoints::Hosts::quakeFeeds, &gw::endpoints::Hosts::spaceWeather, &gw::endpoints::Hosts::storms })
        gw::endpoints::hosts().*host = rig.server.url(QString());
    rig.serve(c.path.mid(1), c.served);
    const QString feed = rig.layout.markersFolder() + c.file;
    const QString marker = gw::DownloadJobs::markerFileFor(feed);
    writeFile(marker, "previous");
    rig.onlyRow(rig.server.url(c.path), feed);
    EXPECT_TRUE(rig.jobs.listJob()) << c.label;
    EXPECT_EQ(readFile(feed), c.served) << c.label;
    EXPECT_EQ(readFile(marker), c.markers.isEmpty() ? QByteArray("previous") : c.markers) << c.label << "\n"
                                                                                          << rig.logText();
    if (!c.error.isEmpty()) {
        EXPECT_EQ(rig.log.lines.last(),
            rig.line(" - Error: " + c.file + " not converted (" + c.error + "), previous markers kept"))
            << c.label;
    }
}

} // namespace

TEST(JobFeeds, SummaryFeedRowsBecomeMarkers)
{
    const Feed cases[] = {
        { "the first start's CSV feed", "/earthquakes/feed/v1.0/summary/2.5_week.csv", "quake.csv", kFeed, kFeedMarkers,
            "" },
        { "the same feed under another path", "/other/2.5_week.csv", "quake.csv", kFeed, "", "" },
    };
    for (const Feed& c : cases)
        expectMarkers(c);
}

TEST(JobFeeds, DownloadedTleGetsItsSatelliteFile)
{
    const QByteArray own = "25544 image=my.png color=blue\n";
    struct Case
    {
        const char* label;
        bool trail; // the orbit trail ticked
        QByteArray satelliteBefore; // empty: none
        QString tleName;
        QByteArray served;
        QByteArray satelliteLine; // line 7 of the satellite file; empty: none written
    };
    const QByteArray tle = readFile(testData("jobs/stations.txt"));
    const Case cases[] = {
        { "timed list job", false, "", "iss.tle", tle, "25544 image=iss.png transparent={0,0,0} color=red\r" },
        { "no picture of that name", false, "", "station.tle", tle, "25544 color=red\r" },
        { "a file the user wrote stays", false, own, "iss.tle", tle, "" },
        { "a page instead of elements", false, "", "iss.tle", "<html>busy</html>", "" },
        { "the orbit trail ticked", true, "", "iss.tle", tle,
            "25544 image=iss.png transparent={0,0,0} color=red trail={orbit,-10,45,1}\r" },
    };
    for (const Case& c : cases) {
        JobsRig rig;
        writeFile(rig.layout.imagesFolder() + "iss.png", "png");
        rig.serve("NORAD/elements/stations.txt", c.served);
        const QString tleFile = rig.layout.satellitesFolder() + c.tleName;
        const QString satellite = tleFile.chopped(4);
        if (!c.satelliteBefore.isEmpty())
            writeFile(satellite, c.satelliteBefore);
        rig.setRow(2, gw::endpoints::tleList(), tleFile);
        rig.settings.setChecked("cbIssTrail", c.trail);
        rig.jobs.listJob();
        ASSERT_EQ(readFile(tleFile), c.served) << c.label;
        if (c.satelliteLine.isEmpty()) {
            EXPECT_EQ(QFile::exists(satellite), !c.satelliteBefore.isEmpty()) << c.label;
            if (!c.satelliteBefore.isEmpty()) {
                EXPECT_EQ(readFile(satellite), c.satelliteBefore) << c.label;
            }
            continue;
        }
        const QList<QByteArray> lines = readFile(satellite).split('\n');
        ASSERT_EQ(lines.size(), 9) << c.label;
        EXPECT_EQ(lines[6], c.satelliteLine) << c.label;
        EXPECT_TRUE(rig.settings.lines("mSatfiles").isEmpty()) << c.label << ": the list mirrors the configuration";
        EXPECT_TRUE(rig.calls.satelliteFiles.isEmpty()) << c.label << ": nobody asked for a picture";
    }
}

TEST(JobFeeds, EachLayerFeedBecomesMarkersOrKeepsThePreviousOnes)
{
    const QByteArray aurora = R"({"Observation Time":"2026-12-08T08:00:00Z","coordinates":[[10,65,100],[10,66,5]]})";
    const QByteArray storms
        = R"({"activeStorms":[{"name":"Ana","classification":"TS","intensity":"50","latitudeNumeric":20.5,)"
          R"("longitudeNumeric":-60}]})";
    const Feed cases[] = {
        { "the aurora forecast", "/json/ovation_aurora_latest.json", "aurora.json", aurora,
            "65 10 \"\" color={255,0,0} symbolsize=2 outlined=false\r\n", "" },
        { "the storm list", "/CurrentStorms.json", "storms.json", storms,
            "20.5 -60 \"Ana (tropical storm)\" color={255,255,0} symbolsize=8\r\n", "" },
        { "an earthquake feed with a bare NaN", "/earthquakes/feed/v1.0/summary/2.5_day.geojson", "quake.geojson",
            R"({"features":[{"geometry":{"coordinates":[NaN,1]}}]})", "", "not JSON: unexpected 'N' at byte 41" },
        { "a busy page instead of the aurora", "/json/ovation_aurora_latest.json", "aurora.json", "<html>busy</html>",
            "", "not an aurora forecast: HTML page, 17 bytes" },
    };
    for (const Feed& c : cases)
        expectMarkers(c);
}

TEST(JobFeeds, EitherStormDownloadMakesTheLayerFromBoth)
{
    const QByteArray tracked = readFile(testData("feeds/eonet-storms.json"));
    struct Case
    {
        const char* label;
        QByteArray served; // the tracker's answer
        QByteArray markerStart; // empty: the previous files stay
        QString error;
    };
    const Case cases[] = {
        { "the tracker's storms beside the list on disk", tracked, "25 -70 \"Franklin (category 4)\"", "" },
        { "a broken answer", R"({"features":[{"geometry":{"coordinates":[NaN]}}]})", "",
            "storm events: not JSON: unexpected 'N' at byte 41" },
    };
    for (const Case& c : cases) {
        JobsRig rig;
        gw::endpoints::hosts().naturalEvents = rig.server.url(QString());
        gw::endpoints::hosts().storms = "http://127.0.0.1:9"; // its copy is on disk already
        rig.serve("api/v3/events/geojson", c.served);
        const QString list = rig.layout.markersFolder() + "storms.json";
        writeFile(list, readFile(testData("feeds/CurrentStorms.json")));
        const QString marker = rig.layout.markersFolder() + "storms.marker";
        const QString arc = rig.layout.rendererFolder() + "arcs/storms.arc";
        writeFile(marker, "previous");
        rig.setRow(1, gw::endpoints::naturalEvents("severeStorms"), rig.layout.markersFolder() + "storm-events.json");
        rig.setRow(2, gw::endpoints::stormFeed(), list);
        rig.jobs.downloadRow(1);
        if (c.markerStart.isEmpty()) {
            EXPECT_EQ(readFile(marker), "previous") << c.label;
            EXPECT_FALSE(QFileInfo::exists(arc)) << c.label;
            EXPECT_EQ(rig.log.lines.last(),
                rig.line(
                    " - Error: storm-events.json not converted (" + c.error + "), previous markers and tracks kept"))
                << c.label;
            continue;
        }
        const QByteArray markers = readFile(marker);
        EXPECT_TRUE(markers.startsWith(c.markerStart)) << c.label << "\n" << markers.toStdString();
        EXPECT_EQ(markers.count("Franklin"), 1) << c.label << ": a storm in both is drawn once";
        EXPECT_TRUE(markers.contains("\"Bebinca (category 4)\"")) << c.label;
        EXPECT_EQ(readFile(arc).count('\n'), 4) << c.label << ": the tracks" << rig.logText();
    }
}
