// The update check when things go wrong: unreachable or failing servers, "Cancel" and the
// close box during a transfer, a destination that cannot be created, and the proxy settings.
#include "ServerProcess.h"
#include "UpdateRig.h"

#include "shared/Error.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <memory>

using namespace gwtest;

namespace {

// A server announcing a newer release at "/globewall_1_2.zip", answered by `release`.
void announce(HttpFaultServer& server, HttpFaultServer::Handler release)
{
    server.route("/soft/updates.ini",
        HttpFaultServer::answer(
            "HTTP/1.1 200 OK", updatesIni("1.2", "", server.url("/globewall_1_2.zip").toUtf8(), "", "", "zip")));
    server.route("/globewall_1_2.zip", std::move(release));
}

} // namespace

TEST(UpdateFailure, UpdateInfoCannotBeFetched)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/missing/soft/updates.ini", HttpFaultServer::answer("HTTP/1.1 404 Not Found", "<html>gone</html>"));
    server.route("/broken/soft/updates.ini", [](HttpFaultServer::Exchange& x) { x.reset(); });
    server.route("/huge/soft/updates.ini",
        HttpFaultServer::answer("HTTP/1.1 200 OK", "[Globewall]\r\nVersion=9.9\r\n" + QByteArray(70 * 1024, ';')));
    server.route(
        "/page/soft/updates.ini", HttpFaultServer::answer("HTTP/1.1 200 OK", "<html><body>Moved</body></html>"));
    server.route("/loop/soft/updates.ini", [&server](HttpFaultServer::Exchange& x) {
        x.respond("HTTP/1.1 302 Found", "", { "Location: " + server.url("/loop/soft/updates.ini").toUtf8() });
    });

    struct Case
    {
        const char* label;
        QString host;
        QString failure;
    };
    const QString unusable = "the update server gave no usable answer: ";
    const Case cases[] = {
        { "nothing listens", "http://127.0.0.1:" + QString::number(freeLoopbackPort()),
            "cannot reach the update server: connection refused" },
        { "status 404", server.url("/missing"), unusable + "HTTP/1.1 404 Not Found" },
        { "reset before any answer", server.url("/broken"), unusable + "connection reset" },
        { "larger than any description", server.url("/huge"), unusable + "too large, over 64 KiB" },
        { "moved in a circle", server.url("/loop"), unusable + "too many moves" },
        { "a web page", server.url("/page"), "updates.ini could not be read (no version number in it)" },
    };
    for (const Case& c : cases) {
        UpdateRig rig(c.host);
        writeFile(rig.file("updates.ini"), "[Globewall]\r\nVersion=1.0\r\n");
        const Seen seen = rig.run();
        EXPECT_FALSE(seen.watchdogFired) << c.label;
        EXPECT_FALSE(seen.asked) << c.label;
        EXPECT_TRUE(seen.closeOffered) << c.label;
        // The search has ended: the failure in its place, and no word of searching left.
        EXPECT_EQ(seen.finalMemo, (QStringList { "", "", c.failure })) << c.label;
        EXPECT_TRUE(seen.finalStatus.isEmpty()) << c.label << ": " << seen.finalStatus.toStdString();
        EXPECT_EQ(readFile(rig.file("updates.ini")), "[Globewall]\r\nVersion=1.0\r\n")
            << c.label << ": the last good copy stays";
        EXPECT_FALSE(rig.state.DownloadBusy) << c.label;
    }
}

