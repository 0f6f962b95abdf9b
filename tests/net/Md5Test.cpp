// The MD5 check of the built-in cloud map and its re-download chain.
#include "DownloadRig.h"

#include "net/Md5.h"

#include <QCryptographicHash>
#include <QDir>
#include <gtest/gtest.h>

using namespace gwtest;

namespace {

QByteArray md5Hex(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
}

QByteArray cloudBody(int n)
{
    return "cloud map number " + QByteArray::number(n) + QByteArray(5000, char('0' + n));
}

QStringList md5Lines(const QStringList& lines)
{
    QStringList out;
    for (const QString& l : lines)
        if (l.contains("MD5"))
            out << l;
    return out;
}

// A server with the cloud map (a new body at each request) and a checksum file whose
// answer per request the test chooses.
struct CloudServer
{
    HttpFaultServer server;
    std::function<QByteArray(int)> md5Body;
    CloudServer()
    {
        server.start();
        server.route("/clouds_2000.jpg",
            [](HttpFaultServer::Exchange& e) { e.respond("HTTP/1.1 200 OK", cloudBody(e.number)); });
        server.route("/CLOUDS_2000.jpg",
            [](HttpFaultServer::Exchange& e) { e.respond("HTTP/1.1 200 OK", cloudBody(e.number)); });
        server.route(
            "/md5sum", [this](HttpFaultServer::Exchange& e) { e.respond("HTTP/1.1 200 OK", md5Body(e.number)); });
    }
    QString host() const { return QStringLiteral("http://127.0.0.1:%1").arg(server.port()); }
};

} // namespace

TEST(Md5, Helpers)
{
    struct NameCase
    {
        const char* label;
        QString file, checksum;
    };
    const NameCase names[] = {
        { "extension replaced", "/x/clouds_2000.jpg", "/x/clouds_2000.md5" },
        { "last extension only", "/x/a.b.jpg", "/x/a.b.md5" },
        { "no extension", "/x/clouds", "/x/clouds.md5" },
        { "dot in the folder only", "/x.y/clouds", "/x.y/clouds.md5" },
        { "a .md5 file is not its own checksum file", "/x/c.md5", "/x/c.md5.md5" },
    };
    for (const NameCase& c : names)
        EXPECT_EQ(gw::md5::checksumFileFor(c.file), c.checksum) << c.label;

    const QString hex = "900150983CD24FB0D6963F7D28E17F72"; // MD5 of "abc"
    struct LineCase
    {
        const char* label;
        QByteArray line;
        bool matches;
    };
    const LineCase lines[] = {
        { "upper case", "900150983CD24FB0D6963F7D28E17F72", true },
        { "lower case with trailing blanks", "900150983cd24fb0d6963f7d28e17f72   ", true },
        { "leading blanks, tab and control characters",
            " \t\x01"
            "900150983cd24fb0d6963f7d28e17f72\x7f",
            true },
        { "a blank inside", "900150983cd24fb0 d6963f7d28e17f72", false },
        { "surrounded by control characters", "\x02 900150983cd24fb0d6963f7d28e17f72 \x1f", true },
        { "followed by a file name", "900150983cd24fb0d6963f7d28e17f72  clouds_2000.jpg", false },
        { "empty", "", false },
    };
    for (const LineCase& c : lines)
        EXPECT_EQ(gw::md5::expectedDigest(c.line) == hex, c.matches) << c.label;

    TempDir dir;
    EXPECT_EQ(gw::md5::fileDigestHex(dir.write("abc", "abc")), hex) << "known digest";
    EXPECT_EQ(gw::md5::fileDigestHex(dir.file("missing")), QString(32, '0')) << "unreadable file";
    const QByteArray big(3 * 1024 * 1024 + 17, 'q'); // spans several reads
    EXPECT_EQ(gw::md5::fileDigestHex(dir.write("big", big)), QString::fromLatin1(md5Hex(big).toUpper()))
        << "several blocks";

    EXPECT_EQ(gw::md5::readFirstLine(dir.write("crlf", "abc\r\nnext")), "abc") << "CR LF";
    EXPECT_EQ(gw::md5::readFirstLine(dir.write("lf", "abc\nnext")), "abc") << "LF";
    EXPECT_EQ(gw::md5::readFirstLine(dir.write("cr", "abc\rnext")), "abc") << "CR alone";
}

TEST(Md5, SumsThatMatch)
{
    struct Case
    {
        const char* label;
        std::function<QByteArray(const QByteArray&)> sumLine;
    };
    const Case cases[] = {
        { "upper case", [](const QByteArray& b) { return md5Hex(b).toUpper() + "\n"; } },
        { "lower case with trailing blanks", [](const QByteArray& b) { return md5Hex(b) + "   \r\n"; } },
    };
    for (const Case& c : cases) {
        CloudServer cloud;
        cloud.md5Body = [&](int) { return c.sumLine(cloudBody(1)); };
        EndpointOverride endpoints(cloud.host());
        DownloadRig rig;
        const QString dest = rig.file("clouds_2000.jpg");
        EXPECT_TRUE(rig.engine.DownloadFile(gw::endpoints::cloudMap(), dest, false)) << c.label;
        EXPECT_EQ(rig.dir.read("clouds_2000.jpg"), cloudBody(1)) << c.label;
        const QString hex = QString::fromLatin1(md5Hex(cloudBody(1)).toUpper());
        EXPECT_EQ(md5Lines(rig.log.lines), QStringList { rig.line(" - Correct MD5 sum (" + hex + ")") }) << c.label;
        EXPECT_EQ(rig.state.MD5RetryCount, 0) << c.label;
        EXPECT_EQ(cloud.server.count("/clouds_2000.jpg"), 1) << c.label;
        EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files), QStringList { "clouds_2000.jpg" }) << c.label;
    }
}

