// A copy on disk is asked for only when it changed: its ETag and Last-Modified go back to the
// server, and a 304 leaves the file as it is.
#include "DownloadRig.h"

#include <gtest/gtest.h>

using namespace gwtest;

TEST(ConditionalDownload, UnchangedCopiesAreNotTransferredAgain)
{
    struct Case
    {
        const char* label;
        QList<QByteArray> validators; // of the first answer
        QByteArray sentBack; // the condition header the second request must carry
        const char* name;
    };
    const Case cases[] = {
        { "ETag", { "ETag: \"v1\"" }, "If-None-Match", "\"v1\"" },
        { "Last-Modified", { "Last-Modified: Fri, 01 Mar 2024 06:00:00 GMT" }, "If-Modified-Since",
            "Fri, 01 Mar 2024 06:00:00 GMT" },
        { "neither", {}, "If-None-Match", "" },
    };
    for (const Case& c : cases) {
        DownloadRig rig;
        HttpFaultServer server;
        QByteArray seen;
        server.route("/iss.tle", [&](HttpFaultServer::Exchange& e) {
            seen = e.request.header(c.sentBack);
            if (!seen.isEmpty())
                e.respond("HTTP/1.1 304 Not Modified", "", c.validators);
            else
                e.respond("HTTP/1.1 200 OK", "copy " + QByteArray::number(e.number), c.validators);
        });
        ASSERT_TRUE(server.start());
        const QString url = server.url("/iss.tle");
        const QString file = rig.file("iss.tle");
        ASSERT_TRUE(rig.engine.DownloadFile(url, file, false)) << c.label;
        const bool transferred = rig.engine.DownloadFile(url, file, false, true);
        EXPECT_EQ(transferred, seen.isEmpty()) << c.label;
        EXPECT_EQ(seen, QByteArray(c.name)) << c.label;
        EXPECT_EQ(rig.engine.notModified(), !seen.isEmpty()) << c.label;
        EXPECT_EQ(readFile(file), seen.isEmpty() ? "copy 2" : "copy 1") << c.label;
        EXPECT_EQ(
            rig.log.lines.filter(" - Success: local copy of iss.tle still up to date").size(), seen.isEmpty() ? 0 : 1)
            << c.label;
        EXPECT_TRUE(rig.log.lines.filter("Error").isEmpty()) << c.label << rig.log.lines.join('\n').toStdString();
        ASSERT_TRUE(rig.engine.DownloadFile(url, file, false))
            << c.label << ": a forced download asks for no condition";
        EXPECT_EQ(seen, QByteArray()) << c.label;

        QFile::remove(file);
        ASSERT_TRUE(rig.engine.DownloadFile(url, file, false, true)) << c.label << ": no copy, no condition";
        EXPECT_EQ(seen, QByteArray()) << c.label;
    }
}
