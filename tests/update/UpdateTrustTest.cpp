// What may reach the user's disk as a new release: over https, checked against the SHA-256
// that "updates.ini" publishes, never through a redirect down to plain http.
#include "ServerProcess.h"
#include "UpdateRig.h"

#include <QCryptographicHash>
#include <QDir>
#include <gtest/gtest.h>

using namespace gwtest;

namespace {

const QByteArray kOldRelease = "the release from last year";

TEST(UpdateTrust, ChecksumAndRedirectsOverHttps)
{
    const QByteArray release = "the new release " + QByteArray(20000, 'r');
    const QByteArray sum = QCryptographicHash::hash(release, QCryptographicHash::Sha256).toHex();
    HttpFaultServer plain;
    ASSERT_TRUE(plain.start());
    plain.route("/globewall_1_2.zip", HttpFaultServer::answer("HTTP/1.1 200 OK", "someone else's program"));
    plain.route("/files/plain.zip", HttpFaultServer::answer("HTTP/1.1 200 OK", release));

    TempDir www;
    struct Case
    {
        const char* label;
        QByteArray sha256Line; // "" leaves the key out
        QByteArray releasePath;
        bool arrives;
        QString failure; // a line of the memo when nothing arrives
        bool overPlainHttp = false;
    };
    const Case cases[] = {
        { "matching SHA-256", "SHA256=" + sum, "/files/globewall_1_2.zip", true, {} },
        { "matching SHA-256 in capitals with blanks", "SHA256= " + sum.toUpper() + " ", "/files/globewall_1_2.zip",
            true, {} },
        { "no SHA-256 published", "", "/files/globewall_1_2.zip", true, {} },
        { "wrong SHA-256", "SHA256=" + QByteArray(64, '0'), "/files/globewall_1_2.zip", false,
            "the file does not match its SHA-256 sum and was not kept" },
        { "a SHA-256 that is no sum at all", "SHA256=yes", "/files/globewall_1_2.zip", false,
            "the file does not match its SHA-256 sum and was not kept" },
        { "release redirected to plain http", "", "/files/tohttp.zip", false,
            "moved to " + plain.url("/globewall_1_2.zip") + ", not followed" },
        { "over plain http with its SHA-256", "SHA256=" + sum, "/files/plain.zip", true, {}, true },
        { "over plain http without a SHA-256", "", "/globewall_1_2.zip", false,
            "not downloaded: it is offered over plain http without a SHA-256 sum", true },
    };
    www.write(QStringLiteral("files/globewall_1_2.zip"), release);
    TlsServerFixture tls(www.path());
    tls.redirect(QStringLiteral("/files/tohttp.zip"), plain.url(QStringLiteral("/globewall_1_2.zip")));
    int n = 0;
    for (const Case& c : cases) {
        const QString prefix = QStringLiteral("/c%1").arg(++n);
        const QByteArray server = c.overPlainHttp ? plain.url("").toUtf8() : "https://127.0.0.1:%PORT%";
        QByteArray ini = updatesIni("1.2", "", server + c.releasePath);
        if (!c.sha256Line.isEmpty())
            ini += c.sha256Line + "\r\n";
        www.write(prefix.mid(1) + QStringLiteral("/soft/updates.ini"), ini);
    }
    ASSERT_TRUE(tls.start()) << tls.error().toStdString();
    n = 0;
    for (const Case& c : cases) {
        const QString prefix = QStringLiteral("/c%1").arg(++n);
        const QString iniFile = www.file(prefix.mid(1) + QStringLiteral("/soft/updates.ini"));
        writeFile(iniFile, readFile(iniFile).replace("%PORT%", QByteArray::number(tls.port())));

        UpdateRig rig(tls.url(prefix));
        rig.form->http().setCaFile(tls.caFile());
        const QString destination = rig.dir.write(QStringLiteral("globewall_1_2.zip"), kOldRelease);
        rig.dialogs.queueFile(destination);
        const int plainBefore = plain.count("/globewall_1_2.zip");
        const Seen seen = rig.run({ Reply::Ok });
        EXPECT_TRUE(rig.errors.isEmpty()) << c.label;
        EXPECT_EQ(readFile(destination), c.arrives ? release : kOldRelease) << c.label;
        if (c.arrives) {
            EXPECT_EQ(seen.finalMemo,
                (QStringList { "", "download completed", "", "Close Globewall now and replace it by the new version" }))
                << c.label << ": nothing to warn of over https";
        } else {
            EXPECT_TRUE(seen.finalMemo.contains(c.failure))
                << c.label << ": " << seen.finalMemo.join('|').toStdString();
        }
        EXPECT_EQ(plain.count("/globewall_1_2.zip"), plainBefore) << c.label << ": never asked over http";
        EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files), (QStringList { "globewall_1_2.zip", "updates.ini" }))
            << c.label << ": no partial file left";
    }
}

} // namespace
