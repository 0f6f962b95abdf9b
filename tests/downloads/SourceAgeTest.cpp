// How old the content of a source is, read from what it published rather than from when it
// was fetched, and a built-in source whose content stopped changing reported once a day.
#include "JobsRig.h"

#include "downloads/BuiltInSources.h"
#include "downloads/ContentAge.h"
#include "downloads/SourceAges.h"

#include <QLocale>

using namespace gwtest;

namespace {

QByteArray httpDate(const QDateTime& when)
{
    return QLocale::c().toString(when.toUTC(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss")).toLatin1() + " GMT";
}

// A TLE line 1 with the epoch of `when` (UTC): two-digit year, day of the year with fraction.
QByteArray tleLine1(const QDateTime& when)
{
    const QDateTime utc = when.toUTC();
    const double day = utc.date().dayOfYear() + utc.time().msecsSinceStartOfDay() / 86400000.0;
    return "1 25544U 98067A   " + QByteArray::number(utc.date().year() % 100).rightJustified(2, '0')
        + QByteArray::number(day, 'f', 8).rightJustified(12, '0') + "  .00016717  00000-0  10270-3 0  9005";
}

QByteArray geoJson(const QDateTime& generated)
{
    return "{\"type\":\"FeatureCollection\",\"metadata\":{\"generated\":"
        + QByteArray::number(generated.toMSecsSinceEpoch()) + ",\"title\":\"M2.5+ Week\"},\"features\":[]}";
}

} // namespace

TEST(SourceAge, ContentDateByTheSourcesRule)
{
    using gw::sources::ContentAge;
    const QDateTime modified(QDate(2026, 5, 26), QTime(9, 0), Qt::UTC);
    const QDateTime stated(QDate(2026, 12, 8), QTime(6, 30), Qt::UTC);
    struct Row
    {
        const char* name;
        ContentAge how;
        QByteArray headers;
        QByteArray file;
        QDateTime expected;
    };
    const QByteArray lm = "HTTP/1.1 200 OK\r\nlast-modified: " + httpDate(modified) + "\r\n";
    const Row rows[] = {
        { "Last-Modified", ContentAge::LastModified, lm, "x", modified },
        { "no Last-Modified", ContentAge::LastModified, "HTTP/1.1 200 OK\r\n", "x", {} },
        { "a feed's own generation time", ContentAge::FeedGenerated, lm, geoJson(stated), stated },
        { "a CSV feed states none", ContentAge::FeedGenerated, lm, "time,latitude\n", modified },
        { "the newest of two element sets", ContentAge::TleEpoch, lm,
            "A\n" + tleLine1(stated.addDays(-2)) + "\nB\n" + tleLine1(stated) + "\r\n", stated },
        { "a year of the last century", ContentAge::TleEpoch, "",
            tleLine1(QDateTime(QDate(1999, 7, 1), QTime(12, 0), Qt::UTC)),
            QDateTime(QDate(1999, 7, 1), QTime(12, 0), Qt::UTC) },
        { "an error page instead of elements", ContentAge::TleEpoch, lm, "<html>No GP data found</html>", modified },
        // A date from the future would keep the source from ever counting as stale.
        { "Last-Modified in 2999", ContentAge::LastModified,
            "HTTP/1.1 200 OK\r\nlast-modified: Tue, 01 Jan 2999 00:00:00 GMT\r\n", "x", {} },
        { "generated in 2999: the Last-Modified", ContentAge::FeedGenerated, lm,
            geoJson(QDateTime(QDate(2999, 1, 1), QTime(0, 0), Qt::UTC)), modified },
        { "generated, 21 digits: the Last-Modified", ContentAge::FeedGenerated, lm,
            "{\"type\":\"FeatureCollection\",\"metadata\":{\"generated\":176543210987654321098},\"features\":[]}",
            modified },
        { "a feature's own generated is no date of the feed", ContentAge::FeedGenerated, lm,
            "{\"type\":\"FeatureCollection\",\"metadata\":{\"title\":\"x\"},\"features\":[{\"properties\":"
            "{\"generated\":1000000000000}}]}",
            modified },
        { "metadata after the features", ContentAge::FeedGenerated, lm,
            "{\"features\":[],\"metadata\":{\"generated\":" + QByteArray::number(stated.toMSecsSinceEpoch()) + "}}",
            stated },
        { "an element epoch of 2056", ContentAge::TleEpoch, lm,
            tleLine1(QDateTime(QDate(2056, 7, 1), QTime(12, 0), Qt::UTC)), modified },
        { "the newest observation of an event list, wherever it stands", ContentAge::NewestDate, lm,
            R"({"features":[{"properties":{"date":"2026-12-07T00:00:00Z"}},{"properties":{"date":"2026-12-08T06:30:00Z"}},)"
            R"({"properties":{"date":"2026-12-08T07:30:00+01:00"}},{"properties":{"date":"not a date at all"}}]})",
            stated },
        { "an event list without dates", ContentAge::NewestDate, lm, R"({"features":[]})", modified },
    };
    TempDir dir;
    for (const Row& row : rows) {
        const QString file = dir.write("content", row.file);
        const QDateTime got = gw::contentage::contentDate(row.how, row.headers, file, QDateTime::currentDateTimeUtc());
        EXPECT_EQ(got.isValid(), row.expected.isValid()) << row.name;
        if (row.expected.isValid()) {
            EXPECT_LE(std::abs(got.msecsTo(row.expected)), 1000) << row.name << " " << got.toString().toStdString();
        }
    }
}

// Three times the cadence and at least a day; only built-in sources have a cadence.
TEST(SourceAge, StaleAfterThreeCadencesAndAtLeastADay)
{
    struct Row
    {
        const char* name;
        QString url;
        double ageHours;
        bool stale;
    };
    const QString clouds = gw::endpoints::liveCloudMap("2048x1024");
    const Row rows[] = {
        { "live clouds, 23 hours", clouds, 23, false },
        { "live clouds, 25 hours", clouds, 25, true },
        { "earthquake feed, 23 hours", gw::endpoints::quakeFeed(), 23, false },
        { "earthquake feed, 25 hours", gw::endpoints::quakeFeed(), 25, true },
        { "satellite elements, 25 hours", gw::endpoints::issElements(), 25, true },
        { "another file of the cloud host", gw::endpoints::hosts().liveClouds + "/index.html", 700, false },
        { "the user's own address", "https://example.org/clouds.jpg", 700, false },
        { "no date known", clouds, -1, false },
        { "volcanoes erupting for a month: a quiet event list", gw::endpoints::naturalEvents("volcanoes"), 700, false },
    };
    const double now = 46000.5;
    for (const Row& row : rows) {
        const double content = row.ageHours < 0 ? 0 : now - row.ageHours / 24;
        EXPECT_EQ(gw::SourceAges::isStale(row.url, content, now), row.stale) << row.name;
    }
}

namespace {

using Hosts = gw::endpoints::Hosts;

// A built-in source on a loopback server of its own, the only row of the list.
struct AgeRig : JobsRig
{
    HttpFaultServer site;
    QByteArray body;
    QList<QByteArray> headers;

    AgeRig(QString Hosts::*host, const QString& path)
    {
        site.route(
            path.toLatin1(), [this](HttpFaultServer::Exchange& e) { e.respond("HTTP/1.1 200 OK", body, headers); });
        if (!site.start())
            ADD_FAILURE() << "no server";
        gw::endpoints::hosts().*host = site.url(QString());
        QDir().mkpath(home.file("data"));
        onlyRow(site.url(path), home.file("data/file"));
    }
    QDateTime now() const { return gw::fromDateTime(clock.now()); }
    int staleLines() const { return linesContaining(" - Stale: "); }
};

} // namespace

TEST(SourceAge, AStaleSourceIsReportedOnceADay)
{
    struct Row
    {
        const char* name;
        QString Hosts::*host;
        QString path;
        double lastModifiedDaysAgo;
        std::function<QByteArray(const QDateTime& now)> body;
        bool stale;
    };
    const QString clouds = "/images/2048x1024/clouds.jpg";
    const QString feed = "/earthquakes/feed/v1.0/summary/4.5_week.geojson";
    const QString elements = "/NORAD/elements/gp.php";
    const auto picture = [](const QDateTime&) { return jpegOfSize(2048, 1024); };
    const Row rows[] = {
        { "live clouds, a month old", &Hosts::liveClouds, clouds, 30, picture, true },
        { "live clouds, three hours old", &Hosts::liveClouds, clouds, 0.125, picture, false },
        { "a week without earthquakes, the feed generated now", &Hosts::quakeFeeds, feed, 7, geoJson, false },
        { "a feed generated three days ago", &Hosts::quakeFeeds, feed, 0,
            [](const QDateTime& now) { return geoJson(now.addDays(-3)); }, true },
        { "elements of three days ago, served now", &Hosts::satellites, elements, 0,
            [](const QDateTime& now) { return "ISS (ZARYA)\n" + tleLine1(now.addDays(-3)) + "\n"; }, true },
        { "elements of this morning", &Hosts::satellites, elements, 0,
            [](const QDateTime& now) { return "ISS (ZARYA)\n" + tleLine1(now.addSecs(-6 * 3600)) + "\n"; }, false },
    };
    for (const Row& row : rows) {
        AgeRig rig(row.host, row.path);
        const auto publish = [&] {
            rig.body = row.body(rig.now());
            rig.headers = { "Last-Modified: " + httpDate(rig.now().addSecs(qint64(-row.lastModifiedDaysAgo * 86400))) };
        };
        // Hours later: a live source has published anew, a stale one keeps what it had.
        const auto fetchLater = [&](double hours) {
            rig.clock.advanceSeconds(hours * 3600);
            if (!row.stale)
                publish();
            rig.jobs.btnDownloadTleNowClick();
            return rig.staleLines();
        };
        publish();
        EXPECT_EQ(fetchLater(0), row.stale ? 1 : 0) << row.name << "\n" << rig.logText();
        if (row.stale) {
            EXPECT_EQ(rig.linesContaining(" - Stale: " + rig.site.url(row.path) + " has not changed since "), 1)
                << row.name;
        }
        EXPECT_EQ(fetchLater(4), row.stale ? 1 : 0) << row.name << ": the same day";
        EXPECT_EQ(fetchLater(24), row.stale ? 2 : 0) << row.name << ": the next day";
    }
}

// A server that dates its content in 2999: the date is not kept, one line says so for the
// address, and the source still goes stale when its content stops changing.
TEST(SourceAge, ADateFromTheFutureIsLoggedOnceAndNotKept)
{
    AgeRig rig(&Hosts::liveClouds, "/images/2048x1024/clouds.jpg");
    rig.body = jpegOfSize(2048, 1024);
    rig.headers = { "Last-Modified: Tue, 01 Jan 2999 00:00:00 GMT" };
    const QString url = rig.site.url("/images/2048x1024/clouds.jpg");
    for (int fetch = 0; fetch < 3; ++fetch) {
        rig.clock.advanceSeconds(4 * 3600); // the cloud host's gap is three hours
        rig.jobs.btnDownloadTleNowClick();
    }
    EXPECT_EQ(
        rig.linesContaining(" - " + url + " states a date from the future (Last-Modified 2999-01-01 00:00:00 UTC)"), 1)
        << rig.logText();
    const gw::SourceAges ages([&] { return rig.records.settingsFile(); });
    EXPECT_EQ(ages.contentDate(url), 0) << "no date kept";
}

// Values no clock ever wrote, as a hand edit or a broken file leaves them.
TEST(SourceAge, AHugeStoredValueIsNoDate)
{
    struct Row
    {
        const char* label;
        QString section;
        QString stored;
        double read;
    };
    const Row rows[] = {
        { "a content date", gw::SourceAges::ContentSection, "46000.5", 46000.5 },
        { "1e300 as a content date", gw::SourceAges::ContentSection, "1e300", 0 },
        { "1e300 as the end of a wait", "Downloads Not Before", "1e300", 0 },
        { "minus 1e300", "Downloads Not Before", "-1e300", 0 },
        { "the year 9999", gw::SourceAges::ContentSection, "2958465.5", 2958465.5 },
    };
    TempDir dir;
    const QString file = dir.file("settings.ini");
    for (const Row& row : rows) {
        gw::AddressValues values([&] { return file; });
        values.write(row.section, "https://example.org/clouds.jpg", row.stored);
        EXPECT_EQ(
            gw::AddressValues([&] { return file; }).number(row.section, "https://example.org/clouds.jpg"), row.read)
            << row.label;
    }
}
