// Where a download may be sent on, as browsers follow: a chain of up to five moves, to any
// server, and never from https down to plain http.
#include "DownloadRig.h"
#include "ServerProcess.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace gwtest;

namespace {

const QByteArray kPrevious = "the copy from yesterday";

TEST(Redirect, ServerMovesAndProtocolDowngrades)
{
    HttpFaultServer first, second, third;
    ASSERT_TRUE(first.start() && second.start() && third.start());
    TempDir www;
    www.write(QStringLiteral("file"), "over tls");
    TlsServerFixture tls(www.path());
    tls.redirect(QStringLiteral("/tohttp"), first.url(QStringLiteral("/file")));
    tls.redirect(QStringLiteral("/moved"), QStringLiteral("/file"));
    ASSERT_TRUE(tls.start()) << tls.error().toStdString();

    const auto move = [](const QString& to) {
        return HttpFaultServer::answer("HTTP/1.1 302 Found", "", { "Location: " + to.toUtf8() });
    };
    for (HttpFaultServer* s : { &first, &second, &third })
        s->route("/file", HttpFaultServer::answer("HTTP/1.1 200 OK", "the new copy"));
    first.route("/hop1", move(QStringLiteral("/hop2")));
    first.route("/hop2", move(QStringLiteral("/file")));
    first.route("/tosecond", move(second.url(QStringLiteral("/file"))));
    first.route("/viasecond", move(second.url(QStringLiteral("/tothird"))));
    second.route("/tothird", move(third.url(QStringLiteral("/file"))));
    second.route("/back", move(first.url(QStringLiteral("/file"))));
    first.route("/thereandback", move(second.url(QStringLiteral("/back"))));
    // "/chain<n>" moves n more times, between the two servers in turn, before it lands.
    for (int n = 1; n <= 6; ++n) {
        HttpFaultServer& from = n % 2 ? first : second;
        HttpFaultServer& to = n % 2 ? second : first;
        from.route("/chain" + QByteArray::number(n),
            move(n == 1 ? to.url(QStringLiteral("/file")) : to.url(QStringLiteral("/chain%1").arg(n - 1))));
    }

    struct Case
    {
        const char* label;
        QString url;
        QByteArray body; // empty: refused, the previous copy stays
        HttpFaultServer* asked; // the server whose "/file" must (or must not) be asked
        QString reason; // of the error line when refused
    };
    const Case cases[] = {
        { "two hops on one server", first.url(QStringLiteral("/hop1")), "the new copy", &first, {} },
        { "one move to another server", first.url(QStringLiteral("/tosecond")), "the new copy", &second, {} },
        { "a second server further on", first.url(QStringLiteral("/viasecond")), "the new copy", &third, {} },
        { "there and back", first.url(QStringLiteral("/thereandback")), "the new copy", &first, {} },
        { "five moves", first.url(QStringLiteral("/chain5")), "the new copy", &second, {} },
        { "six moves are too many", second.url(QStringLiteral("/chain6")), "", &second, "too many moves" },
        { "https serves with the trusted certificate", tls.url(QStringLiteral("/moved")), "over tls", nullptr, {} },
        { "https is never followed to http", tls.url(QStringLiteral("/tohttp")), "", &first,
            "moved to " + first.url(QStringLiteral("/file")) + ", not followed" },
    };
    for (const Case& c : cases) {
        DownloadRig rig;
        rig.engine.http().setCaFile(tls.caFile());
        const QString dest = rig.dir.write(QStringLiteral("data.txt"), kPrevious);
        const int before = c.asked ? c.asked->count("/file") : 0;
        const bool ok = rig.engine.DownloadFile(c.url, dest, false);
        EXPECT_EQ(ok, !c.body.isEmpty()) << c.label;
        EXPECT_EQ(rig.dir.read(QStringLiteral("data.txt")), c.body.isEmpty() ? kPrevious : c.body) << c.label;
        if (c.asked) {
            EXPECT_EQ(c.asked->count("/file") - before, c.body.isEmpty() ? 0 : 1) << c.label;
        }
        if (c.body.isEmpty()) {
            EXPECT_EQ(rig.log.lines,
                QStringList { rig.line(
                    " - Error downloading file (" + c.reason + ") - " + c.url.mid(c.url.lastIndexOf('/') + 1)) })
                << c.label;
        }
        EXPECT_EQ(QDir(rig.dir.path()).entryList({ "data.txt*" }, QDir::Files), QStringList { "data.txt" }) << c.label;
    }
}

} // namespace
