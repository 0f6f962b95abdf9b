// The SNTP client against a fake server on loopback: what it returns, what it believes, and
// that nothing unusable ever reaches the clock.
#include "timesync/SntpClient.h"
#include "FakeSntpServer.h"
#include "shared/Error.h"
#include "support/ManualClock.h"
#include "support/Printers.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

using namespace gw;
using gwtest::FakeSntpServer;
using gwtest::RecordingClockSetter;
using Reply = FakeSntpServer::Reply;

namespace {
constexpr double kSecond = 1.0 / 86400.0;

class SntpClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen()) << "fake server on loopback";
        client.setHost(QStringLiteral("127.0.0.1"));
        client.setPort(server.port());
        client.setReceiveTimeout(300);
    }

    ManualClock clock { toDateTime(QDateTime(QDate(2026, 12, 6), QTime(14, 31, 7))) };
    RecordingClockSetter setter;
    FakeSntpServer server { clock };
    SntpClient client { clock, setter };
};
} // namespace

TEST_F(SntpClientTest, QueryReturnsTheServerTimeAndTheOffset)
{
    server.setOffsetsSeconds({ -1.5 });
    const TDateTime t = client.query();
    EXPECT_NEAR(t, clock.now() - 1.5 * kSecond, 0.001 * kSecond) << "server's transmit time, local";
    EXPECT_DOUBLE_EQ(client.offsetMicros(), -1500000.0) << "server minus local";
    EXPECT_TRUE(client.Active()) << "active until deactivated";
    EXPECT_TRUE(setter.asked.isEmpty()) << "a query alone never sets the clock";
    client.setActive(false);
    EXPECT_FALSE(client.Active());
    ASSERT_EQ(server.requests(), 1);
    EXPECT_EQ(static_cast<quint8>(server.received[0].at(0)), 0x1B) << "version 3, client mode";
}

TEST_F(SntpClientTest, RepliesToOtherRequestsOrFromOtherPortsAreIgnored)
{
    struct Case
    {
        const char* label;
        Reply reply;
    };
    const Case cases[] = {
        { "a stale reply before the right one", Reply::StaleThenAnswer },
        { "a forged reply from another port before the right one", Reply::ForeignThenAnswer },
    };
    server.setOffsetsSeconds({ 0.25 });
    for (const Case& c : cases) {
        server.setReply(c.reply);
        EXPECT_NE(client.query(), 0.0) << c.label;
        EXPECT_DOUBLE_EQ(client.offsetMicros(), 250000.0) << c.label << ": the decoy's hour was not believed";
    }
}

TEST_F(SntpClientTest, HostsThatDoNotResolveThrow)
{
    const char* hosts[] = { "nonexistent.invalid", "NonExistent.Invalid.", "invalid", "" };
    for (const char* host : hosts) {
        client.setHost(QString::fromLatin1(host));
        EXPECT_THROW(client.query(), Error) << '"' << host << '"';
        EXPECT_THROW(client.SyncTime(), Error) << '"' << host << '"';
    }
    EXPECT_EQ(server.requests(), 0);
    EXPECT_TRUE(setter.asked.isEmpty());
}

TEST_F(SntpClientTest, ABadPortThrows)
{
    for (int port : { 0, -1, 65536 }) {
        client.setPort(port);
        EXPECT_THROW(client.query(), Error) << port;
    }
}

TEST_F(SntpClientTest, TheWindowKeepsWorkingWhileAQueryWaits)
{
    server.setReply(Reply::Silent);
    bool timerRan = false;
    bool secondQueryRefused = false;
    QTimer::singleShot(20, [&] {
        timerRan = true;
        try {
            client.query();
        } catch (const Error&) {
            secondQueryRefused = true;
        }
    });
    EXPECT_EQ(client.query(), 0.0);
    EXPECT_TRUE(timerRan) << "events were dispatched during the wait";
    EXPECT_TRUE(secondQueryRefused) << "a nested query is refused, not interleaved";
    EXPECT_EQ(server.requests(), 1);
}

TEST(SntpClientNames, ReservedInvalidNames)
{
    struct Case
    {
        const char* host;
        bool reserved;
    };
    // Refused without asking anyone; a real name that merely contains the word must pass.
    const Case cases[] = {
        { "nonexistent.invalid", true },
        { "a.b.INVALID", true },
        { "invalid.", true },
        { "invalid.example.org", false },
        { "myinvalid", false },
        { "pool.ntp.org", false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(SntpClient::isReservedInvalidName(QString::fromLatin1(c.host)), c.reserved) << c.host;
}

TEST(SntpClientServers, LiteralAddressesAndNamesReachTheServer)
{
    struct Case
    {
        const char* label;
        const char* host;
        QHostAddress listenOn;
        bool needsIPv6;
    };
    const Case cases[] = {
        { "an IPv6 literal", "::1", QHostAddress(QHostAddress::LocalHostIPv6), true },
        { "a v4-mapped IPv6 literal", "::ffff:127.0.0.1", QHostAddress(QHostAddress::LocalHost), false },
        { "a name the resolver answers", "localhost", QHostAddress(QHostAddress::LocalHost), false },
    };
    for (const Case& c : cases) {
        ManualClock clock { toDateTime(QDateTime(QDate(2026, 12, 6), QTime(14, 31, 7))) };
        RecordingClockSetter setter;
        FakeSntpServer server { clock };
        if (!server.listen(c.listenOn)) {
            if (c.needsIPv6)
                continue; // no IPv6 loopback on this machine
            FAIL() << c.label << ": fake server on loopback";
        }
        server.setOffsetsSeconds({ 0.5 });
        SntpClient client { clock, setter };
        client.setHost(QString::fromLatin1(c.host));
        client.setPort(server.port());
        client.setReceiveTimeout(300);
        EXPECT_NE(client.query(), 0.0) << c.label;
        EXPECT_DOUBLE_EQ(client.offsetMicros(), 500000.0) << c.label;
    }
}

TEST(SntpClientServers, AQuitDuringTheLookupEndsTheQueryAndTheLookupFinishesAlone)
{
    ManualClock clock { toDateTime(QDateTime(QDate(2026, 12, 6), QTime(14, 31, 7))) };
    RecordingClockSetter setter;
    FakeSntpServer server { clock };
    ASSERT_TRUE(server.listen());
    SntpClient client { clock, setter };
    client.setHost(QStringLiteral("localhost"));
    client.setPort(server.port());
    client.setReceiveTimeout(300);

    // As when the program quits: every event loop of this thread ends at once. A lookup that
    // answers before the wait begins is not interrupted, so a few tries are made.
    QCoreApplication::exit();
    int interrupted = 0;
    for (int i = 0; i < 5; ++i) {
        try {
            client.query();
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), QStringLiteral("Host lookup interrupted: localhost"));
            ++interrupted;
        }
    }
    EXPECT_GT(interrupted, 0);

    // The application loop clears the quit; the abandoned lookups end meanwhile, unheard.
    QTimer::singleShot(200, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    server.setOffsetsSeconds({ 0.5 });
    EXPECT_NE(client.query(), 0.0);
    EXPECT_DOUBLE_EQ(client.offsetMicros(), 500000.0);
}
