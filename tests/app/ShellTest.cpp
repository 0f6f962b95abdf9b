// Process-level pieces: the single-instance lock, the general error handler, the centring.
#include "app/CommandLineOptions.h"
#include "app/ErrorReport.h"
#include "app/WindowPlacement.h"
#include "instance/SingleInstance.h"
#include "shared/Error.h"
#include "shared/Posix.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

#include <QFileInfo>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// Gives `path` to another user; false where only root could and this test is not root.
static bool giveAway(const QByteArray& path)
{
    return ::chown(path.constData(), ::getuid() == 0 ? 65534 : 0, static_cast<gid_t>(-1)) == 0;
}

TEST(SingleInstance, SecondHolderIsRefusedUntilTheFirstEnds)
{
    gwtest::TempDir dir;
    const QString lock = dir.file(QStringLiteral("Globewall"));
    using Result = gw::SingleInstance::Result;
    auto first = std::make_unique<gw::SingleInstance>(lock);
    ASSERT_EQ(first->acquire(), Result::Held);
    EXPECT_TRUE(first->held());
    EXPECT_EQ(QFileInfo(lock).permissions() & (QFile::ReadOther | QFile::WriteOther), QFile::Permissions());
    {
        gw::SingleInstance second(lock);
        EXPECT_EQ(second.acquire(), Result::Running) << "the lock is held";
    }
    first.reset();
    gw::SingleInstance third(lock);
    EXPECT_EQ(third.acquire(), Result::Held) << "a stale lock file does not block a new start";
}

TEST(SingleInstance, LockFileNamedGlobewallInTheRuntimeFolderElseInAPrivateFolder)
{
    const QByteArray old = qgetenv("XDG_RUNTIME_DIR");
    gwtest::TempDir dir;
    qputenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit());
    EXPECT_EQ(gw::SingleInstance::defaultLockFile(), dir.file(QStringLiteral("Globewall")));
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(gw::SingleInstance::defaultLockFile(), QStringLiteral("/tmp/Globewall-%1/Globewall").arg(getuid()));
    qputenv("XDG_RUNTIME_DIR", old);
}

TEST(SingleInstance, TheFallbackFolderMustBeAPrivateFolderOfThisUser)
{
    // A folder is planted as `mode` (0: none), then given to another user where `ofOther`.
    struct Case
    {
        const char* label;
        mode_t mode;
        bool ofOther;
        bool link;
        bool usable;
    };
    const Case cases[] = {
        { "missing: made for this user only", 0, false, false, true },
        { "open to everyone", 0777, false, false, false },
        { "owned by another user", 0700, true, false, false },
        { "a link to a private folder", 0700, false, true, false },
    };
    for (const Case& c : cases) {
        gwtest::TempDir dir;
        const QString folder = dir.file(QStringLiteral("Globewall-1"));
        const QByteArray made = QFile::encodeName(c.link ? folder + QStringLiteral(".real") : folder);
        if (c.mode && (::mkdir(made.constData(), 0700) != 0 || ::chmod(made.constData(), c.mode) != 0))
            FAIL() << c.label;
        if (c.ofOther && !giveAway(made))
            continue;
        if (c.link)
            QFile::link(QFile::decodeName(made), folder);
        const QString error = gw::SingleInstance::preparePrivateFolder(folder);
        EXPECT_EQ(error.isEmpty(), c.usable) << c.label << ": " << error.toStdString();
        struct stat st = {};
        if (c.usable) {
            ASSERT_EQ(::lstat(made.constData(), &st), 0) << c.label;
            EXPECT_EQ(st.st_mode & 0777, 0700u) << c.label;
        } else {
            EXPECT_TRUE(error.contains(folder)) << c.label << ": the error names the folder";
        }
    }
}

