#include "shared/AtomicFile.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace gw;

TEST(AtomicFile, NewFileIsPrivateAndExistingKeepsPermissions)
{
    gwtest::TempDir dir;
    QString error;
    const QString p = dir.file(QStringLiteral("a.ini"));
    ASSERT_TRUE(writeFileAtomically(p, "one", &error)) << error.toStdString();
    EXPECT_EQ(gwtest::readFile(p), QByteArray("one"));
    EXPECT_EQ(QFile(p).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
    QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    ASSERT_TRUE(writeFileAtomically(p, "two", &error));
    EXPECT_TRUE(QFile(p).permissions() & QFile::ReadGroup);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "no temporary file left";
}

TEST(AtomicFile, UnwritablePlaceFailsNamingTheFile)
{
    // A path below a plain file cannot be written, not even by root.
    gwtest::TempDir dir;
    const QString blocker = dir.write(QStringLiteral("plain"), "x");
    QString error;
    EXPECT_FALSE(writeFileAtomically(blocker + QStringLiteral("/c.ini"), "new", &error));
    EXPECT_TRUE(error.contains(QStringLiteral("c.ini"))) << error.toStdString();
}

TEST(AtomicFile, ReadOnlyFolderFailsNamingTheFileAndKeepsOldContent)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    gwtest::TempDir dir;
    const QString p = dir.write(QStringLiteral("b.ini"), "old");
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    QString error;
    EXPECT_FALSE(writeFileAtomically(p, "new", &error));
    EXPECT_TRUE(error.contains(QStringLiteral("b.ini")));
    EXPECT_EQ(gwtest::readFile(p), QByteArray("old"));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(AtomicFile, LinksPlantedBesideTheFileAreNeverWrittenThrough)
{
    gwtest::TempDir dir;
    gwtest::TempDir elsewhere;
    const QString victim = elsewhere.write(QStringLiteral("victim"), "keep");
    const QString p = dir.file(QStringLiteral("a.ini"));
    for (const char* name : { "a.ini.part", "a.ini.tmp", "a.ini.new", "a.ini~", "a.ini.XXXXXX", ".a.ini.swp" })
        ASSERT_TRUE(QFile::link(victim, dir.file(QString::fromLatin1(name)))) << name;
    QString error;
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(writeFileAtomically(p, "new", &error)) << error.toStdString();
    EXPECT_EQ(gwtest::readFile(victim), QByteArray("keep"));
    EXPECT_FALSE(QFileInfo(p).isSymLink());
    EXPECT_EQ(gwtest::readFile(p), QByteArray("new"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), 7)
        << "no temporary file left";
}

TEST(AtomicFile, ALinkIsKeptAndItsTargetReplaced)
{
    struct Case
    {
        const char* label;
        const char* linkTo; // in the other folder
        bool targetExists;
    };
    const Case cases[] = {
        { "link to a link", "middle.ini", true },
        { "dangling link: the target is made", "missing.ini", false },
    };
    for (const Case& c : cases) {
        gwtest::TempDir dir;
        gwtest::TempDir other;
        const QString real = other.file(QStringLiteral("real.ini"));
        if (c.targetExists)
            gwtest::writeFile(real, "old");
        QFile::link(real, other.file(QStringLiteral("middle.ini")));
        const QString link = dir.file(QStringLiteral("a.ini"));
        const QString target = other.file(QString::fromLatin1(c.linkTo));
        QFile::link(target, link);
        QString error;
        ASSERT_TRUE(writeFileAtomically(link, "new", &error)) << c.label << ": " << error.toStdString();
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), target) << c.label;
        const QString written = c.targetExists ? real : target;
        EXPECT_EQ(gwtest::readFile(written), QByteArray("new")) << c.label;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System).size(), 1) << c.label;
    }
}
