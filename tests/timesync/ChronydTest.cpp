// Against a real NTP server: chronyd on loopback, started with -x so the clock stays as it is.
#include "settings/MemorySettings.h"
#include "shared/LogSink.h"
#include "support/ChronydFixture.h"
#include "support/MemorySinks.h"
#include "support/Printers.h"
#include "timesync/TimeSync.h"

#include <QDateTime>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace gw;

namespace {

class RecordingSetter : public ClockSetter
{
public:
    bool setTime(const QDateTime& utc) override
    {
        asked << utc;
        return true;
    }
    QList<QDateTime> asked;
};

class ChronydTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (gwtest::ChronydFixture::program().isEmpty())
            GTEST_SKIP() << "chronyd is not installed";
        if (geteuid() != 0)
            GTEST_SKIP() << "chronyd runs as root only";
        QString error;
        ASSERT_TRUE(chronyd.start(&error)) << error.toStdString();
    }

    gwtest::ChronydFixture chronyd;
    SystemClock clock;
    RecordingSetter setter;
};

} // namespace

TEST_F(ChronydTest, AQueryReturnsASaneTimeAndATinyOffset)
{
    SntpClient client(clock, setter);
    client.setHost(QStringLiteral("127.0.0.1"));
    client.setPort(chronyd.port());
    client.setReceiveTimeout(2500);
    const TDateTime serverTime = client.query();
    ASSERT_NE(serverTime, 0.0);
    EXPECT_NEAR(serverTime, clock.now(), 5 * OneSecond) << "the server shares this computer's clock";
    EXPECT_LT(std::abs(client.offsetMicros()), 100000.0) << "tiny offset, in microseconds";
    EXPECT_TRUE(client.SyncTime());
    ASSERT_EQ(setter.asked.size(), 1);
    EXPECT_LT(std::abs(setter.asked[0].msecsTo(QDateTime::currentDateTimeUtc())), 5000);
}

TEST_F(ChronydTest, SynchronizeTimeLogsOneLine)
{
    MemorySettings settings;
    MemoryLog log;
    settings.setCheckItems(QStringLiteral("cbTimeServer"), { { QStringLiteral("127.0.0.1"), true } });
    TimeSync sync(settings, log, setter, clock);
    sync.overridePortAndTimeoutForTests(chronyd.port(), 2500);
    sync.btnCheckTimeServerClick();
    ASSERT_EQ(log.lines.size(), 1);
    EXPECT_TRUE(log.lines[0].endsWith(QStringLiteral(") - 127.0.0.1:") + QString::number(chronyd.port())))
        << log.lines[0].toStdString();
    EXPECT_EQ(setter.asked.size(), 1);
}
