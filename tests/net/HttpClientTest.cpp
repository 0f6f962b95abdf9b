// What goes over the wire: request headers, protocol version, redirects, cookies, the proxy,
// and the progress signals; and that the window keeps working while a transfer waits.
#include "DownloadRig.h"
#include "ServerProcess.h"

#include "net/CurlLibrary.h"

#include <QTimer>
#include <gtest/gtest.h>

using namespace gwtest;

TEST(HttpClient, RequestHeaders)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route(
        "/f", HttpFaultServer::answer("HTTP/1.1 200 OK", "x", { "Last-Modified: Fri, 01 Mar 2024 10:20:30 GMT" }));

    struct Case
    {
        const char* label;
        QString protocolSetting;
        QString agentSetting;
        QByteArray version;
        QByteArray agent;
    };
    const Case cases[] = {
        { "defaults", "HTTP/1.1", "", "HTTP/1.1", "Mozilla/3.0 (Globewall v" GLOBEWALL_VERSION " )" },
        { "HTTP/1.0 exactly", "HTTP/1.0", "Agent/7", "HTTP/1.0", "Agent/7" },
        { "http/1.0 in lower case is 1.1", "http/1.0", "", "HTTP/1.1",
            "Mozilla/3.0 (Globewall v" GLOBEWALL_VERSION " )" },
        { "anything else is 1.1", "HTTP/2", "", "HTTP/1.1", "Mozilla/3.0 (Globewall v" GLOBEWALL_VERSION " )" },
    };
    for (const Case& c : cases) {
        DownloadRig rig;
        rig.settings.setText("HttpProtocolVersion", c.protocolSetting);
        rig.settings.setText("UserAgent", c.agentSetting);
        const qsizetype before = server.requests().size();
        QString text;
        rig.engine.AlreadyDownloaded(server.url("/f"), &text);
        ASSERT_TRUE(rig.engine.DownloadFile(server.url("/f"), rig.file("f"), false)) << c.label;
        const QList<SeenRequest> seen = server.requests().mid(before);
        ASSERT_EQ(seen.size(), 2) << c.label;
        const SeenRequest& head = seen[0];
        const SeenRequest& get = seen[1];
        EXPECT_EQ(head.method, "HEAD") << c.label;
        EXPECT_EQ(get.method, "GET") << c.label;
        for (const SeenRequest& r : seen) {
            EXPECT_EQ(r.version, c.version) << c.label << " " << r.method.constData();
            EXPECT_EQ(r.header("User-Agent"), c.agent) << c.label;
            EXPECT_EQ(r.header("Accept"), "text/html, */*") << c.label;
            EXPECT_EQ(r.header("Cache-Control"), "no-cache") << c.label;
        }
        EXPECT_EQ(head.header("Pragma"), "no-cache") << c.label;
        EXPECT_FALSE(get.hasHeader("Pragma")) << c.label;
    }
}

TEST(HttpClient, RedirectsAndCookies)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/login",
        HttpFaultServer::answer("HTTP/1.1 302 Found", "", { "Location: /landing", "Set-Cookie: session=abc; Path=/" }));
    server.route("/landing", HttpFaultServer::answer("HTTP/1.1 200 OK", "landed"));
    server.route("/again", HttpFaultServer::answer("HTTP/1.1 200 OK", "again"));
    server.route("/tofile", HttpFaultServer::answer("HTTP/1.1 302 Found", "", { "Location: file:///etc/hostname" }));

    DownloadRig rig;
    ASSERT_TRUE(rig.engine.DownloadFile(server.url("/login"), rig.file("a"), false));
    EXPECT_EQ(rig.dir.read("a"), "landed") << "redirect followed";
    ASSERT_TRUE(rig.engine.DownloadFile(server.url("/again"), rig.file("b"), false));
    const QList<SeenRequest> seen = server.requests();
    EXPECT_EQ(seen.last().header("Cookie"), "session=abc") << "cookie kept in memory for the next request";

    EXPECT_FALSE(rig.engine.DownloadFile(server.url("/tofile"), rig.file("c"), false)) << "no file:// after a redirect";
    EXPECT_FALSE(QFile::exists(rig.file("c")));
    EXPECT_FALSE(rig.engine.DownloadFile("file:///etc/hostname", rig.file("d"), false)) << "no file:// at all";
    EXPECT_FALSE(QFile::exists(rig.file("d")));
}

