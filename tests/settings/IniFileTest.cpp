#include "settings/IniFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace gw;

TEST(IniFile, NamesMatchWithoutCaseAndValuesAreTrimmed)
{
    gwtest::TempDir dir;
    const QString p = dir.write(
        QStringLiteral("g.ini"), "[Time]\r\nHow often = 1\r\nTime 0=07:30\n[CONFIG]\nFile=/usr/bin/xplanet\n");
    IniFile ini(p);
    EXPECT_EQ(ini.readInteger(QStringLiteral("time"), QStringLiteral("How Often"), -1), 1);
    EXPECT_EQ(ini.readString(QStringLiteral("Time"), QStringLiteral("TIME 0"), QString()), QStringLiteral("07:30"));
    EXPECT_EQ(ini.readString(QStringLiteral("Config"), QStringLiteral("file"), QString()),
        QStringLiteral("/usr/bin/xplanet"));
    EXPECT_EQ(ini.readString(QStringLiteral("Config"), QStringLiteral("missing"), QStringLiteral("def")),
        QStringLiteral("def"));
}

TEST(IniFile, IntegerRules)
{
    struct Case
    {
        const char* label;
        const char* text;
        int expected;
    };
    const Case cases[] = {
        { "decimal", "42", 42 },
        { "negative", "-1", -1 },
        { "dollar hex", "$FF", 255 },
        { "0x hex", "0x1A", 26 },
        { "0X hex upper", "0X1a", 26 },
        { "0x alone is not a number", "0x", 7 },
        { "dollar alone", "$", 7 },
        { "word", "abc", 7 },
        { "empty", "", 7 },
        { "decimal with junk", "12a", 7 },
        { "out of range", "99999999999", 7 },
        { "full 32-bit hex wraps", "$FFFFFFFF", -1 },
    };
    for (const Case& c : cases) {
        gwtest::TempDir dir;
        IniFile ini(dir.write(QStringLiteral("i.ini"), QByteArray("[S]\nk=") + c.text + "\n"));
        EXPECT_EQ(ini.readInteger(QStringLiteral("S"), QStringLiteral("k"), 7), c.expected) << c.label;
    }
}

TEST(IniFile, LongValuesReadBackTo2047Characters)
{
    gwtest::TempDir dir;
    IniFile ini(dir.file(QStringLiteral("l.ini")));
    ini.writeString(QStringLiteral("S"), QStringLiteral("k"), QString(3000, QLatin1Char('x')));
    ASSERT_TRUE(ini.save());
    IniFile again(ini.path());
    EXPECT_EQ(again.readString(QStringLiteral("S"), QStringLiteral("k"), QString()).size(), 2047);
}

TEST(IniFile, UnwrittenEntriesStayAndErasedSectionsGoWhole)
{
    gwtest::TempDir dir;
    const QString p = dir.write(QStringLiteral("k.ini"),
        "; hand comment\n[Config]\nUser Agent=Custom\nFile=a\n[Satellites]\nSatellite 0=iss\n"
        "[Downloaded Files]\nhttp://x/a=1.1.2026\n");
    IniFile ini(p);
    ini.writeString(QStringLiteral("config"), QStringLiteral("FILE"), QStringLiteral("b"));
    ini.writeString(QStringLiteral("Config"), QStringLiteral("Para"), QStringLiteral("-x"));
    ini.eraseSection(QStringLiteral("satellites"));
    ini.writeString(QStringLiteral("Satellites"), QStringLiteral("Satellite 0"), QStringLiteral("hst"));
    ASSERT_TRUE(ini.save());
    const QByteArray text = gwtest::readFile(p);
    EXPECT_TRUE(text.startsWith("; hand comment\r\n[Config]\r\nUser Agent=Custom\r\nFile=b\r\nPara=-x\r\n"))
        << "an existing key keeps its spelling; new keys go to the end of the section\n"
        << text.toStdString();
    EXPECT_TRUE(text.contains("[Downloaded Files]\r\nhttp://x/a=1.1.2026\r\n"));
    EXPECT_TRUE(text.contains("[Satellites]\r\nSatellite 0=hst\r\n"));
    EXPECT_EQ(IniFile(p).keys(QStringLiteral("Config")), (QStringList { "User Agent", "File", "Para" }));
}

