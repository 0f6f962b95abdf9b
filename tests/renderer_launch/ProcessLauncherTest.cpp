// The launcher against real child processes: start failures, argument passing, output
// capture files, priority, process groups and the wait.
#include "renderer/ProcessLauncher.h"

#include "LaunchSupport.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

using gw::ProcessLauncher;
using gw::TPriorClass;
using namespace launchtest;

namespace {

// The program's current folder is changed by launches; every test gets it back.
class ProcessLauncherTest : public ::testing::Test
{
protected:
    void SetUp() override { m_cwd = QDir::currentPath(); }
    void TearDown() override { QDir::setCurrent(m_cwd); }

    static QStringList run(
        ProcessLauncher& exec, const QString& program, const QString& folder, const QStringList& params = {})
    {
        exec.setExeName(program);
        exec.setExePath(folder);
        exec.setExeParams(params);
        exec.setRedirectOutput(true);
        exec.Execute();
        return exec.OutputLines();
    }

    gwtest::TempDir tmp;

private:
    QString m_cwd;
};

TEST_F(ProcessLauncherTest, ErrorTextAtTheEdgesOfTheTable)
{
    const struct
    {
        int code;
        const char* text;
    } cases[] = {
        { -1, "" },
        { 0, "System was out of memory, executable file was corrupt, or relocations were invalid" },
        { 1, "" },
        { 2, "File was not found" },
        { 3, "Path was not found" },
        { 4, "" },
        { 21, "Application requires 32-bit extensions" },
        { 22, "" },
        { 31, "" },
        { 32, "No error" },
        { 193, "No error" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProcessLauncher::ErrorText(c.code), QString::fromUtf8(c.text)) << "code " << c.code;
}

TEST_F(ProcessLauncherTest, ExePathDropsOneTrailingSlashButKeepsTheRoot)
{
    const struct
    {
        const char* label;
        const char* stored;
        const char* kept;
    } cases[] = {
        { "folder with slash", "/home/u/.xplanet/", "/home/u/.xplanet" },
        { "folder without slash", "/home/u/.xplanet", "/home/u/.xplanet" },
        { "root", "/", "/" },
        { "empty", "", "" },
        { "short relative", "a/", "a" },
    };
    ProcessLauncher exec;
    for (const auto& c : cases) {
        exec.setExePath(QString::fromUtf8(c.stored));
        EXPECT_EQ(exec.ExePath(), QString::fromUtf8(c.kept)) << c.label;
    }
}

TEST_F(ProcessLauncherTest, StartFailuresGiveTheNearestTableEntryAndLeaveNoFiles)
{
    const QString folder = tmp.path();
    writeScript(tmp.file("plain"), "true");
    QFile::setPermissions(tmp.file("plain"), QFile::ReadOwner | QFile::WriteOwner);
    QFile noShebang(tmp.file("noshebang"));
    noShebang.open(QIODevice::WriteOnly);
    noShebang.write("\x7f"
                    "ELF garbage");
    noShebang.close();
    noShebang.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir(folder).mkdir(QStringLiteral("adir"));

    const struct
    {
        const char* label;
        QString exe;
        int code;
        const char* text;
    } cases[] = {
        { "missing file in an existing folder", folder + "/nosuch", 2, "File was not found" },
        { "bare name found nowhere", "globewall-no-such-program", 2, "File was not found" },
        { "bare name missing here is not taken from PATH", "sh", 2, "File was not found" },
        { "empty name", "", 2, "File was not found" },
        { "file in a missing folder", folder + "/missing/xplanet", 3, "Path was not found" },
        { "a folder", folder + "/adir", 5,
            "Attempt was made to dynamically link to a task, or there was a sharing or network-protection error" },
        { "not executable", folder + "/plain", 5,
            "Attempt was made to dynamically link to a task, or there was a sharing or network-protection error" },
        { "not a program", folder + "/noshebang", 11,
            "Executable file was invalid. Either it was not a Windows application or there was an error in the .EXE "
            "image" },
    };
    for (const auto& c : cases) {
        ProcessLauncher exec;
        try {
            run(exec, c.exe, folder, { QStringLiteral("-x") });
            ADD_FAILURE() << c.label << ": no error";
        } catch (const gw::EAppExecWinExec& e) {
            EXPECT_EQ(e.message(), QString::fromUtf8(c.text)) << c.label;
            EXPECT_EQ(exec.ResultCode(), c.code) << c.label;
        }
        EXPECT_FALSE(QFileInfo::exists(tmp.file("Globewall.bat"))) << c.label;
        EXPECT_FALSE(QFileInfo::exists(tmp.file("Globewall.out"))) << c.label;
    }
}

TEST_F(ProcessLauncherTest, MissingFolderToRunIn)
{
    const QString script = writeScript(tmp.file("run"), "true");
    const QString missing = tmp.file("gone");
    {
        ProcessLauncher exec;
        EXPECT_THROW(run(exec, script, missing), gw::EAppExecChDir) << "changing into it fails first";
    }
    {
        ProcessLauncher exec;
        exec.setChangeDir(false);
        try {
            run(exec, script, missing);
            ADD_FAILURE() << "started in a missing folder";
        } catch (const gw::EAppExecWinExec& e) {
            EXPECT_EQ(e.message(), QStringLiteral("Path was not found")) << "without ChangeDir";
            EXPECT_EQ(exec.ResultCode(), 3) << "without ChangeDir";
        }
    }
    EXPECT_FALSE(QFileInfo::exists(missing)) << "nothing creates the folder";
}

TEST_F(ProcessLauncherTest, ArgumentsReachTheProgramLiterallyWithoutAShell)
{
    const QString script = writeScript(tmp.file("args"), printArgs());
    ProcessLauncher exec;
    const QStringList out = run(exec, script, tmp.path(),
        { QStringLiteral("-label_string \"a; $(touch pwned) `touch pwned2` b\""), QStringLiteral("say\\\"hi\\\""),
            QStringLiteral("x;y"), QStringLiteral("$HOME"), QStringLiteral("'single'"), QStringLiteral("*") });
    const QStringList expected = { "[-label_string]", "[a; $(touch pwned) `touch pwned2` b]", "[say\"hi\"]", "[x;y]",
        "[$HOME]", "['single']", "[*]" };
    EXPECT_EQ(out, expected);
    EXPECT_FALSE(QFileInfo::exists(tmp.file("pwned"))) << "$(...) was not run";
    EXPECT_FALSE(QFileInfo::exists(tmp.file("pwned2"))) << "backticks were not run";
}

TEST_F(ProcessLauncherTest, CaptureFilesExistDuringTheRunOnly)
{
    const QString script = writeScript(tmp.file("peek"),
        "[ -f Globewall.out ] && echo out-present\n"
        "cat Globewall.bat\n"
        "echo to-stderr >&2\n"
        "echo last");
    ProcessLauncher exec;
    const QStringList out = run(exec, script, tmp.path(), { QString(), QStringLiteral("-body earth") });
    const QStringList expected = { "out-present", script + "  -body earth > Globewall.out 2>&1", "to-stderr", "last" };
    EXPECT_EQ(out, expected) << "two blanks for the empty first entry; stderr merged in order";
    EXPECT_FALSE(QFileInfo::exists(tmp.file("Globewall.bat"))) << "batch file removed";
    EXPECT_FALSE(QFileInfo::exists(tmp.file("Globewall.out"))) << "output file removed";
    EXPECT_EQ(exec.ResultCode(), 0);
}

TEST_F(ProcessLauncherTest, OutputEdgeCases)
{
    ProcessLauncher exec;
    const struct
    {
        const char* label;
        QByteArray body;
        QStringList expected;
    } cases[] = {
        { "no output", "true", {} },
        { "output file removed by the child", "echo lost\nrm Globewall.out", {} },
        { "last line without line break", "printf 'a\\nb'", { "a", "b" } },
        { "blank lines kept", "printf 'a\\n\\nb\\n'", { "a", "", "b" } },
        { "carriage returns dropped", "printf 'a\\r\\nb\\r\\n'", { "a", "b" } },
    };
    for (const auto& c : cases) {
        const QString script = writeScript(tmp.file("out"), c.body);
        EXPECT_EQ(run(exec, script, tmp.path()), c.expected) << c.label;
        EXPECT_FALSE(QFileInfo::exists(tmp.file("Globewall.bat"))) << c.label;
    }
}

TEST_F(ProcessLauncherTest, WithoutRedirectionNoCaptureFilesAndNoOutput)
{
    const QString script = writeScript(tmp.file("quiet"),
        "[ -f Globewall.bat ] && touch saw-batch\n"
        "[ -f Globewall.out ] && touch saw-output\n"
        "echo discarded; echo discarded >&2");
    ProcessLauncher exec;
    exec.setExeName(script);
    exec.setExePath(tmp.path());
    exec.setRedirectOutput(false);
    exec.Execute();
    EXPECT_TRUE(exec.OutputLines().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(tmp.file("saw-batch")));
    EXPECT_FALSE(QFileInfo::exists(tmp.file("saw-output")));
}

TEST_F(ProcessLauncherTest, ProgramFoundWithBlanksInItsPathAndByBareNameInItsFolder)
{
    const QString folder = tmp.file("my apps");
    const QString script = writeScript(folder + "/print args", printArgs() + "\npwd");
    ProcessLauncher exec;
    EXPECT_EQ(run(exec, script, folder, { QStringLiteral("-a b") }),
        (QStringList { "[-a]", "[b]", QFileInfo(folder).canonicalFilePath() }))
        << "full path with blanks, unquoted";
    EXPECT_EQ(run(exec, QStringLiteral("print args"), folder, { QStringLiteral("x") }),
        (QStringList { "[x]", QFileInfo(folder).canonicalFilePath() }))
        << "bare name, as a file run after a download is given";
}

TEST_F(ProcessLauncherTest, ResultCodeIsTheExitCodeAndTheProgramMovesToTheFolder)
{
    const QString sub = tmp.file("sub");
    const QString script = writeScript(sub + "/seven", "exit 7");
    ProcessLauncher exec;
    exec.setExeName(script);
    exec.setExePath(sub + "/");
    exec.Execute();
    EXPECT_EQ(exec.ResultCode(), 7);
    EXPECT_GT(exec.ProcessHandle(), 0) << "the id stays after the end";
    EXPECT_EQ(QFileInfo(QDir::currentPath()).canonicalFilePath(), QFileInfo(sub).canonicalFilePath())
        << "ChangeDir makes the folder the program's current folder";

    const QString before = QDir::currentPath();
    exec.setChangeDir(false);
    exec.setExePath(tmp.path());
    exec.Execute();
    EXPECT_EQ(QDir::currentPath(), before) << "without ChangeDir the program stays where it is";
}

TEST_F(ProcessLauncherTest, PriorityReachesTheChild)
{
    const QString script = writeScript(tmp.file("sleeper"), "exec sleep 60");
    const struct
    {
        const char* label;
        TPriorClass priority;
        int nice;
        int policy;
    } cases[] = {
        { "idle", TPriorClass::pcIdle, 19, SCHED_IDLE },
        { "normal", TPriorClass::pcNormal, 0, SCHED_OTHER },
        // Raising priority needs the privilege; without it the child runs at normal.
        { "high", TPriorClass::pcHigh, ::geteuid() == 0 ? -10 : 0, SCHED_OTHER },
    };
    if (::getpriority(PRIO_PROCESS, 0) != 0)
        GTEST_SKIP() << "the test itself runs niced";
    for (const auto& c : cases) {
        ProcessLauncher exec;
        exec.setExeName(script);
        exec.setExePath(tmp.path());
        exec.setPriorityClass(c.priority);
        QString nice;
        int policy = -1;
        WhileWaiting probe(
            [&] {
                nice = procStatField(exec.ProcessHandle(), 19);
                policy = ::sched_getscheduler(static_cast<pid_t>(exec.ProcessHandle()));
                exec.Kill();
                return true;
            },
            [&] { exec.Kill(); });
        exec.Execute();
        EXPECT_EQ(nice, QString::number(c.nice)) << c.label;
        EXPECT_EQ(policy, c.policy) << c.label;
        EXPECT_EQ(exec.ResultCode(), 0) << c.label << ": a stopped child reports 0";
    }
}

TEST_F(ProcessLauncherTest, KillEndsTheChildWithEverythingItStarted)
{
    const QString script = writeScript(tmp.file("parent"), "sleep 300 &\necho $! > grandchild.pid\nwait");
    ProcessLauncher exec;
    exec.setExeName(script);
    exec.setExePath(tmp.path());
    qint64 grandchild = 0;
    QString group;
    WhileWaiting killer(
        [&] {
            grandchild
                = QFile::exists(tmp.file("grandchild.pid")) ? tmp.read("grandchild.pid").trimmed().toLongLong() : 0;
            if (grandchild <= 0)
                return false;
            group = procStatField(grandchild, 5);
            return exec.Kill();
        },
        [&] { exec.Kill(); });
    exec.Execute();
    ASSERT_FALSE(killer.timedOut());
    EXPECT_TRUE(processEnded(exec.ProcessHandle())) << "the child";
    EXPECT_EQ(group, QString::number(exec.ProcessHandle())) << "the child leads a process group of its own";
    // The signal reaches the other member of the group a moment later.
    EXPECT_TRUE(gwtest::waitUntil([&] { return processEnded(grandchild); }, 10000)) << "the child's own child";
    EXPECT_FALSE(exec.Kill()) << "nothing is signalled once the child has ended";
}

TEST_F(ProcessLauncherTest, SecondLaunchOnTheSameLauncherIsRefusedWhileItWaits)
{
    const QString script = writeScript(tmp.file("slow"), "while [ ! -f go ]; do sleep 0.02; done\necho finished");
    ProcessLauncher exec;
    bool refused = false;
    WhileWaiting second(
        [&] {
            try {
                exec.Execute();
            } catch (const gw::EAppExec&) {
                refused = true;
            }
            QFile(tmp.file("go")).open(QIODevice::WriteOnly);
            return true;
        },
        [&] { exec.Kill(); });
    EXPECT_EQ(run(exec, script, tmp.path()), QStringList { "finished" }) << "the waiting child is undisturbed";
    EXPECT_TRUE(refused);
    EXPECT_FALSE(exec.isWaiting());
}

TEST_F(ProcessLauncherTest, WithoutWaitTheChildRunsOn)
{
    const QString script = writeScript(tmp.file("later"), "sleep 0.2\ntouch done");
    ProcessLauncher exec;
    exec.setWait(false);
    exec.setExeName(script);
    exec.setExePath(tmp.path());
    exec.Execute();
    EXPECT_EQ(exec.ResultCode(), 32);
    EXPECT_FALSE(exec.isWaiting());
    EXPECT_TRUE(gwtest::waitUntil([&] { return QFileInfo::exists(tmp.file("done")); }, 20000))
        << "the child was not ended with the call";
}

} // namespace
