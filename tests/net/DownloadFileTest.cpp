// DownloadFile against a misbehaving server on loopback: whatever goes wrong, the previous
// copy comes back byte for byte, no ".bak" or partial file is left, and the log says what happened.
#include "DownloadRig.h"

#include "shared/NumberText.h"

#include "settings/IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace gwtest;

namespace {

const QByteArray kPrevious = "the previous copy\n";

QByteArray bytes(int n)
{
    QByteArray b(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        b[i] = static_cast<char>('a' + i % 26);
    return b;
}

// "200 OK" with `announced` bytes to come, then `chunk` bytes every 100 ms for `ms` at most.
HttpFaultServer::Handler trickle(const QByteArray& announced, int chunk, int ms)
{
    return [=](HttpFaultServer::Exchange& e) {
        e.send("HTTP/1.1 200 OK\r\nContent-Length: " + announced + "\r\n\r\n");
        for (int waited = 0; waited < ms; waited += 100) {
            e.send(bytes(chunk));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    };
}

} // namespace

TEST(DownloadFile, FaultsKeepThePreviousCopy)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/custom404", HttpFaultServer::answer("HTTP/1.1 404 Gone Fishing", "nothing here"));
    server.route("/error500", HttpFaultServer::answer("HTTP/1.1 500 Internal Server Error", "oops"));
    server.route("/reset", [](HttpFaultServer::Exchange& e) {
        e.send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + bytes(3000));
        e.reset();
    });
    server.route("/short", [](HttpFaultServer::Exchange& e) {
        e.send("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\nConnection: close\r\n\r\n" + bytes(1000));
    });
    server.route("/stall", [](HttpFaultServer::Exchange& e) {
        e.send("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + bytes(100));
        e.stall(10000);
    });
    server.route("/silent", [](HttpFaultServer::Exchange& e) { e.stall(10000); });
    server.route("/headerflood", [](HttpFaultServer::Exchange& e) {
        e.send("HTTP/1.1 200 OK\r\n");
        for (int i = 0; i < 1024; ++i)
            e.send("X-Filler-" + QByteArray::number(i) + ": " + QByteArray(1000, 'h') + "\r\n");
        e.send("Content-Length: 4\r\n\r\nbody");
    });
    // 10 GB announced at 512 bytes a second: passes the low-speed limit, never the overall one.
    server.route("/endless", trickle("10000000000", 51, 4000));
    server.route(
        "/loop", [&](HttpFaultServer::Exchange& e) { e.respond("HTTP/1.1 302 Found", "", { "Location: /loop" }); });
    server.route(
        "/toftp", HttpFaultServer::answer("HTTP/1.1 301 Moved Permanently", "", { "Location: ftp://127.0.0.1/file" }));

    // ESC ] 0 ; ... BEL sets a terminal's title, ESC [ 2 J clears it: shown as text instead.
    server.route("/hostile503", HttpFaultServer::answer("HTTP/1.1 503 \x1b]0;owned\x07\x1b[2J", "busy"));
    server.route("/hostilemove",
        HttpFaultServer::answer("HTTP/1.1 301 Moved Permanently", "", { "Location: ftp://127.0.0.1/\x1b[2Jfile" }));

    const QString refused = refusedUrl(QStringLiteral("/refused"));
    ASSERT_FALSE(refused.isEmpty());

    struct Case
    {
        const char* label;
        QString url;
        QString expectedLine; // empty: no line at all
    };
    const Case cases[] = {
        { "404 with its own status line", server.url("/custom404"),
            " - Error downloading file (HTTP/1.1 404 Gone Fishing) - custom404" },
        { "500", server.url("/error500"), " - Error downloading file (HTTP/1.1 500 Internal Server Error) - error500" },
        { "connection refused", refused, " - Error downloading file (connection refused) - refused" },
        { "reset after 200 OK", server.url("/reset"),
            " - Error downloading file (incomplete, 3000 of 100000 bytes) - reset" },
        { "body shorter than Content-Length", server.url("/short"),
            " - Error downloading file (incomplete, 1000 of 5000 bytes) - short" },
        { "1 MB of headers after 200 OK", server.url("/headerflood"),
            " - Error downloading file (headers too long) - headerflood" },
        { "endless trickle", server.url("/endless"), " - Error downloading file (timed out) - endless" },
        { "stall after 200 OK", server.url("/stall"),
            " - Error downloading file (too slow, under 1 byte/s for 1 s) - stall" },
        { "stall before any answer", server.url("/silent"),
            " - Error downloading file (too slow, under 1 byte/s for 1 s) - silent" },
        { "redirect loop", server.url("/loop"), " - Error downloading file (too many moves) - loop" },
        { "redirect to another protocol", server.url("/toftp"),
            " - Error downloading file (moved to ftp://127.0.0.1/file, not followed) - toftp" },
        { "control characters in the reason", server.url("/hostile503"),
            " - Error downloading file (HTTP/1.1 503 \\x1B]0;owned\\x07\\x1B[2J) - hostile503" },
        { "control characters in the Location: neither followed nor printed", server.url("/hostilemove"),
            " - Error downloading file (HTTP/1.1 301 Moved Permanently) - hostilemove" },
    };
    for (const Case& c : cases) {
        DownloadRig rig;
        rig.engine.http().setMaxRedirects(5);
        const QString dest = rig.dir.write(QStringLiteral("clouds.jpg"), kPrevious);
        const bool ok = rig.engine.DownloadFile(c.url, dest, false);
        EXPECT_FALSE(ok) << c.label;
        EXPECT_EQ(rig.dir.read(QStringLiteral("clouds.jpg")), kPrevious) << c.label;
        EXPECT_FALSE(QFile::exists(dest + ".bak")) << c.label;
        EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files), QStringList { "clouds.jpg" }) << c.label;
        const QStringList expected
            = c.expectedLine.isEmpty() ? QStringList {} : QStringList { rig.line(c.expectedLine) };
        EXPECT_EQ(rig.log.lines, expected) << c.label;
        EXPECT_FALSE(rig.state.DownloadBusy) << c.label;
        EXPECT_EQ(rig.tray.iconList(), gw::TrayList::Globe) << c.label;
        EXPECT_EQ(rig.display.position, 0) << c.label;
        EXPECT_FALSE(rig.display.busyCursor) << c.label;
    }
}

