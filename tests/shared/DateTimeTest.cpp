#include "shared/DateTime.h"

#include "support/Printers.h"
#include <gtest/gtest.h>

using namespace gw;

TEST(DateTime, DaysSince1899)
{
    EXPECT_DOUBLE_EQ(toDateTime(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
    EXPECT_DOUBLE_EQ(toDateTime(QDateTime(QDate(1900, 1, 1), QTime(12, 0))), 2.5);
    const QDateTime t(QDate(2026, 12, 7), QTime(7, 30, 15));
    EXPECT_EQ(fromDateTime(toDateTime(t)), t);
    EXPECT_EQ(hourOf(toDateTime(t)), 7);
    EXPECT_EQ(minuteOf(toDateTime(t)), 30);
}

TEST(DateTime, TextHasSecondsAndMidnightIsDateAlone)
{
    const QDateTime noon(QDate(2026, 3, 4), QTime(13, 5, 9));
    const QString text = DateTimeToStr(noon);
    EXPECT_TRUE(text.contains(QStringLiteral("05:09"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("UTC"))) << text.toStdString();
    const QDateTime midnight(QDate(2026, 3, 4), QTime(0, 0, 0));
    EXPECT_FALSE(DateTimeToStr(midnight).contains(QLatin1Char(':'))) << DateTimeToStr(midnight).toStdString();
    EXPECT_EQ(DateTimeToStr(toDateTime(noon)), text) << "the double form gives the same text";
}
