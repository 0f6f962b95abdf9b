#include "shared/AtomicFile.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
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
