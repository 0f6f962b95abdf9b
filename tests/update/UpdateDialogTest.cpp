// The update check as the user meets it, against real servers on loopback: which releases
// count as newer, the question, the save dialog, the download of the release.
#include "ServerProcess.h"
#include "UpdateRig.h"

#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <gtest/gtest.h>

using namespace gwtest;

TEST(UpdateDialog, AnnouncedVersions)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    struct Case
    {
        const char* label;
        QByteArray version, beta;
        bool withSection;
        bool newer;
    };
    const Case cases[] = {
        { "remote 1.1.3.7 is newer", "1.1.3.7", "", true, true },
        { "remote 1.1.3.100 is not newer", "1.1.3.100", "", true, false },
        { "same version with beta b1 is newer", "1.1.3.68", "b1", true, true },
        { "same version without beta", "1.1.3.68", "", true, false },
        { "no Globewall section", "9.9.9.9", "", false, false },
    };
    int n = 0;
    for (const Case& c : cases) {
        const QByteArray prefix = "/c" + QByteArray::number(++n);
        const QByteArray release = prefix + "/globewall_9.zip";
        QByteArray ini = updatesIni(c.version, c.beta, server.url(release).toUtf8(), "", "", "zip");
        if (!c.withSection)
            ini.replace("[Globewall]", "[Other]");
        server.route(prefix + "/soft/updates.ini", HttpFaultServer::answer("HTTP/1.1 200 OK", ini));
        server.route(release, HttpFaultServer::answer("HTTP/1.1 200 OK", "zip"));

        UpdateRig rig(server.url(prefix));
        const Seen seen = rig.run({ c.newer ? Reply::Cancel : Reply::NotAsked });
        const QString host = "127.0.0.1:" + QString::number(server.port());

        EXPECT_TRUE(seen.shown) << c.label;
        EXPECT_FALSE(seen.watchdogFired) << c.label;
        EXPECT_TRUE(seen.closeOffered) << c.label;
        EXPECT_TRUE(seen.busyWhileOpen) << c.label;
        EXPECT_FALSE(rig.state.DownloadBusy) << c.label << ": cleared when the dialog closes";
        EXPECT_EQ(seen.asked, c.newer) << c.label;
        EXPECT_EQ(readFile(rig.file("updates.ini")), c.withSection ? ini : QByteArray())
            << c.label << ": kept beside the program when it can be read";
        EXPECT_FALSE(QFile::exists(rig.file("globewall.tmp"))) << c.label;
        EXPECT_EQ(server.count(release), 0) << c.label << ": nothing downloaded";
        if (c.newer) {
            const QStringList question { "", "Found new version on " + host, "", "Version: " + c.version + " " + c.beta,
                "From: 2024-05-01", "", "Sharper clouds", "", "download this file?" };
            EXPECT_EQ(seen.questionMemo, question) << c.label;
            EXPECT_EQ(seen.finalMemo, (QStringList { "", "You can download the file from:", "", host })) << c.label;
        } else if (c.withSection) {
            EXPECT_EQ(seen.finalMemo, (QStringList { "", "no new version available", "" })) << c.label;
        } else {
            EXPECT_EQ(
                seen.finalMemo, (QStringList { "", "", "updates.ini could not be read (no version number in it)" }))
                << c.label;
        }
    }

    const QList<SeenRequest> requests = server.requests();
    ASSERT_FALSE(requests.isEmpty());
    EXPECT_EQ(requests.first().header("User-Agent"), "Mozilla/3.0 (compatible; Globewall update check)");
    EXPECT_EQ(requests.first().header("Cache-Control"), "no-cache");
    EXPECT_EQ(requests.first().header("Accept"), "text/html, */*");
}

