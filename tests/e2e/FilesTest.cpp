// Where the built program keeps its files: the settings beside the program when its folder is
// writable, else in the user's configuration folder; the renderer's folders below HOME.
#include "ProgramCopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

#include <unistd.h>

using gwe2e::ProgramCopy;

namespace {

constexpr QFile::Permissions kOpenToAll = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
    | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;

bool ownTree(const QString& path, uid_t uid, gid_t gid)
{
    if (::chown(QFile::encodeName(path).constData(), uid, gid) != 0)
        return false;
    if (!QFileInfo(path).isDir())
        return true;
    for (const QFileInfo& fi : QDir(path).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        if (!ownTree(fi.filePath(), uid, gid))
            return false;
    return true;
}

} // namespace

TEST(Files, SettingsGoToTheConfigurationFolderWhenTheProgramFolderIsReadOnly)
{
    ProgramCopy copy;
    ASSERT_TRUE(copy.copied());
    const QString bin = QFileInfo(copy.iniPath()).absolutePath();
    const QString config = copy.home() + QStringLiteral("/.config");
    QProcessEnvironment env;
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    QProcess p;
    if (::geteuid() == 0) {
        // Every folder is writable for root: the program runs as an ordinary user instead, who
        // owns the home and the runtime folder but not the program's folder.
        QFile::setPermissions(copy.root(), kOpenToAll);
        QFile::setPermissions(bin, kOpenToAll);
        QFile::setPermissions(bin + QStringLiteral("/Globewall"), kOpenToAll);
        ASSERT_TRUE(ownTree(copy.home(), 65534, 65534));
        ASSERT_TRUE(ownTree(copy.root() + QStringLiteral("/runtime"), 65534, 65534));
        copy.startWith(p, QStringLiteral("setpriv"),
            { QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups") },
            env);
    } else {
        QFile::setPermissions(bin, QFile::ReadOwner | QFile::ExeOwner);
        copy.start(p, env);
    }
    ASSERT_TRUE(p.waitForStarted(30000));
    const QString satellites = copy.xplanetFile(QStringLiteral("satellites"));
    gwe2e::waitUntil([&] { return QFileInfo(satellites).isDir() || p.waitForFinished(0); }, 30000);
    ASSERT_TRUE(QFileInfo(satellites).isDir()) << "the renderer folders below HOME were not made";
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);

    const QString saved = config + QStringLiteral("/Globewall/Globewall.ini");
    EXPECT_TRUE(gwtest::readFile(saved).contains("[Config]")) << saved.toStdString();
    EXPECT_EQ(gwe2e::ProgramCopy::iniValueOf(saved, QStringLiteral("Config"), QStringLiteral("Config File")), saved);
    EXPECT_FALSE(QFileInfo::exists(copy.iniPath())) << "nothing beside the program";
    for (const char* folder : { "config", "images", "markers", "satellites" })
        EXPECT_TRUE(QFileInfo(copy.xplanetFile(QString::fromLatin1(folder))).isDir()) << "~/.xplanet/" << folder;
    QFile::setPermissions(bin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
