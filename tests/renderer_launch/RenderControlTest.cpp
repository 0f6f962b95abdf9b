// One render through StartXPlanet with a script as the renderer: the message block, the
// capture files, the state around the launch, the file run before it, kill and priority.
#include "RenderFixture.h"

#include <QFile>
#include <QFileInfo>

#include <sys/resource.h>

using namespace launchtest;
using gw::RenderControl;

namespace {

class RenderControlTest : public RenderFixture
{
};

TEST_F(RenderControlTest, RenderReportsParametersAndOutputInTheMessageWindow)
{
    installRenderer("pwd\n[ -f Globewall.bat ] && echo batch-present");
    settings.setChecked("cbHideApp", false);
    clock.set(45001.25);

    render.btnExecuteClick();

    const QStringList params = parameterList();
    const QString folder = QFileInfo(rendererFolder()).canonicalFilePath();
    EXPECT_EQ(messages.lines,
        block(params, bracketed(gw::splitArguments(params.join(' '))) + QStringList { folder, "batch-present" }))
        << "the renderer ran in its own folder with the capture files beside it";
    EXPECT_EQ(messages.shown, 1) << "the message window is shown";
    EXPECT_EQ(state.LastRenderTime, 45001.25);
    EXPECT_FALSE(state.RenderBusy);
    EXPECT_EQ(killStates, (QList<bool> { true, false })) << "kill enabled during the render only";
    EXPECT_FALSE(tray.animate()) << "animation stopped";
    EXPECT_EQ(tray.animationsStarted, 1);
    EXPECT_EQ(tray.frameIndex(), 3) << "master switch on: the frame is left alone";
    EXPECT_FALSE(QFileInfo::exists(rendererFolder() + "Globewall.bat"));
    EXPECT_FALSE(QFileInfo::exists(rendererFolder() + "Globewall.out"));
    EXPECT_EQ(transparencyCalls, 0);
}

TEST_F(RenderControlTest, HiddenRendererLeavesNoCaptureFilesAndOpensNoWindow)
{
    const QString marker = tmp.file("saw-batch");
    installRenderer("[ -f Globewall.bat ] && touch '" + marker.toUtf8() + "'");
    settings.setChecked("cbHideApp", true);

    render.StartXPlanet();

    EXPECT_EQ(messages.lines, block(parameterList(), {})) << "the Output: section is empty";
    EXPECT_EQ(messages.shown, 0);
    EXPECT_FALSE(QFileInfo::exists(marker)) << "no batch file during the run";
    EXPECT_EQ(state.LastRenderTime, clock.now());
}

TEST_F(RenderControlTest, FreeTextParameterComesFirstAndReachesTheRendererLiterally)
{
    const QString script = installRenderer("cat Globewall.bat");
    settings.setChecked("rbStringParameter", true);
    const struct
    {
        const char* label;
        QString text;
        QStringList arguments; // what the renderer receives before the generated list
    } cases[] = {
        { "empty text: an empty first entry", "", {} },
        { "shell characters and quotes", "-label_string \"a; $(touch pwned) 'b'\" -fontsize 9",
            { "-label_string", "a; $(touch pwned) 'b'", "-fontsize", "9" } },
        { "escaped quote", "-label_string \\\"quoted\\\"", { "-label_string", "\"quoted\"" } },
    };
    for (const auto& c : cases) {
        messages.lines.clear();
        settings.setText("edtParameter", c.text);
        render.StartXPlanet();
        const QStringList params = QStringList { c.text } + parameterList();
        const QString batchLine = script + " " + params.join(' ') + " > Globewall.out 2>&1";
        EXPECT_EQ(messages.lines,
            block(params,
                bracketed(c.arguments + gw::splitArguments(parameterList().join(' '))) + QStringList { batchLine }))
            << c.label;
        EXPECT_FALSE(QFileInfo::exists(rendererFolder() + "pwned")) << c.label;
    }
}

TEST_F(RenderControlTest, AfterTheRenderTheDesktopLookFollowsTheSettings)
{
    installRenderer();
    const struct
    {
        const char* label;
        bool enabled;
        bool restoreTrans;
        int frame;
        int transparency;
    } cases[] = {
        { "enabled, no transparency", true, false, 3, 0 },
        { "disabled: the crossed globe", false, false, 25, 0 },
        { "transparency restored", true, true, 3, 1 },
    };
    for (const auto& c : cases) {
        tray.setFrameIndex(3);
        transparencyCalls = 0;
        settings.setChecked("Globewallenabled", c.enabled);
        settings.setChecked("cbRestoreTrans", c.restoreTrans);
        render.StartXPlanet();
        EXPECT_EQ(tray.frameIndex(), c.frame) << c.label;
        EXPECT_EQ(transparencyCalls, c.transparency) << c.label;
        EXPECT_FALSE(tray.animate()) << c.label;
    }
}

TEST_F(RenderControlTest, FileRunBeforeEachRender)
{
    installRenderer("[ -f before-ran ] && echo saw-before");
    const QString before
        = writeScript(tmp.file("pre/before.sh"), "touch '" + rendererFolder().toUtf8() + "before-ran'\npwd > where");
    const struct
    {
        const char* label;
        bool ticked;
        QString file;
        bool runs;
    } cases[] = {
        { "not ticked", false, before, false },
        { "ticked, missing file: skipped silently", true, tmp.file("pre/missing.sh"), false },
        { "ticked, folder instead of file", true, tmp.file("pre"), false },
        { "ticked and present", true, before, true },
    };
    for (const auto& c : cases) {
        QDir().mkpath(rendererFolder());
        QFile::remove(rendererFolder() + "before-ran");
        messages.lines.clear();
        settings.setChecked("cbExecuteBefore", c.ticked);
        settings.setText("edtExecuteBefore", c.file);
        render.StartXPlanet();
        EXPECT_EQ(messages.lines.contains("saw-before"), c.runs) << c.label;
        EXPECT_EQ(state.LastRenderTime, clock.now()) << c.label << ": the render itself ran";
    }
    EXPECT_EQ(tmp.read("pre/where").trimmed(), QFileInfo(tmp.file("pre")).canonicalFilePath().toUtf8())
        << "the file runs in its own folder";
    EXPECT_TRUE(dialogs.asked.empty());
}

TEST_F(RenderControlTest, KillDuringTheFileRunBeforeEndsItAndTheRenderGoesOn)
{
    installRenderer("echo rendered");
    const QString before = writeScript(tmp.file("pre/hang.sh"), "exec sleep 300");
    settings.setChecked("cbExecuteBefore", true);
    settings.setText("edtExecuteBefore", before);
    bool killedBefore = false;
    WhileWaiting killer(
        [&] {
            if (!render.killEnabled() || !render.launcher().isWaiting())
                return false;
            killedBefore = render.launcher().ExeName() == before;
            render.pmKillNowClick();
            return true;
        },
        [&] { render.pmKillNowClick(); });

    render.StartXPlanet();

    EXPECT_TRUE(killedBefore) << "the kill hit the file run before";
    EXPECT_FALSE(killer.timedOut());
    EXPECT_TRUE(messages.lines.contains("rendered")) << "the renderer ran after the kill";
    EXPECT_EQ(state.LastRenderTime, clock.now());
    EXPECT_FALSE(render.killEnabled());
}

TEST_F(RenderControlTest, PriorityChoiceReachesTheRendererAndFilesRun)
{
    if (::getpriority(PRIO_PROCESS, 0) != 0)
        GTEST_SKIP() << "the test itself runs niced";
    installRenderer("awk '{print \"nice=\" $19}' /proc/$$/stat");
    const QString other = writeScript(tmp.file("after/run.sh"), "awk '{print $19}' /proc/$$/stat > nice.txt");
    const struct
    {
        const char* button;
        const char* nice;
    } cases[] = { { "rbIdle", "19" }, { "rbNormal", "0" } };
    for (const auto& c : cases) {
        messages.lines.clear();
        settings.setChecked(c.button, true);
        render.StartXPlanet();
        EXPECT_TRUE(messages.lines.contains(QStringLiteral("nice=") + c.nice)) << c.button << " render";
        render.ExecuteFile(other);
        EXPECT_EQ(tmp.read("after/nice.txt").trimmed(), QByteArray(c.nice)) << c.button << " file run";
    }
}

TEST_F(RenderControlTest, RenderNowDoesNothingWhileBusy)
{
    installRenderer();
    const struct
    {
        const char* label;
        bool gw::AppState::*flag;
    } cases[] = { { "download runs", &gw::AppState::DownloadBusy }, { "render runs", &gw::AppState::RenderBusy } };
    for (const auto& c : cases) {
        state.*c.flag = true;
        render.btnExecuteClick();
        render.pmStartNowClick();
        state.*c.flag = false;
        EXPECT_TRUE(messages.lines.isEmpty()) << c.label;
        EXPECT_EQ(state.LastRenderTime, 0) << c.label;
    }
}

TEST_F(RenderControlTest, LauncherErrorEndsTheRenderAndClearsItsState)
{
    const QString notRunnable = installRenderer();
    QFile::setPermissions(notRunnable, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_THROW(render.StartXPlanet(), gw::EAppExecWinExec);
    EXPECT_FALSE(state.RenderBusy);
    EXPECT_FALSE(render.killEnabled());
    EXPECT_FALSE(tray.animate());
    EXPECT_EQ(state.LastRenderTime, 0) << "no finished render";
    EXPECT_TRUE(messages.lines.isEmpty());

    QFile::setPermissions(notRunnable, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    render.StartXPlanet();
    EXPECT_EQ(state.LastRenderTime, clock.now()) << "the next render works";
}

TEST_F(RenderControlTest, FileRunWhileTheRenderWaitsGetsALauncherOfItsOwn)
{
    installRenderer("while [ ! -f go ]; do sleep 0.02; done\necho rendered");
    const QString release = writeScript(tmp.file("after/release.sh"), "touch '" + rendererFolder().toUtf8() + "go'");
    bool ran = false;
    WhileWaiting during(
        [&] {
            if (!render.launcher().isWaiting())
                return false;
            render.ExecuteFile(release);
            ran = true;
            return true;
        },
        [&] { render.pmKillNowClick(); });

    render.StartXPlanet();

    EXPECT_TRUE(ran);
    EXPECT_TRUE(messages.lines.contains("rendered")) << "the waiting render finished normally";
    EXPECT_EQ(messages.lines.first(), "Parameter:");
    EXPECT_EQ(render.launcher().ExeName(), settings.text("edtAppFile")) << "the render's launcher kept its settings";
    EXPECT_FALSE(tray.animate());
}

TEST_F(RenderControlTest, ExecuteFileRunsInItsFolderAndReportsFailures)
{
    const QString script = writeScript(tmp.file("job/after.sh"), "pwd > where\necho \"$#\" > count");
    render.ExecuteFile(script);
    EXPECT_EQ(tmp.read("job/where").trimmed(), QFileInfo(tmp.file("job")).canonicalFilePath().toUtf8());
    EXPECT_EQ(tmp.read("job/count").trimmed(), QByteArray("0")) << "no arguments";
    EXPECT_FALSE(QFileInfo::exists(tmp.file("job/Globewall.out")));
    EXPECT_FALSE(tray.animate());

    try {
        render.ExecuteFile(tmp.file("job/missing.sh"));
        ADD_FAILURE() << "missing file started";
    } catch (const gw::EAppExecWinExec& e) {
        EXPECT_EQ(e.message(), QStringLiteral("File was not found"));
    }
    EXPECT_THROW(render.ExecuteFile(tmp.file("nofolder/after.sh")), gw::EAppExecChDir);
    EXPECT_FALSE(tray.animate()) << "the animation stops after a failure too";
}

} // namespace
