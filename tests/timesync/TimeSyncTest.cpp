// "synchronize Time" end to end against fake servers on loopback: which server is asked,
// what the time log says, and when the clock may be set.
#include "timesync/TimeSync.h"
#include "FakeSntpServer.h"
#include "settings/MemorySettings.h"
#include "shared/LogSink.h"
#include "support/ManualClock.h"
#include "support/MemorySinks.h"
#include "support/Printers.h"

#include <QLocale>
#include <QTimer>
#include <gtest/gtest.h>

using namespace gw;
using gwtest::FakeSntpServer;
using gwtest::RecordingClockSetter;
using Reply = FakeSntpServer::Reply;

namespace {
constexpr double kSecond = 1.0 / 86400.0;
const QString kCouldNot = QStringLiteral("Could not synchronize time");

class TimeSyncTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen()) << "fake server on loopback";
        sync.overridePortAndTimeoutForTests(server.port(), 200);
        checkOnly(QStringLiteral("127.0.0.1"));
    }

    void checkOnly(const QString& host) { settings.setCheckItems(QStringLiteral("cbTimeServer"), { { host, true } }); }

    QString where() const { return QStringLiteral("127.0.0.1:") + QString::number(server.port()); }

    static QString withSeparator(const char* text)
    {
        return QString::fromLatin1(text).replace(QLatin1Char('.'), QLocale::system().decimalPoint());
    }

    ManualClock clock { toDateTime(QDateTime(QDate(2026, 12, 6), QTime(14, 31, 7))) };
    MemorySettings settings;
    MemoryLog log;
    RecordingClockSetter setter;
    FakeSntpServer server { clock };
    TimeSync sync { settings, log, setter, clock };
};
} // namespace

TEST_F(TimeSyncTest, LogsServerTimeOffsetAndServerThenSetsTheClock)
{
    struct Case
    {
        const char* label;
        double offsetSeconds;
        const char* offsetText;
    };
    const Case cases[] = {
        { "clock one and a half seconds ahead", -1.5, "-00:00:01.500" },
        { "offset of 25 hours shows 01", 25 * 3600.0, " 01:00:00.000" },
        { "no offset: a blank instead of a sign", 0.0, " 00:00:00.000" },
    };
    for (const Case& c : cases) {
        log.lines.clear();
        setter.asked.clear();
        server.setOffsetsSeconds({ c.offsetSeconds });
        sync.btnCheckTimeServerClick();
        const QString serverTime = DateTimeToStr(clock.now() + c.offsetSeconds * kSecond);
        EXPECT_EQ(log.lines,
            QStringList {
                serverTime + QStringLiteral(" (") + withSeparator(c.offsetText) + QStringLiteral(") - ") + where() })
            << c.label;
        ASSERT_EQ(setter.asked.size(), 1) << c.label;
        EXPECT_EQ(setter.asked[0], clock.nowUtc().addMSecs(std::llround(c.offsetSeconds * 1000))) << c.label;
        EXPECT_FALSE(sync.SNTP().Active()) << c.label << ": deactivated on the way out";
    }
    EXPECT_EQ(server.requests(), 6) << "two requests per synchronisation";
}

TEST_F(TimeSyncTest, TheLineShowsTheFirstExchangeAndTheClockFollowsTheSecond)
{
    server.setOffsetsSeconds({ -1.5, 2.0 });
    sync.btnCheckTimeServerClick();
    ASSERT_EQ(log.lines.size(), 1);
    EXPECT_TRUE(log.lines[0].contains(withSeparator("(-00:00:01.500)"))) << log.lines[0].toStdString();
    EXPECT_TRUE(log.lines[0].startsWith(DateTimeToStr(clock.now() - 1.5 * kSecond))) << log.lines[0].toStdString();
    ASSERT_EQ(setter.asked.size(), 1);
    EXPECT_EQ(setter.asked[0], clock.nowUtc().addMSecs(2000));
}

TEST_F(TimeSyncTest, NoUsableAnswerIsOneLineAndTheClockUntouched)
{
    struct Case
    {
        const char* label;
        Reply reply;
    };
    const Case cases[] = {
        { "server does not answer", Reply::Silent },
        { "leap indicator 3", Reply::Leap3 },
        { "stratum 0", Reply::Stratum0 },
        { "stratum 16", Reply::Stratum16 },
        { "zero transmit time", Reply::ZeroTransmit },
        { "zero receive time", Reply::ZeroReceive },
        { "short packet", Reply::Short },
        { "wrong mode", Reply::WrongMode },
        { "wrong originate time", Reply::WrongOriginate },
    };
    server.setOffsetsSeconds({ -1.5 });
    for (const Case& c : cases) {
        log.lines.clear();
        const int before = server.requests();
        server.setReply(c.reply);
        sync.btnCheckTimeServerClick();
        EXPECT_EQ(log.lines, QStringList { kCouldNot }) << c.label;
        EXPECT_EQ(server.requests() - before, 2) << c.label << ": both requests were tried";
        EXPECT_TRUE(setter.asked.isEmpty()) << c.label;
        EXPECT_FALSE(sync.SNTP().Active()) << c.label;
    }
}

