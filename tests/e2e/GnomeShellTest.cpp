// The built program on a real GNOME Shell, headless, with two virtual monitors: what the shell
// shows after a render, the screen lock holding renders back, and the pictures kept while the
// settings service and the program's own read-back disagree. Skipped only where GNOME cannot
// start on this machine.
#include "GnomeSession.h"
#include "ProgramCopy.h"
#include "TestPaths.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

using gwe2e::GnomeSession;
using gwe2e::ProgramCopy;

const QString Background = QStringLiteral("org.gnome.desktop.background");
const QString LockScreen = QStringLiteral("org.gnome.desktop.screensaver");

// The program in the session; `ownSettingsStore`: with a configuration folder of its own, so
// its GSettings read-back reads another store than the shell's settings service.
void startIn(const GnomeSession& gnome, const ProgramCopy& copy, QProcess& p, bool ownSettingsStore = false)
{
    QProcessEnvironment env = gnome.environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    if (ownSettingsStore)
        env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("HOME")); // the copy's own, with its renderer folder
    copy.start(p, env);
}

// A renderer beside the program that notes the moment of each start, then runs the real one.
QString recordRendererStarts(const ProgramCopy& copy)
{
    const QString starts = copy.programFile(QStringLiteral("renderer-starts"));
    const QString wrapper = copy.programFile(QStringLiteral("xplanet"));
    QFile f(wrapper);
    f.open(QIODevice::WriteOnly);
    f.write("#!/bin/sh\ndate +%s%3N >> '" + starts.toUtf8() + "'\nexec /usr/bin/xplanet \"$@\"\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return starts;
}

QList<qint64> startTimes(const QString& file)
{
    QFile f(file);
    QList<qint64> out;
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray& line : f.readAll().split('\n'))
            if (!line.trimmed().isEmpty())
                out << line.trimmed().toLongLong();
    return out;
}

QString fileOf(const QString& uri)
{
    return QUrl(uri).toLocalFile();
}

class GnomeShell : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!gnome.start())
            GTEST_SKIP() << "GNOME Shell cannot start here: " << gnome.error().toStdString();
        ASSERT_TRUE(copy.copied());
    }
    void TearDown() override
    {
        if (program.state() != QProcess::NotRunning)
            gwe2e::stopProcess(program);
    }
    bool writeSettings(const QByteArray& config)
    {
        QFile f(copy.iniPath());
        return f.open(QIODevice::WriteOnly) && f.write("[Config]\r\n" + config) > 0;
    }
    QString log() const
    {
        QFile f(copy.programFile(QStringLiteral("Globewall.log")));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    GnomeSession gnome;
    ProgramCopy copy;
    QProcess program;
};

} // namespace

// One picture spanned over both monitors, a whole globe on each as the shell shows them, and
// with "also on the lock screen" ticked the lock screen's key names the same picture.
TEST_F(GnomeShell, AWholeGlobeOnEachVirtualMonitorAndTheLockScreenWhenAsked)
{
    // Started minimized: the window would cover the first monitor's globe.
    ASSERT_TRUE(writeSettings("Start App at start=1\r\nStart Minimized=1\r\nLock screen background=1\r\n"));
    startIn(gnome, copy, program);
    QString uri;
    ASSERT_TRUE(gwe2e::waitUntil(
        [&] {
            uri = gnome.gsettings(Background, QStringLiteral("picture-uri"));
            return uri.contains(QLatin1String("Globewall")) && QFileInfo::exists(fileOf(uri));
        },
        90000))
        << "no picture set; the program's log:\n"
        << log().toStdString();
    // The lock screen's keys are written right after the desktop's.
    EXPECT_TRUE(
        gwe2e::waitUntil([&] { return gnome.gsettings(LockScreen, QStringLiteral("picture-uri")) == uri; }, 10000))
        << "the lock screen's picture: " << gnome.gsettings(LockScreen, QStringLiteral("picture-uri")).toStdString();
    EXPECT_EQ(gnome.gsettings(Background, QStringLiteral("picture-options")), QStringLiteral("spanned"));

    QImage shot;
    const bool shown = gwe2e::waitUntil(
        [&] {
            shot = gnome.screenshot();
            for (const QRect& monitor : GnomeSession::monitors())
                if (!gwe2e::showsWholeGlobe(shot, monitor))
                    return false;
            return true;
        },
        30000, 1000);
    const QString kept = QStringLiteral(GW_BINARY_DIR "/gnome-shell-screenshot.png");
    if (!shown && !shot.isNull())
        shot.save(kept);
    ASSERT_FALSE(shot.isNull()) << "no screenshot from the shell";
    for (const QRect& monitor : GnomeSession::monitors())
        EXPECT_TRUE(gwe2e::showsWholeGlobe(shot, monitor))
            << "monitor at " << monitor.x() << ": see " << kept.toStdString();
}