// Past the overall limit only a transfer that keeps its average rate goes on; the hidden
// setting changes the limit.
TEST(DownloadFile, OverallTimeLimit)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/trickle", trickle("100000", 51, 2500));
    server.route("/steady", trickle("5000", 200, 2500)); // 2000 bytes a second for 2.5 s
    struct Case
    {
        const char* label;
        QString url;
        long clientLimit; // seconds
        int hiddenSetting; // 0: none in the settings file
        long minAverage; // bytes a second
        bool ok;
    };
    const Case cases[] = {
        { "the hidden setting shortens the limit", server.url("/trickle"), 900, 1, 16 * 1024, false },
        { "a fair transfer outlives the limit", server.url("/steady"), 1, 0, 1000, true },
    };
    for (const Case& c : cases) {
        DownloadRig rig;
        rig.engine.http().setTimeouts({ 2000, 1, 1, c.clientLimit, c.minAverage });
        if (c.hiddenSetting > 0)
            writeFile(
                rig.settingsFile, "[Debug]\r\nDownload time limit=" + QByteArray::number(c.hiddenSetting) + "\r\n");
        const QString dest = rig.dir.write(QStringLiteral("clouds.jpg"), kPrevious);
        EXPECT_EQ(rig.engine.DownloadFile(c.url, dest, false), c.ok) << c.label;
        if (c.ok) {
            EXPECT_EQ(QFileInfo(dest).size(), 5000) << c.label;
        } else {
            EXPECT_EQ(rig.log.lines, QStringList { rig.line(" - Error downloading file (timed out) - trickle") })
                << c.label;
            EXPECT_EQ(rig.dir.read(QStringLiteral("clouds.jpg")), kPrevious) << c.label;
        }
        EXPECT_EQ(rig.engine.http().timeouts().overallSeconds, c.clientLimit)
            << c.label << ": the client keeps its own";
    }
}