TEST(UpdateDialog, DownloadsTheReleaseToTheChosenFile)
{
    TempDir site;
    QByteArray release(300 * 1024, '\0');
    for (qsizetype i = 0; i < release.size(); ++i)
        release[i] = static_cast<char>(i * 7 % 251);
    QDir(site.path()).mkpath("soft");
    QDir(site.path()).mkpath("files");
    site.write("files/globewall_1_2.zip", release);
    LighttpdFixture web(site.path());
    ASSERT_TRUE(web.start()) << web.error().toStdString();

    // The two further addresses live elsewhere: one fails, one answers; neither is shown.
    HttpFaultServer counters;
    ASSERT_TRUE(counters.start());
    counters.route("/gone", HttpFaultServer::answer("HTTP/1.1 404 Not Found", "no"));
    counters.route("/hit", HttpFaultServer::answer("HTTP/1.1 200 OK", "counted"));
    site.write("soft/updates.ini",
        updatesIni("1.1.3.7", "", web.url("/files/globewall_1_2.zip").toUtf8(), counters.url("/gone").toUtf8(),
            counters.url("/hit").toUtf8(), release));

    UpdateRig rig(web.url(""));
    rig.form->BetaVersion()->setText("b7"); // a leftover tag; the check starts from none
    const QString destination = rig.file("globewall_1_2.zip");
    rig.dialogs.queueFile(destination);
    const Seen seen = rig.run({ Reply::Ok });

    EXPECT_FALSE(seen.watchdogFired);
    EXPECT_EQ(seen.versionLabel, "Globewall Version 1.1.3.68 ") << "local beta tag emptied";
    EXPECT_EQ(seen.questionMemo.value(1), "Found new version on 127.0.0.1:" + QString::number(web.port()))
        << "the failing further address shows nothing";
    ASSERT_EQ(rig.dialogs.asked.size(), 1u);
    const gw::FileDialogRequest& request = rig.dialogs.asked[0].request;
    EXPECT_EQ(rig.dialogs.asked[0].what, "save");
    EXPECT_EQ(request.title, "Save new Globewall to...");
    EXPECT_EQ(request.proposedFile, "globewall_1_2.zip");
    EXPECT_EQ(request.filter, "All-Files (*)|*");
    EXPECT_EQ(request.defaultExtension, "zip");

    EXPECT_TRUE(readFile(destination) == release) << "the release arrives whole";
    EXPECT_EQ(seen.finalMemo,
        (QStringList { "", "download completed", "", "Close Globewall now and replace it by the new version" }))
        << "checked against its SHA-256";
    EXPECT_TRUE(rig.form->statusText().isEmpty());
    EXPECT_EQ(rig.form->findChild<QProgressBar*>("pbDownload")->value(), 0);
    EXPECT_EQ(counters.count("/gone"), 1) << "fetched once";
    EXPECT_EQ(counters.count("/hit"), 1) << "fetched once";
    EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files), (QStringList { "globewall_1_2.zip", "updates.ini" }))
        << "the further addresses' bodies are thrown away";
}

TEST(UpdateDialog, SaveDialogCancelled)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/soft/updates.ini",
        HttpFaultServer::answer(
            "HTTP/1.1 200 OK", updatesIni("1.2", "", server.url("/globewall_1_2.zip").toUtf8(), "", "", "zip")));
    server.route("/globewall_1_2.zip", HttpFaultServer::answer("HTTP/1.1 200 OK", "zip"));
    UpdateRig rig(server.url(""));
    rig.dialogs.queueFile(QString());
    const Seen seen = rig.run({ Reply::Ok });
    EXPECT_EQ(seen.finalMemo, (QStringList { "", "try again later" }));
    EXPECT_EQ(server.count("/globewall_1_2.zip"), 0);
}

TEST(UpdateDialog, BusyDownloadIgnoresTheClick)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/soft/updates.ini", HttpFaultServer::answer("HTTP/1.1 200 OK", updatesIni("1.1.3.68", "")));
    UpdateRig rig(server.url(""));
    rig.state.DownloadBusy = true;
    const Seen seen = rig.run();
    EXPECT_FALSE(seen.shown);
    EXPECT_FALSE(rig.form->isVisible());
    EXPECT_TRUE(rig.state.DownloadBusy) << "the running download keeps its flag";
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST(UpdateDialog, GlobeTurnsWhileOpen)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/soft/updates.ini", HttpFaultServer::answer("HTTP/1.1 200 OK", updatesIni("1.1.3.68", "")));
    UpdateRig rig(server.url(""));
    const Seen seen = rig.run();
    EXPECT_EQ(seen.timerInterval, 125) << "24 frames in three seconds";
    EXPECT_TRUE(seen.timerRan);
    EXPECT_FALSE(rig.form->findChild<QTimer*>("Timer1")->isActive()) << "stopped when closed";

    const QVector<QPixmap>& frames = rig.form->frames();
    ASSERT_EQ(frames.size(), 24);
    for (int i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].size(), QSize(32, 32)) << "frame " << i;
        EXPECT_NE(frames[i].toImage(), frames[(i + 1) % frames.size()].toImage()) << "frame " << i << " turns";
    }
}