TEST(UpdateFailure, ReleaseTransferStopped)
{
    const HttpFaultServer::Handler stalled = [](HttpFaultServer::Exchange& x) {
        x.send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + QByteArray(1000, 'z'));
        x.stall(60000);
    };
    struct Case
    {
        const char* label;
        Plan plan;
        HttpFaultServer::Handler release;
        QString line2; // empty: the dialog is gone, nothing to read
    };
    const Case cases[] = {
        { "server answers 404", { Reply::Ok, false, false },
            HttpFaultServer::answer("HTTP/1.1 404 Not Found", "no such release"), "HTTP/1.1 404 Not Found" },
        { "body ends early after 200 OK", { Reply::Ok, false, false },
            [](HttpFaultServer::Exchange& x) {
                x.send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + QByteArray(1000, 'z'));
            },
            "incomplete, 1000 of 100000 bytes" },
        { "Cancel during the transfer", { Reply::Ok, true, false }, stalled, "download aborted" },
        { "close box during the transfer", { Reply::Ok, false, true }, stalled, "" },
    };
    for (const Case& c : cases) {
        HttpFaultServer server;
        ASSERT_TRUE(server.start());
        announce(server, c.release);
        UpdateRig rig(server.url(""));
        // Longer than the driver's watchdog: only the abort can end the stalled transfer in time.
        rig.form->http().setTimeouts({ 2000, 1, 20 });
        const QString destination = rig.file("globewall_1_2.zip");
        writeFile(destination, "the release from last year");
        rig.dialogs.queueFile(destination);

        const Seen seen = rig.run(c.plan);
        EXPECT_FALSE(seen.watchdogFired) << c.label;
        EXPECT_FALSE(rig.state.DownloadBusy) << c.label;
        EXPECT_EQ(readFile(destination), "the release from last year") << c.label << ": the old file survives";
        EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files), (QStringList { "globewall_1_2.zip", "updates.ini" }))
            << c.label << ": no partial file left";
        if (c.line2.isEmpty()) {
            EXPECT_FALSE(seen.closeOffered) << c.label;
            continue;
        }
        EXPECT_TRUE(seen.closeOffered) << c.label;
        ASSERT_EQ(seen.finalMemo.size(), seen.questionMemo.size()) << c.label;
        QStringList expected = seen.questionMemo;
        expected[2] = c.line2;
        EXPECT_EQ(seen.finalMemo, expected) << c.label;
    }
}

TEST(UpdateFailure, CloseBoxDuringTheQuestion)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    announce(server, HttpFaultServer::answer("HTTP/1.1 200 OK", "zip"));
    UpdateRig rig(server.url(""));
    const Seen seen = rig.run({ Reply::CloseBox });
    EXPECT_TRUE(seen.asked);
    EXPECT_FALSE(seen.watchdogFired) << "the wait ends with the dialog";
    EXPECT_FALSE(rig.state.DownloadBusy);
    EXPECT_TRUE(rig.dialogs.asked.empty()) << "no save dialog";
    EXPECT_EQ(server.count("/globewall_1_2.zip"), 0);
}

