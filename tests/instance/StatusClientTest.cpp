// "Globewall --status" as a client: it believes only a listener of its own user, reads a
// bounded answer, tells a silent running program from none, and prints no control character.
#include "app/StatusChannel.h"
#include "shared/Posix.h"
#include "support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

enum class Listener { None, Answers, Endless, Silent };

// A process that plays the running program: it may run as another user, hold the lock, and
// answer a request with `answer`, with bytes without end, or with nothing.
class FakeInstance
{
public:
    FakeInstance(const QString& lockFile, uid_t uid, bool holdsLock, Listener listener, QByteArray answer)
    {
        const QByteArray socketFile = QFile::encodeName(gw::StatusChannel::socketFileFor(lockFile));
        const QByteArray lock = QFile::encodeName(lockFile);
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            if (holdsLock) {
                const int fd = ::open(lock.constData(), O_RDWR | O_CREAT, 0600);
                if (fd < 0 || ::flock(fd, LOCK_EX) != 0)
                    ::_exit(2);
            }
            if (uid != ::getuid() && (::setgid(uid) != 0 || ::setuid(uid) != 0))
                ::_exit(3);
            int server = -1;
            if (listener != Listener::None) {
                sockaddr_un address;
                server = ::socket(AF_UNIX, SOCK_STREAM, 0);
                if (!gw::unixSocketAddress(socketFile, &address)
                    || ::bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
                    || ::listen(server, 4) != 0)
                    ::_exit(4);
            }
            if (::write(ready[1], "r", 1) != 1)
                ::_exit(5);
            ::signal(SIGPIPE, SIG_IGN);
            for (;;) {
                if (server < 0) {
                    ::pause();
                    continue;
                }
                const int connection = ::accept(server, nullptr, nullptr);
                // The request line first, as the program reads it.
                char byte = 0;
                while (::read(connection, &byte, 1) == 1 && byte != '\n') { }
                if (listener == Listener::Answers) {
                    (void)!::write(connection, answer.constData(), answer.size());
                    ::close(connection);
                } else if (listener == Listener::Endless) {
                    const QByteArray chunk(65536, 'x');
                    while (::write(connection, chunk.constData(), chunk.size()) > 0) { }
                    ::close(connection);
                }
                // Silent: the connection stays open and unanswered.
            }
        }
        ::close(ready[1]);
        char byte = 0;
        m_ready = ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
    }
    ~FakeInstance()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool ready() const { return m_ready; }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
};

} // namespace

TEST(StatusClient, OnlyItsOwnUsersAnswerIsShown)
{
    const uid_t me = ::getuid();
    constexpr uid_t other = 65534;
    struct Row
    {
        const char* label;
        uid_t uid;
        bool holdsLock;
        Listener listener;
        QByteArray answer;
        QString shown; // the start of what is printed
        bool foreignNote; // standard error names a socket of another user
    };
    const QByteArray hostile = "Globewall status \x1b]0;owned\x07\x1b[2J\r\nnext: \xc2\x9b";
    const Row rows[] = {
        { "its own program", me, true, Listener::Answers, "Globewall status at 12:00\nfine\n",
            "Globewall status at 12:00\nfine\n", false },
        // ESC ] 0 ; ... BEL sets the terminal's title, ESC [ 2 J clears it.
        { "control characters in the answer", me, true, Listener::Answers, hostile,
            "Globewall status \\x1B]0;owned\\x07\\x1B[2J\\x0D\nnext: \\u009B", false },
        { "another user's socket", other, false, Listener::Answers, "Globewall status: trust me\n",
            "Globewall status at", true },
        { "endless bytes", me, true, Listener::Endless, {}, "Globewall is running but does not answer\n", false },
        { "the lock held, no answer in time", me, true, Listener::Silent, {},
            "Globewall is running but does not answer\n", false },
        { "no socket, no lock", me, false, Listener::None, {}, "Globewall status at", false },
    };
    for (const Row& row : rows) {
        if (row.uid != me && me != 0) {
            ADD_FAILURE() << row.label << ": only root can listen as another user";
            continue;
        }
        gwtest::TempDir dir;
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
        const QString lockFile = dir.file(QStringLiteral("Globewall"));
        FakeInstance instance(lockFile, row.uid, row.holdsLock, row.listener, row.answer);
        ASSERT_TRUE(instance.ready()) << row.label;
        QString notes;
        const QString text = gw::statusText(lockFile, &notes, 1000);
        EXPECT_TRUE(text.startsWith(row.shown)) << row.label << ":\n" << text.left(300).toStdString();
        EXPECT_FALSE(text.contains(QLatin1String("trust me"))) << row.label;
        EXPECT_FALSE(text.contains(QChar(0x1b))) << row.label;
        EXPECT_EQ(notes.contains(QLatin1String("belongs to another user")), row.foreignNote)
            << row.label << ": " << notes.toStdString();
    }
}
