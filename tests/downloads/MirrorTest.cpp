// The site's mirror: which addresses go through it, which requests a cache on the way may
// answer, the satellite site's answer to a second computer behind the same address, and the
// spread of timed downloads over the minutes after their due moment.
#include "JobsRig.h"

#include "downloads/DownloadStatus.h"
#include "downloads/HostGaps.h"
#include "downloads/RepeatRequestAnswer.h"
#include "downloads/SourceMirror.h"
#include "downloads/StartSpread.h"
#include "settings/IniFile.h"

#include <cmath>

using namespace gwtest;

namespace {

const QByteArray kElements = "ISS (ZARYA)\n1 25544U 98067A   24061.50000000  .00016717  00000-0  10270-3 0  9005\n";
const QByteArray kGpPath = "/NORAD/elements/gp.php";

QByteArray mirrorPathOf(const HttpFaultServer& origin, const QByteArray& path)
{
    return "/127.0.0.1:" + QByteArray::number(origin.port()) + path;
}

} // namespace

TEST(Mirror, TheAddressesOfTheBuiltInSourcesGoThroughIt)
{
    EndpointOverride hosts(QStringLiteral("https://celestrak.org"));
    gw::endpoints::hosts().satellites = QStringLiteral("https://celestrak.org");
    gw::endpoints::hosts().quakeFeeds = QStringLiteral("https://earthquake.usgs.gov");
    gw::endpoints::hosts().storms = QStringLiteral("http://127.0.0.1:8443");
    struct Case
    {
        const char* label;
        QString setting;
        QString url;
        QString asked; // empty: the address itself
    };
    const Case cases[] = {
        { "the station's elements, query and all", "http://mirror.school.lan",
            "https://celestrak.org/NORAD/elements/gp.php?CATNR=25544&FORMAT=TLE",
            "http://mirror.school.lan/celestrak.org/NORAD/elements/gp.php?CATNR=25544&FORMAT=TLE" },
        { "a closing slash of the base is not doubled", " https://cache.lan:8080/sources/ ",
            "https://earthquake.usgs.gov/earthquakes/feed/v1.0/summary/2.5_week.csv",
            "https://cache.lan:8080/sources/earthquake.usgs.gov/earthquakes/feed/v1.0/summary/2.5_week.csv" },
        { "an origin's port stays with its host", "http://m.lan", "http://127.0.0.1:8443/CurrentStorms.json",
            "http://m.lan/127.0.0.1:8443/CurrentStorms.json" },
        { "another path of a source's host is the user's own", "http://m.lan", "https://celestrak.org/pub/other.txt",
            "" },
        { "an address the user typed", "http://m.lan", "https://example.org/feed.csv", "" },
        { "no mirror", "", "https://celestrak.org/NORAD/elements/gp.php?CATNR=25544&FORMAT=TLE", "" },
        { "no http address is no mirror", "mirror.school.lan",
            "https://celestrak.org/NORAD/elements/gp.php?CATNR=25544&FORMAT=TLE", "" },
        { "a base with a query is no mirror", "http://m.lan/?x=1",
            "https://celestrak.org/NORAD/elements/gp.php?CATNR=25544&FORMAT=TLE", "" },
    };
    for (const Case& c : cases) {
        const QString base = gw::mirror::baseOf(c.setting);
        EXPECT_EQ(gw::mirror::addressFor(base, c.url), c.asked.isEmpty() ? c.url : c.asked) << c.label;
    }
    QString problem;
    EXPECT_TRUE(gw::mirror::baseOf(QStringLiteral("ftp://m.lan"), &problem).isEmpty());
    EXPECT_EQ(gw::mirror::statusText(QStringLiteral("ftp://m.lan")), "ftp://m.lan (not used: " + problem + ")");
    EXPECT_EQ(gw::mirror::statusText(QString()), "none");
}

