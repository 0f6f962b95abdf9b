// What the status report says of each download after the jobs ran against a loopback server:
// the last result, and when the next timed fetch may go out.
#include "JobsRig.h"

#include "downloads/AddressValues.h"
#include "downloads/DownloadPlan.h"
#include "downloads/DownloadStatus.h"
#include "downloads/SourceCredits.h"
#include "downloads/StartSpread.h"

using namespace gwtest;

TEST(DownloadStatus, LastResultAndNextFetchAfterEachAnswer)
{
    struct Row
    {
        const char* name;
        QByteArray status;
        const char* lastResult;
        const char* nextFetch; // empty: two hours on, the site's gap, at this installation's offset
    };
    const Row rows[] = {
        { "a new copy", "200 OK", " new copy", "" },
        { "not found: the site asks to stop", "404 Not Found", " failed (HTTP/1.1 404 Not Found)",
            "stopped (HTTP/1.1 404 Not Found)" },
        { "refused: stopped", "403 Forbidden", " failed (HTTP/1.1 403 Forbidden)", "stopped (HTTP/1.1 403 Forbidden)" },
    };
    for (const Row& row : rows) {
        JobsRig rig;
        HttpFaultServer site;
        site.route("/NORAD/elements/gp.php", [&](HttpFaultServer::Exchange& e) {
            e.respond("HTTP/1.1 " + row.status, readFile(testData("jobs/stations.txt")));
        });
        ASSERT_TRUE(site.start());
        rig.onlyIssElements(site.url(QString()));

        rig.jobs.listJob();
        const QList<gw::DownloadState> states = gw::downloadStates(rig.settings, rig.settingsFile, rig.clock.now());
        ASSERT_EQ(states.size(), 2) << row.name; // the cloud map and the row
        const gw::DownloadState& tle = states.at(1);
        EXPECT_EQ(tle.label, "download 2") << row.name;
        EXPECT_EQ(tle.address, gw::endpoints::issElements()) << row.name;
        EXPECT_EQ(tle.lastResult, gw::DateTimeToStr(rig.clock.now()) + row.lastResult) << row.name;
        const gw::TDateTime due = rig.clock.now() + 2.0 / 24;
        const gw::StartSpread spread([&] { return rig.settingsFile; });
        const QString gap = gw::DateTimeToStr(spread.spreadDue(gw::endpoints::issElements(), due));
        EXPECT_LT(spread.spreadDue(gw::endpoints::issElements(), due), due + 180.0 / 86400) << row.name;
        EXPECT_EQ(tle.nextFetch, *row.nextFetch ? QString::fromLatin1(row.nextFetch) : gap) << row.name;
        const QString text = gw::downloadStatusText(states, rig.clock.now());
        EXPECT_TRUE(text.contains("download 2\n  address:     " + gw::endpoints::issElements()
            + "\n  source:      CelesTrak\n  file:        " + rig.tleFile() + "\n  content:     "))
            << row.name << "\n"
            << text.toStdString();
    }
}

TEST(DownloadStatus, AgesAsPeopleSayThem)
{
    struct Row
    {
        double minutes;
        const char* text;
    };
    const Row rows[] = { { 0, "0 min" }, { 59.4, "59 min" }, { 60, "1 h 0 min" }, { 47 * 60 + 59, "47 h 59 min" },
        { 48 * 60, "2 days" }, { -5, "0 min" } };
    for (const Row& row : rows)
        EXPECT_EQ(gw::ageText(row.minutes / (24 * 60)), row.text) << row.minutes;
}

// One reading of the settings file serves an object's questions; its own changes are in the
// file and read back at once, and another file named is read afresh.
TEST(DownloadStatus, ValuesPerAddressFollowTheSettingsFile)
{
    TempDir dir;
    QString name = dir.write("a.ini", "[S]\nhttp://h/?a%3Db=1.5\nbad=inf\n");
    gw::AddressValues values([&] { return name; });
    EXPECT_EQ(values.number("S", "http://h/?a=b"), 1.5);
    EXPECT_EQ(values.number("S", "bad"), 0);
    values.write({ { "S", "http://h/?a=b", QString() }, { "S", "x", "2" } });
    EXPECT_EQ(values.text("S", "http://h/?a=b"), QString());
    EXPECT_EQ(values.number("S", "x"), 2);
    const gw::AddressValues later([&] { return name; });
    EXPECT_EQ(later.text("S", "http://h/?a=b"), QString());
    EXPECT_EQ(later.number("S", "x"), 2);

    name = dir.write("b.ini", "[S]\nx=3\n");
    EXPECT_EQ(values.number("S", "x"), 3);
    name.clear();
    EXPECT_EQ(values.text("S", "x"), QString());
    values.write("S", "x", "4"); // nowhere to write
    EXPECT_EQ(readFile(dir.file("b.ini")), "[S]\nx=3\n");
}

