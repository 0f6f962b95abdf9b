// The download list as a first start fills it today: the earthquake summary feed becomes
// markers, a downloaded TLE file gets its satellite file without anyone asked.
#include "JobsRig.h"

using namespace gwtest;

namespace {

const QByteArray kFeed = "time,latitude,longitude,depth,mag,magType,place\n"
                         "2026-12-07T10:00:00.000Z,35.5,139.8,10,5.1,mb,\"Honshu, \"\"Japan\"\"\"\n"
                         "2026-12-07T09:00:00.000Z,,,10,4.0,mb,\"no position\"\n"
                         "2026-12-07T08:00:00.000Z,-15.2,-75.1,10,,mb,\"near the coast of Peru\"\n";
const QByteArray kFeedMarkers = "35.5 139.8 \"Honshu, 'Japan' (5.1)\" color=green\r\n"
                                "-15.2 -75.1 \"near the coast of Peru (?)\" color=green\r\n";

} // namespace

TEST(JobFeeds, SummaryFeedRowsBecomeMarkers)
{
    struct Case
    {
        const char* label;
        QString path; // on the loopback server standing in for the earthquake service
        QByteArray markers;
    };
    const Case cases[] = {
        { "the first start's CSV feed", "/earthquakes/feed/v1.0/summary/2.5_week.csv", kFeedMarkers },
        { "the same feed under another path", "/other/2.5_week.csv", "no markers" },
    };
    for (const Case& c : cases) {
        JobsRig rig;
        gw::endpoints::hosts().quakeFeeds = rig.server.url(QString());
        rig.serve(c.path.mid(1), kFeed);
        const QString csv = rig.layout.markersFolder() + "quake.csv";
        writeFile(rig.markerFile(), "no markers");
        rig.setRow(1, rig.server.url(c.path), csv);
        rig.setRow(2, QString(), QString());
        EXPECT_TRUE(rig.jobs.listJob()) << c.label;
        EXPECT_EQ(readFile(csv), kFeed) << c.label;
        EXPECT_EQ(readFile(rig.markerFile()), c.markers) << c.label << "\n" << rig.logText();
    }
}

TEST(JobFeeds, DownloadedTleGetsItsSatelliteFile)
{
    const QByteArray own = "25544 image=my.png color=blue\n";
    struct Case
    {
        const char* label;
        std::function<void(JobsRig&)> job;
        QByteArray satelliteBefore; // empty: none
        QString tleName;
        QByteArray served;
        QByteArray satelliteLine; // line 7 of the satellite file; empty: none written
    };
    const QByteArray tle = readFile(testData("jobs/stations.txt"));
    const Case cases[] = {
        { "timed list job", [](JobsRig& r) { r.jobs.listJob(); }, "", "iss.tle", tle,
            "25544 image=iss.png transparent={0,0,0} color=red\r" },
        { "no picture of that name", [](JobsRig& r) { r.jobs.listJob(); }, "", "station.tle", tle,
            "25544 color=red\r" },
        { "a file the user wrote stays", [](JobsRig& r) { r.jobs.listJob(); }, own, "iss.tle", tle, "" },
        { "a page instead of elements", [](JobsRig& r) { r.jobs.listJob(); }, "", "iss.tle", "<html>busy</html>", "" },
        { "the orbit trail ticked",
            [](JobsRig& r) {
                r.settings.setChecked("cbIssTrail", true);
                r.jobs.listJob();
            },
            "", "iss.tle", tle, "25544 image=iss.png transparent={0,0,0} color=red trail={orbit,-10,45,1}\r" },
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
        c.job(rig);
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
    struct Case
    {
        const char* label;
        QString path; // on the loopback server standing in for each service
        QString file;
        QByteArray served;
        QByteArray markers; // empty: the previous markers stay
        QString error; // the log line's reason
    };
    const Case cases[] = {
        { "the aurora forecast", "/json/ovation_aurora_latest.json", "aurora.json", aurora,
            "65 10 \"\" color={255,0,0} symbolsize=2 outlined=false\r\n", "" },
        { "the storm list", "/CurrentStorms.json", "storms.json", storms,
            "20.5 -60 \"Ana (tropical storm)\" color={255,255,0} symbolsize=8\r\n", "" },
        { "an earthquake feed with a bare NaN", "/earthquakes/feed/v1.0/summary/2.5_day.geojson", "quake.geojson",
            R"({"features":[{"geometry":{"coordinates":[NaN,1]}}]})", "", "not JSON: unexpected 'N' at byte 41" },
        { "a busy page instead of the aurora", "/json/ovation_aurora_latest.json", "aurora.json", "<html>busy</html>",
            "", "not an aurora forecast: HTML page, 17 bytes" },
    };
    for (const Case& c : cases) {
        JobsRig rig;
        gw::endpoints::hosts().quakeFeeds = rig.server.url(QString());
        gw::endpoints::hosts().spaceWeather = rig.server.url(QString());
        gw::endpoints::hosts().storms = rig.server.url(QString());
        rig.serve(c.path.mid(1), c.served);
        const QString feed = rig.layout.markersFolder() + c.file;
        const QString marker = gw::DownloadJobs::markerFileFor(feed);
        writeFile(marker, "previous");
        rig.setRow(1, rig.server.url(c.path), feed);
        rig.setRow(2, QString(), QString());
        EXPECT_TRUE(rig.jobs.listJob()) << c.label;
        EXPECT_EQ(readFile(marker), c.markers.isEmpty() ? QByteArray("previous") : c.markers) << c.label;
        if (!c.error.isEmpty()) {
            EXPECT_EQ(rig.log.lines.last(),
                rig.line(" - Error: " + c.file + " not converted (" + c.error + "), previous markers kept"))
                << c.label;
        }
    }
}