// Renders every 2 s; while GNOME's lock holds none starts, and the first comes within 2 s of
// the unlock.
TEST_F(GnomeShell, NoRenderWhileTheScreenIsLockedAndOneSoonAfterTheUnlock)
{
    const QString starts = recordRendererStarts(copy);
    ASSERT_TRUE(writeSettings("Start App at start=1\r\nStartEvery=2\r\nStart every x sec=1\r\n"));
    startIn(gnome, copy, program);
    ASSERT_TRUE(gwe2e::waitUntil([&] { return startTimes(starts).size() >= 2; }, 90000))
        << "no timed renders; the program's log:\n"
        << log().toStdString();

    ASSERT_TRUE(gnome.lock());
    ASSERT_TRUE(gwe2e::waitUntil([&] { return gnome.locked(); }, 10000));
    const qint64 locked = QDateTime::currentMSecsSinceEpoch();
    // Three intervals under the lock. A render that had started just before may still end.
    gwe2e::waitUntil([] { return false; }, 6000);
    const QList<qint64> underLock = startTimes(starts);
    for (qint64 t : underLock)
        EXPECT_LT(t, locked + 500) << "a render started under the lock";

    ASSERT_TRUE(gnome.unlock());
    const qint64 unlocked = QDateTime::currentMSecsSinceEpoch();
    ASSERT_TRUE(gwe2e::waitUntil([&] { return startTimes(starts).size() > underLock.size(); }, 10000))
        << "no render after the unlock";
    EXPECT_LE(startTimes(starts).at(underLock.size()) - unlocked, 2000) << "the first render after the unlock";
}

// The program's read-back looks in its own settings store while the shell's service has the
// new value: each new picture the shell names stays on disk, with one log line for the spell.
TEST_F(GnomeShell, APictureTheShellNamesIsNeverDeletedWhenTheReadBackDisagrees)
{
    ASSERT_TRUE(writeSettings("Start App at start=1\r\nStartEvery=3\r\nStart every x sec=1\r\n"));
    startIn(gnome, copy, program, true);
    QStringList named;
    ASSERT_TRUE(gwe2e::waitUntil(
        [&] {
            const QString uri = gnome.gsettings(Background, QStringLiteral("picture-uri"));
            if (uri.contains(QLatin1String("Globewall")) && !named.contains(uri)) {
                named << uri;
                EXPECT_TRUE(QFileInfo::exists(fileOf(uri))) << uri.toStdString();
            }
            return named.size() >= 3;
        },
        120000))
        << "the shell was not given three pictures; the program's log:\n"
        << log().toStdString();
    gwe2e::waitUntil([] { return false; }, 1500);
    EXPECT_TRUE(QFileInfo::exists(fileOf(gnome.gsettings(Background, QStringLiteral("picture-uri")))))
        << "the picture the shell names now";
    EXPECT_EQ(log().count(QStringLiteral("picture-uri did not keep the new value")), 1) << log().toStdString();
}
