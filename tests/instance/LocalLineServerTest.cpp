// The socket on which a running program hears later starts: real Unix sockets, real writes,
// real descriptor limits and a real second user.
#include "instance/LocalLineServer.h"
#include "app/RunningInstance.h"
#include "shared/Posix.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A client connected to the socket `file`; invalid when it cannot connect.
gw::UniqueFd connectTo(const QString& file)
{
    sockaddr_un address;
    gw::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!gw::unixSocketAddress(QFile::encodeName(file), &address)
        || ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
        return gw::UniqueFd();
    return fd;
}

void pump(int ms)
{
    const QDeadlineTimer until(ms);
    while (!until.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A server on a socket in a private folder, and the lines it heard.
struct Listening
{
    Listening()
    {
        QObject::connect(&server, &gw::LocalLineServer::lineReceived, [this](const QByteArray& l) { got << l; });
    }
    bool listen() { return server.listen(file); }

    gwtest::TempDir dir;
    gw::LocalLineServer server;
    const QString file = dir.file(QStringLiteral("Globewall.socket"));
    QList<QByteArray> got;
};

} // namespace

TEST(LocalLineServer, LinesAsTheyArriveAndOversizedSendersDropped)
{
    struct Case
    {
        const char* label;
        QList<QByteArray> pieces;
        QList<QByteArray> lines;
    };
    const QByteArray tooLong(gw::LocalLineServer::MaxLineBytes + 1, 'x');
    const Case cases[] = {
        { "one line", { "render-now\n" }, { "render-now" } },
        { "two lines in one write", { "show\nrender-now\n" }, { "show", "render-now" } },
        { "a line split over writes", { "down", "load-", "now\n" }, { "download-now" } },
        { "no line end: nothing", { "show" }, {} },
        { "too long without a line end: dropped", { tooLong, "\nshow\n" }, {} },
        { "a line before the flood is kept", { "show\n", tooLong, "\nrender-now\n" }, { "show" } },
    };
    Listening rig;
    ASSERT_TRUE(rig.listen()) << rig.server.errorText().toStdString();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        rig.got.clear();
        gw::UniqueFd fd = connectTo(rig.file);
        ASSERT_GE(fd.get(), 0);
        for (const QByteArray& piece : c.pieces) {
            ::send(fd.get(), piece.constData(), piece.size(), MSG_NOSIGNAL);
            pump(30);
        }
        fd = gw::UniqueFd();
        pump(50);
        EXPECT_EQ(rig.got, c.lines);
    }
}

TEST(LocalLineServer, TheOwnersSocketOnlyReplacesALeftOverAndGoesAtTheEnd)
{
    gwtest::TempDir dir;
    const QString file = dir.file(QStringLiteral("Globewall.socket"));
    QFile leftOver(file); // a crash leaves the old socket's file behind
    ASSERT_TRUE(leftOver.open(QIODevice::WriteOnly));
    leftOver.close();
    {
        gw::LocalLineServer server;
        ASSERT_TRUE(server.listen(file)) << server.errorText().toStdString();
        struct stat st
        {
        };
        ASSERT_EQ(::lstat(QFile::encodeName(file).constData(), &st), 0);
        EXPECT_TRUE(S_ISSOCK(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0600u) << "other users cannot connect";
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList { QStringLiteral("Globewall.socket") })
            << "no private folder left behind";
    }
    EXPECT_FALSE(QFileInfo::exists(file)) << "removed when the server ends";

    gw::LocalLineServer tooLong;
    EXPECT_FALSE(tooLong.listen(dir.file(QString(120, QLatin1Char('s')))));
    EXPECT_FALSE(tooLong.errorText().isEmpty());
}

namespace {

// True when the server has closed the client's connection: it reads as ended.
bool closedByServer(int fd)
{
    char c;
    return ::recv(fd, &c, 1, MSG_DONTWAIT) == 0;
}

} // namespace

// A client that holds connections open, or opens them and sends nothing, costs the server a
// few descriptors for a few seconds, and later clients are still heard.
TEST(LocalLineServer, HeldAndSilentConnectionsAreClosed)
{
    struct Case
    {
        const char* label;
        int clients;
        int silentMs; // before the newest client writes
        bool oldestClosed;
        bool newestHeard;
    };
    Listening rig;
    ASSERT_TRUE(rig.listen()) << rig.server.errorText().toStdString();
    const int limit = rig.server.connectionLimit();
    const Case cases[] = {
        { "as many as the limit: all kept", limit, 0, false, true },
        { "one more than the limit: the oldest closed", limit + 1, 0, true, true },
        { "silent for less than the idle time: heard", 1, gw::LocalLineServer::IdleTimeoutMs - 1500, false, true },
        { "silent for longer: closed", 1, gw::LocalLineServer::IdleTimeoutMs + 2000, true, false },
    };
    for (const Case& c : cases) {
        rig.got.clear();
        std::vector<gw::UniqueFd> clients;
        for (int i = 0; i < c.clients; ++i) {
            clients.emplace_back(connectTo(rig.file));
            ASSERT_TRUE(clients.back().valid()) << c.label;
            pump(5); // accepted in the order they came
        }
        pump(100 + c.silentMs);
        EXPECT_EQ(closedByServer(clients.front().get()), c.oldestClosed) << c.label;
        ::send(clients.back().get(), "show\n", 5, MSG_NOSIGNAL);
        pump(100);
        EXPECT_EQ(rig.got.contains("show"), c.newestHeard) << c.label;
        clients.clear();
        pump(50);
        EXPECT_EQ(rig.server.connectionCount(), 0) << c.label;
    }
}

