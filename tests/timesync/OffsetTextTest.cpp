// The offset as the time log writes it.
#include "timesync/OffsetText.h"
#include "shared/DateTime.h"
#include "support/Printers.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace gw;

TEST(TimeOffsetText, SignPaddingRoundingAndTheDay)
{
    const QString sep = QLocale::system().decimalPoint();
    const double second = 1.0 / 86400.0;
    struct Case
    {
        const char* label;
        double offsetSeconds;
        const char* expected; // "." stands for the system's decimal separator
    };
    const Case cases[] = {
        { "zero is a blank, not a sign", 0.0, " 00:00:00.000" },
        { "clock one and a half seconds ahead", -1.5, "-00:00:01.500" },
        { "clock behind", 1.5, " 00:00:01.500" },
        { "one millisecond", 0.001, " 00:00:00.001" },
        { "six tenths of a millisecond round up", 0.0006, " 00:00:00.001" },
        { "just under a minute rounds into the next", 59.9996, " 00:01:00.000" },
        { "hours, minutes, seconds", -(3 * 3600 + 25 * 60 + 7.25), "-03:25:07.250" },
        { "just under a day", 86399.999, " 23:59:59.999" },
        { "exactly one day wraps to zero", 86400.0, " 00:00:00.000" },
        { "25 hours shows 01", 25 * 3600.0, " 01:00:00.000" },
        { "minus 25 hours keeps its sign", -25 * 3600.0, "-01:00:00.000" },
        { "a tiny negative offset keeps its sign", -0.0001, "-00:00:00.000" },
        { "years apart", 3 * 365 * 86400.0 + 61.5, " 00:01:01.500" },
    };
    for (const Case& c : cases) {
        const QString expected = QString::fromLatin1(c.expected).replace(QLatin1Char('.'), sep);
        EXPECT_EQ(TimeOffsetText(c.offsetSeconds * second), expected) << c.label;
    }
}