TEST(IniFile, BytesComeBackExactlyAndLineBreaksCannotSplitAnEntry)
{
    gwtest::TempDir dir;
    IniFile ini(dir.file(QStringLiteral("b.ini")));
    QByteArray binary;
    for (int c = 0x21; c < 256; ++c)
        if (c != '=')
            binary += static_cast<char>(c);
    ini.writeBytes(QStringLiteral("S"), QStringLiteral("bin"), binary);
    ini.writeString(QStringLiteral("S"), QStringLiteral("two"), QStringLiteral("a\nb"));
    ASSERT_TRUE(ini.save());
    IniFile again(ini.path());
    EXPECT_EQ(again.readBytes(QStringLiteral("S"), QStringLiteral("bin"), {}), binary);
    EXPECT_EQ(again.readString(QStringLiteral("S"), QStringLiteral("two"), {}), QStringLiteral("a b"));
    EXPECT_EQ(again.keys(QStringLiteral("S")).size(), 2);
}

TEST(IniFile, MissingFileIsEmptyAndNoError)
{
    gwtest::TempDir dir;
    IniFile ini(dir.file(QStringLiteral("none.ini")));
    QString error;
    EXPECT_TRUE(ini.load(&error));
    EXPECT_TRUE(ini.sections().isEmpty());
    EXPECT_FALSE(ini.hasKey(QStringLiteral("Config"), QStringLiteral("File")));
}

TEST(IniFile, ByteOrderMarkDoesNotHideTheFirstSection)
{
    gwtest::TempDir dir;
    IniFile ini(dir.write(QStringLiteral("bom.ini"), "\xEF\xBB\xBF[Config]\r\nFile=x\r\n"));
    EXPECT_EQ(ini.readString(QStringLiteral("Config"), QStringLiteral("File"), QString()), QStringLiteral("x"));
    ini.writeString(QStringLiteral("Config"), QStringLiteral("File"), QStringLiteral("y"));
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(gwtest::readFile(ini.path()), QByteArray("[Config]\r\nFile=y\r\n")) << "one section, no second header";
}

TEST(IniFile, RepeatedByteOrderMarksHideNothing)
{
    // Left hidden, the first section would come back after the next save and shadow what that
    // save wrote into a second section of the same name.
    gwtest::TempDir dir;
    IniFile ini(dir.write(QStringLiteral("bom.ini"), "\xEF\xBB\xBF\xEF\xBB\xBF\xEF\xBB\xBF[Config]\r\nFile=x\r\n"));
    EXPECT_EQ(ini.readString(QStringLiteral("Config"), QStringLiteral("File"), QString()), QStringLiteral("x"));
    ini.writeString(QStringLiteral("Config"), QStringLiteral("File"), QStringLiteral("y"));
    ASSERT_TRUE(ini.save());
    const IniFile again(ini.path());
    EXPECT_EQ(again.readString(QStringLiteral("Config"), QStringLiteral("File"), QString()), QStringLiteral("y"));
    EXPECT_EQ(gwtest::readFile(ini.path()), QByteArray("[Config]\r\nFile=y\r\n"));
}

TEST(IniFile, EveryListedNameIsFoundAgain)
{
    // Names whose ends are blanks other than ASCII ones, or a byte order mark, as an editor may
    // leave them: whatever sections() and keys() list must be readable by that name.
    struct Case
    {
        const char* label;
        QByteArray file;
    };
    const Case cases[] = {
        { "byte order mark before a key", "[Download]\n\xEF\xBB\xBF often=0\n" },
        { "no-break space after a key", "[Download]\n0,1\xC2\xA0=http://127.0.0.1/x\n" },
        { "no-break space in a section header",
            "[\xC2\xA0"
            "Download\xC2\xA0]\n0,1=x\n" },
        { "line separator after a key", "[Download]\n1,1\xE2\x80\xA8=y\n" },
    };
    for (const Case& c : cases) {
        IniFile ini { QString() };
        ini.loadFromBytes(c.file);
        ASSERT_EQ(ini.sections().size(), 1) << c.label;
        const QString section = ini.sections().first();
        ASSERT_EQ(ini.keys(section).size(), 1) << c.label;
        const QString key = ini.keys(section).first();
        EXPECT_TRUE(ini.hasKey(section, key)) << c.label;
        EXPECT_EQ(ini.readBytes(section, key, "<none>"), c.file.mid(c.file.lastIndexOf('=') + 1).trimmed()) << c.label;
    }
}

