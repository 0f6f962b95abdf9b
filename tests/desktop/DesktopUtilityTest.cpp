#include "desktop/DesktopUtility.h"
#include "desktop/DefaultApplication.h"
#include "shared/Error.h"

#include "support/TempDir.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <QUrl>
#include <gtest/gtest.h>

using namespace gw;

namespace {

struct Start
{
    QString program;
    QStringList arguments;
};

// The real default-application lookup (xdg-mime); starts are recorded instead of run.
class RecordingLauncher : public XdgDesktopLauncher
{
public:
    bool startDetached(const QString& program, const QStringList& arguments) override
    {
        starts.push_back({ program, arguments });
        return startSucceeds;
    }
    void openUrl(const QUrl& url) override { urls << url.toString(); }

    QVector<Start> starts;
    QStringList urls;
    bool startSucceeds = true;
};

// A desktop of its own in a temporary folder: the freedesktop.org variables point into it,
// so the real xdg-mime answers from the mimeapps.list and .desktop files written here.
class DesktopTree : public ::testing::Test
{
protected:
    DesktopTree()
    {
        const QList<QByteArray> names = { "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS",
            "XDG_CURRENT_DESKTOP", "XDG_MENU_PREFIX" };
        for (const QByteArray& n : names)
            m_saved.push_back({ n, qgetenv(n.constData()), qEnvironmentVariableIsSet(n.constData()) });
        qputenv("XDG_CONFIG_HOME", m_dir.file(QStringLiteral("config")).toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", m_dir.file(QStringLiteral("etc")).toLocal8Bit());
        qputenv("XDG_DATA_HOME", m_dir.file(QStringLiteral("data")).toLocal8Bit());
        qputenv("XDG_DATA_DIRS", m_dir.file(QStringLiteral("share")).toLocal8Bit());
        // The plain freedesktop.org rules, whatever desktop runs the tests.
        qputenv("XDG_CURRENT_DESKTOP", "X-Generic");
        qunsetenv("XDG_MENU_PREFIX");
        QDir().mkpath(m_dir.file(QStringLiteral("config")));
        QDir().mkpath(m_dir.file(QStringLiteral("data/applications")));
        QDir().mkpath(m_dir.file(QStringLiteral("share/applications")));
        // The MIME database is looked up through XDG_DATA_DIRS too.
        QFile::link(QStringLiteral("/usr/share/mime"), m_dir.file(QStringLiteral("share/mime")));
    }
    ~DesktopTree() override
    {
        for (const Saved& s : m_saved) {
            if (s.wasSet)
                qputenv(s.name.constData(), s.value);
            else
                qunsetenv(s.name.constData());
        }
    }

    // An application entry in the user's folder, the default for `mimeType`.
    void install(const QString& id, const QString& mimeType, const QString& exec, bool terminal = false)
    {
        gwtest::writeFile(m_dir.file(QStringLiteral("data/applications/") + id),
            "[Desktop Entry]\nType=Application\nName=Test\nExec=" + exec.toUtf8() + "\nMimeType=" + mimeType.toUtf8()
                + ";\n" + (terminal ? "Terminal=true\n" : ""));
        m_defaults += mimeType.toUtf8() + "=" + id.toUtf8() + "\n";
        gwtest::writeFile(m_dir.file(QStringLiteral("config/mimeapps.list")), "[Default Applications]\n" + m_defaults);
    }

    // A program that writes its arguments, one a line, to `output`.
    QString argumentWriter(const QString& output)
    {
        const QString path = m_dir.file(QStringLiteral("write-args"));
        gwtest::writeFile(path,
            "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + output.toUtf8() + ".part\"\nmv \""
                + output.toUtf8() + ".part\" \"" + output.toUtf8() + "\"\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    struct Saved
    {
        QByteArray name;
        QByteArray value;
        bool wasSet;
    };
    QVector<Saved> m_saved;
    gwtest::TempDir m_dir;
    QByteArray m_defaults;
    RecordingLauncher m_launcher;
};

} // namespace

TEST_F(DesktopTree, BrowserStartBuildsTheBrowserCommand)
{
    struct Case
    {
        const char* label;
        QString exec;
        QStringList expected; // program first
        bool terminal = false;
    };
    const QString url = QStringLiteral("http://www.example.org/a b?x=1&y=\"2\"");
    const QVector<Case> cases = {
        { "quoted placeholder: cut before it", QStringLiteral("/bin/true --new-window \"%u\" --private"),
            { "/bin/true", "--new-window", url } },
        { "bare placeholder", QStringLiteral("/bin/true %U"), { "/bin/true", url } },
        { "no placeholder: address appended", QStringLiteral("/bin/true -a"), { "/bin/true", "-a", url } },
        { "program path with a blank", QStringLiteral("\"/opt/my browser/run\" %u"), { "/opt/my browser/run", url } },
        { "program for a terminal", QStringLiteral("/bin/true %u"), { "x-terminal-emulator", "-e", "/bin/true", url },
            true },
    };
    for (const Case& c : cases) {
        m_launcher.starts.clear();
        install(QStringLiteral("browser.desktop"), QStringLiteral("text/html"), c.exec, c.terminal);
        DesktopUtility zav(m_launcher);
        zav.openUrl(url);
        ASSERT_EQ(m_launcher.starts.size(), 1) << c.label;
        EXPECT_EQ(QStringList(m_launcher.starts.front().program) + m_launcher.starts.front().arguments, c.expected)
            << c.label;
    }
}

TEST_F(DesktopTree, StartFileWithExtensionPicksTheTypeOfTheFirstThreeLetters)
{
    install(QStringLiteral("plain.desktop"), QStringLiteral("text/plain"), QStringLiteral("/bin/true --plain %f"));
    install(QStringLiteral("tex.desktop"), mimeTypeForExtension(QStringLiteral("tex")),
        QStringLiteral("/bin/true --tex %f"));
    const QString file = QStringLiteral("/home/u/.xplanet/markers/my quakes");
    struct Case
    {
        const char* label;
        QString extension;
        QString option;
    };
    const QVector<Case> cases = {
        { "txt", QStringLiteral("txt"), QStringLiteral("--plain") },
        { "TXT as txt", QStringLiteral("TXT"), QStringLiteral("--plain") },
        { "text as tex", QStringLiteral("text"), QStringLiteral("--tex") },
    };
    DesktopUtility zav(m_launcher);
    for (const Case& c : cases) {
        m_launcher.starts.clear();
        zav.StartFileWithExtension(file, c.extension);
        ASSERT_EQ(m_launcher.starts.size(), 1) << c.label;
        EXPECT_EQ(m_launcher.starts.front().program, QStringLiteral("/bin/true")) << c.label;
        EXPECT_EQ(m_launcher.starts.front().arguments, QStringList({ c.option, file })) << c.label;
    }
}

TEST_F(DesktopTree, NoHandlerStartsNothingAndReportsNothing)
{
    DesktopUtility zav(m_launcher);
    EXPECT_NO_THROW(zav.openUrl(QStringLiteral("http://www.example.org/"))) << "no default browser";
    EXPECT_NO_THROW(zav.StartFileWithExtension(QStringLiteral("/tmp/x"), QStringLiteral("txt"))) << "no default editor";

    // A default that names an entry nobody installed.
    gwtest::writeFile(
        m_dir.file(QStringLiteral("config/mimeapps.list")), "[Default Applications]\ntext/plain=gone.desktop\n");
    EXPECT_NO_THROW(zav.StartFileWithExtension(QStringLiteral("/tmp/x"), QStringLiteral("txt"))) << "entry missing";

    install(QStringLiteral("empty.desktop"), QStringLiteral("text/plain"), QStringLiteral("%f"));
    EXPECT_NO_THROW(zav.StartFileWithExtension(QStringLiteral("/tmp/x"), QStringLiteral("txt")))
        << "entry without program";
    EXPECT_TRUE(m_launcher.starts.isEmpty());
}

TEST_F(DesktopTree, AStartThatFailsRaisesTheErrorText)
{
    install(QStringLiteral("browser.desktop"), QStringLiteral("text/html"), QStringLiteral("/bin/true %u"));
    install(QStringLiteral("plain.desktop"), QStringLiteral("text/plain"), QStringLiteral("/bin/true %f"));
    m_launcher.startSucceeds = false;
    DesktopUtility zav(m_launcher);
    try {
        zav.openUrl(QStringLiteral("http://www.example.org/"));
        ADD_FAILURE() << "browser: no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Error while launching the default browser."));
    }
    try {
        zav.StartFileWithExtension(QStringLiteral("/tmp/x"), QStringLiteral("txt"));
        ADD_FAILURE() << "file: no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Error while launching the default programm."));
    }
}

