// The real clock setter as an unprivileged user: the system refuses, and the refusal is known
// as one for want of rights (the time sync's log line says so). The user is switched with
// setpriv, without the capability to set the clock even in its bounding set.
#include "TestPaths.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <unistd.h>

TEST(ClockRights, UnprivilegedUserIsRefusedForWantOfRights)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to switch to an unprivileged user";
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    if (setpriv.isEmpty())
        GTEST_SKIP() << "setpriv is missing";
    const QString probe = QStringLiteral(GW_BINARY_DIR "/tests/timesync/clock_probe");
    ASSERT_TRUE(QFile::exists(probe)) << probe.toStdString();

    QProcess p;
    p.start(setpriv,
        { "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--inh-caps=-all", "--bounding-set=-sys_time",
            probe });
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString out = QString::fromLocal8Bit(p.readAll());
    EXPECT_EQ(p.exitCode(), 0) << "0 = refused for want of rights: " << out.toStdString();
}
