#include "shared/AtomicFile.h"
#include "shared/PartFile.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

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

// Another local user plants a link at a name Globewall writes in a folder everyone may write
// to (as /tmp is): every way Globewall writes a file leaves the file it points to alone.
TEST(AtomicFile, ALinkOfAnotherUserInASharedFolderIsNeverFollowed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a link to another user";
    using Writer = std::function<bool(const QString& path, QString* error)>;
    struct Case
    {
        const char* label;
        Writer write;
        bool viaOwnLink; // our own link first, pointing at the planted one
    };
    const Case cases[] = {
        { "whole file (pictures, copies, settings)",
            [](const QString& p, QString* e) { return writeFileAtomically(p, "picture", e, Flush::Skip); }, false },
        { "whole file through a link of our own",
            [](const QString& p, QString* e) { return writeFileAtomically(p, "picture", e); }, true },
        { "log line", [](const QString& p, QString* e) { return appendToOwnFile(p, "line\n", e); }, false },
        { "file beside the target, renamed over it",
            [](const QString& p, QString* e) {
                PartFile part(p);
                part.file().write("picture");
                *e = QStringLiteral("the link could not be replaced");
                return part.replaceDestination();
            },
            false },
    };
    for (const Case& c : cases) {
        gwtest::TempDir shared;
        gwtest::TempDir home;
        ASSERT_EQ(::chmod(QFile::encodeName(shared.path()).constData(), 01777), 0);
        const QString victim = home.write(QStringLiteral("victim"), "keep");
        const QString planted = shared.file(QStringLiteral("xplanet.png"));
        ASSERT_TRUE(QFile::link(victim, planted));
        ASSERT_EQ(::lchown(QFile::encodeName(planted).constData(), 65534, 65534), 0);
        QString target = planted;
        if (c.viaOwnLink) {
            target = home.file(QStringLiteral("mine.png"));
            ASSERT_TRUE(QFile::link(planted, target));
        }
        QString error;
        const bool written = c.write(target, &error);
        EXPECT_EQ(gwtest::readFile(victim), QByteArray("keep")) << c.label;
        // Replaced (the link is gone) or refused, saying why.
        if (written)
            EXPECT_FALSE(QFileInfo(planted).isSymLink()) << c.label;
        else
            EXPECT_TRUE(error.contains(QLatin1String("link"))) << c.label << ": " << error.toStdString();
    }
}

TEST(AtomicFile, LogLinesAreAddedToAnOwnFileOnly)
{
    gwtest::TempDir dir;
    const QString log = dir.file(QStringLiteral("Globewall.log"));
    QString error;
    ASSERT_TRUE(appendToOwnFile(log, "one\n", &error)) << error.toStdString();
    ASSERT_TRUE(appendToOwnFile(log, "two\n", &error)) << error.toStdString();
    EXPECT_EQ(gwtest::readFile(log), QByteArray("one\ntwo\n"));
    EXPECT_EQ(QFile(log).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.file(QStringLiteral("fifo"))).constData(), 0600), 0);
    EXPECT_FALSE(appendToOwnFile(dir.file(QStringLiteral("fifo")), "x\n", &error)) << "a FIFO would block";
    EXPECT_TRUE(error.contains(QLatin1String("regular"))) << error.toStdString();
}