// The runtime folder holds the lock and the socket only when it is this user's alone, and a lock
// file someone else made is never used: the private fallback folder takes their place, and the
// start says why.
TEST(SingleInstance, ARuntimeFolderOrLockOfAnotherUserIsNeverUsed)
{
    struct Case
    {
        const char* label;
        mode_t runtimeMode; // 0: no such folder
        bool runtimeOfOther;
        bool lockOfOther; // made and held by another user
        bool inRuntime;
        const char* warning; // empty: none
    };
    const Case cases[] = {
        { "a private runtime folder", 0700, false, false, true, "" },
        { "open to everyone, as /tmp is", 01777, false, false, false, "is not a private folder of this user" },
        { "owned by another user", 0700, true, false, false, "is not a private folder of this user" },
        { "missing", 0, false, false, false, "cannot use the runtime folder" },
        { "another user's lock in a shared folder", 01777, false, true, false, "is not a private folder" },
        { "another user's lock in a private folder", 0700, false, true, false, "belongs to another user" },
    };
    for (const Case& c : cases) {
        gwtest::TempDir dir;
        const QString runtime = dir.file(QStringLiteral("run"));
        const QByteArray runtimePath = QFile::encodeName(runtime);
        const QByteArray lockPath = runtimePath + "/Globewall";
        if (c.runtimeMode) {
            ASSERT_EQ(::mkdir(runtimePath.constData(), 0700), 0) << c.label;
            ASSERT_EQ(::chmod(runtimePath.constData(), c.runtimeMode), 0) << c.label;
        }
        gw::UniqueFd theirs;
        if (c.lockOfOther) {
            theirs = gw::UniqueFd(::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
            ASSERT_TRUE(theirs.valid()) << c.label;
            ASSERT_EQ(::flock(theirs.get(), LOCK_EX | LOCK_NB), 0) << c.label;
        }
        if ((c.runtimeOfOther && !giveAway(runtimePath)) || (c.lockOfOther && !giveAway(lockPath)))
            continue;
        const QString fallback = dir.file(QStringLiteral("fallback"));
        gw::SingleInstance guard(runtime, fallback);
        EXPECT_EQ(guard.acquire(), gw::SingleInstance::Result::Held) << c.label << ": " << guard.error().toStdString();
        EXPECT_EQ(guard.lockFile(), (c.inRuntime ? runtime : fallback) + QStringLiteral("/Globewall")) << c.label;
        const QString said = guard.warnings().join(QLatin1Char('|'));
        if (*c.warning) {
            EXPECT_TRUE(said.contains(QLatin1String(c.warning))) << c.label << ": " << said.toStdString();
        } else {
            EXPECT_TRUE(said.isEmpty()) << c.label << ": " << said.toStdString();
        }
    }
}

TEST(SingleInstance, ALockThatCannotBeTakenIsReportedNotMistakenForARunningInstance)
{
    gwtest::TempDir dir;
    const QString plain = dir.write(QStringLiteral("plain"), "x");
    gw::SingleInstance guard(plain + QStringLiteral("/Globewall"));
    EXPECT_EQ(guard.acquire(), gw::SingleInstance::Result::Unguarded);
    EXPECT_FALSE(guard.held());
    EXPECT_TRUE(guard.error().contains(plain + QStringLiteral("/Globewall"))) << guard.error().toStdString();
}

// The bytes of a --settings name as the program gets them: a name the settings file cannot
// give back unchanged ends the start with code 2 before anything is touched.
TEST(CommandLineSettingsName, RefusedWhenTheSettingsFileCouldNotGiveItBack)
{
    struct Case
    {
        const char* label;
        QByteArray name;
        const char* refusedFor; // empty: taken as it is
    };
    const Case cases[] = {
        { "UTF-8",
            "/p/Gr\xc3\xbc\xc3\x9f"
            "e.ini",
            "" },
        { "bytes that are not UTF-8", "/p/\xff\xfe.ini", "not UTF-8" },
        { "a line break", "/p/a\nb.ini", "line break" },
    };
    for (const Case& c : cases) {
        QByteArray program("Globewall"), option("--settings"), name(c.name);
        char* argv[] = { program.data(), option.data(), name.data() };
        const gw::CommandLine cl = gw::CommandLine::read(3, argv);
        if (*c.refusedFor) {
            EXPECT_TRUE(cl.endsNow) << c.label;
            EXPECT_EQ(cl.exitCode, 2) << c.label;
            EXPECT_TRUE(cl.text.contains(QLatin1String(c.refusedFor))) << c.label << ": " << cl.text.toStdString();
        } else {
            EXPECT_FALSE(cl.endsNow) << c.label << ": " << cl.text.toStdString();
            EXPECT_EQ(QFile::encodeName(cl.options.settingsFile), c.name) << c.label;
        }
    }
}

TEST(ErrorReport, ShowsTheTextAndTheProgramGoesOn)
{
    gw::ScriptedDialogs dialogs;
    gw::ErrorReport report(&dialogs);
    struct Case
    {
        const char* label;
        std::function<void()> body;
        const char* shown;
    };
    const Case cases[] = {
        { "program error", [] { throw gw::Error(QStringLiteral("Could not write the file /x/Globewall.ini")); },
            "Could not write the file /x/Globewall.ini" },
        { "standard exception", [] { throw std::runtime_error("bad conversion"); }, "bad conversion" },
        { "anything else", [] { throw 42; }, "Unknown error" },
    };
    for (const Case& c : cases) {
        dialogs.asked.clear();
        EXPECT_FALSE(report.guard(c.body)) << c.label;
        ASSERT_EQ(dialogs.asked.size(), 1u) << c.label;
        EXPECT_EQ(dialogs.asked[0].kind, gw::MessageKind::Error) << c.label;
        EXPECT_EQ(dialogs.asked[0].text, QString::fromLatin1(c.shown)) << c.label;
    }
    dialogs.asked.clear();
    EXPECT_TRUE(report.guard([] {}));
    EXPECT_TRUE(dialogs.asked.empty()) << "no error, no message";
}

TEST(ErrorReport, AFailingMessageBoxDoesNotThrowOnward)
{
    struct BrokenDialogs : gw::ScriptedDialogs
    {
        void message(gw::MessageKind, const QString&) override { throw std::runtime_error("no display"); }
    } dialogs;
    gw::ErrorReport report(&dialogs);
    EXPECT_NO_THROW(report.guard([] { throw gw::Error(QStringLiteral("x")); }));
}

TEST(WindowPlacement, HalvesRoundToEven)
{
    struct Case
    {
        double x;
        int rounded;
    };
    const Case cases[] = { { 271.5, 272 }, { 270.5, 270 }, { 0.5, 0 }, { 1.5, 2 }, { -0.5, 0 }, { -1.5, -2 },
        { -2.5, -2 }, { 3.25, 3 }, { 3.75, 4 }, { -3.75, -4 }, { 7.0, 7 } };
    for (const Case& c : cases)
        EXPECT_EQ(gw::roundHalfEven(c.x), c.rounded) << c.x;
}

TEST(WindowPlacement, CentredPosition)
{
    struct Case
    {
        const char* label;
        QSize desktop;
        QSize window;
        bool clamp;
        QPoint expected;
    };
    const Case cases[] = {
        { "even sizes", { 1024, 768 }, { 480, 582 }, true, { 272, 93 } },
        { "odd window width, half goes up to even", { 1024, 768 }, { 481, 582 }, true, { 272, 93 } },
        { "odd window width, half goes down to even", { 1024, 768 }, { 483, 581 }, true, { 270, 94 } },
        { "odd desktop and window", { 1023, 767 }, { 480, 582 }, true, { 272, 92 } },
        { "window wider than the desktop, clamped", { 640, 480 }, { 800, 582 }, true, { 0, 0 } },
        { "window wider than the desktop, not clamped", { 640, 480 }, { 801, 583 }, false, { -80, -52 } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(gw::centredPosition(c.desktop, c.window, c.clamp), c.expected) << c.label;
}

TEST(WindowPlacement, SavedPlaceComesBackOnlyOntoItsScreen)
{
    const QVector<gw::ScreenArea> screens = { { QStringLiteral("DP-1"), QRect(0, 0, 1920, 1050) },
        { QStringLiteral("HDMI-1"), QRect(1920, 0, 1280, 1000) } };
    const QSize minimum(500, 400);
    struct Case
    {
        const char* label;
        gw::SavedPlacement saved;
        std::optional<QRect> expected;
    };
    const QString dp = QStringLiteral("DP-1");
    const QString hdmi = QStringLiteral("HDMI-1");
    const int far = 2147483600; // near the end of the int range
    const Case cases[] = {
        { "nothing saved", { dp, {}, {} }, std::nullopt },
        { "its screen is gone", { QStringLiteral("VGA-1"), { 100, 100 }, { 800, 600 } }, std::nullopt },
        { "as saved", { hdmi, { 2000, 50 }, { 800, 600 } }, QRect(2000, 50, 800, 600) },
        { "beyond the right edge, moved in", { dp, { 1500, 700 }, { 800, 600 } }, QRect(1120, 450, 800, 600) },
        { "above the screen, moved down", { hdmi, { 2000, -300 }, { 800, 600 } }, QRect(2000, 0, 800, 600) },
        { "larger than its screen, within it", { hdmi, { 1900, 10 }, { 1500, 1200 } }, QRect(1920, 0, 1280, 1000) },
        { "smaller than the minimum", { dp, { 10, 10 }, { 300, 200 } }, QRect(10, 10, 500, 400) },
        { "corner near the int limit, on the screen", { dp, { far, far }, { 800, 600 } }, QRect(1120, 450, 800, 600) },
        { "corner near the int limit, second screen", { hdmi, { far, far }, { 800, 600 } },
            QRect(2400, 400, 800, 600) },
        { "corner at the negative int limit", { hdmi, { -far, -far }, { 800, 600 } }, QRect(1920, 0, 800, 600) },
        { "size near the int limit", { dp, { far, far }, { far, far } }, QRect(0, 0, 1920, 1050) },
    };
    for (const Case& c : cases)
        EXPECT_EQ(gw::restoredGeometry(c.saved, screens, minimum), c.expected) << c.label;
}
