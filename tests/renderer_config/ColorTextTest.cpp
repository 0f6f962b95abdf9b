#include "renderer/ColorText.h"
#include "shared/Error.h"
#include "support/Printers.h"

#include <gtest/gtest.h>

using namespace gw;

namespace {
constexpr int rgb(int r, int g, int b)
{
    return r + 256 * g + 65536 * b;
}
} // namespace

TEST(ColorText, ReadsTheColourTextsXplanetAccepts)
{
    struct Case
    {
        const char* label;
        const char* text;
        int color;
    };
    const Case cases[] = {
        { "white", "{255,255,255}", rgb(255, 255, 255) },
        { "black", "{0,0,0}", 0 },
        { "red is the lowest byte", "{255,0,0}", 0xFF },
        { "blue is the highest byte", "{0,0,255}", 0xFF0000 },
        { "blanks after the commas, as xplanet's own default file has", "{28, 82, 110}", rgb(28, 82, 110) },
        { "blank after the brace", "{ 1,2,3}", rgb(1, 2, 3) },
        { "text after the closing brace", "{1,2,3}   # comment", rgb(1, 2, 3) },
        { "leading zeros", "{007,010,099}", rgb(7, 10, 99) },
    };
    for (const Case& c : cases) {
        try {
            EXPECT_EQ(StrToColor(QString::fromLatin1(c.text)), c.color) << c.label;
        } catch (const Error& e) {
            ADD_FAILURE() << c.label << ": " << e.message().toStdString();
        }
    }
}

TEST(ColorText, RefusesWhatIsNoColourText)
{
    struct Case
    {
        const char* label;
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        { "blank before a comma", "{28 ,82,110}", "'28 ' is not a valid integer value" },
        { "blank before the closing brace", "{1,2,3 }", "'3 ' is not a valid integer value" },
        { "a colour name", "red", "'' is not a valid integer value" },
        { "missing closing brace", "{1,2,3", "'' is not a valid integer value" },
        { "two components", "{1,2}", "'' is not a valid integer value" },
        { "not a number", "{1,x,3}", "'x' is not a valid integer value" },
        { "empty text", "", "'' is not a valid integer value" },
        { "component above 255 would spill into the next byte", "{256,0,0}", "'256' is not a valid colour component" },
        { "negative component", "{-1,0,0}", "'-1' is not a valid colour component" },
    };
    for (const Case& c : cases) {
        try {
            const int value = StrToColor(QString::fromLatin1(c.text));
            ADD_FAILURE() << c.label << ": read as " << value;
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), QString::fromLatin1(c.error)) << c.label;
        }
    }
}

TEST(ColorText, WritesAndReadsBack)
{
    const int colors[] = { 0, rgb(255, 128, 0), rgb(28, 82, 110), rgb(255, 255, 255), rgb(1, 0, 255) };
    for (int color : colors)
        EXPECT_EQ(StrToColor(ColorToStr(color)), color) << ColorToStr(color).toStdString();
    EXPECT_EQ(ColorToStr(rgb(255, 128, 0)), QStringLiteral("{255,128,0}"));
    EXPECT_EQ(ColorToStr(0x7F000000 | rgb(1, 2, 3)), QStringLiteral("{1,2,3}")) << "bytes above blue ignored";
    EXPECT_EQ(qColorToColor(colorToQColor(rgb(10, 20, 30))), rgb(10, 20, 30));
    EXPECT_EQ(colorToQColor(rgb(255, 128, 0)), QColor(255, 128, 0));
}
