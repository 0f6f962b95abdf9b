// The clock set through the system's time service, and a clock the system synchronises itself,
// against python3-dbusmock's timedated on a private system bus. The real clock is never set.
#include "FakeSntpServer.h"
#include "settings/MemorySettings.h"
#include "support/ManualClock.h"
#include "support/MemorySinks.h"
#include "support/SystemBusTest.h"
#include "timesync/TimeSync.h"
#include "timesync/TimedatedClock.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <gtest/gtest.h>

using namespace gwtest;

namespace {

const QString kService = QStringLiteral("org.freedesktop.timedate1");
const QString kPath = QStringLiteral("/org/freedesktop/timedate1");

class TimedatedBus : public SystemBusTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(SystemBusTest::SetUp());
        ASSERT_TRUE(startMock(timedated, QStringLiteral("timedated"), kService));
    }
    // The arguments of the SetTime calls the stand-in received.
    std::vector<QVariantList> setTimeCalls()
    {
        const QDBusMessage reply
            = mock(kService, kPath, QStringLiteral("GetMethodCalls"), { QStringLiteral("SetTime") });
        std::vector<QVariantList> calls;
        if (reply.arguments().isEmpty())
            return calls;
        const QDBusArgument list = reply.arguments().constFirst().value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            quint64 stamp = 0;
            QVariantList args;
            list.beginStructure();
            list >> stamp >> args;
            list.endStructure();
            for (QVariant& a : args) {
                if (a.userType() == qMetaTypeId<QDBusVariant>())
                    a = a.value<QDBusVariant>().variant();
            }
            calls.push_back(args);
        }
        list.endArray();
        return calls;
    }

    BusService timedated;
    gw::ManualClock clock { gw::toDateTime(QDateTime(QDate(2026, 12, 8), QTime(9, 0))) };
};

} // namespace

// The service is told how far to move the clock, relative and asking for the password, so the
// time the question takes does not count.
TEST_F(TimedatedBus, SetTimeMovesTheClockByTheOffset)
{
    gw::TimedatedClockSetter setter(clock, systemClient);
    struct Case
    {
        const char* label;
        qint64 offsetMs;
    };
    const Case cases[] = { { "ninety seconds behind", 90000 }, { "one and a half seconds ahead", -1500 } };
    for (const Case& c : cases)
        EXPECT_TRUE(setter.setTime(clock.nowUtc().addMSecs(c.offsetMs))) << c.label;
    const auto calls = setTimeCalls();
    ASSERT_EQ(calls.size(), 2u);
    for (size_t i = 0; i < calls.size(); ++i) {
        ASSERT_EQ(calls[i].size(), 3) << cases[i].label;
        EXPECT_EQ(calls[i][0].toLongLong(), cases[i].offsetMs * 1000) << cases[i].label << ": microseconds";
        EXPECT_TRUE(calls[i][1].toBool()) << cases[i].label << ": relative";
        EXPECT_TRUE(calls[i][2].toBool()) << cases[i].label << ": interactive";
    }
}

TEST_F(TimedatedBus, ARefusalIsForWantOfRights)
{
    mock(kService, kPath, QStringLiteral("AddMethod"),
        { kService, QStringLiteral("SetTime"), QStringLiteral("xbb"), QString(),
            QStringLiteral(
                "raise dbus.exceptions.DBusException('no', name='org.freedesktop.DBus.Error.AccessDenied')") });
    gw::TimedatedClockSetter setter(clock, systemClient);
    EXPECT_FALSE(setter.setTime(clock.nowUtc().addSecs(5)));
    EXPECT_TRUE(setter.lackedRights());
    gw::TimedatedClockSetter noBus(clock, QDBusConnection(QStringLiteral("no bus")));
    EXPECT_FALSE(noBus.setTime(clock.nowUtc()));
    EXPECT_FALSE(noBus.lackedRights()) << "no service is not a refusal";
}

// With NTP on, "synchronize Time" measures and logs the offset and leaves the clock alone.
TEST_F(TimedatedBus, AClockTheSystemSynchronisesIsOnlyMeasured)
{
    FakeSntpServer server(clock);
    ASSERT_TRUE(server.listen());
    gw::MemorySettings settings;
    settings.setCheckItems(QStringLiteral("cbTimeServer"), { { QStringLiteral("127.0.0.1"), true } });
    gw::MemoryLog log;
    RecordingClockSetter setter;
    gw::TimeSync sync(settings, log, setter, clock);
    sync.overridePortAndTimeoutForTests(server.port(), 200);
    sync.setSystemKeepsClock([this] { return gw::systemSynchronisesClock(systemClient); });
    server.setOffsetsSeconds({ 2.0 });
    struct Case
    {
        const char* label;
        bool ntp;
        bool clockSet;
    };
    for (const Case& c : { Case { "NTP on", true, false }, Case { "NTP off", false, true } }) {
        busCall(systemClient, kService, kPath, kService, QStringLiteral("SetNTP"), { c.ntp, false });
        ASSERT_EQ(gw::systemSynchronisesClock(systemClient), std::optional<bool>(c.ntp)) << c.label;
        log.lines.clear();
        setter.asked.clear();
        sync.btnCheckTimeServerClick();
        ASSERT_EQ(log.lines.size(), 1) << c.label;
        EXPECT_TRUE(log.lines[0].contains(QStringLiteral(" 00:00:02"))) << c.label << ": the offset is shown";
        EXPECT_EQ(log.lines[0].endsWith(
                      QStringLiteral(" - the system keeps the clock synchronised itself, so it was not set")),
            !c.clockSet)
            << c.label;
        EXPECT_EQ(setter.asked.size(), c.clockSet ? 1 : 0) << c.label;
    }
    timedated.stop();
    EXPECT_FALSE(gw::systemSynchronisesClock(systemClient).has_value()) << "no time service";
}
