// Each command-line option as the user meets it: the built program as a process, in a private
// folder with its own home, configuration and runtime folders.
#include "e2e/ProgramCopy.h"
#include "support/ServerProcess.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

namespace {

using gwe2e::ProgramCopy;

// No display at all: a program that touched one would abort.
QProcessEnvironment noDisplay()
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QString());
    env.insert(QStringLiteral("DISPLAY"), QString());
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), QString());
    return env;
}

// The copy started with `arguments`, its output kept in the process, so a later start's output
// is its own.
void start(const ProgramCopy& copy, QProcess& p, const QStringList& arguments, const QProcessEnvironment& extra = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), copy.home());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), copy.home() + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), copy.root() + QStringLiteral("/runtime"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    for (const QString& key : extra.keys())
        env.insert(key, extra.value(key));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(copy.root());
    p.start(copy.programFile(QStringLiteral("Globewall")), arguments);
}

struct Outcome
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Outcome runToEnd(const ProgramCopy& copy, const QStringList& arguments, const QProcessEnvironment& env = {})
{
    QProcess p;
    start(copy, p, arguments, env);
    Outcome r;
    if (!p.waitForFinished(30000)) {
        gwe2e::stopProcess(p);
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// A renderer that only notes each start, so a test sees when the program renders.
QString noteTakingRenderer(const ProgramCopy& copy)
{
    const QString script = copy.root() + QStringLiteral("/renderer.sh");
    gwtest::writeFile(script, "#!/bin/sh\necho rendered >> \"$(dirname \"$0\")/renders.txt\"\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return script;
}

int renders(const ProgramCopy& copy)
{
    return static_cast<int>(gwtest::readFile(copy.root() + QStringLiteral("/renders.txt")).count("rendered"));
}

// A settings file (a profile) naming the note-taking renderer.
QString profile(const ProgramCopy& copy)
{
    const QString file = copy.root() + QStringLiteral("/profile.ini");
    gwtest::writeFile(file, "[Config]\nFile=" + noteTakingRenderer(copy).toUtf8() + "\n");
    return file;
}

// The running instance listens for later starts once its window exists.
bool listening(const ProgramCopy& copy)
{
    return QFileInfo::exists(copy.root() + QStringLiteral("/runtime/Globewall.socket"));
}

} // namespace

TEST(CommandLine, AnswersWithoutDisplayAndWritesNothing)
{
    struct Case
    {
        const char* name;
        QStringList arguments;
        int exitCode;
        const char* stdoutHas; // empty: stdout stays empty
        const char* stderrHas;
    };
    const Case cases[] = {
        { "version", { QStringLiteral("--version") }, 0, "Globewall " GLOBEWALL_VERSION "\n", "" },
        { "help", { QStringLiteral("--help") }, 0, "--render-now", "" },
        { "help names the download", { QStringLiteral("--help") }, 0, "--download-now", "" },
        { "help names the program", { QStringLiteral("-h") }, 0, "Usage: Globewall", "" },
        { "unknown option", { QStringLiteral("--bogus") }, 2, "", "Unknown option 'bogus'" },
        { "settings without a file", { QStringLiteral("--settings") }, 2, "", "Missing value" },
        { "stray argument", { QStringLiteral("profile.ini") }, 2, "", "unexpected argument 'profile.ini'" },
        { "a settings name the settings file cannot hold", { QStringLiteral("--settings"), QStringLiteral("a\nb.ini") },
            2, "", "a settings file name with a line break cannot be kept in the settings file" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramCopy copy;
        ASSERT_TRUE(copy.copied());
        const QStringList before = copy.snapshot();
        const Outcome r = runToEnd(copy, c.arguments, noDisplay());
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        if (*c.stdoutHas)
            EXPECT_TRUE(r.out.contains(c.stdoutHas)) << r.out.toStdString();
        else
            EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        if (*c.stderrHas)
            EXPECT_TRUE(r.err.contains(c.stderrHas)) << r.err.toStdString();
        else
            EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        EXPECT_EQ(copy.snapshot(), before) << "no file written, not even the lock";
    }
    // The version line is the whole output: scripts read it.
    ProgramCopy copy;
    EXPECT_EQ(runToEnd(copy, { QStringLiteral("--version") }, noDisplay()).out, "Globewall " GLOBEWALL_VERSION "\n");
}

TEST(CommandLine, SettingsFileIsReadAndWrittenInsteadOfTheDefault)
{
    ProgramCopy copy;
    ASSERT_TRUE(copy.copied());
    const QString file = profile(copy);
    QProcess p;
    // A relative name counts from the folder the program was started in.
    start(copy, p, { QStringLiteral("--settings"), QStringLiteral("profile.ini") });
    ASSERT_TRUE(gwe2e::waitUntil([&] { return listening(copy); }, 60000)) << p.readAllStandardError().toStdString();

    // A later start cannot take over another profile, and says so.
    const Outcome second = runToEnd(copy, { QStringLiteral("--settings"), QStringLiteral("other.ini") });
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_TRUE(second.err.contains("--settings applies to a new start only")) << second.err.toStdString();

    gwe2e::stopProcess(p);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(copy.iniPath())) << "the default settings file stays unwritten";
    EXPECT_FALSE(QFileInfo::exists(copy.root() + QStringLiteral("/other.ini")));
    EXPECT_EQ(ProgramCopy::iniValueOf(file, QStringLiteral("Config"), QStringLiteral("File")),
        copy.root() + QStringLiteral("/renderer.sh"))
        << "read from the profile and written back to it";
    EXPECT_EQ(
        ProgramCopy::iniValueOf(file, QStringLiteral("Config"), QStringLiteral("StartEvery")), QStringLiteral("600"));
}

TEST(CommandLine, RenderNow)
{
    struct Case
    {
        const char* name;
        bool alreadyRunning;
    };
    for (const Case c :
        { Case { "asks the running instance", true }, Case { "starts and renders when none runs", false } }) {
        SCOPED_TRACE(c.name);
        ProgramCopy copy;
        ASSERT_TRUE(copy.copied());
        const QString file = profile(copy);
        QProcess first;
        QStringList arguments { QStringLiteral("--settings"), file };
        if (!c.alreadyRunning)
            arguments << QStringLiteral("--render-now");
        start(copy, first, arguments);
        ASSERT_TRUE(gwe2e::waitUntil([&] { return listening(copy); }, 60000));
        if (c.alreadyRunning) {
            // Without options the later start ends silently and nothing renders.
            EXPECT_EQ(runToEnd(copy, {}).exitCode, 0);
            QThread::msleep(500);
            EXPECT_EQ(renders(copy), 0) << "no render at the start with these settings";
            const Outcome second = runToEnd(copy, { QStringLiteral("--render-now") });
            EXPECT_EQ(second.exitCode, 0);
            EXPECT_TRUE(second.err.isEmpty()) << second.err.toStdString();
        }
        EXPECT_TRUE(gwe2e::waitUntil([&] { return renders(copy) == 1; }, 20000)) << renders(copy);
        EXPECT_FALSE(first.waitForFinished(200))
            << "the first start goes on: " << first.exitCode() << " " << first.readAllStandardError().toStdString();
        gwe2e::stopProcess(first);
    }
}

TEST(CommandLine, DownloadNow)
{
    gwtest::TempDir www;
    QImage picture(64, 32, QImage::Format_RGB32);
    picture.fill(Qt::white);
    ASSERT_TRUE(picture.save(www.file(QStringLiteral("clouds.jpg")), "JPG"));
    const QByteArray cloudMap = gwtest::readFile(www.file(QStringLiteral("clouds.jpg")));
    gwtest::LighttpdFixture server(www.path());
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    struct Case
    {
        const char* name;
        bool alreadyRunning;
    };
    for (const Case c :
        { Case { "asks the running instance", true }, Case { "starts and checks when none runs", false } }) {
        SCOPED_TRACE(c.name);
        ProgramCopy copy;
        ASSERT_TRUE(copy.copied());
        const QString file = profile(copy);
        const QString destination = copy.root() + QStringLiteral("/clouds.jpg");
        QFile ini(file);
        ASSERT_TRUE(ini.open(QIODevice::Append));
        ini.write("Web Adress=" + server.url(QStringLiteral("/clouds.jpg")).toUtf8()
            + "\nDestination=" + destination.toUtf8() + "\ncheck MD5 of Cloudfile=0\n");
        ini.close();
        QProcess first;
        QStringList arguments { QStringLiteral("--settings"), file };
        if (!c.alreadyRunning)
            arguments << QStringLiteral("--download-now");
        start(copy, first, arguments);
        ASSERT_TRUE(gwe2e::waitUntil([&] { return listening(copy); }, 60000));
        if (c.alreadyRunning) {
            QThread::msleep(500);
            EXPECT_FALSE(QFileInfo::exists(destination)) << "nothing is due at the start";
            const Outcome second = runToEnd(copy, { QStringLiteral("--download-now") });
            EXPECT_EQ(second.exitCode, 0);
            EXPECT_TRUE(second.err.isEmpty()) << second.err.toStdString();
        }
        EXPECT_TRUE(gwe2e::waitUntil([&] { return gwtest::readFile(destination) == cloudMap; }, 20000))
            << gwtest::readFile(copy.programFile(QStringLiteral("Globewall.log"))).toStdString();
        EXPECT_TRUE(gwe2e::waitUntil([&] { return renders(copy) == 1; }, 20000)) << "the new clouds are shown at once";
        gwe2e::stopProcess(first);
    }
}

TEST(Installed, SettingsGoToTheUsersFolderEvenWhereTheProgramCouldWriteBesideItself)
{
    ProgramCopy copy;
    ASSERT_TRUE(copy.copied());
    // As `cmake --install` lays it out; root may write into any bin folder.
    const QString entry = copy.root() + QStringLiteral("/share/applications/net.quillmoor.Globewall.desktop");
    QDir().mkpath(QFileInfo(entry).absolutePath());
    gwtest::writeFile(entry, "[Desktop Entry]\n");
    QProcess p;
    start(copy, p, {});
    ASSERT_TRUE(gwe2e::waitUntil([&] { return listening(copy); }, 60000));
    gwe2e::stopProcess(p);
    EXPECT_TRUE(QFileInfo::exists(copy.home() + QStringLiteral("/.config/Globewall/Globewall.ini")));
    EXPECT_FALSE(QFileInfo::exists(copy.iniPath()));
}

TEST(CommandLine, StatusFromTheRunningInstanceOrTheSettingsFile)
{
    struct Case
    {
        const char* name;
        bool running;
        QStringList has;
    };
    const Case cases[] = {
        { "none runs: the settings file", false,
            { "(Globewall is not running)", "cloud map\n  address:     http://127.0.0.1:9/clouds.jpg\n",
                "  last result: none yet\n", "  next fetch:  now\n", "\nmirror:        none\n",
                "next render: none while Globewall is not running" } },
        { "the running instance answers", true,
            { "(from the running Globewall)", "  address:     http://127.0.0.1:9/clouds.jpg\n",
                "monitors:    ", "next render: " } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramCopy copy;
        ASSERT_TRUE(copy.copied());
        const QString file = profile(copy);
        QFile ini(file);
        ASSERT_TRUE(ini.open(QIODevice::Append));
        ini.write("Web Adress=http://127.0.0.1:9/clouds.jpg\nDestination=" + copy.root().toUtf8() + "/clouds.jpg\n");
        ini.close();
        QProcess first;
        if (c.running) {
            start(copy, first, { QStringLiteral("--settings"), file });
            ASSERT_TRUE(gwe2e::waitUntil([&] { return listening(copy); }, 60000));
        }
        const QStringList before = copy.snapshot();
        const Outcome r
            = runToEnd(copy, { QStringLiteral("--status"), QStringLiteral("--settings"), file }, noDisplay());
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        for (const QString& text : c.has)
            EXPECT_TRUE(r.out.contains(text.toUtf8())) << text.toStdString() << "\n" << r.out.toStdString();
        if (c.running) {
            gwe2e::stopProcess(first);
        } else {
            EXPECT_EQ(copy.snapshot(), before) << "no file written";
        }
    }
}
