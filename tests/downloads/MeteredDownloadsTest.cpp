// What the timed downloads fetch on a metered connection, as the setting chooses.
#include "downloads/MeteredDownloads.h"
#include "scheduler/SessionNetwork.h"
#include "settings/MemorySettings.h"
#include "shared/Endpoints.h"
#include "support/ManualClock.h"
#include "support/MemorySinks.h"

#include <gtest/gtest.h>

namespace {

const QString kSmallCloud = QStringLiteral("https://clouds.example/images/1024x512/clouds.jpg");
const QString kLargeCloud = QStringLiteral("https://clouds.example/images/2048x1024/clouds.jpg");

} // namespace

TEST(MeteredDownloads, SmallFiles)
{
    struct Case
    {
        const char* label;
        QString url;
        bool small;
    };
    for (const Case& c : { Case { "1024x512", kSmallCloud, true }, Case { "2048x1024", kLargeCloud, false },
             Case { "narrow but tall", QStringLiteral("http://h/600x600/c.jpg"), false },
             Case { "smaller", QStringLiteral("http://h/clouds_512x256.jpg"), true },
             Case { "no size in the address", QStringLiteral("http://h/clouds_2048.jpg"), false },
             Case { "a size in the host only", QStringLiteral("http://1024x512.example/c.jpg"), false } })
        EXPECT_EQ(gw::isSmallCloudMap(c.url), c.small) << c.label;

    struct Row
    {
        const char* label;
        QString source;
        QString destination;
        bool small;
    };
    for (const Row& r :
        { Row { "earthquake feed", gw::endpoints::quakeFeed(), QStringLiteral("/m/quake.csv"), true },
            Row { "satellite list", QStringLiteral("http://h/gp.php?CATNR=25544"), QStringLiteral("/s/iss.TLE"), true },
            Row { "any other file", QStringLiteral("http://h/big.zip"), QStringLiteral("/d/big.zip"), false } })
        EXPECT_EQ(gw::isSmallListItem(r.source, r.destination), r.small) << r.label;
}

TEST(MeteredDownloads, WhatWaitsForEachChoice)
{
    struct Case
    {
        const char* label;
        const char* choice;
        bool metered;
        QString cloud;
        bool cloudWaits;
        bool listWaits; // the whole list job
        bool largeRowWaits;
    };
    const std::vector<Case> cases = {
        { "not metered", "metered: nothing", false, kLargeCloud, false, false, false },
        { "as usual", "metered: download as usual", true, kLargeCloud, false, false, false },
        { "small files: a large map waits", "metered: only small files", true, kLargeCloud, true, false, true },
        { "small files: a small map goes", "metered: only small files", true, kSmallCloud, false, false, true },
        { "nothing", "metered: nothing", true, kSmallCloud, true, true, true },
        { "a choice from elsewhere counts as small files", "whatever", true, kLargeCloud, true, false, true },
    };
    for (const Case& c : cases) {
        gw::ManualClock clock(45000);
        gw::SessionNetwork network(clock, QDBusConnection(QStringLiteral("no bus")));
        gw::MemorySettings settings;
        settings.setText(QStringLiteral("ddbMeteredConnection"), QString::fromLatin1(c.choice));
        settings.setText(QStringLiteral("edtWebAdress"), c.cloud);
        gw::MemoryLog log;
        gw::MeteredDownloads metered(network, settings, log, clock);
        metered.setMeteredQuery([&] { return c.metered; });
        using D = gw::NetworkGate::Download;
        EXPECT_EQ(metered.waitsForUnmetered(D::Cloud, true), c.cloudWaits) << c.label;
        EXPECT_EQ(metered.waitsForUnmetered(D::List, true), c.listWaits) << c.label;
        EXPECT_EQ(metered.rowWaits(QStringLiteral("http://h/big.zip"), QStringLiteral("/d/big.zip")), c.largeRowWaits)
            << c.label;
        EXPECT_EQ(metered.rowWaits(gw::endpoints::quakeFeed(), QStringLiteral("/m/quake.csv")), c.listWaits)
            << c.label << ": the earthquake list goes unless nothing does";
    }
}

TEST(MeteredDownloads, OneLineWhenADownloadBeginsToWait)
{
    gw::ManualClock clock(45000);
    gw::SessionNetwork network(clock, QDBusConnection(QStringLiteral("no bus")));
    gw::MemorySettings settings;
    settings.setText(QStringLiteral("ddbMeteredConnection"), QStringLiteral("metered: only small files"));
    settings.setText(QStringLiteral("edtWebAdress"), kLargeCloud);
    gw::MemoryLog log;
    gw::MeteredDownloads metered(network, settings, log, clock);
    bool isMetered = true;
    metered.setMeteredQuery([&] { return isMetered; });
    using D = gw::NetworkGate::Download;
    metered.waitsForUnmetered(D::Cloud, false);
    EXPECT_TRUE(log.lines.isEmpty()) << "a question about later writes nothing";
    for (int tick = 0; tick < 3; ++tick)
        metered.waitsForUnmetered(D::Cloud, true);
    ASSERT_EQ(log.lines.size(), 1);
    EXPECT_EQ(log.lines[0],
        gw::DateTimeToStr(clock.now()) + QStringLiteral(" - The connection is metered: ") + kLargeCloud
            + QStringLiteral(" waits until it is not."));
    isMetered = false;
    EXPECT_FALSE(metered.waitsForUnmetered(D::Cloud, true));
    isMetered = true;
    metered.waitsForUnmetered(D::Cloud, true);
    EXPECT_EQ(log.lines.size(), 2) << "a new metered spell, a new line";
}