// Whatever lies beside the destination under the names a download uses is never written
// through, and a successful download leaves the file alone in its folder.
TEST(DownloadFile, LeftoversBesideTheDestination)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/f", HttpFaultServer::answer("HTTP/1.1 200 OK", "new map"));
    struct Case
    {
        const char* label;
        bool previousCopy;
        std::function<void(DownloadRig&, const QString& outside)> plant;
    };
    const Case cases[] = {
        { "a .part link to a file elsewhere", true,
            [](DownloadRig& r, const QString& outside) { QFile::link(outside, r.file("clouds.jpg.part")); } },
        { "a .part left by a killed run", true,
            [](DownloadRig& r, const QString&) { r.dir.write("clouds.jpg.Ab3xYz.part", "half"); } },
        { "a .bak without the file", false,
            [](DownloadRig& r, const QString&) { r.dir.write("clouds.jpg.bak", "old"); } },
    };
    for (const Case& c : cases) {
        DownloadRig rig;
        TempDir elsewhere;
        const QString outside = elsewhere.write("precious", "keep me");
        if (c.previousCopy)
            rig.dir.write("clouds.jpg", kPrevious);
        c.plant(rig, outside);
        EXPECT_TRUE(rig.engine.DownloadFile(server.url("/f"), rig.file("clouds.jpg"), false)) << c.label;
        EXPECT_EQ(rig.dir.read("clouds.jpg"), "new map") << c.label;
        EXPECT_FALSE(QFileInfo(rig.file("clouds.jpg")).isSymLink()) << c.label;
        EXPECT_EQ(readFile(outside), "keep me") << c.label;
        EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files | QDir::System), QStringList { "clouds.jpg" }) << c.label;
    }
}

TEST(DownloadFile, FailureWithoutPreviousCopyLeavesNothing)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/reset", [](HttpFaultServer::Exchange& e) {
        e.send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + bytes(3000));
        e.reset();
    });
    DownloadRig rig;
    EXPECT_FALSE(rig.engine.DownloadFile(server.url("/reset"), rig.file("new.jpg"), false));
    EXPECT_TRUE(QDir(rig.dir.path()).entryList(QDir::Files).isEmpty());
}

TEST(DownloadFile, SuccessReportsAndReplaces)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    const QByteArray body = bytes(70000);
    server.route("/maps/clouds.jpg", HttpFaultServer::answer("HTTP/1.1 200 OK", body));

    DownloadRig rig;
    const QString dest = rig.dir.write(QStringLiteral("clouds.jpg"), kPrevious);
    ASSERT_TRUE(rig.engine.DownloadFile(server.url("/maps/clouds.jpg"), dest, false));
    EXPECT_EQ(rig.dir.read(QStringLiteral("clouds.jpg")), body);
    EXPECT_FALSE(QFile::exists(dest + ".bak"));
    // The manual clock stands still: an instant transfer counts as 0.001 s.
    EXPECT_EQ(rig.log.lines,
        QStringList { rig.line(" - Success: 70000 byte in   0 sec. ("
            + gw::FormatFloat(4, 2, " ", 70000 / 1024.0 / 0.001) + " kb/s) - clouds.jpg") });
    EXPECT_TRUE(rig.engine.CurrentDownloadName().isEmpty());
    EXPECT_EQ(rig.display.max, 70000);
    EXPECT_EQ(rig.display.panel1, QStringLiteral("70000/70000"));
    EXPECT_EQ(rig.display.positions.last(), 70000);
    EXPECT_EQ(rig.tray.percentListSet, 1);
    ASSERT_FALSE(rig.tray.percentFrames.isEmpty());
    // Frame 0 at the start, the full globe at the end, then the clean-up's 0 before the
    // globe list comes back.
    EXPECT_EQ(rig.tray.percentFrames.first(), 0);
    EXPECT_EQ(rig.tray.percentFrames.mid(rig.tray.percentFrames.size() - 2), (QVector<int> { 14, 0 }));
    // Frames are set only when they change.
    for (qsizetype i = 2; i < rig.tray.percentFrames.size() - 1; ++i)
        EXPECT_NE(rig.tray.percentFrames[i], rig.tray.percentFrames[i - 1]) << "frame " << i;
    EXPECT_EQ(rig.tray.iconList(), gw::TrayList::Globe);
    EXPECT_EQ(rig.tray.frameIndex(), 0);
    EXPECT_FALSE(rig.state.DownloadBusy);
}

