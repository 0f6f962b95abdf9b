// The proxy password in the desktop's keyring: gnome-keyring-daemon on a private bus, unlocked,
// locked or not there at all, and settings files written before the keyring was used.
#include "KeyringBus.h"
#include "SettingsFileRig.h"

#include "settings/IniFile.h"
#include "settings/SecretServiceVault.h"
#include "shared/Scramble.h"

#include <QElapsedTimer>
#include <functional>

using namespace gw;
using namespace gwtest;

namespace {

enum class Keyring { Unlocked, Locked, None };

const QString kConfig = QStringLiteral("Config");
const QString kPasswordKey = QStringLiteral("Proxy Password");

TEST(Keyring, WhereTheProxyPasswordIsKept)
{
    struct Case
    {
        const char* label;
        Keyring keyring;
        QByteArray oldFile; // a settings file from before; empty: the user types the password
        QString storedIn; // what "Proxy Password Store" says after the save
        int logLines;
    };
    const QString typed = QStringLiteral("s3cret Grüße");
    const Case cases[] = {
        { "an unlocked keyring takes it", Keyring::Unlocked, {}, SettingsFile::PasswordInKeyring, 0 },
        { "an old file's scrambled password moves to the keyring", Keyring::Unlocked,
            "[Config]\r\nProxy Password=" + Crypt("oldpass") + "\r\n", SettingsFile::PasswordInKeyring, 0 },
        { "a locked keyring leaves it in the file", Keyring::Locked, {}, SettingsFile::PasswordInFile, 1 },
        { "no keyring: the file keeps it", Keyring::None, {}, SettingsFile::PasswordInFile, 0 },
        { "no keyring, old file: as before", Keyring::None, "[Config]\r\nProxy Password=" + Crypt("oldpass") + "\r\n",
            SettingsFile::PasswordInFile, 0 },
    };
    for (const Case& c : cases) {
        KeyringBus keyring(c.keyring != Keyring::None);
        ASSERT_TRUE(keyring.ok()) << c.label << ": no private bus or keyring";
        if (c.keyring == Keyring::Locked) {
            ASSERT_TRUE(keyring.lock()) << c.label;
        }
        SecretServiceVault vault(keyring.bus());
        TempDir dir;
        const QString file = dir.file(QStringLiteral("Globewall.ini"));
        if (!c.oldFile.isEmpty())
            writeFile(file, c.oldFile);
        const QString password = c.oldFile.isEmpty() ? typed : QStringLiteral("oldpass");
        {
            Program p(dir.path(), &vault);
            p.file.IniLoad(QString());
            if (c.oldFile.isEmpty())
                p.settings.setText(QStringLiteral("edtProxyPasswd"), typed);
            EXPECT_EQ(p.settings.text(QStringLiteral("edtProxyPasswd")), password) << c.label << ": loaded";
            p.file.IniSave(p.file.ConfigFileName());
            EXPECT_EQ(p.hooks.logLines.size(), c.logLines)
                << c.label << ": " << p.hooks.logLines.join('|').toStdString();
        }
        const IniFile saved(file);
        const bool inKeyring = c.storedIn == SettingsFile::PasswordInKeyring;
        EXPECT_EQ(saved.readString(kConfig, SettingsFile::PasswordStoreKey, {}), c.storedIn) << c.label;
        EXPECT_EQ(saved.keys(kConfig).last(), SettingsFile::PasswordStoreKey) << c.label << ": after the existing keys";
        EXPECT_EQ(saved.readBytes(kConfig, kPasswordKey, {}),
            inKeyring ? QByteArray() : SettingsFile::storedPassword(password))
            << c.label;
        QString held;
        EXPECT_EQ(vault.lookup(QFileInfo(file).canonicalFilePath(), &held, nullptr) == PasswordVault::Outcome::Done,
            inKeyring)
            << c.label;
        if (inKeyring) {
            EXPECT_EQ(held, password) << c.label;
        }

        Program next(dir.path(), &vault);
        next.file.IniLoad(QString());
        EXPECT_EQ(next.settings.text(QStringLiteral("edtProxyPasswd")), password)
            << c.label << ": back at the next start";
    }
}

// The keyring is locked at the next start: the password cannot be read, and the save after it
// must not forget that it is there.
TEST(Keyring, LockedAtTheNextStartKeepsThePasswordWhereItIs)
{
    KeyringBus keyring(true);
    ASSERT_TRUE(keyring.ok());
    SecretServiceVault vault(keyring.bus());
    TempDir dir;
    {
        Program p(dir.path(), &vault);
        p.file.IniLoad(QString());
        p.settings.setText(QStringLiteral("edtProxyPasswd"), QStringLiteral("pw"));
        p.file.IniSave(p.file.ConfigFileName());
    }
    ASSERT_TRUE(keyring.lock());
    Program next(dir.path(), &vault);
    next.file.IniLoad(QString());
    EXPECT_EQ(next.settings.text(QStringLiteral("edtProxyPasswd")), QString());
    EXPECT_EQ(next.hooks.logLines.size(), 1) << "one line says why";
    next.file.IniSave(next.file.ConfigFileName());
    const IniFile saved(dir.file(QStringLiteral("Globewall.ini")));
    EXPECT_EQ(saved.readString(kConfig, SettingsFile::PasswordStoreKey, {}), SettingsFile::PasswordInKeyring);
    EXPECT_EQ(saved.readBytes(kConfig, kPasswordKey, {}), QByteArray());
}

// A settings folder reached through a link, as dotfile managers make ~/.config: the password
// saved into a file that does not exist yet is found again once the file exists.
TEST(Keyring, APasswordSavedThroughALinkedFolderComesBack)
{
    struct Case
    {
        const char* label;
        QString saveAs; // empty: the base file
    };
    const Case cases[] = {
        { "the base file's first save", QString() },
        { "save as a new file in the linked folder", QStringLiteral("other.ini") },
    };
    KeyringBus keyring(true);
    ASSERT_TRUE(keyring.ok());
    SecretServiceVault vault(keyring.bus());
    for (const Case& c : cases) {
        TempDir dir;
        ASSERT_TRUE(QDir().mkpath(dir.file(QStringLiteral("dotfiles/Globewall"))));
        ASSERT_TRUE(QFile::link(dir.file(QStringLiteral("dotfiles")), dir.file(QStringLiteral("config"))));
        const QString linked = dir.file(QStringLiteral("config/Globewall"));
        {
            Program p(linked, &vault);
            p.file.IniLoad(QString());
            p.settings.setText(QStringLiteral("edtProxyPasswd"), QStringLiteral("through a link"));
            p.file.IniSave(c.saveAs.isEmpty() ? p.file.ConfigFileName() : linked + QLatin1Char('/') + c.saveAs);
        }
        const QString real = dir.file(
            QStringLiteral("dotfiles/Globewall/") + (c.saveAs.isEmpty() ? QStringLiteral("Globewall.ini") : c.saveAs));
        EXPECT_EQ(
            IniFile(real).readString(kConfig, SettingsFile::PasswordStoreKey, {}), SettingsFile::PasswordInKeyring)
            << c.label;
        Program next(linked, &vault);
        next.file.IniLoad(QString());
        EXPECT_EQ(next.settings.text(QStringLiteral("edtProxyPasswd")), QStringLiteral("through a link")) << c.label;
        EXPECT_TRUE(next.hooks.logLines.isEmpty()) << c.label << ": " << next.hooks.logLines.join('|').toStdString();
    }
}

// A keyring that stops answering after its first call: the load at a start and the save at an
// exit each wait once, briefly, and go on as with a locked keyring.
TEST(Keyring, AKeyringThatStopsAnsweringCostsOneShortWait)
{
    struct Case
    {
        const char* label;
        std::function<void(Program&)> run;
    };
    const Case cases[] = {
        { "the load at a start", [](Program& p) { p.file.IniLoad(QString()); } },
        { "the save at an exit",
            [](Program& p) {
                p.settings.setText(QStringLiteral("edtProxyPasswd"), QStringLiteral("typed"));
                p.file.IniSave(p.file.ConfigFileName());
            } },
    };
    KeyringBus keyring(false);
    ASSERT_TRUE(keyring.ok());
    if (!keyring.startServiceThatAnswersOnce())
        GTEST_SKIP() << "python3-dbus is not installed: no stand-in keyring";
    SecretServiceVault vault(keyring.bus());
    TempDir dir;
    writeFile(dir.file(QStringLiteral("Globewall.ini")), "[Config]\r\nProxy Password Store=Secret Service\r\n");
    Program p(dir.path(), &vault);
    p.file.setConfigFileName(dir.file(QStringLiteral("Globewall.ini")));
    for (const Case& c : cases) {
        p.hooks.logLines.clear();
        QElapsedTimer took;
        took.start();
        c.run(p);
        EXPECT_LT(took.elapsed(), SettingsFile::KeyringWaitMs + 1000) << c.label;
        EXPECT_EQ(p.hooks.logLines.size(), 1) << c.label << ": " << p.hooks.logLines.join('|').toStdString();
    }
    const IniFile saved(dir.file(QStringLiteral("Globewall.ini")));
    EXPECT_EQ(saved.readString(kConfig, SettingsFile::PasswordStoreKey, {}), SettingsFile::PasswordInFile);
    EXPECT_EQ(saved.readBytes(kConfig, kPasswordKey, {}), SettingsFile::storedPassword(QStringLiteral("typed")))
        << "the password the keyring did not take stays in the file";
}

} // namespace