TEST(IniFile, BytesInAndOutMatchTheFile)
{
    gwtest::TempDir dir;
    const QByteArray content = "; note\r\n[Config]\r\nFile=x\r\n\r\n[Time]\r\nTime 0=07:30\r\n";
    IniFile fromFile(dir.write(QStringLiteral("b.ini"), content));
    IniFile fromBytes { QString() };
    fromBytes.loadFromBytes(content);
    EXPECT_EQ(fromBytes.toBytes(), content);
    EXPECT_EQ(fromBytes.sections(), fromFile.sections());
    ASSERT_TRUE(fromFile.save());
    EXPECT_EQ(gwtest::readFile(fromFile.path()), fromBytes.toBytes()) << "save writes what toBytes gives";
}

TEST(IniFile, FirstOfRepeatedKeysIsTheOneReadWrittenAndDeleted)
{
    IniFile ini { QString() };
    ini.loadFromBytes("[Time]\nTime 0=first\n\ntime 0=second\nTIME 1=x\n\n");
    const QString time = QStringLiteral("Time");
    EXPECT_EQ(ini.readBytes(time, QStringLiteral("time 0"), {}), QByteArray("first")) << "read: the first line";
    ini.writeBytes(time, QStringLiteral("TIME 0"), "changed");
    EXPECT_EQ(ini.toBytes(), QByteArray("[Time]\r\nTime 0=changed\r\n\r\ntime 0=second\r\nTIME 1=x\r\n\r\n"))
        << "write: the first line, in its own spelling";

    ini.deleteKey(time, QStringLiteral("Time 0"));
    EXPECT_FALSE(ini.hasKey(time, QStringLiteral("Time 0"))) << "delete: every line of the name";
    ini.writeBytes(time, QStringLiteral("Time 2"), "new");
    ini.writeBytes(time, QStringLiteral("Time 0"), "again");
    EXPECT_EQ(ini.readBytes(time, QStringLiteral("time 1"), {}), QByteArray("x")) << "other keys after a delete";
    EXPECT_EQ(ini.toBytes(), QByteArray("[Time]\r\n\r\nTIME 1=x\r\nTime 2=new\r\nTime 0=again\r\n\r\n"))
        << "new keys after the last entry, before the trailing blank line";
}

TEST(IniFile, ListsOfTheLargestSizeTheSettingsAllowComeBack)
{
    // The settings keep up to 10000 time entries and as many servers, two keys each.
    constexpr int n = 10000;
    IniFile ini { QString() };
    ini.loadFromBytes("[TimeServer]\r\nCount=0\r\n\r\n[Time]\r\n");
    for (int i = 0; i < n; ++i) {
        ini.writeString(QStringLiteral("Time"), QStringLiteral("Time ") + QString::number(i), QString::number(i));
        ini.writeString(
            QStringLiteral("TimeServer"), QStringLiteral("Server  ") + QString::number(i), QStringLiteral("s"));
        ini.writeBool(QStringLiteral("TimeServer"), QStringLiteral("Checked ") + QString::number(i), i % 2);
    }
    IniFile back { QString() };
    back.loadFromBytes(ini.toBytes());
    EXPECT_EQ(back.keys(QStringLiteral("Time")).size(), n);
    EXPECT_EQ(back.keys(QStringLiteral("TimeServer")).size(), 2 * n + 1);
    for (int i : { 0, 1, n / 2, n - 1 }) {
        EXPECT_EQ(back.readInteger(QStringLiteral("time"), QStringLiteral("TIME ") + QString::number(i), -1), i) << i;
        EXPECT_EQ(back.readBool(QStringLiteral("TimeServer"), QStringLiteral("Checked ") + QString::number(i), false),
            i % 2 == 1)
            << i;
    }
}
