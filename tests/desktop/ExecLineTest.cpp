#include "desktop/ExecLine.h"
#include "desktop/DefaultApplication.h"

#include "support/TempDir.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace gw;

TEST(ExecLine, SplitsByDesktopEntryQuoting)
{
    struct Case
    {
        const char* label;
        QString exec;
        QStringList expected;
    };
    const QVector<Case> cases = {
        { "plain words", QStringLiteral("gedit --new-window"), { "gedit", "--new-window" } },
        { "runs of blanks and tabs", QStringLiteral("  gedit \t  -s  "), { "gedit", "-s" } },
        { "quoted blank", QStringLiteral("\"/opt/my editor/bin/ed\" -x"), { "/opt/my editor/bin/ed", "-x" } },
        { "quotes inside a word", QStringLiteral("--name=\"a b\"c"), { "--name=a bc" } },
        { "escaped quote, dollar, backtick, backslash", QStringLiteral("\"a\\\"b\\$c\\`d\\\\e\""), { "a\"b$c`d\\e" } },
        { "backslash before another character stays", QStringLiteral("\"a\\xb\""), { "a\\xb" } },
        { "backslash outside quotes is literal", QStringLiteral("a\\ b"), { "a\\", "b" } },
        { "empty quoted argument", QStringLiteral("prog \"\" x"), { "prog", "", "x" } },
        { "unterminated quote runs to the end", QStringLiteral("prog \"a b"), { "prog", "a b" } },
        { "nothing", QString(), {} },
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitExecArguments(c.exec), c.expected) << c.label;
}

TEST(ExecLine, CommandCutBeforeTheFieldCodeWithTheTargetAsOneArgument)
{
    const QString target = QStringLiteral("/home/u/my notes.txt");
    struct Case
    {
        const char* label;
        QString exec;
        QStringList expected;
    };
    const QVector<Case> cases = {
        { "bare %f", QStringLiteral("gedit %f"), { "gedit", target } },
        { "%U with options before it", QStringLiteral("firefox-esr --new-window %U"),
            { "firefox-esr", "--new-window", target } },
        { "quoted placeholder loses everything after it", QStringLiteral("\"/opt/my ed/ed\" -a \"%u\" --private -b"),
            { "/opt/my ed/ed", "-a", target } },
        { "bare placeholder loses everything after it", QStringLiteral("ed %F -b"), { "ed", target } },
        { "no placeholder: target appended", QStringLiteral("mousepad"), { "mousepad", target } },
        { "icon, name and deprecated codes dropped", QStringLiteral("kate %i %c %k -n %d %u"),
            { "kate", "-n", target } },
        { "escaped percent is a literal percent", QStringLiteral("prog --zoom=100%% %%u %f"),
            { "prog", "--zoom=100%", "%u", target } },
        { "code inside a word cuts the word", QStringLiteral("prog --file=%f"), { "prog", "--file=", target } },
        { "only a placeholder: no program", QStringLiteral("%u"), {} },
        { "empty command: no program", QString(), {} },
    };
    for (const Case& c : cases)
        EXPECT_EQ(commandForTarget(c.exec, target), c.expected) << c.label;
}

TEST(ExecLine, ReadsTheDesktopEntryGroupOnly)
{
    gwtest::TempDir dir;
    const QString good = dir.write(QStringLiteral("good.desktop"),
        "[Desktop Entry]\nName=Ed\nExec=ed\\s1 --title \"a\\\\\\\\b\" %f\nTerminal=true\n"
        "[Desktop Action new]\nExec=ed --new\n");
    const QString none = dir.write(QStringLiteral("none.desktop"), "[Other]\nExec=x\n");
    const QString noExec = dir.write(QStringLiteral("noexec.desktop"), "[Desktop Entry]\nName=x\n");

    const auto entry = readDesktopEntry(good);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->exec, QStringLiteral("ed 1 --title \"a\\\\b\" %f")) << "string escapes resolved, action ignored";
    EXPECT_TRUE(entry->terminal);
    EXPECT_EQ(commandForTarget(entry->exec, QStringLiteral("t")), QStringList({ "ed", "1", "--title", "a\\b", "t" }))
        << "string escapes first, then the quoting of Exec";
    EXPECT_FALSE(readDesktopEntry(none).has_value()) << "no [Desktop Entry] group";
    EXPECT_FALSE(readDesktopEntry(dir.file(QStringLiteral("missing.desktop"))).has_value()) << "no file";
    const auto empty = readDesktopEntry(noExec);
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(commandForTarget(empty->exec, QStringLiteral("t")).isEmpty()) << "an entry without Exec starts nothing";
}

TEST(ExecLine, FindsDesktopFilesInSearchOrder)
{
    gwtest::TempDir dir;
    const QString user = dir.file(QStringLiteral("user"));
    const QString system = dir.file(QStringLiteral("system"));
    QDir().mkpath(user);
    QDir().mkpath(system + QStringLiteral("/kde4"));
    gwtest::writeFile(user + QStringLiteral("/ed.desktop"), "[Desktop Entry]\n");
    gwtest::writeFile(system + QStringLiteral("/ed.desktop"), "[Desktop Entry]\n");
    gwtest::writeFile(system + QStringLiteral("/kde4/kate.desktop"), "[Desktop Entry]\n");
    gwtest::writeFile(dir.file(QStringLiteral("outside.desktop")), "[Desktop Entry]\n");
    const QStringList folders = { user, system };

    EXPECT_EQ(findDesktopFile(QStringLiteral("ed.desktop"), folders), user + QStringLiteral("/ed.desktop"))
        << "the user's folder first";
    EXPECT_EQ(
        findDesktopFile(QStringLiteral("kde4-kate.desktop"), folders), system + QStringLiteral("/kde4/kate.desktop"))
        << "a dash may stand for a subfolder";
    EXPECT_EQ(findDesktopFile(QStringLiteral("gone.desktop"), folders), QString()) << "not installed";
    EXPECT_EQ(findDesktopFile(QString(), folders), QString()) << "no default";
    EXPECT_EQ(findDesktopFile(QStringLiteral("../outside.desktop"), folders), QString()) << "a path is no ID";
}

TEST(ExecLine, ExtensionGivesItsMimeType)
{
    struct Case
    {
        const char* label;
        QString extension;
        QString expected;
    };
    const QVector<Case> cases = {
        { "txt", QStringLiteral("txt"), QStringLiteral("text/plain") },
        { "upper-case TXT as txt", QStringLiteral("TXT"), QStringLiteral("text/plain") },
        { "text taken as tex", QStringLiteral("text"), mimeTypeForExtension(QStringLiteral("tex")) },
        { "html taken as htm", QStringLiteral("html"), QStringLiteral("text/html") },
    };
    for (const Case& c : cases)
        EXPECT_EQ(mimeTypeForExtension(c.extension), c.expected) << c.label;
    EXPECT_NE(mimeTypeForExtension(QStringLiteral("tex")), QStringLiteral("text/plain")) << "tex is a type of its own";
}