TEST_F(DesktopTree, RealStartPassesThePathAsOneArgument)
{
    const QString output = m_dir.file(QStringLiteral("args.out"));
    install(QStringLiteral("writer.desktop"), QStringLiteral("text/plain"),
        QStringLiteral("\"") + argumentWriter(output) + QStringLiteral("\" --open %F"));
    DesktopUtility zav; // the desktop's own launcher: a real detached start
    const QString file = QStringLiteral("/tmp/a b; $(touch /tmp/never)");
    zav.StartFileWithExtension(file, QStringLiteral("txt"));

    // Watchdog for the detached program, not a speed check.
    ASSERT_TRUE(gwtest::waitUntil([&] { return QFile::exists(output); }, 20000)) << "the program did not run";
    EXPECT_EQ(gwtest::readFile(output), QByteArray("--open\n/tmp/a b; $(touch /tmp/never)\n"))
        << "no shell in between, one argument";

    install(QStringLiteral("writer.desktop"), QStringLiteral("text/plain"),
        m_dir.file(QStringLiteral("not-there")) + QStringLiteral(" %f"));
    try {
        zav.StartFileWithExtension(file, QStringLiteral("txt"));
        ADD_FAILURE() << "a missing program must raise the error";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Error while launching the default programm."));
    }
}

