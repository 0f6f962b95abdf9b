// What an answer comes to: answers too large or too slow end with one line and the previous
// copy, a failure names its real cause and the file, and the engine tells the jobs whether the
// server was reached at all and when it may be asked again.
#include "DownloadRig.h"
#include "ServerProcess.h"

#include "net/ResponseHeaders.h"

#include <QDir>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace gwtest;

namespace {

const QByteArray kPrevious = "the previous copy\n";

// "200 OK", then `chunk` bytes every 100 ms for `ms`; `length` is announced when not empty.
HttpFaultServer::Handler trickle(const QByteArray& length, int chunk, int ms)
{
    return [=](HttpFaultServer::Exchange& e) {
        e.send("HTTP/1.1 200 OK\r\n" + (length.isEmpty() ? "Connection: close" : "Content-Length: " + length)
            + "\r\n\r\n");
        for (int waited = 0; waited < ms; waited += 100) {
            e.send(QByteArray(chunk, 'q'));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    };
}

// The log line of a download of `url` that failed for `reason`.
QString errorLine(const DownloadRig& rig, const QString& reason, const QString& url)
{
    return rig.line(" - Error downloading file (" + reason + ") - " + url.mid(url.lastIndexOf('/') + 1));
}

} // namespace

TEST(Answers, TooLargeOrTooSlowKeepsThePreviousCopy)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    const qint64 overLimit = 65 * 1024 * 1024;
    server.route("/announced", [](HttpFaultServer::Exchange& e) {
        e.send("HTTP/1.1 200 OK\r\nContent-Length: 10000000000\r\n\r\n" + QByteArray(4096, 'x'));
        e.stall(10000);
    });
    server.route("/unannounced", [=](HttpFaultServer::Exchange& e) {
        e.send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
        for (qint64 sent = 0; sent < overLimit && !e.wasReset(); sent += 1024 * 1024)
            e.send(QByteArray(1024 * 1024, 'y'));
    });
    server.route("/trickle", trickle("10000000000", 51, 4000)); // 510 bytes a second
    server.route("/silent", [](HttpFaultServer::Exchange& e) { e.stall(10000); });
    server.route("/steady", trickle("6000", 200, 3000)); // 2000 bytes a second

    struct Case
    {
        const char* label;
        QString path;
        QString file;
        QString reason; // empty: the download succeeds
    };
    const Case cases[] = {
        { "a feed announcing more than its limit", "/announced", "quake.csv", "too large, over 64 MiB" },
        { "a feed growing beyond it unannounced", "/unannounced", "iss.tle", "too large, over 64 MiB" },
        { "a picture has no such limit", "/unannounced", "clouds.jpg", "" },
        { "510 bytes a second", "/trickle", "clouds.jpg", "too slow, under 1 KiB/s for 2 s" },
        { "no answer at all", "/silent", "clouds.jpg", "too slow, under 1 KiB/s for 2 s" },
        { "2000 bytes a second for longer than the window", "/steady", "clouds.jpg", "" },
    };
    for (const Case& c : cases) {
        DownloadRig rig;
        rig.engine.http().setTimeouts({ 2000, 1024, 2, 0, 0 });
        const QString dest = rig.dir.write(c.file, kPrevious);
        const QString url = server.url(c.path);
        const bool ok = rig.engine.DownloadFile(url, dest, false);
        EXPECT_EQ(ok, c.reason.isEmpty()) << c.label;
        EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files), QStringList { c.file }) << c.label;
        if (ok)
            continue;
        EXPECT_EQ(rig.dir.read(c.file), kPrevious) << c.label;
        EXPECT_EQ(rig.log.lines, QStringList { errorLine(rig, c.reason, url) }) << c.label;
        const bool slow = c.reason.startsWith("too slow");
        EXPECT_DOUBLE_EQ(rig.engine.lastAnswer().retryNotBefore, slow ? rig.clock.now() + 60 * gw::OneSecond : 0)
            << c.label << ": a slow server gets a minute's pause";
        EXPECT_FALSE(rig.engine.lastAnswer().serverAsked) << c.label;
    }
}