// A folder where no new file can be made while the files in it stay writable: read-only, and
// for root the thread gives up the capability to override that while the folder is sealed.
class SealedFolder
{
public:
    explicit SealedFolder(const QString& path)
        : m_path(path)
    {
        m_sealed = QFile::setPermissions(m_path, QFile::ReadOwner | QFile::ExeOwner) && setDacOverride(false);
    }
    ~SealedFolder()
    {
        setDacOverride(true);
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool sealed() const { return m_sealed; }

private:
    static bool setDacOverride(bool on)
    {
        if (::geteuid() != 0)
            return true;
        __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
        __user_cap_data_struct data[2] {};
        if (::syscall(SYS_capget, &header, data) != 0)
            return false;
        const unsigned bits = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
        data[0].effective = on ? (data[0].effective | (data[0].permitted & bits)) : (data[0].effective & ~bits);
        return ::syscall(SYS_capset, &header, data) == 0;
    }
    QString m_path;
    bool m_sealed = false;
};

TEST(UpdateFailure, DestinationCannotBeCreated)
{
    struct Case
    {
        const char* label;
        QString folder; // below the rig's folder
        bool sealed; // the folder exists but takes no new file
    };
    const Case cases[] = {
        { "missing folder", "no such folder", false },
        { "folder that takes no new file, the file in it writable", "sealed", true },
    };
    for (const Case& c : cases) {
        HttpFaultServer server;
        ASSERT_TRUE(server.start());
        announce(server, HttpFaultServer::answer("HTTP/1.1 200 OK", "zip"));
        UpdateRig rig(server.url(""));
        const QString destination = rig.file(c.folder + "/globewall_1_2.zip");
        std::unique_ptr<SealedFolder> seal;
        if (c.sealed) {
            writeFile(destination, "the release from last year");
            seal = std::make_unique<SealedFolder>(rig.file(c.folder));
            if (!seal->sealed())
                GTEST_SKIP() << "cannot seal a folder here";
        }
        rig.dialogs.queueFile(destination);
        const Seen seen = rig.run({ Reply::Ok });
        EXPECT_TRUE(seen.closeOffered) << c.label << ": the user can still close the dialog";
        EXPECT_EQ(seen.finalMemo.value(2), "Error creating file " + destination) << c.label;
        EXPECT_EQ(server.count("/globewall_1_2.zip"), 0) << c.label << ": no transfer without a file";
        EXPECT_TRUE(rig.errors.isEmpty()) << c.label;
        seal.reset();
        if (c.sealed) {
            EXPECT_EQ(readFile(destination), "the release from last year") << c.label << ": the old file stays";
        }
    }
}

TEST(UpdateFailure, SetProxyCopiesTheMainWindowsFields)
{
    // Steps run in order on one dialog, so each starts from the client's previous values.
    struct Step
    {
        const char* label;
        bool use;
        QString host, port, user, password;
        gw::ProxySettings expected;
        QString error;
    };
    const Step steps[] = {
        { "all fields", true, "proxy.lan", "3128", "anna", "pw", { true, "proxy.lan", 3128, "anna", "pw" }, "" },
        { "empty fields keep the previous values", true, "", "", "", "", { true, "proxy.lan", 3128, "anna", "pw" },
            "" },
        { "letters in the port", true, "", "8o80", "", "", {}, "'8o80' is not a valid integer value" },
        { "beyond the last port", true, "", "70000", "", "", {}, "'70000' is not a valid port number" },
        { "proxy off", false, "other.lan", "8080", "bob", "x", { false, "", 80, "", "" }, "" },
    };
    UpdateRig rig("http://127.0.0.1:1");
    for (const Step& s : steps) {
        rig.settings.setChecked("cbUseProxy", s.use);
        rig.settings.setText("edtProxy", s.host);
        rig.settings.setText("edtProxyPort", s.port);
        rig.settings.setText("edtProxyName", s.user);
        rig.settings.setText("edtProxyPasswd", s.password);
        QString error;
        try {
            rig.form->SetProxy();
        } catch (const gw::Error& e) {
            error = e.message();
        }
        EXPECT_EQ(error, s.error) << s.label;
        if (!s.error.isEmpty())
            continue;
        const gw::ProxySettings& p = rig.form->http().proxy();
        EXPECT_EQ(p.basicAuth, s.expected.basicAuth) << s.label;
        EXPECT_EQ(p.host, s.expected.host) << s.label;
        EXPECT_EQ(p.port, s.expected.port) << s.label;
        EXPECT_EQ(p.user, s.expected.user) << s.label;
        EXPECT_EQ(p.password, s.expected.password) << s.label;
    }
}

TEST(UpdateFailure, NonNumericProxyPortEndsTheCheck)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    announce(server, HttpFaultServer::answer("HTTP/1.1 200 OK", "zip"));
    UpdateRig rig(server.url(""));
    rig.settings.setChecked("cbUseProxy", true);
    rig.settings.setText("edtProxy", "127.0.0.1");
    rig.settings.setText("edtProxyPort", "80a");
    const Seen seen = rig.run();
    EXPECT_EQ(rig.errors, QStringList { "'80a' is not a valid integer value" }) << "reported once";
    EXPECT_TRUE(seen.closeOffered);
    EXPECT_TRUE(server.requests().isEmpty()) << "stopped before the transfer";
    EXPECT_TRUE(QDir(rig.dir.path()).entryList(QDir::Files).isEmpty()) << "no empty updates.ini left";
}

TEST(UpdateFailure, ProxyReachesTheDialogsClient)
{
    HttpFaultServer server;
    ASSERT_TRUE(server.start());
    server.route("/soft/updates.ini", HttpFaultServer::answer("HTTP/1.1 200 OK", updatesIni("1.1.3.68", "")));
    TinyproxyFixture proxy("globe", "s3cret");
    ASSERT_TRUE(proxy.start()) << proxy.error().toStdString();

    struct Case
    {
        const char* label;
        QString user, password;
        QStringList memo;
    };
    const Case cases[] = {
        { "right credentials", "globe", "s3cret", { "", "no new version available", "" } },
        { "wrong password", "globe", "wrong",
            { "", "", "the update server gave no usable answer: HTTP/1.0 401 Unauthorized" } },
        { "no credentials", "", "",
            { "", "", "cannot reach the update server: HTTP/1.0 407 Proxy Authentication Required" } },
    };
    for (const Case& c : cases) {
        UpdateRig rig(server.url(""));
        rig.settings.setChecked("cbUseProxy", true);
        rig.settings.setText("edtProxy", "127.0.0.1");
        rig.settings.setText("edtProxyPort", QString::number(proxy.port()));
        rig.settings.setText("edtProxyName", c.user);
        rig.settings.setText("edtProxyPasswd", c.password);
        const qsizetype before = server.requests().size();
        const Seen seen = rig.run();
        EXPECT_EQ(seen.finalMemo, c.memo) << c.label;
        const QList<SeenRequest> arrived = server.requests().mid(before);
        EXPECT_EQ(arrived.size(), c.user.isEmpty() || c.password == "wrong" ? 0 : 1) << c.label;
        for (const SeenRequest& r : arrived)
            EXPECT_TRUE(r.hasHeader("Via")) << c.label << ": came through the proxy";
    }
}