// The row of the ISS after one timed pass, as the plan holds it: when it is fetched next, at
// its source's own pace, and what holds it until then.
TEST(DownloadPlan, EachAnswerGivesTheRowItsHoldAndItsNextMoment)
{
    struct Row
    {
        const char* name;
        QByteArray status;
        QByteArray header;
        gw::HoldKind hold;
        double holdMinutes; // NAN: until the user starts it again
        double dueMinutes; // by the source's own pace
    };
    const Row rows[] = {
        { "a new copy: the host's gap, then the source's pace", "200 OK", "X-Other: 1", gw::HoldKind::HostGap, 120,
            480 },
        { "refused: stopped", "403 Forbidden", "X-Other: 1", gw::HoldKind::Stopped, NAN, 480 },
        { "busy, with a wait: waited for, not stopped", "503 Service Unavailable", "Retry-After: 10800",
            gw::HoldKind::ServerWait, 180, 480 },
        { "too many requests, with a wait of days: a day at most", "429 Too Many Requests", "Retry-After: 500000",
            gw::HoldKind::ServerWait, 24 * 60, 24 * 60 },
    };
    for (const Row& row : rows) {
        JobsRig rig;
        HttpFaultServer site;
        site.route("/NORAD/elements/gp.php", [&](HttpFaultServer::Exchange& e) {
            e.respond("HTTP/1.1 " + row.status, readFile(testData("jobs/stations.txt")), { row.header });
        });
        ASSERT_TRUE(site.start());
        rig.onlyIssElements(site.url(QString()));
        rig.jobs.listJob();
        const gw::TDateTime now = rig.clock.now();
        const QList<gw::PlanJob> jobs
            = gw::plannedDownloads(rig.settings, rig.settingsFile, now, std::nullopt, std::nullopt, true, {});
        ASSERT_EQ(jobs.size(), 1) << row.name;
        const gw::PlanJob& iss = jobs.at(0);
        EXPECT_EQ(iss.name, "ISS") << row.name;
        EXPECT_EQ(iss.row, 2) << row.name;
        EXPECT_EQ(iss.hold.kind, row.hold) << row.name << "\n" << rig.logText();
        if (std::isnan(row.holdMinutes))
            EXPECT_FALSE(iss.runsAt()) << row.name;
        else
            EXPECT_NEAR((iss.hold.until - now) * 24 * 60, row.holdMinutes, 0.1) << row.name;
        EXPECT_NEAR((iss.due - now) * 24 * 60, row.dueMinutes, 0.1) << row.name;
        EXPECT_EQ(rig.linesContaining("Timed downloads of"), row.hold == gw::HoldKind::Stopped ? 1 : 0) << row.name;
    }
}

// "Check downloads" does not skip a stopped address in silence: it asks once whether to try it again.
TEST(DownloadPlan, CheckDownloadsAsksOnceForTheStoppedRows)
{
    for (const bool yes : { false, true }) {
        JobsRig rig;
        HttpFaultServer site;
        int gets = 0;
        site.route("/NORAD/elements/gp.php", [&](HttpFaultServer::Exchange& e) {
            gets += e.request.method == "GET";
            e.respond(
                gets == 1 ? "HTTP/1.1 403 Forbidden" : "HTTP/1.1 200 OK", readFile(testData("jobs/stations.txt")));
        });
        ASSERT_TRUE(site.start());
        rig.onlyIssElements(site.url(QString()));
        rig.jobs.listJob();
        ASSERT_EQ(rig.linesContaining("Timed downloads of"), 1);
        rig.clock.advanceSeconds(3 * 3600);
        const size_t asked = rig.dialogs.asked.size();
        rig.dialogs.queueYesNo(yes);
        rig.jobs.btnCheckDownloadsClick();
        EXPECT_EQ(rig.dialogs.asked.size(), asked + 1) << yes;
        EXPECT_EQ(gets, yes ? 2 : 1) << yes << "\n" << rig.logText();
        const QList<gw::PlanJob> jobs = gw::plannedDownloads(
            rig.settings, rig.settingsFile, rig.clock.now(), std::nullopt, std::nullopt, true, {});
        ASSERT_EQ(jobs.size(), 1);
        EXPECT_EQ(jobs.at(0).hold.kind == gw::HoldKind::Stopped, !yes) << yes;
    }
}

TEST(DownloadStatus, EachBuiltInSourceIsCreditedByName)
{
    struct Case
    {
        QString address;
        const char* credit;
    };
    const Case cases[] = {
        { gw::endpoints::quakeFeed(), "USGS" },
        { gw::endpoints::quakeList(), "USGS" },
        { gw::endpoints::auroraFeed(), "NOAA SWPC" },
        { gw::endpoints::stormFeed(), "NOAA NHC" },
        { gw::endpoints::naturalEvents("volcanoes"), "NASA EONET" },
        { gw::endpoints::issElements(), "CelesTrak" },
        { gw::endpoints::tleList(), "CelesTrak" },
        { gw::endpoints::liveCloudMap("2048x1024"), "Contains modified EUMETSAT data" },
        { gw::endpoints::cloudMap(), "" },
        { "https://example.org/CurrentStorms.json", "" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(gw::sources::creditOf(c.address), c.credit) << c.address.toStdString();
}