// With no descriptor left, accept fails while the client waits in the queue, so the socket
// stays readable: the server must pause, not spin, and hear the client once it can.
TEST(LocalLineServer, NoDescriptorLeftPausesAcceptingInsteadOfSpinning)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizers' own checks need descriptors of their own";
#endif
    Listening rig;
    ASSERT_TRUE(rig.listen()) << rig.server.errorText().toStdString();
    const gw::UniqueFd client(connectTo(rig.file));
    ASSERT_TRUE(client.valid());
    ASSERT_EQ(::send(client.get(), "show\n", 5, MSG_NOSIGNAL), 5);

    // Every descriptor below a lowered limit in use.
    rlimit saved = {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit lowered = saved;
    lowered.rlim_cur = 256;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    std::vector<gw::UniqueFd> fillers;
    for (gw::UniqueFd fd(::open("/dev/null", O_RDONLY | O_CLOEXEC)); fd.valid();
         fd = gw::UniqueFd(::open("/dev/null", O_RDONLY | O_CLOEXEC)))
        fillers.push_back(std::move(fd));
    const auto cpuMs = [] {
        rusage usage = {};
        ::getrusage(RUSAGE_THREAD, &usage);
        return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000
            + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
    };
    const long before = cpuMs();
    QEventLoop loop; // sleeps while nothing happens, unlike pump()
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
    const long spent = cpuMs() - before;
    fillers.clear();
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_LT(spent, 50) << "ms of processor time in one second without descriptors";
    EXPECT_TRUE(rig.got.isEmpty());

    pump(gw::LocalLineServer::AcceptPauseMs + 300);
    EXPECT_EQ(rig.got, QList<QByteArray> { "show" }) << "heard once descriptors are free again";
}

// "Globewall --status": each line gets the answer, and the end of the connection tells the
// client it has all of it.
TEST(LocalLineServer, AnAnswerGoesBackAndEndsTheConnection)
{
    Listening rig;
    rig.server.setAnswer([](const QByteArray& line) { return "answer to " + line; });
    ASSERT_TRUE(rig.listen()) << rig.server.errorText().toStdString();
    const gw::UniqueFd client(connectTo(rig.file));
    ASSERT_TRUE(client.valid());
    ASSERT_EQ(::send(client.get(), "status\nshow\n", 12, MSG_NOSIGNAL), 12);
    pump(100);
    char reply[64] = {};
    EXPECT_EQ(::recv(client.get(), reply, sizeof reply, MSG_DONTWAIT), 16);
    EXPECT_STREQ(reply, "answer to status");
    EXPECT_TRUE(closedByServer(client.get())) << "one answer, then the end";
    EXPECT_EQ(rig.got, QList<QByteArray> { "status" });
    EXPECT_EQ(rig.server.connectionCount(), 0);
}

// A socket planted by another user where ours should be (in a folder they can write) never
// receives a later start's requests.
TEST(InstanceChannel, ASocketOfAnotherUserIsNeverWrittenTo)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "only root can listen as another user";
    gwtest::TempDir dir;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    const QString file = dir.file(QStringLiteral("Globewall.socket"));
    sockaddr_un address;
    ASSERT_TRUE(gw::unixSocketAddress(QFile::encodeName(file), &address));
    int ready[2];
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Another user listens, and ends with 1 when anything reaches it.
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(3);
        const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
            || ::listen(listener, 4) != 0)
            ::_exit(4);
        if (::write(ready[1], "r", 1) != 1)
            ::_exit(5);
        pollfd waiting { listener, POLLIN, 0 };
        if (::poll(&waiting, 1, 5000) != 1)
            ::_exit(0);
        const int connection = ::accept(listener, nullptr, nullptr);
        pollfd reading { connection, POLLIN, 0 };
        ::poll(&reading, 1, 2000);
        char byte;
        ::_exit(::recv(connection, &byte, 1, 0) > 0 ? 1 : 0);
    }
    ::close(ready[1]);
    char byte = 0;
    const bool listening = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    QString why;
    const bool sent = listening && gw::InstanceChannel::send(file, { QStringLiteral("render-now") }, 500, &why);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(listening) << "the other user's listener did not come up: " << WEXITSTATUS(status);
    EXPECT_FALSE(sent);
    EXPECT_TRUE(why.contains(QLatin1String("belongs to another user"))) << why.toStdString();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "something reached the planted socket";
}
