// A room of desktops behind the site's mirror, with the real parts: Debian's nginx with the
// recipe's configuration in front of https origins on loopback, and copies of the shipped
// program, each with its own home, all started together.
#include "MirrorSite.h"
#include "ProgramCopy.h"

#include "settings/IniFile.h"

#include <QDateTime>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace gwe2e;

namespace {

// The first list download comes two minutes after the start, the cloud map at the first tick.
constexpr int kFeedsWithinMs = 240000;

struct Desk
{
    std::unique_ptr<ProgramCopy> copy = std::make_unique<ProgramCopy>();
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    QString iss() const { return copy->root() + QStringLiteral("/iss.tle"); }
    QString quakes() const { return copy->root() + QStringLiteral("/quakes.csv"); }
    QString clouds() const { return copy->root() + QStringLiteral("/clouds.jpg"); }
    QString log() const { return QString::fromUtf8(readLog()); }
    QByteArray readLog() const
    {
        QFile f(copy->programFile(QStringLiteral("Globewall.log")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool hasFeeds() const
    {
        return QFileInfo(iss()).size() > 0 && QFileInfo(quakes()).size() > 0 && QFileInfo(clouds()).size() > 0;
    }
};

// A desktop of the site: the mirror set, the station's elements and the earthquakes in the
// list, the live cloud map at a fixed time of this minute; nothing else that talks to the net.
bool setUp(Desk& desk, const QString& mirror)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString c = QStringLiteral("Config"), d = QStringLiteral("Download"), t = QStringLiteral("Time");
    return desk.copy->copied()
        && desk.copy->editIni({ { c, QStringLiteral("Mirror"), mirror },
            { c, QStringLiteral("Web Adress"), MirrorSite::cloudAddress() },
            { c, QStringLiteral("Destination"), desk.clouds() },
            { c, QStringLiteral("Download from HTTP"), QStringLiteral("1") },
            { c, QStringLiteral("check MD5 of Cloudfile"), QStringLiteral("0") },
            { c, QStringLiteral("Start XPlanet after Download"), QStringLiteral("0") },
            { c, QStringLiteral("Start every x sec"), QStringLiteral("0") },
            { c, QStringLiteral("Check for new file"), QStringLiteral("0") },
            { c, QStringLiteral("Check for updates every day"), QStringLiteral("0") },
            { c, QStringLiteral("Check extra downloads x times per day"), QStringLiteral("24") },
            { c, QStringLiteral("Transparent at Start"), QStringLiteral("0") },
            { c, QStringLiteral("Server to ping"), QStringLiteral("#") },
            { t, QStringLiteral("How often"), QStringLiteral("1") },
            { t, QStringLiteral("Time 0"), now.toString(QStringLiteral("hh:mm")) },
            { t, QStringLiteral("Time 1"), now.addSecs(60).toString(QStringLiteral("hh:mm")) },
            { d, QStringLiteral("0,1"), MirrorSite::issAddress() }, { d, QStringLiteral("1,1"), desk.iss() },
            { d, QStringLiteral("0,2"), MirrorSite::quakeAddress() }, { d, QStringLiteral("1,2"), desk.quakes() } });
}

std::vector<Desk> startDesks(int count, const MirrorSite& site)
{
    std::vector<Desk> desks(count);
    for (Desk& desk : desks)
        if (!setUp(desk, site.mirrorAddress()))
            ADD_FAILURE() << "a copy could not be set up";
    for (Desk& desk : desks)
        desk.copy->start(*desk.process);
    return desks;
}

} // namespace

TEST(MirrorSite, TenDesktopsCostEachOriginOneRequestPerSource)
{
    MirrorSite site;
    ASSERT_TRUE(site.start()) << site.error().toStdString();
    std::vector<Desk> desks = startDesks(10, site);
    const bool fed = waitUntil(
        [&] {
            for (const Desk& d : desks)
                if (!d.hasFeeds())
                    return false;
            return true;
        },
        kFeedsWithinMs, 500);
    for (Desk& d : desks)
        stopProcess(*d.process);
    ASSERT_TRUE(fed) << desks[0].log().toStdString() << "\n" << site.mirrorLog().join('\n').toStdString();

    struct Source
    {
        const char* label;
        QString host;
        QString path;
    };
    const Source sources[] = {
        { "the station's elements", "celestrak.org", "/NORAD/elements/gp.php" },
        { "the earthquake feed", "earthquake.usgs.gov", "/earthquakes/feed/v1.0/summary/2.5_week.csv" },
        { "the live cloud map", "clouds.matteason.co.uk", "/images/2048x1024/clouds.jpg" },
    };
    for (const Source& s : sources)
        EXPECT_EQ(site.originRequests(s.host, s.path), 1) << s.label << "\n"
                                                          << site.mirrorLog().join('\n').toStdString();
    EXPECT_GE(site.mirrorLog().size(), 30) << "every desktop asked the mirror for each source";
    for (const Desk& d : desks) {
        EXPECT_FALSE(d.log().contains(QStringLiteral(" stopped ("))) << d.log().toStdString();
        EXPECT_EQ(gwtest::readFile(d.iss()).left(11), "ISS (ZARYA)");
    }
}

TEST(MirrorSite, CelesTraksRefusalOfARepeatKeepsTheRow)
{
    MirrorSite site(MirrorSite::SatelliteAnswer::NotUpdated);
    ASSERT_TRUE(site.start()) << site.error().toStdString();
    std::vector<Desk> desks = startDesks(2, site);
    const QString line = QStringLiteral(": not changed since 2026-12-09 06:00:00 UTC (asked again from this network)");
    const bool answered = waitUntil(
        [&] {
            for (const Desk& d : desks)
                if (!d.log().contains(line))
                    return false;
            return true;
        },
        kFeedsWithinMs, 500);
    for (Desk& d : desks)
        stopProcess(*d.process);
    ASSERT_TRUE(answered) << desks[0].log().toStdString() << "\n" << site.mirrorLog().join('\n').toStdString();
    for (const Desk& d : desks) {
        EXPECT_FALSE(d.log().contains(QStringLiteral(" stopped ("))) << d.log().toStdString();
        EXPECT_TRUE(gw::IniFile(d.copy->iniPath()).keys(QStringLiteral("Stopped Downloads")).isEmpty());
    }
}
