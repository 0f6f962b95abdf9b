// The satellite-element site is asked every two hours at most, also across restarts, and not
// again after it answered that the program asks too often.
#include "JobsRig.h"

#include <cmath>

using namespace gwtest;

namespace {

constexpr double kMinute = 60;

struct SiteRig : JobsRig
{
    HttpFaultServer site;
    QList<QByteArray> statuses; // one per request; the last repeats
    QString url;

    SiteRig()
    {
        site.route("/NORAD/elements/gp.php", [this](HttpFaultServer::Exchange& e) {
            const QByteArray status = statuses.value(e.number - 1, statuses.isEmpty() ? "200 OK" : statuses.last());
            e.respond("HTTP/1.1 " + status, readFile(testData("jobs/stations.txt")));
        });
        if (!site.start())
            ADD_FAILURE() << "no server";
        url = onlyIssElements(site.url(QString()));
    }
    int requests() const { return site.count("/NORAD/elements/gp.php"); }
    // A new program start: nothing is kept but the settings file.
    void restartedListJob()
    {
        gw::DownloadJobs again { settings, state, log, dialogs, clock, engine, actions() };
        again.listJob();
    }
};

} // namespace

TEST(JobPoliteness, TwoHoursBetweenRequestsAcrossRestarts)
{
    struct Step
    {
        const char* label;
        double minutesLater;
        int requests;
        int skipLines;
    };
    const Step steps[] = {
        { "first start", 0, 1, 0 },
        { "restart after a minute", 1, 1, 1 },
        { "restart after an hour", 60, 1, 2 },
        // Past the gap and the widest spread of a timed start (three minutes).
        { "restart after two hours", 64, 2, 2 },
    };
    SiteRig rig;
    for (const Step& s : steps) {
        rig.clock.advanceSeconds(s.minutesLater * kMinute);
        rig.restartedListJob();
        EXPECT_EQ(rig.requests(), s.requests) << s.label;
        EXPECT_EQ(
            rig.linesContaining(" - iss.tle not downloaded: its server allows the next download at "), s.skipLines)
            << s.label << "\n"
            << rig.logText();
    }
}

// A start with a settings file that kept no request times (another file loaded, or a new one):
// the age of the copy on disk decides.
TEST(JobPoliteness, ACopyYoungerThanTheGapIsNotFetchedAtStart)
{
    struct Case
    {
        const char* label;
        double copyAgeMinutes; // negative: dated ahead of the clock; NaN: no copy
        int requests;
    };
    const Case cases[] = {
        { "copy written a minute ago", 1, 0 },
        { "copy written 119 minutes ago", 119, 0 },
        { "copy written three hours ago", 180, 1 },
        { "copy dated a day ahead of the clock", -24 * 60, 1 },
        { "no copy", std::nan(""), 1 },
    };
    for (const Case& c : cases) {
        SiteRig rig;
        if (!std::isnan(c.copyAgeMinutes)) {
            writeFile(rig.tleFile(), readFile(testData("jobs/stations.txt")));
            setModified(rig.tleFile(), gw::fromDateTime(rig.clock.now() - c.copyAgeMinutes / (24 * 60)));
        }
        rig.restartedListJob();
        EXPECT_EQ(rig.requests(), c.requests) << c.label << "\n" << rig.logText();
        EXPECT_EQ(
            rig.linesContaining(" - iss.tle not downloaded: its server allows the next download at "), 1 - c.requests)
            << c.label;
    }
}

TEST(JobPoliteness, RefusalsStopTimedDownloadsUntilForced)
{
    struct Case
    {
        const char* label;
        QByteArray status;
        bool stops;
    };
    const Case cases[] = {
        { "403: asked too often", "403 Forbidden", true },
        { "429: too many requests", "429 Too Many Requests", true },
        { "404: any answer but 200 and 304 stops it", "404 Not Found", true },
        { "200: not stopped, the gap only", "200 OK", false },
    };
    for (const Case& c : cases) {
        SiteRig rig;
        rig.statuses = { c.status, "200 OK" };
        rig.jobs.listJob();
        EXPECT_EQ(rig.linesContaining(" - Timed downloads of " + rig.url + " stopped (HTTP/1.1 " + c.status + ")"),
            c.stops ? 1 : 0)
            << c.label << "\n"
            << rig.logText();

        rig.dialogs.queueYesNo(false);
        rig.jobs.btnDownloadTleNowClick();
        EXPECT_EQ(rig.requests(), 1) << c.label << ": within the gap the force button asks first";

        rig.clock.advanceSeconds(3 * 60 * kMinute);
        rig.restartedListJob();
        EXPECT_EQ(rig.requests(), c.stops ? 1 : 2) << c.label << ": hours later, after a restart";

        rig.clock.advanceSeconds(3 * 60 * kMinute);
        rig.jobs.btnDownloadTleNowClick();
        EXPECT_EQ(rig.requests(), c.stops ? 2 : 3) << c.label << ": the force button resumes it";
        rig.clock.advanceSeconds(3 * 60 * kMinute);
        rig.jobs.listJob();
        EXPECT_EQ(rig.requests(), c.stops ? 3 : 4) << c.label << ": timed downloads again";
    }
}

