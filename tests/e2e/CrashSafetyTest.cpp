// The built program killed with SIGKILL at random moments, many times: while it saves its
// settings, and while it downloads the cloud map from a slow loopback server. Whatever the
// moment, "Globewall.ini" is the old file or the new one, never a torn mixture, and the
// downloaded file is the previous copy or the complete new one.
#include "ProgramCopy.h"
#include "StandInServer.h"

#include "settings/IniFile.h"
#include "shared/Endpoints.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <memory>

using gwe2e::ProgramCopy;

namespace {

constexpr int kParallel = 5; // copies killed at once; each has its own folder and lock
constexpr int kRounds = 3; // so each case kills fifteen times

bool waitUntilCreated(const ProgramCopy& copy, QProcess& p)
{
    // The renderer folders are made while the window is created, before the event loop.
    return p.waitForStarted(30000)
        && gwe2e::waitUntil(
            [&] {
                return QFileInfo(copy.xplanetFile(QStringLiteral("satellites"))).isDir()
                    || p.state() == QProcess::NotRunning;
            },
            30000, 20)
        && p.state() == QProcess::Running;
}

void killHard(QProcess& p)
{
    ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
    p.waitForFinished(10000);
}

// Settings that keep the program from doing anything on its own while it is killed, and
// many download records, so a save has a lot to write. Line feeds only: the program writes
// carriage return and line feed, so every line of a finished save differs from the old file.
QByteArray quietSettingsWithManyRecords()
{
    QByteArray ini = "[Config]\n"
                     "Start every x sec=0\n"
                     "Check for new file=0\n"
                     "Check for updates every day=0\n"
                     "Download from HTTP=0\n"
                     "Transparent at Start=0\n"
                     "Server to ping=#\n"
                     "[Downloaded Files]\n";
    for (int i = 0; i < 100000; ++i)
        ini += "http://files.invalid/record" + QByteArray::number(i) + ".jpg=05.12.2026 06:00:00\n";
    return ini;
}

QString hhmm(const QDateTime& t)
{
    return t.toString(QStringLiteral("hh:mm"));
}

// The cloud map is fetched at the first scheduler tick: a fixed download time of this minute
// (and of the next one, should the minute turn during the start).
QList<ProgramCopy::Entry> downloadSoonSettings(quint16 proxyPort, const QString& destination)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString c = QStringLiteral("Config");
    return { { c, QStringLiteral("Use Proxy"), QStringLiteral("1") },
        { c, QStringLiteral("Proxy"), QStringLiteral("127.0.0.1") },
        { c, QStringLiteral("Proxy Port"), QString::number(proxyPort) },
        { c, QStringLiteral("Web Adress"), gw::endpoints::cloudMap() },
        { c, QStringLiteral("Destination"), destination },
        { c, QStringLiteral("Download from HTTP"), QStringLiteral("1") },
        { c, QStringLiteral("check MD5 of Cloudfile"), QStringLiteral("1") },
        { c, QStringLiteral("Start XPlanet after Download"), QStringLiteral("0") },
        { c, QStringLiteral("Start every x sec"), QStringLiteral("0") },
        { c, QStringLiteral("Check for new file"), QStringLiteral("0") },
        { c, QStringLiteral("Check for updates every day"), QStringLiteral("0") },
        { c, QStringLiteral("Transparent at Start"), QStringLiteral("0") },
        { c, QStringLiteral("Server to ping"), QStringLiteral("#") },
        { QStringLiteral("Time"), QStringLiteral("How often"), QStringLiteral("1") },
        { QStringLiteral("Time"), QStringLiteral("Time 0"), hhmm(now) },
        { QStringLiteral("Time"), QStringLiteral("Time 1"), hhmm(now.addSecs(60)) } };
}

// The window's place is saved as it is at that moment: zeros before the window was first shown,
// its geometry after. Either is a whole file, so the section is left out of the comparison.
QByteArray withoutWindowSection(QByteArray ini)
{
    const qsizetype start = ini.indexOf("[Window]\r\n");
    if (start < 0)
        return ini;
    const qsizetype next = ini.indexOf("\r\n[", start + 1);
    return ini.remove(start, next < 0 ? ini.size() - start : next + 2 - start);
}

} // namespace