// Through the mirror a shared cache may answer (no "no-cache"), unless the user forced the
// download; the validators of the copy on disk go along either way.
TEST(Mirror, OnlyRequestsThroughTheMirrorLetACacheAnswer)
{
    struct Case
    {
        const char* label;
        bool mirrored;
        bool forced;
        bool noCache; // the request carries "Cache-Control: no-cache"
    };
    const Case cases[] = {
        { "timed, through the mirror", true, false, false },
        { "forced, through the mirror", true, true, true },
        { "timed, straight to the source", false, false, true },
    };
    for (const Case& c : cases) {
        JobsRig rig;
        HttpFaultServer origin, mirror;
        const auto elements = [](HttpFaultServer::Exchange& e) {
            if (e.request.header("If-None-Match") == "\"v1\"")
                e.respond("HTTP/1.1 304 Not Modified", "");
            else
                e.respond("HTTP/1.1 200 OK", kElements, { "ETag: \"v1\"" });
        };
        origin.route(kGpPath, elements);
        ASSERT_TRUE(origin.start());
        mirror.route(mirrorPathOf(origin, kGpPath), elements);
        ASSERT_TRUE(mirror.start());
        rig.onlyIssElements(origin.url(QString()));
        if (c.mirrored)
            rig.settings.setText("edtMirror", mirror.url("/"));

        for (int round = 0; round < 2; ++round) {
            if (c.forced)
                rig.jobs.btnDownloadTleNowClick();
            else
                rig.jobs.listJob();
            rig.clock.advanceSeconds(3 * 3600);
        }
        const HttpFaultServer& asked = c.mirrored ? mirror : origin;
        const QList<SeenRequest> requests = asked.requests();
        ASSERT_EQ(requests.size(), 2) << c.label << "\n" << rig.logText();
        EXPECT_EQ((c.mirrored ? origin : mirror).requests().size(), 0) << c.label;
        for (const SeenRequest& r : requests) {
            EXPECT_EQ(r.method, "GET") << c.label << ": the satellite site gets no check";
            EXPECT_EQ(r.header("Cache-Control") == "no-cache", c.noCache) << c.label;
            EXPECT_FALSE(c.mirrored && !c.forced && r.hasHeader("Pragma")) << c.label;
            EXPECT_TRUE(r.target.endsWith("?CATNR=25544&FORMAT=TLE")) << c.label << ": " << r.target.toStdString();
        }
        EXPECT_EQ(requests[1].header("If-None-Match") == "\"v1\"", !c.forced) << c.label;
        EXPECT_EQ(readFile(rig.tleFile()), kElements) << c.label;
        EXPECT_EQ(rig.linesContaining(" stopped ("), 0) << c.label;
        // The source's rules stay with its own address: one gap, one record, under the origin.
        EXPECT_FALSE(gw::IniFile(rig.settingsFile).keys(gw::HostGaps::TimesSection).isEmpty()) << c.label;
    }
}

TEST(Mirror, TheStatusShowsWhereEachSourceIsAsked)
{
    JobsRig rig;
    const QString iss = rig.onlyIssElements(QStringLiteral("https://celestrak.org"));
    rig.settings.setText("edtMirror", QStringLiteral("http://mirror.school.lan/"));
    const QString text
        = gw::downloadStatusText(gw::downloadStates(rig.settings, rig.settingsFile, rig.clock.now()), rig.clock.now());
    EXPECT_TRUE(text.contains("  address:     " + iss
        + "\n"
          "  asked at:    http://mirror.school.lan/celestrak.org/NORAD/elements/gp.php?CATNR=25544"
          "&FORMAT=TLE\n"))
        << text.toStdString();
    EXPECT_EQ(text.count("asked at:"), 1) << "the cloud map on the renderer's site is asked as it is";
}

