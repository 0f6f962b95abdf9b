// What the timed downloads fetch on a metered connection, as the setting chooses.
#include "downloads/MeteredDownloads.h"
#include "scheduler/SessionNetwork.h"
#include "settings/MemorySettings.h"
#include "shared/Endpoints.h"
#include "support/ManualClock.h"
#include "support/MemorySinks.h"
#include "support/SystemBusTest.h"
#include "support/WaitUntil.h"

#include <QDBusVariant>

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
    EXPECT_EQ(log.lines.size(), 1) << "the scheduler's plan is the first to ask";
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

namespace {

const QString kNm = QStringLiteral("org.freedesktop.NetworkManager");
const QString kNmPath = QStringLiteral("/org/freedesktop/NetworkManager");

class MeteredSpell : public gwtest::SystemBusTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(SystemBusTest::SetUp());
        ASSERT_TRUE(startMock(networkManager, QStringLiteral("networkmanager"), kNm));
        // The stand-in's manager has no Metered property of its own.
        mock(kNm, kNmPath, QStringLiteral("AddProperty"),
            { kNm, QStringLiteral("Metered"), QVariant::fromValue(QDBusVariant(QVariant::fromValue(0u))) });
    }
    void setMetered(gw::SessionNetwork& network, bool metered)
    {
        mock(kNm, kNmPath, QStringLiteral("UpdateProperties"),
            { kNm, QVariantMap { { QStringLiteral("Metered"), QVariant::fromValue(metered ? 1u : 2u) } } });
        ASSERT_TRUE(gwtest::waitUntil([&] { return network.metered() == metered; }, 10000));
    }

    gwtest::BusService networkManager;
    gw::ManualClock clock { 45000 };
};

} // namespace

// NetworkManager says the connection is metered: a download the choice holds is named once
// in the log for the spell, though the scheduler, asleep until the network's next event,
// only asks whether it waits and never reaches its due tick.
TEST_F(MeteredSpell, OneLinePerHeldDownloadAndSpell)
{
    struct Row
    {
        const char* label;
        const char* choice;
        QStringList lines; // the held downloads named, in order
    };
    const QString list = QStringLiteral("the download list");
    const Row rows[] = {
        { "nothing: the cloud map and the list", "metered: nothing", { kSmallCloud, list } },
        { "only small files: a small map goes", "metered: only small files", {} },
        { "as usual: nothing waits", "metered: download as usual", {} },
    };
    using D = gw::NetworkGate::Download;
    for (const Row& row : rows) {
        gw::SessionNetwork network(clock, systemClient);
        gw::MemorySettings settings;
        settings.setText(QStringLiteral("ddbMeteredConnection"), QString::fromLatin1(row.choice));
        settings.setText(QStringLiteral("edtWebAdress"), kSmallCloud);
        gw::MemoryLog log;
        gw::MeteredDownloads metered(network, settings, log, clock);
        const auto plan = [&] {
            // As the scheduler plans its next wake, several times while it stays metered.
            for (int i = 0; i < 3; ++i) {
                metered.waitsForUnmetered(D::Cloud, false);
                metered.waitsForUnmetered(D::List, false);
            }
        };
        QStringList expected;
        for (const QString& item : row.lines)
            expected << gw::DateTimeToStr(clock.now()) + QStringLiteral(" - The connection is metered: ") + item
                    + QStringLiteral(" waits until it is not.");
        ASSERT_NO_FATAL_FAILURE(setMetered(network, true));
        plan();
        EXPECT_EQ(log.lines, expected) << row.label;
        ASSERT_NO_FATAL_FAILURE(setMetered(network, false));
        plan();
        ASSERT_NO_FATAL_FAILURE(setMetered(network, true));
        plan();
        EXPECT_EQ(log.lines, expected + expected) << row.label << ": a new spell, new lines";
    }
}