// The rig's clock an hour from now, as a server writes it.
QByteArray httpDateIn(int seconds)
{
    const QDateTime when = gw::fromDateTime(46000.5).toUTC().addSecs(seconds);
    return QLocale::c().toString(when, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'")).toLatin1();
}

TEST(JobPoliteness, TheServersOwnWaitIsKept)
{
    struct Case
    {
        const char* label;
        QByteArray header;
        int getsAfterHalfAnHour;
    };
    const Case cases[] = {
        { "Retry-After in seconds", "Retry-After: 3600", 1 },
        { "Retry-After as an IMF date", "Retry-After: " + httpDateIn(3600), 1 },
        { "Cache-Control max-age is no request to wait", "Cache-Control: public, max-age=3600", 2 },
        { "Retry-After as a date long past", "Retry-After: Fri, 01 Mar 2024 06:00:00 GMT", 2 },
        { "none", "X-Other: 1", 2 },
    };
    for (const Case& c : cases) {
        JobsRig rig;
        HttpFaultServer server;
        int gets = 0;
        server.route("/feed.txt", [&](HttpFaultServer::Exchange& e) {
            gets += e.request.method == "GET";
            e.respond("HTTP/1.1 200 OK", "body " + QByteArray::number(e.number), { c.header });
        });
        ASSERT_TRUE(server.start());
        rig.setRow(1, server.url("/feed.txt"), rig.layout.markersFolder() + "feed.txt");
        rig.setRow(2, QString(), QString());
        rig.jobs.listJob();
        rig.clock.advanceSeconds(30 * kMinute);
        rig.jobs.listJob();
        EXPECT_EQ(gets, c.getsAfterHalfAnHour) << c.label << "\n" << rig.logText();
        rig.clock.advanceSeconds(31 * kMinute);
        rig.jobs.listJob();
        EXPECT_EQ(gets, c.getsAfterHalfAnHour + 1) << c.label << ": allowed after an hour";
    }
}

TEST(JobPoliteness, RedirectsToAnotherHostAreLogged)
{
    struct Case
    {
        const char* label;
        bool satelliteSite;
    };
    const Case cases[] = { { "the satellite-element site: stopped", true }, { "another address: followed", false } };
    for (const Case& c : cases) {
        JobsRig rig;
        HttpFaultServer moved, target;
        target.route("/iss.tle", HttpFaultServer::answer("HTTP/1.1 200 OK", readFile(testData("jobs/stations.txt"))));
        ASSERT_TRUE(target.start());
        const QByteArray location = "Location: " + target.url("/iss.tle").toUtf8();
        moved.route("/gp.php", HttpFaultServer::answer("HTTP/1.1 301 Moved Permanently", "", { location }));
        ASSERT_TRUE(moved.start());
        if (c.satelliteSite)
            gw::endpoints::hosts().satellites = moved.url(QString());
        const QString url = moved.url("/gp.php");
        rig.setRow(1, QString(), QString());
        rig.setRow(2, url, rig.tleFile());
        rig.jobs.listJob();
        EXPECT_EQ(rig.linesContaining(" - " + url + " moved to " + target.url("/iss.tle")), 1) << c.label << "\n"
                                                                                               << rig.logText();
        EXPECT_EQ(rig.linesContaining(" stopped (moved to "), c.satelliteSite ? 1 : 0) << c.label;
        rig.clock.advanceSeconds(3 * 60 * kMinute);
        rig.jobs.listJob();
        EXPECT_EQ(moved.count("/gp.php"), c.satelliteSite ? 1 : 4) << c.label << ": a check and a transfer each time";
    }
}