TEST(Answers, FailuresSayWhatFailedAndWhetherTheServerWasReached)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/missing", HttpFaultServer::answer("HTTP/1.1 404 Not Found", "none"));
    server.route("/loop", HttpFaultServer::answer("HTTP/1.1 302 Found", "", { "Location: /loop" }));
    const QString refused = refusedUrl("/refused");
    ASSERT_FALSE(refused.isEmpty());
    TempDir www;
    www.write("f", "over tls");
    TlsServerFixture tls(www.path());
    tls.redirect("/tohttp", server.url("/missing"));
    ASSERT_TRUE(tls.start()) << tls.error().toStdString();
    TinyproxyFixture proxy("globe", "s3cret");
    ASSERT_TRUE(proxy.start()) << proxy.error().toStdString();

    struct Case
    {
        const char* label;
        QString url;
        bool viaProxy;
        QString reason;
        bool reached;
    };
    const Case cases[] = {
        { "connection refused", refused, false, "connection refused", false },
        { "a certificate nobody trusts", tls.url("/f"), false, "certificate not trusted", false },
        { "the same behind a proxy", tls.url("/f"), true, "certificate not trusted", false },
        { "a redirect loop", server.url("/loop"), false, "too many moves", true },
        { "https moved to plain http", tls.url("/tohttp"), false,
            "moved to " + server.url("/missing") + ", not followed", true },
        { "status 404", server.url("/missing"), false, "HTTP/1.1 404 Not Found", true },
    };
    for (const Case& c : cases) {
        DownloadRig rig;
        if (c.reason != "certificate not trusted")
            rig.engine.http().setCaFile(tls.caFile());
        if (c.viaProxy) {
            rig.settings.setChecked("cbUseProxy", true);
            rig.settings.setText("edtProxy", "127.0.0.1");
            rig.settings.setText("edtProxyPort", QString::number(proxy.port()));
            rig.settings.setText("edtProxyName", "globe");
            rig.settings.setText("edtProxyPasswd", "s3cret");
        }
        const QString dest = rig.dir.write("data.txt", kPrevious);
        EXPECT_FALSE(rig.engine.DownloadFile(c.url, dest, false)) << c.label;
        EXPECT_EQ(rig.log.lines, QStringList { errorLine(rig, c.reason, c.url) }) << c.label;
        EXPECT_EQ(rig.engine.lastAnswer().reachedServer, c.reached) << c.label;
        EXPECT_EQ(rig.dir.read("data.txt"), kPrevious) << c.label;
    }
}

TEST(Answers, RetryAfterInEveryFormHttpAllows)
{
    const QDateTime now(QDate(2026, 12, 8), QTime(12, 0, 0), Qt::UTC);
    // Seconds until midnight UTC of that day.
    const auto secondsTo
        = [&](int y, int m, int d) { return double(now.secsTo(QDateTime(QDate(y, m, d), QTime(0, 0), Qt::UTC))); };
    struct Case
    {
        const char* label;
        QByteArray header;
        double seconds; // -1: no wait asked
    };
    const Case cases[] = {
        { "seconds", "Retry-After: 120", 120 },
        { "IMF-fixdate", "Retry-After: Tue, 01 Jan 2999 00:00:00 GMT", secondsTo(2999, 1, 1) },
        { "RFC 850, two-digit year ahead", "Retry-After: Friday, 08-Jan-27 00:00:00 GMT", secondsTo(2027, 1, 8) },
        { "RFC 850, a year more than 50 ahead lies in the past", "Retry-After: Sunday, 06-Nov-94 08:49:37 GMT", 0 },
        { "asctime, day padded with a blank", "Retry-After: Fri Jan  8 00:00:00 2027", secondsTo(2027, 1, 8) },
        { "numeric zone", "Retry-After: Fri, 08 Jan 2027 02:00:00 +0200", secondsTo(2027, 1, 8) },
        { "name in lower case", "retry-after: 5", 5 },
        { "a date long past", "Retry-After: Fri, 01 Mar 2024 06:00:00 GMT", 0 },
        { "no such day", "Retry-After: Tue, 31 Feb 2027 00:00:00 GMT", -1 },
        { "negative seconds", "Retry-After: -5", -1 },
        { "words", "Retry-After: soon", -1 },
        { "max-age is no request to wait", "Cache-Control: max-age=3600", -1 },
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(gw::retryAfterSeconds("X-Other: 1\r\n" + c.header + "\r\n", now), c.seconds) << c.label;
}
