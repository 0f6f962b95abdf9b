// The decisions of the update check that need no server: is the announced release newer,
// which file name is offered, what "updates.ini" yields, and the transfer summary.
#include "support/TempDir.h"

#include "shared/DateTime.h"
#include "update/UpdateInfo.h"
#include "update/ui/UpdateDialog.h"

#include <gtest/gtest.h>

using namespace gwtest;

TEST(UpdateInfo, NewerByCharacterCodes)
{
    struct Case
    {
        const char* label;
        QString remoteVersion, remoteBeta, ownVersion, ownBeta;
        bool newer;
    };
    const Case cases[] = {
        { "7 is greater than 6", "1.1.3.7", "", "1.1.3.68", "", true },
        { "1 is smaller than 6", "1.1.3.100", "", "1.1.3.68", "", false },
        { "equal with a beta tag", "1.1.3.68", "b1", "1.1.3.68", "", true },
        { "equal without a beta tag", "1.1.3.68", "", "1.1.3.68", "", false },
        { "equal beta tags", "1.1.3.68", "b1", "1.1.3.68", "b1", false },
        { "smaller version with a beta tag", "1.1.3.67", "b9", "1.1.3.68", "", false },
        { "the shorter prefix is smaller", "1.1.3.68.1", "", "1.1.3.68", "", true },
        { "no version announced", "", "", "1.1.3.68", "", false },
        { "no version announced, beta only", "", "b1", "1.1.3.68", "", false },
        { "own version unknown", "1.0", "", "", "", true },
        { "upper case sorts before lower case", "1.1.3.68", "B1", "1.1.3.68", "b1", false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(gw::isNewerRelease(c.remoteVersion, c.remoteBeta, c.ownVersion, c.ownBeta), c.newer) << c.label;
}

TEST(UpdateInfo, ProposedFileName)
{
    struct Case
    {
        const char* label;
        QString url;
        QString proposal;
        QString extension;
    };
    const Case cases[] = {
        { "release archive", "http://h.net/soft/globewall_1_2.zip", "globewall_1_2.zip", "zip" },
        { "three characters after the last dot", "http://h.net/globewall_1_2.zip?x=1", "globewall_1_2.zip", "zip" },
        { "two-letter extension", "http://h.net/globewall_1.tar.gz", "globewall_1.tar.gz", "gz" },
        { "first occurrence, folder dropped", "http://h.net/globewall_files/globewall_2.exe", "globewall_2.exe",
            "exe" },
        { "case-sensitive marker", "http://h.net/Globewall_3.zip", "Globewall_3.zip", "zip" },
        { "no marker: from the start", "http://h.net/release/setup.exe", "setup.exe", "exe" },
        { "no dot after the marker", "http://h.net/globewall_latest", "globewall_latest", "" },
        { "empty address", "", "", "" },
    };
    for (const Case& c : cases) {
        const QString proposal = gw::proposedFileName(c.url);
        EXPECT_EQ(proposal, c.proposal) << c.label;
        EXPECT_EQ(gw::proposedExtension(proposal), c.extension) << c.label;
    }
}

TEST(UpdateInfo, ReadsSectionAndKeysWithoutRegardToCase)
{
    TempDir dir;
    struct Case
    {
        const char* label;
        QByteArray content;
        QString version, beta, url1, url2, description, date;
        QString problem = "no version number in it";
    };
    const Case cases[] = {
        { "mixed case names",
            "[GLOBEWALL]\r\nversion=1.2.0.1\r\nBETA=b2\r\nurl1=http://h/globewall_1.zip\r\nUrl2=http://h/c\r\n"
            "DESCRIPTION=Faster downloads\r\ndate=2024-05-01\r\n",
            "1.2.0.1", "b2", "http://h/globewall_1.zip", "http://h/c", "Faster downloads", "2024-05-01", "" },
        { "a version that is no number", "[Globewall]\nVersion=<b>1.2</b>\n", "<b>1.2</b>", "", "", "", "", "" },
        { "another section only", "[Other]\nVersion=9.9\n", "", "", "", "", "", "" },
        { "empty file", "", "", "", "", "", "", "" },
        { "not an INI file", "<html><body>Not Found</body></html>", "", "", "", "", "", "" },
    };
    for (const Case& c : cases) {
        const QString path = dir.write(QStringLiteral("updates.ini"), c.content);
        const gw::UpdateInfo info = gw::UpdateInfo::read(path);
        EXPECT_EQ(info.Version, c.version) << c.label;
        EXPECT_EQ(info.Beta, c.beta) << c.label;
        EXPECT_EQ(info.URL1, c.url1) << c.label;
        EXPECT_EQ(info.URL2, c.url2) << c.label;
        EXPECT_TRUE(info.URL3.isEmpty()) << c.label;
        EXPECT_EQ(info.Description, c.description) << c.label;
        EXPECT_EQ(info.Date, c.date) << c.label;
        EXPECT_EQ(info.problem, c.problem) << c.label;
    }
    EXPECT_TRUE(gw::UpdateInfo::read(dir.file(QStringLiteral("missing.ini"))).Version.isEmpty()) << "missing file";
}

TEST(UpdateInfo, SuccessText)
{
    const gw::TDateTime now = 46000.5;
    const QString stamp = gw::DateTimeToStr(now);
    struct Case
    {
        const char* label;
        qint64 bytes;
        double seconds;
        QString rest;
    };
    const Case cases[] = {
        { "two seconds", 2048, 2.0, " - Success: 2048 byte in   2 sec. (   1.00 kb/s)" },
        { "a half second rounds to even 0", 512, 0.5, " - Success: 512 byte in   0 sec. (   1.00 kb/s)" },
        { "2.5 seconds round to even 2", 2560, 2.5, " - Success: 2560 byte in   2 sec. (   1.00 kb/s)" },
        { "no time at all counts as 1 ms", 1024, 0.0, " - Success: 1024 byte in   0 sec. (1000.00 kb/s)" },
        { "rate wider than the field", 1024 * 123456, 1.0, " - Success: 126418944 byte in   1 sec. (3456.00 kb/s)" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(gw::UpdateDialog::successText(now, c.bytes, c.seconds), stamp + c.rest) << c.label;
}
