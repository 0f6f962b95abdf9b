// The proxy password in the settings file: scrambled, one line, and back unchanged.
#include "SettingsFileRig.h"

#include "settings/IniFile.h"
#include "shared/Scramble.h"

using namespace gw;
using namespace gwtest;

TEST(ProxyPassword, EveryPasswordComesBackAfterSaveAndLoad)
{
    struct Case
    {
        const char* label;
        QString password;
        bool escaped;
    };
    const Case cases[] = {
        { "empty", QString(), false },
        { "ascii", QStringLiteral("secret"), false },
        { "umlauts", QStringLiteral("Grüße"), false },
        { "blanks at both ends", QStringLiteral("  pw  "), false },
        { "outside the basic plane", QStringLiteral("🌍"), false },
        { "0x9C scrambles to a zero byte", QStringLiteral("aŜb"), true },
        { "0x91 scrambles to CR", QStringLiteral("ő"), true },
        { "0x96 scrambles to LF", QStringLiteral("Ŗx"), true },
        { "0xBC at the end scrambles to a trailing blank", QStringLiteral("x¼"), true },
        { "0x95 at the end scrambles to a trailing tab", QStringLiteral("ŕ"), true },
        { "long and escaped", QString(1000, QLatin1Char('a')) + QStringLiteral("Ŝ"), true },
    };
    for (const Case& c : cases) {
        const QByteArray stored = SettingsFile::storedPassword(c.password);
        if (c.escaped) {
            EXPECT_TRUE(stored.startsWith('!')) << c.label;
        } else {
            EXPECT_EQ(stored, Crypt(c.password.toUtf8())) << c.label << ": stored exactly as scrambled";
        }
        if (!c.password.isEmpty()) {
            EXPECT_NE(stored, c.password.toUtf8()) << c.label << ": not readable in the file";
        }

        TempDir dir;
        {
            Program p(dir.path());
            p.file.IniLoad(QString());
            p.settings.setText(QStringLiteral("edtProxyPasswd"), c.password);
            p.file.IniSave(p.file.ConfigFileName());
        }
        EXPECT_EQ(IniFile(dir.file(QStringLiteral("Globewall.ini"))).keys(QStringLiteral("Config")).size(), 48)
            << c.label << ": the value stays on its line";
        Program next(dir.path());
        next.file.IniLoad(QString());
        EXPECT_EQ(next.settings.text(QStringLiteral("edtProxyPasswd")), c.password) << c.label;
    }
}

TEST(ProxyPassword, StoredFormsFromExistingFiles)
{
    struct Case
    {
        const char* label;
        QByteArray stored;
        QString password;
    };
    const Case cases[] = {
        { "plain scramble", Crypt("oldpass"), QStringLiteral("oldpass") },
        { "UTF-8 scramble", Crypt("Grüße"), QStringLiteral("Grüße") },
        { "Latin-1 scramble", Crypt(QStringLiteral("pässwort").toLatin1()), QStringLiteral("pässwort") },
        { "a lone exclamation mark is not an escape", "!", QString(QChar(0xBD)) },
        { "odd hex is not an escape", "!ABC", QString::fromLatin1(Crypt("!ABC")) },
        { "lower-case hex is not an escape", "!c59c", QString::fromLatin1(Crypt("!c59c")) },
        { "escape", "!" + Crypt("aŜb").toHex().toUpper(), QStringLiteral("aŜb") },
    };
    for (const Case& c : cases)
        EXPECT_EQ(SettingsFile::passwordFromStored(c.stored), c.password) << c.label;
}