// Each new download is checked before it replaces anything: while the chain runs the user's
// copy stays in place, and a chain that never passes leaves it there.
TEST(Md5, ChainWorksOnTheNewDownloads)
{
    const QByteArray wrong = "0123456789ABCDEF0123456789ABCDEF";
    struct Case
    {
        const char* label;
        std::function<QByteArray(int)> sum; // per request of the checksum file
        int downloads;
        QByteArray finalCopy;
        QString lastLine;
    };
    const Case cases[] = {
        { "wrong three times, then right", [&](int n) { return n < 4 ? wrong : md5Hex(cloudBody(4)); }, 4, cloudBody(4),
            " - Correct MD5 sum (" + QString::fromLatin1(md5Hex(cloudBody(4)).toUpper()) + ")" },
        // A sum followed by the file name never matches.
        { "wrong four times", [](int n) { return md5Hex(cloudBody(n)) + "  clouds_2000.jpg\n"; }, 4, "before the chain",
            " - Error: the new file failed its check, previous copy kept" },
    };
    for (const Case& c : cases) {
        CloudServer cloud;
        DownloadRig rig;
        QList<QByteArray> inPlaceAtCheck;
        cloud.md5Body = [&](int n) {
            inPlaceAtCheck << rig.dir.read("clouds_2000.jpg");
            return c.sum(n);
        };
        EndpointOverride endpoints(cloud.host());
        rig.dir.write("clouds_2000.jpg", "before the chain");
        EXPECT_TRUE(rig.engine.DownloadFile(gw::endpoints::cloudMap(), rig.file("clouds_2000.jpg"), false)) << c.label;
        EXPECT_EQ(cloud.server.count("/clouds_2000.jpg"), c.downloads) << c.label;
        EXPECT_EQ(cloud.server.count("/md5sum"), c.downloads) << c.label;
        EXPECT_EQ(inPlaceAtCheck, QList<QByteArray>(c.downloads, "before the chain")) << c.label;
        EXPECT_EQ(rig.dir.read("clouds_2000.jpg"), c.finalCopy) << c.label;
        EXPECT_EQ(rig.state.MD5RetryCount, 0) << c.label;
        const QStringList md5 = md5Lines(rig.log.lines);
        ASSERT_EQ(md5.size(), 4) << c.label;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(md5[i],
                rig.line(" - Error wrong MD5 sum (" + QString::fromLatin1(md5Hex(cloudBody(i + 1)).toUpper()) + ")"))
                << c.label << ": check " << i + 1;
        EXPECT_EQ(rig.log.lines.last(), rig.line(c.lastLine)) << c.label;
        EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files), QStringList { "clouds_2000.jpg" }) << c.label;
        EXPECT_FALSE(rig.state.DownloadBusy) << c.label;
    }
}

TEST(Md5, UnreachableSumCountsAsGood)
{
    CloudServer cloud;
    cloud.server.route("/md5sum", HttpFaultServer::answer("HTTP/1.1 404 Not Found", ""));
    EndpointOverride endpoints(cloud.host());
    DownloadRig rig;
    rig.state.MD5RetryCount = 2;
    EXPECT_TRUE(rig.engine.DownloadFile(gw::endpoints::cloudMap(), rig.file("clouds_2000.jpg"), false));
    EXPECT_TRUE(md5Lines(rig.log.lines).isEmpty());
    EXPECT_EQ(rig.state.MD5RetryCount, 0);
    EXPECT_EQ(cloud.server.count("/clouds_2000.jpg"), 1);
    EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files), QStringList { "clouds_2000.jpg" });
}

TEST(Md5, OnlyTheExactBuiltInAddressIsChecked)
{
    CloudServer cloud;
    cloud.md5Body = [](int) { return QByteArray("wrong"); };
    EndpointOverride endpoints(cloud.host());
    {
        SCOPED_TRACE("address in other letter case");
        DownloadRig rig;
        EXPECT_TRUE(rig.engine.DownloadFile(cloud.host() + "/CLOUDS_2000.jpg", rig.file("c.jpg"), false));
        EXPECT_EQ(cloud.server.count("/md5sum"), 0);
    }
    {
        SCOPED_TRACE("check switched off");
        DownloadRig rig;
        rig.settings.setChecked("cbUseMD5ForCloudDownload", false);
        EXPECT_TRUE(rig.engine.DownloadFile(gw::endpoints::cloudMap(), rig.file("c.jpg"), false));
        EXPECT_EQ(cloud.server.count("/md5sum"), 0);
        EXPECT_EQ(cloud.server.count("/clouds_2000.jpg"), 1);
    }
}
