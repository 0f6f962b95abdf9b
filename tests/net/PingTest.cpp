// The reachability test against loopback, as root and as an unprivileged user, and its
// settings: "#" switches it off, a proxy in use is what must answer.
#include "DownloadRig.h"
#include "TestPaths.h"

#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace gwtest;

TEST(Ping, Settings)
{
    struct Case
    {
        const char* label;
        QString pingServer;
        bool useProxy;
        QString proxy;
        bool reachable;
    };
    const Case cases[] = {
        { "loopback answers", "127.0.0.1", false, "", true },
        { "unresolvable name", "nonexistent.invalid", false, "", false },
        { "# switches the test off", "#", false, "", true },
        { "# anywhere switches the test off", "nonexistent.invalid#off", false, "", true },
        { "the proxy is pinged when used", "nonexistent.invalid", true, "127.0.0.1", true },
        { "an unreachable proxy fails", "127.0.0.1", true, "nonexistent.invalid", false },
        { "a proxy that is off is not pinged", "127.0.0.1", false, "nonexistent.invalid", true },
        { "a proxy without a host: the ping server", "127.0.0.1", true, "", true },
    };
    for (const Case& c : cases) {
        DownloadRig rig;
        rig.settings.setText("PingServer", c.pingServer);
        rig.settings.setChecked("cbUseProxy", c.useProxy);
        rig.settings.setText("edtProxy", c.proxy);
        EXPECT_EQ(rig.engine.PingReply(), c.reachable) << c.label;
        EXPECT_FALSE(rig.state.PingBusy) << c.label;
    }
}

TEST(Ping, EachMethodWherePermitted)
{
    for (gw::PingMethod method : { gw::PingMethod::Datagram, gw::PingMethod::Raw, gw::PingMethod::SystemPing }) {
        gw::Pinger pinger;
        pinger.setMethods({ method });
        const gw::PingResult r = pinger.ping("127.0.0.1", 5000);
        const std::string name = gw::pingMethodName(method).toStdString();
        if (r == gw::PingResult::Error && pinger.lastError().contains("permitted")) {
            std::printf("%s: refused by the system here\n", name.c_str());
            continue;
        }
        EXPECT_EQ(r, gw::PingResult::Reply) << name << ": " << pinger.lastError().toStdString();
        EXPECT_EQ(pinger.lastMethod(), method) << name;
    }
}

TEST(Ping, UnprivilegedUserReachesLoopback)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to switch to an unprivileged user";
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    if (setpriv.isEmpty())
        GTEST_SKIP() << "setpriv is missing";
    const QString probe = QStringLiteral(GW_BINARY_DIR "/tests/net/ping_probe");
    ASSERT_TRUE(QFile::exists(probe)) << probe.toStdString();

    struct Case
    {
        const char* label;
        QString host;
        int exitCode;
    };
    const Case cases[] = {
        { "loopback answers", "127.0.0.1", 0 },
        { "unresolvable name is an error", "nonexistent.invalid", 2 },
    };
    for (const Case& c : cases) {
        QProcess p;
        p.start(setpriv, { "--reuid=nobody", "--regid=nogroup", "--clear-groups", probe, c.host });
        ASSERT_TRUE(p.waitForFinished(30000)) << c.label;
        const QString out = QString::fromLocal8Bit(p.readAll());
        EXPECT_EQ(p.exitCode(), c.exitCode) << c.label << ": " << out.toStdString();
        if (c.exitCode == 0) {
            EXPECT_FALSE(out.startsWith("raw")) << "an unprivileged user has no raw socket: " << out.toStdString();
        }
    }
}