TEST(DownloadFile, SizeUnknownCountsAsOneByte)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/nolength",
        [](HttpFaultServer::Exchange& e) { e.send("HTTP/1.0 200 OK\r\nConnection: close\r\n\r\n" + bytes(500)); });
    DownloadRig rig;
    ASSERT_TRUE(rig.engine.DownloadFile(server.url("/nolength"), rig.file("x.txt"), false));
    EXPECT_EQ(rig.dir.read("x.txt").size(), 500);
    ASSERT_EQ(rig.log.lines.size(), 1);
    EXPECT_TRUE(rig.log.lines[0].contains(" - Success: 1 byte in   0 sec. ")) << rig.log.lines[0].toStdString();
    // The frame stays within the list although the bytes exceed the "expected" one.
    EXPECT_EQ(rig.tray.percentFrames.mid(rig.tray.percentFrames.size() - 2), (QVector<int> { 14, 0 }));
}

TEST(DownloadFile, DisabledMasterSwitchShowsTheDisabledPicture)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/a", HttpFaultServer::answer("HTTP/1.1 200 OK", "x"));
    DownloadRig rig;
    rig.settings.setChecked("Globewallenabled", false);
    ASSERT_TRUE(rig.engine.DownloadFile(server.url("/a"), rig.file("a"), false));
    EXPECT_EQ(rig.tray.iconList(), gw::TrayList::Globe);
    EXPECT_EQ(rig.tray.frameIndex(), 25);
}

TEST(DownloadFile, SilentShowsNothing)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/ok", HttpFaultServer::answer("HTTP/1.1 200 OK", bytes(1000)));
    server.route("/missing", HttpFaultServer::answer("HTTP/1.1 404 Not Found", ""));
    DownloadRig rig;
    EXPECT_TRUE(rig.engine.DownloadFile(server.url("/ok"), rig.file("ok.bin"), true));
    EXPECT_FALSE(rig.engine.DownloadFile(server.url("/missing"), rig.file("missing.bin"), true));
    EXPECT_TRUE(rig.log.lines.isEmpty());
    EXPECT_EQ(rig.tray.percentListSet, 0);
    EXPECT_TRUE(rig.display.positions.isEmpty());
    EXPECT_TRUE(rig.display.panel1.isEmpty());
    EXPECT_EQ(rig.dir.read("ok.bin").size(), 1000);
}

TEST(DownloadFile, MissingFolder)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/f", HttpFaultServer::answer("HTTP/1.1 200 OK", "data"));

    {
        SCOPED_TRACE("answered No");
        DownloadRig rig;
        const QString folder = rig.file("a/b") + "/";
        rig.dialogs.queueYesNo(false);
        EXPECT_FALSE(rig.engine.DownloadFile(server.url("/f"), folder + "f.txt", false));
        ASSERT_EQ(rig.dialogs.asked.size(), 1u);
        EXPECT_EQ(rig.dialogs.asked[0].kind, gw::MessageKind::Warning);
        EXPECT_EQ(rig.dialogs.asked[0].text, "Directory: \"" + folder + "\" does not exists!\n\nCreate directory?");
        EXPECT_FALSE(QFileInfo::exists(rig.file("a")));
        EXPECT_EQ(server.count("/f"), 0);
        EXPECT_FALSE(rig.state.DownloadBusy);
        EXPECT_TRUE(rig.log.lines.isEmpty());
    }
    {
        SCOPED_TRACE("answered Yes");
        DownloadRig rig;
        rig.dialogs.queueYesNo(true);
        EXPECT_TRUE(rig.engine.DownloadFile(server.url("/f"), rig.file("a/b/f.txt"), false));
        EXPECT_EQ(rig.dir.read("a/b/f.txt"), "data");
        EXPECT_EQ(rig.dialogs.asked.size(), 1u);
    }
    {
        SCOPED_TRACE("no folder part");
        DownloadRig rig;
        rig.dialogs.queueYesNo(true);
        EXPECT_FALSE(rig.engine.DownloadFile(server.url("/f"), "f.txt", false));
        ASSERT_EQ(rig.dialogs.asked.size(), 2u);
        EXPECT_EQ(rig.dialogs.asked[0].text, "Directory: \"\" does not exists!\n\nCreate directory?");
        EXPECT_EQ(rig.dialogs.asked[1].what, "message");
        EXPECT_EQ(rig.dialogs.asked[1].kind, gw::MessageKind::Information);
        EXPECT_EQ(rig.dialogs.asked[1].text, "Error creating directory: ");
        EXPECT_FALSE(QFileInfo::exists("f.txt"));
        EXPECT_FALSE(rig.state.DownloadBusy);
    }
}

