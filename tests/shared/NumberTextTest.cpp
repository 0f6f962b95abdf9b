#include "shared/NumberText.h"
#include "shared/Scramble.h"

#include "support/Printers.h"
#include <gtest/gtest.h>

using namespace gw;

TEST(NumberText, FormatIntPadsAndKeepsLastDigits)
{
    struct Case
    {
        const char* label;
        qint64 number;
        int width;
        const char* fill;
        const char* expected;
    };
    const Case cases[] = {
        { "padded with zero", 7, 2, "0", "07" },
        { "too many digits keeps the last", 123, 2, "0", "23" },
        { "blank fill", 5, 3, " ", "  5" },
        { "four digits into three", 1234, 3, "0", "234" },
        { "long fill uses its first character", 5, 3, "xy", "xx5" },
        { "negative number", -5, 3, "0", "0-5" },
        { "zero width", 12, 0, "0", "" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatInt(c.number, c.width, QString::fromUtf8(c.fill)), QString::fromUtf8(c.expected)) << c.label;
}

TEST(NumberText, FormatFloatRoundsAndCutsIntegerPlaces)
{
    struct Case
    {
        const char* label;
        int width;
        int decimals;
        const char* fill;
        double value;
        const char* expected;
    };
    const Case cases[] = {
        { "zero fill", 2, 3, "0", 7.25, "07.250" },
        { "blank fill rounds", 4, 2, " ", 12.346, "  12.35" },
        { "integer part too long loses leading digits", 2, 1, "0", 123.4, "23.4" },
        { "instant transfer", 4, 3, " ", 0.001, "   0.001" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatFloat(c.width, c.decimals, QString::fromUtf8(c.fill), c.value), QString::fromUtf8(c.expected))
            << c.label;
}

TEST(Scramble, CryptIsItsOwnInverse)
{
    EXPECT_EQ(Crypt(QByteArray()), QByteArray());
    const QByteArray pw("s3cret \xc3\xa4");
    EXPECT_NE(Crypt(pw), pw);
    EXPECT_EQ(Crypt(Crypt(pw)), pw);
    EXPECT_EQ(Crypt("A"), QByteArray(1, static_cast<char>('A' ^ 0x9C)));
}