// Another computer behind the same public address fetched the elements first.
TEST(Mirror, TheSatelliteSitesAnswerToASecondComputerKeepsTheRow)
{
    struct Case
    {
        const char* label;
        QByteArray status;
        QByteArray body;
        bool stops;
        QString line; // expected in the log
    };
    const Case cases[] = {
        { "not updated since", "HTTP/1.1 403 Forbidden", "GP data has not updated since 2026-12-09 06:21:05 UTC\n",
            false, " - iss.tle: not changed since 2026-12-09 06:21:05 UTC (asked again from this network)" },
        { "the date ends at markup", "HTTP/1.1 403 Forbidden",
            "<html><p>GP data has not updated since 2026-12-09 06:21:05 UTC</p><script>x</script>", false,
            ": not changed since 2026-12-09 06:21:05 UTC (asked" },
        { "another refusal", "HTTP/1.1 403 Forbidden", "Access denied: too many requests\n", true,
            "stopped (HTTP/1.1 403 Forbidden)" },
        { "the phrase with another status", "HTTP/1.1 404 Not Found", "GP data has not updated since then\n", true,
            "stopped (HTTP/1.1 404 Not Found)" },
    };
    for (const Case& c : cases) {
        JobsRig rig;
        HttpFaultServer site;
        site.route(kGpPath, HttpFaultServer::answer(c.status, c.body));
        ASSERT_TRUE(site.start());
        rig.onlyIssElements(site.url(QString()));
        writeFile(rig.tleFile(), kElements);
        rig.jobs.listJob();
        EXPECT_EQ(rig.linesContaining(c.line), 1) << c.label << "\n" << rig.logText();
        EXPECT_EQ(rig.linesContaining(" - Error downloading file ("), c.stops ? 1 : 0) << c.label << ": one line";
        const QString reason = gw::HostGaps([&] { return rig.settingsFile; }).stopReason(gw::endpoints::issElements());
        EXPECT_EQ(!reason.isEmpty(), c.stops) << c.label;
        EXPECT_EQ(readFile(rig.tleFile()), kElements) << c.label << ": the current elements stay";
    }
    EXPECT_EQ(gw::notUpdatedSince(QByteArray(4096, 'x') + "has not updated since"), "")
        << "beyond the start of the body nothing is read";
}

TEST(Mirror, TimedDownloadsAreSpreadOverTheMinutesAfterTheirDueMoment)
{
    const double window = 180.0 / 86400.0;
    const gw::TDateTime due = 46000.5;
    // Stable for a due moment, within the window, different between installations and spread
    // over the whole window.
    EXPECT_EQ(gw::StartSpread::offsetDays(7, due, window), gw::StartSpread::offsetDays(7, due + 1e-9, window));
    EXPECT_EQ(gw::StartSpread::offsetDays(7, due, 0), 0);
    int quarters[4] = {};
    for (quint64 seed = 1; seed <= 400; ++seed) {
        const double offset = gw::StartSpread::offsetDays(seed, due, window);
        ASSERT_GE(offset, 0);
        ASSERT_LT(offset, window);
        ++quarters[static_cast<int>(offset / window * 4)];
    }
    for (int n : quarters)
        EXPECT_GT(n, 60) << "400 installations over four quarters of the window";

    // The jobs hold a built-in source until its spread moment, and the status shows that moment.
    JobsRig rig;
    HttpFaultServer site;
    site.route(kGpPath, HttpFaultServer::answer("HTTP/1.1 200 OK", kElements));
    ASSERT_TRUE(site.start());
    rig.onlyIssElements(site.url(QString()));
    rig.jobs.listJob();
    ASSERT_EQ(site.count(kGpPath), 1) << "a first download is not held: " << rig.logText();
    const gw::HostGaps gaps([&] { return rig.settingsFile; });
    const gw::StartSpread spread([&] { return rig.settingsFile; });
    const QString url = gw::endpoints::issElements();
    const gw::TDateTime plain = gw::timedDownloadAllowedFrom(gaps, url, rig.tleFile(), rig.clock.now());
    const gw::TDateTime spreadDue = gw::timedDownloadDue(gaps, spread, url, rig.tleFile(), rig.clock.now());
    ASSERT_GT(spreadDue, plain);
    ASSERT_LT(spreadDue, plain + window);
    for (const gw::DownloadState& s : gw::downloadStates(rig.settings, rig.settingsFile, rig.clock.now()))
        if (s.address == url) {
            EXPECT_EQ(s.nextFetch, gw::DateTimeToStr(spreadDue));
        }

    rig.clock.set(plain + 1.0 / 86400.0);
    if (spreadDue > rig.clock.now()) {
        rig.jobs.listJob();
        EXPECT_EQ(site.count(kGpPath), 1) << "due, but not yet this installation's moment";
    }
    rig.clock.set(spreadDue + 1.0 / 86400.0);
    rig.jobs.listJob();
    EXPECT_EQ(site.count(kGpPath), 2) << rig.logText();
}