TEST(DownloadFile, DestinationThatCannotBeCreated)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/f", HttpFaultServer::answer("HTTP/1.1 200 OK", "data"));
    DownloadRig rig;
    // A folder where the file should be: nothing may be moved or deleted.
    QDir(rig.dir.path()).mkpath("clouds.jpg/inner");
    EXPECT_FALSE(rig.engine.DownloadFile(server.url("/f"), rig.file("clouds.jpg"), false));
    EXPECT_EQ(rig.log.lines, QStringList { rig.line(" - Error creating file") });
    EXPECT_TRUE(QFileInfo(rig.file("clouds.jpg/inner")).isDir());
    EXPECT_FALSE(QFileInfo::exists(rig.file("clouds.jpg.bak")));
    EXPECT_EQ(server.count("/f"), 0);
}

TEST(DownloadFile, StaleBackupIsReplaced)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/f", HttpFaultServer::answer("HTTP/1.1 404 Not Found", ""));
    DownloadRig rig;
    rig.dir.write("f.txt.bak", "stale");
    const QString dest = rig.dir.write("f.txt", kPrevious);
    EXPECT_FALSE(rig.engine.DownloadFile(server.url("/f"), dest, false));
    EXPECT_EQ(rig.dir.read("f.txt"), kPrevious);
    EXPECT_FALSE(QFile::exists(dest + ".bak"));
}

TEST(DownloadFile, ProgressArithmetic)
{
    struct FrameCase
    {
        const char* label;
        int count;
        qint64 received, max;
        int frame;
    };
    const FrameCase frames[] = {
        { "nothing yet", 15, 0, 1000, 0 },
        { "half of a frame goes to the even 0", 15, 1, 28, 0 },
        { "one and a half goes to the even 2", 15, 3, 28, 2 },
        { "a quarter: 3.5 goes to 4", 15, 1, 4, 4 },
        { "three quarters: 10.5 goes to 10", 15, 3, 4, 10 },
        { "just under half a frame", 15, 35, 1000, 0 },
        { "just over half a frame", 15, 36, 1000, 1 },
        { "all of it", 15, 1000, 1000, 14 },
        { "more than announced stays on the last frame", 15, 5000, 1, 14 },
        { "no size announced", 15, 10, 0, 0 },
    };
    for (const FrameCase& c : frames)
        EXPECT_EQ(gw::DownloadEngine::progressFrame(c.count, c.received, c.max), c.frame) << c.label;

    struct LineCase
    {
        const char* label;
        qint64 bytes;
        double seconds;
        QString text;
    };
    const LineCase lines[] = {
        { "instant", 1024, 0.001, " - Success: 1024 byte in   0 sec. (1000.00 kb/s) - f" },
        { "half a second rounds to even 0", 2048, 0.5, " - Success: 2048 byte in   0 sec. (   4.00 kb/s) - f" },
        { "two and a half seconds round to 2", 10240, 2.5, " - Success: 10240 byte in   2 sec. (   4.00 kb/s) - f" },
        { "1234 seconds keep their last 3 digits", 1024, 1234, " - Success: 1024 byte in 234 sec. (   0.00 kb/s) - f" },
        { "a rate over 9999.99 keeps its last 7 characters", 20480000, 1,
            " - Success: 20480000 byte in   1 sec. (0000.00 kb/s) - f" },
    };
    for (const LineCase& c : lines)
        EXPECT_EQ(gw::DownloadEngine::successMessage(c.bytes, c.seconds, "f"), c.text) << c.label;

    EXPECT_DOUBLE_EQ(gw::DownloadEngine::elapsedSeconds(100.0, 100.0), 0.001) << "no time";
    EXPECT_DOUBLE_EQ(gw::DownloadEngine::elapsedSeconds(100.0, 99.0), 0.001) << "clock set back";
    EXPECT_NEAR(gw::DownloadEngine::elapsedSeconds(100.0, 100.0 + 2.5 / 86400), 2.5, 1e-9) << "2.5 s";
    EXPECT_NEAR(gw::DownloadEngine::elapsedSeconds(100.0, 101.5), 129600.0, 1e-6) << "longer than a day";
}
