// What the jobs make of an answer: a contact that never reached the server asks it nothing, a
// slow server waits a minute, a 304 keeps the row going, and the force button's question says
// what really holds an address back.
#include "JobsRig.h"

#include "downloads/HostGaps.h"
#include "settings/IniFile.h"

#include <chrono>
#include <thread>

using namespace gwtest;

namespace {

constexpr double kMinute = 60;

// HEAD is answered at once; GET with "200 OK" and then 100 bytes a second.
void trickleOnGet(HttpFaultServer::Exchange& e)
{
    if (e.request.method == "HEAD") {
        e.respond("HTTP/1.1 200 OK", "");
        return;
    }
    e.send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
    for (int i = 0; i < 30; ++i) {
        e.send(QByteArray(10, 'c'));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

int gets(const HttpFaultServer& server)
{
    int n = 0;
    for (const SeenRequest& r : server.requests())
        n += r.method == "GET";
    return n;
}

} // namespace

TEST(JobAnswers, ATooSlowServerIsNotAskedAgainWithinAMinute)
{
    JobsRig rig;
    rig.engine.http().setTimeouts({ 2000, 1024, 1, 0, 0 });
    HttpFaultServer server;
    server.route("/clouds.jpg", trickleOnGet);
    ASSERT_TRUE(server.start());
    rig.settings.setText("edtWebAdress", server.url("/clouds.jpg"));
    writeFile(rig.cloudFile(), JobsRig::CloudMap);

    struct Step
    {
        const char* label;
        double secondsLater;
        int gets;
    };
    const Step steps[] = {
        { "first try, too slow", 0, 1 },
        { "half a minute later", 30, 1 },
        { "a minute after the try", 31, 2 },
    };
    for (const Step& s : steps) {
        rig.clock.advanceSeconds(s.secondsLater);
        rig.jobs.cloudIntervalJob();
        EXPECT_EQ(gets(server), s.gets) << s.label << "\n" << rig.logText();
    }
    EXPECT_EQ(rig.linesContaining(" - Error downloading file (too slow, under 1 KiB/s for 1 s) - clouds.jpg"), 2)
        << rig.logText();
    EXPECT_EQ(rig.linesContaining(" - clouds_2000.jpg not downloaded: the last attempt failed (too slow, under 1 KiB/s "
                                  "for 1 s), the next try at "),
        1)
        << rig.logText();
    EXPECT_EQ(readFile(rig.cloudFile()), JobsRig::CloudMap) << "the previous map stays";
    EXPECT_EQ(rig.calls.renders, 0);
}

TEST(JobAnswers, ARefusedConnectionLeavesNoHostGap)
{
    JobsRig rig;
    rig.onlyIssElements(refusedUrl(QString()));
    ASSERT_FALSE(gw::endpoints::hosts().satellites.isEmpty());

    rig.jobs.listJob();
    rig.clock.advanceSeconds(5);
    rig.jobs.listJob();
    EXPECT_EQ(rig.linesContaining(" - Error downloading file (connection refused) - gp.php?CATNR=25544&FORMAT=TLE"), 2)
        << "tried again at once: " << rig.logText();
    EXPECT_EQ(rig.linesContaining(" not downloaded: "), 0) << rig.logText();
    EXPECT_EQ(rig.linesContaining(" stopped ("), 0) << "no answer, no stop";
    EXPECT_TRUE(gw::IniFile(rig.settingsFile).keys(gw::HostGaps::TimesSection).isEmpty()) << "no request time kept";
}

TEST(JobAnswers, NotModifiedKeepsTheSatelliteRowGoing)
{
    JobsRig rig;
    HttpFaultServer site;
    site.route("/NORAD/elements/gp.php", [](HttpFaultServer::Exchange& e) {
        if (e.request.header("If-None-Match") == "\"v1\"")
            e.respond("HTTP/1.1 304 Not Modified", "");
        else
            e.respond("HTTP/1.1 200 OK", readFile(testData("jobs/stations.txt")), { "ETag: \"v1\"" });
    });
    ASSERT_TRUE(site.start());
    rig.onlyIssElements(site.url(QString()));

    for (int day = 0; day < 3; ++day) {
        rig.jobs.listJob();
        rig.clock.advanceSeconds(3 * 60 * kMinute);
    }
    EXPECT_EQ(site.count("/NORAD/elements/gp.php"), 3) << rig.logText();
    EXPECT_EQ(rig.linesContaining(" - Success: local copy of iss.tle still up to date"), 2) << rig.logText();
    EXPECT_EQ(rig.linesContaining(" stopped ("), 0) << rig.logText();
    EXPECT_EQ(readFile(rig.tleFile()), readFile(testData("jobs/stations.txt")));
}

TEST(JobAnswers, TheForceQuestionSaysWhatHoldsTheAddressBack)
{
    HttpFaultServer server;
    server.route(
        "/busy.txt", HttpFaultServer::answer("HTTP/1.1 503 Service Unavailable", "later", { "Retry-After: 3600" }));
    server.route("/slow.txt", trickleOnGet);
    ASSERT_TRUE(server.start());
    HttpFaultServer site; // the satellite-element site
    site.route("/NORAD/elements/gp.php", HttpFaultServer::answer("HTTP/1.1 200 OK", "1 25544U\n"));
    ASSERT_TRUE(site.start());
    const QString refused = refusedUrl("/feed.txt");
    ASSERT_FALSE(refused.isEmpty());

    struct Case
    {
        const char* label;
        QString url; // empty: the satellite-element site
        QString says; // in the question; empty: nothing holds the address, no question
    };
    const Case cases[] = {
        { "the server asked for an hour", server.url("/busy.txt"), "\nasks for more time between downloads; " },
        { "the last try was too slow", server.url("/slow.txt"),
            ": the last attempt failed: too slow, under 1 KiB/s for 1 s." },
        { "the host's own rule", "", "\nallows one download every 2 hours; the next is allowed at " },
        { "a refused connection holds nothing", refused, "" },
    };
    for (const Case& c : cases) {
        JobsRig rig;
        rig.engine.http().setTimeouts({ 2000, 1024, 1, 0, 0 });
        gw::endpoints::hosts().satellites = site.url(QString());
        const QString url = c.url.isEmpty() ? gw::endpoints::issElements() : c.url;
        rig.onlyRow(url, rig.layout.markersFolder() + "feed.txt");
        rig.jobs.btnDownloadTleNowClick();
        ASSERT_TRUE(rig.dialogs.asked.empty()) << c.label << ": nothing held the first try";
        rig.dialogs.queueYesNo(false);
        rig.jobs.btnDownloadTleNowClick();
        if (c.says.isEmpty()) {
            EXPECT_TRUE(rig.dialogs.asked.empty()) << c.label;
            continue;
        }
        ASSERT_EQ(rig.dialogs.asked.size(), 1u) << c.label << "\n" << rig.logText();
        EXPECT_TRUE(rig.dialogs.asked[0].text.contains(c.says))
            << c.label << ": " << rig.dialogs.asked[0].text.toStdString();
        EXPECT_EQ(rig.dialogs.asked[0].text.contains("asks for more time"), c.label == cases[0].label) << c.label;
    }
}
