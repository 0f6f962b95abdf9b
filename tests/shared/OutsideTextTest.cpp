#include "shared/OutsideText.h"

#include <gtest/gtest.h>

using gw::LineBreaks;

// What a server, a feed or another user may put into a text that a person then reads in a
// terminal, the log, a notification or the settings file.
TEST(OutsideText, ControlCharactersAreShownAsText)
{
    struct Row
    {
        const char* label;
        QString text;
        LineBreaks breaks;
        QString shown;
    };
    const Row rows[] = {
        { "plain text stays", QStringLiteral("HTTP/1.1 503 Service Unavailable"), LineBreaks::Escape,
            QStringLiteral("HTTP/1.1 503 Service Unavailable") },
        { "letters beyond ASCII stay", QStringLiteral("Zürich – 東京"), LineBreaks::Escape,
            QStringLiteral("Zürich – 東京") },
        { "a title set and a screen cleared", QStringLiteral("503 \x1b]0;owned\x07\x1b[2J"), LineBreaks::Escape,
            QStringLiteral("503 \\x1B]0;owned\\x07\\x1B[2J") },
        { "a carriage return that would overwrite the line", QStringLiteral("ok\rfake"), LineBreaks::Keep,
            QStringLiteral("ok\\x0Dfake") },
        { "one line: a line break is escaped", QStringLiteral("a\nb\tc"), LineBreaks::Escape,
            QStringLiteral("a\\x0Ab\\x09c") },
        { "a report keeps its lines", QStringLiteral("a\nb\tc"), LineBreaks::Keep, QStringLiteral("a\nb\tc") },
        { "DEL and NUL", QString::fromUtf16(u"x\u007Fy\u0000z", 5), LineBreaks::Keep, QStringLiteral("x\\x7Fy\\x00z") },
        { "C1: the one-character escape sequence start", QString::fromUtf16(u"a\u009B2Jb\u0085"), LineBreaks::Keep,
            QStringLiteral("a\\u009B2Jb\\u0085") },
    };
    for (const Row& row : rows)
        EXPECT_EQ(gw::plainOutsideText(row.text, row.breaks), row.shown) << row.label;
}