TEST(HttpClient, ProxyWithBasicAuthentication)
{
    HttpFaultServer origin;
    ASSERT_TRUE(origin.start());
    origin.route("/f", HttpFaultServer::answer("HTTP/1.1 200 OK", "through the proxy"));
    TinyproxyFixture proxy("globe", "s3cret");
    ASSERT_TRUE(proxy.start()) << proxy.error().toStdString();

    struct Case
    {
        const char* label;
        QString user, password;
        bool ok;
        QString line;
    };
    const Case cases[] = {
        { "right credentials", "globe", "s3cret", true, "" },
        { "wrong password", "globe", "wrong", false, " - Error downloading file (HTTP/1.0 401 Unauthorized) - f" },
        { "no credentials", "", "", false,
            " - Error downloading file (HTTP/1.0 407 Proxy Authentication Required) - f" },
    };
    for (const Case& c : cases) {
        DownloadRig rig;
        rig.settings.setChecked("cbUseProxy", true);
        rig.settings.setText("edtProxy", "127.0.0.1");
        rig.settings.setText("edtProxyPort", QString::number(proxy.port()));
        rig.settings.setText("edtProxyName", c.user);
        rig.settings.setText("edtProxyPasswd", c.password);
        const int before = origin.count("/f");
        EXPECT_EQ(rig.engine.DownloadFile(origin.url("/f"), rig.file("f"), false), c.ok) << c.label;
        EXPECT_EQ(origin.count("/f") - before, c.ok ? 1 : 0) << c.label;
        if (c.ok)
            EXPECT_EQ(rig.dir.read("f"), "through the proxy") << c.label;
        else
            EXPECT_EQ(rig.log.lines, QStringList { rig.line(c.line) }) << c.label;
    }
}

TEST(HttpClient, ApplyProxySettingsKeepsValuesOfEmptyFields)
{
    DownloadRig rig;
    rig.settings.setChecked("cbUseProxy", true);
    rig.settings.setText("edtProxy", "proxy.lan");
    rig.settings.setText("edtProxyPort", "3128");
    rig.settings.setText("edtProxyName", "anna");
    rig.settings.setText("edtProxyPasswd", "pw");
    rig.engine.ApplyProxySettings();

    struct Step
    {
        const char* label;
        const char* field;
        QString value;
        gw::ProxySettings expected;
    };
    const Step steps[] = {
        { "empty host keeps the host", "edtProxy", "", { true, "proxy.lan", 3128, "anna", "pw" } },
        { "empty port keeps the port", "edtProxyPort", "", { true, "proxy.lan", 3128, "anna", "pw" } },
        { "a port that is no number keeps the port", "edtProxyPort", "31x", { true, "proxy.lan", 3128, "anna", "pw" } },
        { "empty name keeps the name", "edtProxyName", "", { true, "proxy.lan", 3128, "anna", "pw" } },
        { "empty password keeps the password", "edtProxyPasswd", "", { true, "proxy.lan", 3128, "anna", "pw" } },
        { "a new name replaces it", "edtProxyName", "bert", { true, "proxy.lan", 3128, "bert", "pw" } },
    };
    for (const Step& s : steps) {
        rig.settings.setText(s.field, s.value);
        rig.engine.ApplyProxySettings();
        const gw::ProxySettings& p = rig.engine.http().proxy();
        EXPECT_EQ(p.basicAuth, s.expected.basicAuth) << s.label;
        EXPECT_EQ(p.host, s.expected.host) << s.label;
        EXPECT_EQ(p.port, s.expected.port) << s.label;
        EXPECT_EQ(p.user, s.expected.user) << s.label;
        EXPECT_EQ(p.password, s.expected.password) << s.label;
    }
    rig.settings.setChecked("cbUseProxy", false);
    rig.engine.ApplyProxySettings();
    const gw::ProxySettings& off = rig.engine.http().proxy();
    EXPECT_FALSE(off.basicAuth) << "proxy off";
    EXPECT_TRUE(off.host.isEmpty()) << "proxy off";
    EXPECT_EQ(off.port, 80) << "proxy off";
    EXPECT_TRUE(off.user.isEmpty() && off.password.isEmpty()) << "proxy off";
}

