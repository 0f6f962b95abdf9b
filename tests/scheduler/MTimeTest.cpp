#include "SchedulerRig.h"

#include <gtest/gtest.h>

using namespace gwtest;

namespace {

QStringList firedAt(const std::vector<gw::TDateTime>& times)
{
    QStringList out;
    for (gw::TDateTime t : times)
        out << gw::fromDateTime(t).toString(QStringLiteral("d HH:mm"));
    return out;
}

// Two and a half seconds before the first time of most tests.
gw::TDateTime before0730()
{
    return at(2024, 5, 14, 7, 29, 57.5);
}

struct TimeRig : SchedulerRig
{
    explicit TimeRig(const QStringList& lines, gw::TDateTime start = 0)
    {
        downloadAt(lines);
        if (start != 0)
            clock.set(start);
    }
};

} // namespace

TEST(MTime, LineRules)
{
    struct Case
    {
        const char* line;
        int hour; // -1: the line takes no part
        int minute;
    };
    for (const Case& c : { Case { "07:30", 7, 30 }, Case { "07-30", 7, 30 }, Case { "23:59", 23, 59 },
             Case { "00:00", 0, 0 }, Case { "7:30", -1, 0 }, Case { "07:30 ", -1, 0 }, Case { "#7:30", -1, 0 },
             Case { "#7:30x", -1, 0 }, Case { "ab:cd", -1, 0 }, Case { "0a:30", -1, 0 }, Case { " 7:30", -1, 0 },
             Case { "", -1, 0 }, Case { "99:99", 99, 99 } }) {
        const auto t = gw::parseTimeLine(QString::fromLatin1(c.line));
        if (c.hour < 0) {
            EXPECT_FALSE(t.has_value()) << '"' << c.line << '"';
            continue;
        }
        ASSERT_TRUE(t.has_value()) << '"' << c.line << '"';
        EXPECT_EQ(t->hour, c.hour) << c.line;
        EXPECT_EQ(t->minute, c.minute) << c.line;
    }
}

// Two simulated days with the ticks of the real timer; each fire is one fixed-time download.
TEST(MTime, WhichLinesFireOverTwoDays)
{
    struct Case
    {
        const char* label;
        QStringList lines;
        QStringList fired;
    };
    const std::vector<Case> cases = {
        { "two times fire at both every day", { "07:30", "19:30" },
            { "14 07:30", "14 19:30", "15 07:30", "15 19:30" } },
        { "a single time fires every day", { "07:30" }, { "14 07:30", "15 07:30" } },
        { "the same time written twice fires once", { "07:30", "07-30" }, { "14 07:30", "15 07:30" } },
        { "a comment, four and six characters never fire", { "#7:30", "7:30", "07:30 " }, {} },
        { "the third character is not looked at", { "07-30" }, { "14 07:30", "15 07:30" } },
        { "a malformed line is passed over", { "ab:cd", "07:30", "1x:00", "19:30" },
            { "14 07:30", "14 19:30", "15 07:30", "15 19:30" } },
        { "an empty line and an impossible time", { "", "99:99", "07:30", "12:00" },
            { "14 07:30", "14 12:00", "15 07:30", "15 12:00" } },
    };
    for (const Case& c : cases) {
        TimeRig rig(c.lines);
        rig.run(2 * 86400);
        EXPECT_EQ(firedAt(rig.jobs.fixedDownloads), c.fired) << c.label;
        EXPECT_TRUE(rig.log.lines.isEmpty()) << c.label;
    }
}

TEST(MTime, TheLastMatchingLineIsRemembered)
{
    TimeRig rig({ "07:30", "07-30", "08:00" }, before0730());
    rig.run(5);
    EXPECT_EQ(rig.state.LastCloudTimeEntry, QStringLiteral("07-30"));
    EXPECT_EQ(rig.jobs.fixedDownloads.size(), 1u);
}

TEST(MTime, AFailedDownloadIsTriedAgainWhileDue)
{
    TimeRig rig({ "07:30", "19:30" }, before0730());
    rig.jobs.fixedDownloadFails = true;
    rig.run(120);
    EXPECT_EQ(rig.jobs.fixedDownloads.size(), 24u) << "every tick after the time fired";
    EXPECT_TRUE(rig.state.CloudTimeDue);
}

TEST(MTime, AnUnreachableNetworkKeepsThePendingDownloadAndTriesEachMinute)
{
    TimeRig rig({ "07:30", "19:30" }, before0730());
    rig.jobs.fixedReachable = false;
    rig.run(120);
    EXPECT_EQ(firedAt(rig.jobs.fixedDownloads), QStringList({ "14 07:30", "14 07:31" }));
    EXPECT_TRUE(rig.state.CloudTimeDue);
    ASSERT_EQ(rig.log.lines.size(), 1) << "offline is one state, said when it begins";
    EXPECT_TRUE(rig.log.lines[0].contains(
        QStringLiteral(" - Error. Can not connect to the internet. Waiting for next try. Next try at ")));
    EXPECT_TRUE(rig.log.lines[0].endsWith(QStringLiteral("(waiting: fixed-time download)")));
    rig.jobs.fixedReachable = true;
    rig.run(120);
    EXPECT_EQ(rig.jobs.fixedDownloads.size(), 3u) << "the network is back: the download is made";
    EXPECT_FALSE(rig.state.CloudTimeDue);
    ASSERT_EQ(rig.log.lines.size(), 2) << "and when it ends";
    EXPECT_TRUE(rig.log.lines[1].contains(QStringLiteral(" - Connected to the internet again (offline since ")));
}

TEST(MTime, OneLineFiresOnEachOfThreeDays)
{
    TimeRig rig({ "07:30" });
    rig.run(3 * 86400);
    EXPECT_EQ(firedAt(rig.jobs.fixedDownloads), QStringList({ "14 07:30", "15 07:30", "16 07:30" }));
}

// Set back across a time that fired, the clock passes it again the same day.
TEST(MTime, AClockSetBackDoesNotFireATimeTwiceADay)
{
    TimeRig rig({ "07:30" }, before0730());
    rig.run(600);
    rig.clock.stepWall(-3600);
    rig.run(3600);
    EXPECT_EQ(firedAt(rig.jobs.fixedDownloads), QStringList({ "14 07:30" }));
    rig.run(86400);
    EXPECT_EQ(firedAt(rig.jobs.fixedDownloads), QStringList({ "14 07:30", "15 07:30" })) << "and the next day again";
}

TEST(MTime, ATimeSpentBusyIsMissed)
{
    TimeRig rig({ "07:30", "19:30" }, before0730());
    rig.state.RenderBusy = true; // a long render covers the whole minute
    rig.run(65);
    rig.state.RenderBusy = false;
    rig.run(3600);
    EXPECT_TRUE(rig.jobs.fixedDownloads.empty());
}
