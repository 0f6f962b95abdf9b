// The freshness check against a real file server, the records in the settings file, and the
// debug log of the HEAD requests.
#include "DownloadRig.h"
#include "ServerProcess.h"

#include "settings/IniFile.h"
#include "shared/Error.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace gwtest;

namespace {

void setModified(const QString& path, const QDateTime& when)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
}

} // namespace

TEST(Records, FreshFileIsNotFetchedTwice)
{
    TempDir www;
    const QString served = www.write("stations.txt", "ISS (ZARYA)\n");
    const QDateTime first(QDate(2024, 3, 1), QTime(10, 20, 30), Qt::UTC);
    setModified(served, first);
    LighttpdFixture lighttpd(www.path());
    ASSERT_TRUE(lighttpd.start()) << lighttpd.error().toStdString();
    const QString url = lighttpd.url("/stations.txt");

    DownloadRig rig;
    QString text;
    EXPECT_FALSE(rig.engine.AlreadyDownloaded(url, &text)) << "no record yet";
    EXPECT_EQ(text, gw::DateTimeToStr(first.toLocalTime())) << "Last-Modified as local date-time text";

    ASSERT_TRUE(rig.engine.DownloadFile(url, rig.file("iss.tle"), false));
    rig.engine.DateTimeDownloadedFile(url, text);

    QString again;
    EXPECT_TRUE(rig.engine.AlreadyDownloaded(url, &again)) << "recorded and unchanged";
    EXPECT_EQ(again, text);

    setModified(served, first.addSecs(3600));
    EXPECT_FALSE(rig.engine.AlreadyDownloaded(url, &again)) << "the server's copy changed";
    EXPECT_EQ(again, gw::DateTimeToStr(first.addSecs(3600).toLocalTime()));

    // Another settings file has records of its own.
    rig.settingsFile = rig.file("other.ini");
    EXPECT_FALSE(rig.engine.AlreadyDownloaded(url, &again)) << "other settings file";
}

TEST(Records, CheckFailures)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/gone", HttpFaultServer::answer("HTTP/1.1 404 Not Found", ""));
    server.route("/nodate", HttpFaultServer::answer("HTTP/1.1 200 OK", "x"));
    const QString refused = refusedUrl("/x");
    ASSERT_FALSE(refused.isEmpty());

    struct Case
    {
        const char* label;
        QString url;
        bool fresh;
        QString text;
        QString logLine;
    };
    const Case cases[] = {
        { "404 counts as fresh", server.url("/gone"), true, "",
            " - Error downloading file (HTTP/1.1 404 Not Found) - gone" },
        { "no connection counts as fresh", refused, true, "", " - Error downloading file (connection refused) - x" },
        { "200 without Last-Modified is never fresh", server.url("/nodate"), false, gw::DateTimeToStr(gw::TDateTime(0)),
            "" },
    };
    for (const Case& c : cases) {
        DownloadRig rig;
        QString text = "left over from another address";
        EXPECT_EQ(rig.engine.AlreadyDownloaded(c.url, &text), c.fresh) << c.label;
        EXPECT_EQ(text, c.text) << c.label;
        EXPECT_EQ(rig.log.lines, c.logLine.isEmpty() ? QStringList {} : QStringList { rig.line(c.logLine) }) << c.label;
        EXPECT_FALSE(rig.display.busyCursor) << c.label;
        // A job records what the check gave; a check without a 200 answer leaves no record.
        rig.engine.DateTimeDownloadedFile(c.url, text);
        EXPECT_EQ(gw::IniFile(rig.settingsFile).hasKey("Downloaded Files", c.url), !c.text.isEmpty()) << c.label;
    }
}

TEST(Records, KeysReadBack)
{
    DownloadRig rig;
    gwtest::writeFile(
        rig.settingsFile, "[Config]\r\nWeb Adress=x\r\n[Downloaded Files]\r\nhttp://h/old.txt=1.1.2020\r\n");
    struct Case
    {
        const char* label;
        QString url;
        QString keyInFile;
    };
    const Case cases[] = {
        { "plain address is its own key", "http://h/clouds.jpg", "http://h/clouds.jpg" },
        { "query with =", "http://h/gp.php?GROUP=stations&FORMAT=tle",
            "http://h/gp.php?GROUP%3Dstations&FORMAT%3Dtle" },
        { "= in the path", "http://h/a=b/c=d", "http://h/a%3Db/c%3Dd" },
        { "line break", "http://h/a\nb", "http://h/a%0Ab" },
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString value = QStringLiteral("2.3.2024 10:00:0%1").arg(++n);
        rig.engine.DateTimeDownloadedFile(c.url, value);
        EXPECT_EQ(rig.records.recorded(c.url), value) << c.label;
        const gw::IniFile ini(rig.settingsFile);
        EXPECT_TRUE(ini.keys("Downloaded Files").contains(c.keyInFile)) << c.label;
    }
    EXPECT_EQ(rig.records.recorded("http://h/old.txt"), "1.1.2020") << "record written before";
    EXPECT_EQ(rig.records.recorded("http://h/never"), gw::DateTimeToStr(gw::TDateTime(0))) << "no record";
    const gw::IniFile ini(rig.settingsFile);
    EXPECT_EQ(ini.readString("Config", "Web Adress", ""), "x") << "other sections stay";

    rig.engine.DateTimeDownloadedFile("http://h/clouds.jpg", "");
    EXPECT_EQ(rig.records.recorded("http://h/clouds.jpg"), "2.3.2024 10:00:01") << "an empty text records nothing";
}

TEST(Records, UnwritableSettingsFileIsAnError)
{
    DownloadRig rig;
    QDir(rig.dir.path()).mkpath("Globewall.ini"); // a folder where the file should be
    EXPECT_THROW(rig.engine.DateTimeDownloadedFile("http://h/a", "1.1.2024"), gw::Error);
}

TEST(Records, HeadRequestLog)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/dated",
        HttpFaultServer::answer(
            "HTTP/1.1 200 OK", "x", { "Last-Modified: Fri, 01 Mar 2024 10:20:30 GMT", "X-Extra: yes" }));
    server.route("/gone", HttpFaultServer::answer("HTTP/1.1 404 Not Found", ""));

    {
        SCOPED_TRACE("debug level 0 writes nothing");
        DownloadRig rig;
        QString text;
        rig.engine.AlreadyDownloaded(server.url("/dated"), &text);
        EXPECT_FALSE(QFile::exists(rig.file("Globewall.HeadRequest.log")));
    }
    {
        SCOPED_TRACE("debug level 1");
        DownloadRig rig;
        rig.settings.setInteger("DebugLevel", 1);
        QString text;
        rig.engine.AlreadyDownloaded(server.url("/dated"), &text);
        rig.engine.AlreadyDownloaded(server.url("/gone"), &text);
        const QByteArray log = rig.dir.read("Globewall.HeadRequest.log");
        const QByteArray now = gw::DateTimeToStr(rig.clock.now()).toUtf8();
        EXPECT_TRUE(log.startsWith(now + ": " + server.url("/dated").toUtf8() + "\r\n")) << log.toStdString();
        EXPECT_TRUE(log.contains("Last-Modified: Fri, 01 Mar 2024 10:20:30 GMT\r\nX-Extra: yes\r\n"))
            << log.toStdString();
        EXPECT_FALSE(log.contains("HTTP/1.1 200 OK")) << "header lines only";
        EXPECT_TRUE(log.contains(now + ": " + server.url("/gone").toUtf8() + "\r\nHTTP/1.1 404 Not Found"))
            << log.toStdString();
    }
}
