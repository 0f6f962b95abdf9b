// Splitting a command-line string into the arguments the child receives.
#include "renderer/CommandLine.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

using gw::splitArguments;
using gw::splitCommand;

namespace {

struct SplitCase
{
    const char* label;
    QString text;
    QStringList expected;
};

TEST(CommandLine, SplitsLikeTheWindowsRuntime)
{
    const QString bs = QStringLiteral("\\");
    const SplitCase cases[] = {
        { "empty text", "", {} },
        { "only blanks and tabs", " \t  ", {} },
        { "blanks separate, runs count once", "-body  earth\t-radius 40", { "-body", "earth", "-radius", "40" } },
        { "leading and trailing blanks", "  -label  ", { "-label" } },
        { "quotes group blanks and vanish", "-tmpdir \"/home/a b/.xplanet\"", { "-tmpdir", "/home/a b/.xplanet" } },
        { "quoted part glued to text", "a\"b c\"d", { "ab cd" } },
        { "empty quotes are an empty argument", "x \"\" y", { "x", "", "y" } },
        { "doubled quote inside quotes is literal", "\"say \"\"hi\"\" now\"", { "say \"hi\" now" } },
        { "escaped quote outside quotes", "a\\\"b", { "a\"b" } },
        { "escaped quote inside quotes", "\"a \\\" b\"", { "a \" b" } },
        { "two backslashes before a quote: one backslash, quote opens", "a\\\\\"b c\"", { "a\\b c" } },
        { "three backslashes before a quote: one backslash and a quote", "a\\\\\\\"b", { "a\\\"b" } },
        { "backslashes not before a quote are literal", "C:\\xplanet\\\\images", { "C:\\xplanet\\\\images" } },
        { "trailing backslash stays", "dir\\", { "dir" + bs } },
        { "unclosed quote runs to the end", "-label_string \"open end  ", { "-label_string", "open end  " } },
        { "shell characters reach the program as typed", "a;b $(rm -rf x) `id` | > < & *",
            { "a;b", "$(rm", "-rf", "x)", "`id`", "|", ">", "<", "&", "*" } },
        { "quoted shell text is one argument", "\"; $(touch pwned) 'q'\"", { "; $(touch pwned) 'q'" } },
        { "single quotes do not group", "'a b'", { "'a", "b'" } },
        { "non-ASCII text", "-label_string \"Zürich ☀\"", { "-label_string", "Zürich ☀" } },
    };
    for (const SplitCase& c : cases)
        EXPECT_EQ(splitArguments(c.text), c.expected) << c.label;
}

TEST(CommandLine, AQuotedPathComesBackAsOneArgumentWhateverItHolds)
{
    struct Case
    {
        const char* label;
        QString path;
        const char* plainForm; // how it is written when quotes are not forced; null: quoted
    };
    const Case cases[] = {
        { "plain path", "/home/u/.cache/Globewall/globe_DP-1.png", "/home/u/.cache/Globewall/globe_DP-1.png" },
        { "a blank", "/home/a b/pic.png", nullptr },
        { "a double quote", "/home/u/ca\"che/pic.png", nullptr },
        { "a quote at the end", "/tmp/x\"", nullptr },
        { "backslash before a quote", "/tmp/a\\\"b c", nullptr },
        { "backslash at the end", "/tmp/dir\\", "/tmp/dir\\" },
        { "backslashes at the end of a quoted path", "/tmp/a b\\\\", nullptr },
        { "two quotes in a row", "/tmp/\"\"/x", nullptr },
        { "tab and shell characters", "/tmp/a\t$(id);`x`", nullptr },
        { "empty", "", nullptr },
    };
    for (const Case& c : cases) {
        for (const bool forced : { false, true }) {
            const QString line = QStringLiteral("-output ") + gw::quoteArgument(c.path, forced);
            EXPECT_EQ(splitArguments(line), QStringList({ QStringLiteral("-output"), c.path }))
                << c.label << (forced ? " (quotes forced)" : "") << ": " << line.toStdString();
        }
        if (c.plainForm) {
            EXPECT_EQ(gw::quoteArgument(c.path), QString::fromUtf8(c.plainForm)) << c.label;
        }
    }
}

TEST(CommandLine, ProgramIsTakenWholeFromTheExecutableName)
{
    struct Case
    {
        const char* label;
        QString exe;
        QString line;
        QString program;
        QStringList args;
    };
    const Case cases[] = {
        { "path with blanks, unquoted", "/opt/my apps/xplanet", "/opt/my apps/xplanet -body earth",
            "/opt/my apps/xplanet", { "-body", "earth" } },
        { "quoted executable name", "\"/opt/x y/run\"", "\"/opt/x y/run\" a", "/opt/x y/run", { "a" } },
        { "empty first entry gives two blanks and no argument", "/usr/bin/xplanet", "/usr/bin/xplanet  -num_times 1",
            "/usr/bin/xplanet", { "-num_times", "1" } },
        { "no parameters", "run.sh", "run.sh", "run.sh", {} },
        { "long command line passed whole", "/x", "/x " + QString(5000, QLatin1Char('a')), "/x",
            { QString(5000, QLatin1Char('a')) } },
    };
    for (const Case& c : cases) {
        const gw::SplitCommand split = splitCommand(c.exe, c.line);
        EXPECT_EQ(split.program, c.program) << c.label;
        EXPECT_EQ(split.arguments, c.args) << c.label;
    }
}

} // namespace
