// What the status report says of each download after the jobs ran against a loopback server:
// the last result, and when the next timed fetch may go out.
#include "JobsRig.h"

#include "downloads/AddressValues.h"
#include "downloads/DownloadStatus.h"
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
            + "\n  file:        " + rig.tleFile() + "\n  content:     "))
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