TEST(CrashSafety, SettingsFileIsTheOldOrTheNewOneWhateverTheMomentOfTheKill)
{
    const QByteArray oldIni = quietSettingsWithManyRecords();

    // A save that runs to its end gives the new file, and how long a SIGTERM takes to end.
    QByteArray newIni;
    QByteArray newRoot; // the new file names the copy's own folder
    qint64 closeMs = 0;
    {
        ProgramCopy copy;
        ASSERT_TRUE(copy.copied());
        gwtest::writeFile(copy.iniPath(), oldIni);
        QProcess p;
        copy.start(p);
        ASSERT_TRUE(waitUntilCreated(copy, p));
        QElapsedTimer t;
        t.start();
        p.terminate();
        ASSERT_TRUE(p.waitForFinished(30000));
        closeMs = t.elapsed();
        ASSERT_EQ(p.exitCode(), 0);
        newIni = gwtest::readFile(copy.iniPath());
        newRoot = copy.root().toUtf8();
    }
    ASSERT_NE(newIni, oldIni);
    ASSERT_TRUE(newIni.contains("http://files.invalid/record99999.jpg=05.12.2026 06:00:00\r\n"))
        << "the save keeps the entries it does not write";

    int sawOld = 0;
    int sawNew = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::array<std::unique_ptr<ProgramCopy>, kParallel> copies;
        std::array<QProcess, kParallel> processes;
        for (int i = 0; i < kParallel; ++i) {
            copies[i] = std::make_unique<ProgramCopy>();
            ASSERT_TRUE(copies[i]->copied());
            gwtest::writeFile(copies[i]->iniPath(), oldIni);
            copies[i]->start(processes[i]);
        }
        for (int i = 0; i < kParallel; ++i) {
            ASSERT_TRUE(waitUntilCreated(*copies[i], processes[i]));
            processes[i].terminate();
            // Anywhere from the signal to a little after a normal end: the save (reading the
            // file, writing the new one, renaming it into place) is about half of that time.
            const auto delay = QRandomGenerator::global()->bounded(static_cast<int>(closeMs * 13 / 10) + 1);
            QThread::msleep(static_cast<unsigned long>(delay));
            const std::string moment = std::to_string(delay) + " ms after SIGTERM";
            killHard(processes[i]);
            const QByteArray now = withoutWindowSection(gwtest::readFile(copies[i]->iniPath()));
            const QByteArray newHere
                = withoutWindowSection(QByteArray(newIni).replace(newRoot, copies[i]->root().toUtf8()));
            const std::string label
                = "round " + std::to_string(round) + ", copy " + std::to_string(i) + ", killed " + moment;
            EXPECT_TRUE(now == oldIni || now == newHere) << label << ": torn file of " << now.size() << " bytes";
            sawOld += now == oldIni ? 1 : 0;
            sawNew += now == newHere ? 1 : 0;
        }
    }
    std::printf("settings kills: %d left the old file, %d the new one (a clean close took %lld ms)\n", sawOld, sawNew,
        static_cast<long long>(closeMs));
}