TEST(HttpClient, ProgressSignalsAndResponsiveness)
{
    TempDir www;
    const QByteArray big(8 * 1024 * 1024 + 5, 'z');
    www.write("big.bin", big);
    LighttpdFixture lighttpd(www.path());
    ASSERT_TRUE(lighttpd.start()) << lighttpd.error().toStdString();

    gw::HttpClient client;
    QStringList events;
    qint64 last = -1;
    bool decreasing = false;
    QObject::connect(
        &client, &gw::HttpClient::transferBegin, [&](qint64 expected) { events << QString("begin %1").arg(expected); });
    QObject::connect(&client, &gw::HttpClient::transferProgress, [&](qint64 n) {
        if (events.isEmpty() || !events.last().startsWith("progress"))
            events << "progress";
        decreasing = decreasing || n < last;
        last = n;
    });
    QObject::connect(
        &client, &gw::HttpClient::transferEnd, [&](bool complete) { events << QString("end %1").arg(complete); });

    TempDir dir;
    QFile file(dir.file("big.bin"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const gw::HttpResponse r = client.get(lighttpd.url("/big.bin"), &file);
    file.close();
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.statusLine, "HTTP/1.1 200 OK");
    EXPECT_TRUE(r.rawHeaders.contains("Content-Length: 8388613\r\n"));
    EXPECT_TRUE(r.lastModified.isValid());
    EXPECT_EQ(events, (QStringList { "begin 8388613", "progress", "end 1" }));
    EXPECT_EQ(last, big.size()) << "the last progress is the whole body";
    EXPECT_FALSE(decreasing);

    // While a stalled server is waited for, timers keep firing.
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/stall", [](HttpFaultServer::Exchange& e) { e.stall(10000); });
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (++ticks == 3)
            client.abort(); // as at shut-down
    });
    timer.start(20);
    QFile sink(dir.file("stall"));
    ASSERT_TRUE(sink.open(QIODevice::WriteOnly));
    const gw::HttpResponse stalled = client.get(server.url("/stall"), &sink);
    EXPECT_GE(ticks, 3);
    EXPECT_FALSE(stalled.ok);
    EXPECT_EQ(stalled.failure, gw::HttpFailure::Cancelled);
    EXPECT_EQ(client.runningTransfers(), 0);
}

// The HTTP library is opened at the first transfer, so a missing or wrong one shows there: the
// transfer fails with a line that names it, nothing is sent, and the previous copy stays.
TEST(HttpClient, UnusableLibraryFailsTheTransfer)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/f", HttpFaultServer::answer("HTTP/1.1 200 OK", "the new copy"));

    struct Case
    {
        const char* label;
        QString file;
        QString says; // the start of the text in the log line
    };
    const Case cases[] = {
        { "no such file", "libcurl-absent.so.4", "the HTTP library libcurl-absent.so.4 could not be loaded: " },
        { "a library without its functions", "libm.so.6", "the HTTP library has no curl_global_init (libm.so.6)" },
    };
    const QString shipped = gw::curlLibraryFile();
    for (const Case& c : cases) {
        gw::setCurlLibraryFile(c.file);
        DownloadRig rig;
        rig.dir.write("f", "the previous copy");
        EXPECT_FALSE(rig.engine.DownloadFile(server.url("/f"), rig.file("f"), false)) << c.label;
        EXPECT_EQ(rig.dir.read("f"), "the previous copy") << c.label;
        ASSERT_EQ(rig.log.lines.size(), 1) << c.label;
        EXPECT_TRUE(rig.log.lines[0].startsWith(rig.line(" - Error downloading file (" + c.says)))
            << c.label << ": " << rig.log.lines[0].toStdString();
        EXPECT_TRUE(server.requests().isEmpty()) << c.label;
    }

    // The shipped library again: a failed opening is not remembered for another name.
    gw::setCurlLibraryFile(shipped);
    DownloadRig rig;
    EXPECT_TRUE(rig.engine.DownloadFile(server.url("/f"), rig.file("f"), false));
    EXPECT_EQ(rig.dir.read("f"), "the new copy");
}
