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

} // namespace

TEST(MirrorSite, TenDesktopsCostEachOriginOneRequestPerSource)
{
    MirrorSite site;
    ASSERT_TRUE(site.start()) << site.error().toStdString();
    std::vector<SiteDesktop> desks;
    ASSERT_TRUE(startDesktops(10, site, &desks));
    const bool fed = waitUntil(
        [&] {
            for (const SiteDesktop& d : desks)
                if (!d.hasFeeds())
                    return false;
            return true;
        },
        kFeedsWithinMs, 500);
    for (SiteDesktop& d : desks)
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
    for (const SiteDesktop& d : desks) {
        EXPECT_FALSE(d.log().contains(QStringLiteral(" stopped ("))) << d.log().toStdString();
        EXPECT_EQ(gwtest::readFile(d.iss()).left(11), "ISS (ZARYA)");
    }
}

TEST(MirrorSite, CelesTraksRefusalOfARepeatKeepsTheRow)
{
    MirrorSite site(MirrorSite::SatelliteAnswer::NotUpdated);
    ASSERT_TRUE(site.start()) << site.error().toStdString();
    std::vector<SiteDesktop> desks;
    ASSERT_TRUE(startDesktops(2, site, &desks));
    const QString line = QStringLiteral(": not changed since 2026-12-09 06:00:00 UTC (asked again from this network)");
    const bool answered = waitUntil(
        [&] {
            for (const SiteDesktop& d : desks)
                if (!d.log().contains(line))
                    return false;
            return true;
        },
        kFeedsWithinMs, 500);
    for (SiteDesktop& d : desks)
        stopProcess(*d.process);
    ASSERT_TRUE(answered) << desks[0].log().toStdString() << "\n" << site.mirrorLog().join('\n').toStdString();
    for (const SiteDesktop& d : desks) {
        EXPECT_FALSE(d.log().contains(QStringLiteral(" stopped ("))) << d.log().toStdString();
        EXPECT_TRUE(gw::IniFile(d.copy->iniPath()).keys(QStringLiteral("Stopped Downloads")).isEmpty());
    }
}