TEST(CrashSafety, DownloadedFileIsThePreviousCopyOrTheCompleteNewOne)
{
    const QByteArray previous = gwe2e::drawCloudMap(1024, 1);
    const QByteArray fresh = gwe2e::drawCloudMap(2048, 2);
    constexpr int kTransferMs = 1500;

    int sawPrevious = 0;
    int sawFresh = 0;
    std::unique_ptr<ProgramCopy> leftover; // a copy killed with a partial file beside its map
    for (int round = 0; round < kRounds; ++round) {
        std::array<std::unique_ptr<ProgramCopy>, kParallel> copies;
        std::array<std::unique_ptr<gwe2e::StandInServer>, kParallel> servers;
        std::array<QProcess, kParallel> processes;
        for (int i = 0; i < kParallel; ++i) {
            copies[i] = std::make_unique<ProgramCopy>();
            servers[i] = std::make_unique<gwe2e::StandInServer>();
            ASSERT_TRUE(copies[i]->copied());
            servers[i]->setCloudMap(fresh);
            servers[i]->setCloudDelay(kTransferMs);
            ASSERT_TRUE(servers[i]->start());
            const QString destination = copies[i]->xplanetFile(QStringLiteral("images/clouds_2048.jpg"));
            gwtest::writeFile(destination, previous);
            gwtest::writeFile(copies[i]->iniPath(), "[Config]\r\n");
            ASSERT_TRUE(copies[i]->editIni(downloadSoonSettings(servers[i]->port(), destination)));
            copies[i]->start(processes[i]);
        }
        // Each copy is killed at its own moment, counted from the start of its own transfer:
        // during the transfer, or during the checksum and the record that follow it.
        std::array<qint64, kParallel> killAt;
        std::array<int, kParallel> delays;
        killAt.fill(-1);
        QElapsedTimer clock;
        clock.start();
        int alive = kParallel;
        while (alive > 0 && clock.elapsed() < 40000) {
            for (int i = 0; i < kParallel; ++i) {
                if (killAt[i] == -1 && servers[i]->cloudGets() > 0) {
                    delays[i] = static_cast<int>(QRandomGenerator::global()->bounded(kTransferMs + 500));
                    killAt[i] = clock.elapsed() + delays[i];
                }
                if (killAt[i] >= 0 && clock.elapsed() >= killAt[i]) {
                    killHard(processes[i]);
                    killAt[i] = -2;
                    --alive;
                }
            }
            QThread::msleep(2);
        }
        for (int i = 0; i < kParallel; ++i) {
            ASSERT_EQ(killAt[i], -2) << "copy " << i << ": the download never started";
            const QString destination = copies[i]->xplanetFile(QStringLiteral("images/clouds_2048.jpg"));
            const std::string label = "round " + std::to_string(round) + ", copy " + std::to_string(i) + ", killed "
                + std::to_string(delays[i]) + " ms into the transfer";
            const QByteArray now = gwtest::readFile(destination);
            EXPECT_TRUE(now == previous || now == fresh) << label << ": destination of " << now.size() << " bytes";
            sawPrevious += now == previous ? 1 : 0;
            sawFresh += now == fresh ? 1 : 0;
            if (QFileInfo::exists(destination + QStringLiteral(".bak"))) {
                const QByteArray backup = gwtest::readFile(destination + QStringLiteral(".bak"));
                EXPECT_TRUE(backup == previous || backup == fresh)
                    << label << ": backup of " << backup.size() << " bytes";
            }
            gw::IniFile ini(copies[i]->iniPath());
            EXPECT_TRUE(ini.load()) << label;
            EXPECT_EQ(ini.readString(QStringLiteral("Config"), QStringLiteral("Web Adress"), QString()),
                gw::endpoints::cloudMap())
                << label << ": settings file torn";
            const QStringList files = QDir(QFileInfo(destination).absolutePath()).entryList(QDir::Files);
            if (!leftover && files.size() > 1)
                leftover = std::move(copies[i]);
        }
    }
    std::printf("download kills: %d left the previous copy, %d the new one\n", sawPrevious, sawFresh);

    // The next run after a kill: whatever the kill left beside the file, a download that runs
    // to its end leaves the complete new file and nothing else.
    if (leftover) {
        gwe2e::StandInServer server;
        server.setCloudMap(fresh);
        ASSERT_TRUE(server.start());
        const QString destination = leftover->xplanetFile(QStringLiteral("images/clouds_2048.jpg"));
        ASSERT_TRUE(leftover->editIni(downloadSoonSettings(server.port(), destination)));
        const QString log = leftover->programFile(QStringLiteral("Globewall.log"));
        QFile::remove(log);
        QProcess p;
        leftover->start(p);
        EXPECT_TRUE(gwe2e::waitUntil([&] { return gwtest::readFile(log).contains(" - Correct MD5 sum ("); }, 30000));
        gwe2e::stopProcess(p);
        EXPECT_EQ(gwtest::readFile(destination), fresh);
        EXPECT_EQ(
            QDir(QFileInfo(destination).absolutePath()).entryList(QDir::Files), QStringList { "clouds_2048.jpg" });
    }
}