TEST_F(TimeSyncTest, AClockThatRefusesToBeSetIsReported)
{
    struct Case
    {
        const char* label;
        bool forRights;
        QString line;
    };
    const Case cases[] = {
        { "refused for want of rights", true, kCouldNot + " (setting the clock needs administrator rights)" },
        { "refused otherwise", false, kCouldNot },
    };
    setter.allow = false;
    for (const Case& c : cases) {
        log.lines.clear();
        setter.refusedForRights = c.forRights;
        sync.btnCheckTimeServerClick();
        EXPECT_EQ(log.lines, QStringList { c.line }) << c.label;
    }
}

TEST_F(TimeSyncTest, OnlyTheFirstCheckedEntryIsAsked)
{
    FakeSntpServer other(clock);
    ASSERT_TRUE(other.listen(QHostAddress(QStringLiteral("127.0.0.2")), server.port())) << "second loopback address";
    settings.setCheckItems(QStringLiteral("cbTimeServer"),
        { { QStringLiteral("127.0.0.2"), false }, { QStringLiteral("127.0.0.1"), true },
            { QStringLiteral("127.0.0.2"), true } });
    sync.btnCheckTimeServerClick();
    EXPECT_EQ(server.requests(), 2) << "the first checked entry";
    EXPECT_EQ(other.requests(), 0) << "neither the unchecked one above nor the checked one below";
    ASSERT_EQ(log.lines.size(), 1);
    EXPECT_TRUE(log.lines[0].endsWith(QStringLiteral(") - ") + where())) << log.lines[0].toStdString();
}

TEST_F(TimeSyncTest, NothingToAskAsksTheUserToTickAServer)
{
    struct Case
    {
        const char* label;
        QVector<CheckItem> items;
    };
    const Case cases[] = {
        { "empty list", {} },
        { "nothing checked", { { QStringLiteral("127.0.0.1"), false } } },
        { "first checked entry is empty", { { QString(), true }, { QStringLiteral("127.0.0.1"), true } } },
    };
    for (const Case& c : cases) {
        log.lines.clear();
        settings.setCheckItems(QStringLiteral("cbTimeServer"), c.items);
        sync.btnCheckTimeServerClick();
        EXPECT_EQ(log.lines, QStringList { QStringLiteral("Tick a time server first") }) << c.label;
        EXPECT_EQ(server.requests(), 0) << c.label;
        EXPECT_FALSE(sync.SNTP().Active()) << c.label;
    }
}

TEST_F(TimeSyncTest, AnUnresolvableNameIsOneErrorLineOnTheRealPort)
{
    TimeSync plain(settings, log, setter, clock); // port 123 and 2500 ms, as in the window
    checkOnly(QStringLiteral("nonexistent.invalid"));
    plain.btnCheckTimeServerClick();
    EXPECT_EQ(log.lines, QStringList { QStringLiteral("Error getting Time from nonexistent.invalid:123") });
    EXPECT_TRUE(setter.asked.isEmpty());
    EXPECT_FALSE(plain.SNTP().Active()) << "deactivated after an error";

    log.lines.clear();
    checkOnly(QStringLiteral("127.0.0.1"));
    sync.btnCheckTimeServerClick();
    EXPECT_EQ(log.lines.size(), 1) << "the next synchronisation runs normally";
    EXPECT_EQ(setter.asked.size(), 1);
}

TEST_F(TimeSyncTest, AClickWhileOneRunsIsIgnored)
{
    // The reply comes late, well within the wait, so the second click lands in the middle.
    sync.overridePortAndTimeoutForTests(server.port(), 2000);
    server.setDelayMs(50);
    bool clickedDuringWait = false;
    QTimer::singleShot(0, [&] {
        clickedDuringWait = sync.SNTP().Active();
        checkOnly(QStringLiteral("127.0.0.2"));
        sync.btnCheckTimeServerClick();
    });
    sync.btnCheckTimeServerClick();
    EXPECT_TRUE(clickedDuringWait) << "the second click arrived while the first waited";
    ASSERT_EQ(log.lines.size(), 1) << "one line for one synchronisation";
    EXPECT_TRUE(log.lines[0].endsWith(QStringLiteral(") - ") + where()))
        << "the running one keeps its own host: " << log.lines[0].toStdString();
    EXPECT_EQ(server.requests(), 2);
    EXPECT_EQ(setter.asked.size(), 1);
    EXPECT_FALSE(sync.SNTP().Active());
}
