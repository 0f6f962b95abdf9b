// The wait of the timed downloads after a resume, and the metered connection, against
// python3-dbusmock's logind and NetworkManager on a private system bus.
#include "scheduler/SessionNetwork.h"
#include "support/ManualClock.h"
#include "support/SystemBusTest.h"
#include "support/WaitUntil.h"

#include <QDBusVariant>
#include <gtest/gtest.h>

using namespace gwtest;

namespace {

const QString kNm = QStringLiteral("org.freedesktop.NetworkManager");
const QString kNmPath = QStringLiteral("/org/freedesktop/NetworkManager");

class SessionNetworkBus : public SystemBusTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(SystemBusTest::SetUp());
        ASSERT_TRUE(startMock(logind, QStringLiteral("logind"), QStringLiteral("org.freedesktop.login1")));
    }
    bool startNetworkManager() { return startMock(networkManager, QStringLiteral("networkmanager"), kNm); }
    void sleepSignal(bool starting)
    {
        mock(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("EmitSignal"),
            { QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), QStringLiteral("b"),
                QVariant::fromValue(QVariantList { QVariant::fromValue(QDBusVariant(starting)) }) });
    }
    void networkState(uint state) { mock(kNm, kNmPath, QStringLiteral("SetGlobalConnectionState"), { state }); }
    // Seconds the timed downloads still wait, on the boot clock.
    double held(const gw::SessionNetwork& network) const { return network.downloadsHeldFor(clock.bootSeconds()); }

    BusService logind;
    BusService networkManager;
    gw::ManualClock clock { 45000 };
};

} // namespace

TEST_F(SessionNetworkBus, AfterAResumeDownloadsWaitForNetworkManager)
{
    ASSERT_TRUE(startNetworkManager());
    gw::SessionNetwork network(clock, systemClient);
    int changes = 0;
    QObject::connect(&network, &gw::SessionNetwork::changed, [&] { ++changes; });
    ASSERT_TRUE(network.networkManagerPresent());
    EXPECT_EQ(held(network), 0) << "awake: nothing waits";

    sleepSignal(true);
    networkState(10); // asleep
    sleepSignal(false);
    ASSERT_TRUE(waitUntil([&] { return held(network) > 0; }, 10000));
    clock.advanceSeconds(600);
    EXPECT_EQ(held(network), gw::NetworkGate::Forever) << "NetworkManager decides, however long it takes";
    const int before = changes;
    networkState(gw::SessionNetwork::ConnectedGlobal);
    EXPECT_TRUE(waitUntil([&] { return held(network) == 0; }, 10000));
    EXPECT_GT(changes, before) << "the end of the wait is an event";
}

// Without NetworkManager, or with one that had no network before the sleep (it does not manage
// this computer's connection), the wait lasts two minutes of the boot clock.
TEST_F(SessionNetworkBus, WithoutNetworkManagersWordTwoMinutes)
{
    for (bool withNm : { false, true }) {
        if (withNm) {
            ASSERT_TRUE(startNetworkManager());
            networkState(20); // disconnected before the sleep
        }
        gw::SessionNetwork network(clock, systemClient);
        ASSERT_EQ(network.networkManagerPresent(), withNm);
        sleepSignal(true);
        sleepSignal(false);
        const char* label = withNm ? "NetworkManager without the network" : "no NetworkManager";
        ASSERT_TRUE(waitUntil([&] { return held(network) > 0; }, 10000)) << label;
        EXPECT_DOUBLE_EQ(held(network), 120) << label;
        clock.advanceSeconds(90);
        EXPECT_DOUBLE_EQ(held(network), 30) << label;
        clock.advanceSeconds(30);
        EXPECT_EQ(held(network), 0) << label;
    }
}

TEST_F(SessionNetworkBus, MeteredAsNetworkManagerSaysIt)
{
    ASSERT_TRUE(startNetworkManager());
    // The stand-in's manager has no Metered property of its own.
    mock(kNm, kNmPath, QStringLiteral("AddProperty"),
        { kNm, QStringLiteral("Metered"), QVariant::fromValue(QDBusVariant(QVariant::fromValue(0u))) });
    gw::SessionNetwork network(clock, systemClient);
    struct Row
    {
        const char* label;
        uint value;
        bool metered;
    };
    for (const Row& r : { Row { "yes", 1, true }, Row { "no", 2, false }, Row { "guess yes", 3, true },
             Row { "guess no", 4, false }, Row { "unknown", 0, false } }) {
        mock(kNm, kNmPath, QStringLiteral("UpdateProperties"),
            { kNm, QVariantMap { { QStringLiteral("Metered"), QVariant::fromValue(r.value) } } });
        EXPECT_TRUE(waitUntil([&] { return network.metered() == r.metered; }, 10000)) << r.label;
    }
}