TEST_F(DesktopTree, EMailStartHandsTheMailAddressToTheDesktop)
{
    DesktopUtility zav(m_launcher);
    zav.openMail(QStringLiteral("globewall@example.org"));
    EXPECT_EQ(m_launcher.urls, QStringList(QStringLiteral("mailto:globewall@example.org")));
    EXPECT_TRUE(m_launcher.starts.isEmpty());
}

TEST(DesktopUtility, VersionStringsOfTheProgramItself)
{
    RecordingLauncher launcher;
    DesktopUtility zav(launcher);
    EXPECT_EQ(zav.InfoFileName(), QCoreApplication::applicationFilePath()) << "empty means the program itself";
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$")).match(zav.FileVersion()).hasMatch())
        << zav.FileVersion().toStdString();
    EXPECT_EQ(zav.FileVersion(), QStringLiteral(GLOBEWALL_VERSION));
    EXPECT_EQ(zav.versionText(), QStringLiteral("v") + QStringLiteral(GLOBEWALL_VERSION) + QStringLiteral(" "));
    EXPECT_EQ(zav.ProductName(), QStringLiteral("Globewall"));
    EXPECT_EQ(zav.CompanyName(), QStringLiteral("Quillmoor"));
    EXPECT_EQ(zav.OriginalFilename(), QStringLiteral("Globewall"));
    EXPECT_EQ(zav.property("FileVersion").toString(), zav.FileVersion()) << "published as a property";

    gwtest::TempDir dir;
    zav.setInfoFileName(dir.write(QStringLiteral("other"), "x"));
    zav.ReadFileInfo();
    EXPECT_EQ(zav.FileVersion(), QString()) << "another file has no version block here";
    EXPECT_EQ(zav.ProductName(), QString());
    EXPECT_EQ(zav.versionText(), QStringLiteral("v "));
}

// The tray's "Open current picture" and "Open picture folder": the default application for the
// picture's type and for folders; where the desktop names none, the desktop is handed the file.
TEST_F(DesktopTree, PicturesAndFoldersOpenWithTheirDefaultApplication)
{
    const QString picture = m_dir.write(QStringLiteral("pictures/xplanet.png"), QByteArray("\x89PNG\r\n\x1a\n", 8));
    const QString folder = m_dir.file(QStringLiteral("pictures"));
    install(QStringLiteral("viewer.desktop"), QStringLiteral("image/png"), QStringLiteral("viewer %f"));
    DesktopUtility zav(m_launcher);

    zav.openWithDefault(picture);
    ASSERT_EQ(m_launcher.starts.size(), 1);
    EXPECT_EQ(m_launcher.starts[0].program, QStringLiteral("viewer"));
    EXPECT_EQ(m_launcher.starts[0].arguments, QStringList { picture });

    zav.openWithDefault(folder);
    EXPECT_EQ(m_launcher.starts.size(), 1) << "no file manager is the default here";
    EXPECT_EQ(m_launcher.urls, QStringList { QUrl::fromLocalFile(folder).toString() }) << "so the desktop gets it";

    install(QStringLiteral("files.desktop"), QStringLiteral("inode/directory"), QStringLiteral("files %U"));
    zav.openWithDefault(folder);
    ASSERT_EQ(m_launcher.starts.size(), 2);
    EXPECT_EQ(m_launcher.starts[1].program, QStringLiteral("files"));
}
