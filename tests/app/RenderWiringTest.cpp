// The render commands of the window reach the renderer launch: a shell script stands in for
// xplanet, the message window is kept in memory.
#include "AppRig.h"
#include "renderer/RenderControl.h"
#include "renderer_launch/LaunchSupport.h"
#include "ui_MainWindow.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

class RenderWiring : public ::testing::Test
{
protected:
    RenderWiring()
        : app(rig.create())
        , form(app.window())
    {
    }

    // A renderer that prints "rendered" and then runs `extra`.
    QString installRenderer(const QByteArray& extra = {})
    {
        const QString path = launchtest::writeScript(rig.homeDir.file("bin/xplanet"), "echo rendered\n" + extra);
        app.settings().setText("edtAppFile", path);
        return path;
    }

    gwtest::AppRig rig;
    gw::AppCore& app;
    MainWindow& form;
    gw::MemoryMessageWindow& messages = rig.messages;
};

TEST_F(RenderWiring, RenderNowAndTheTrayItemRunTheRenderer)
{
    installRenderer();
    app.settings().setChecked("cbHideApp", false);
    struct Case
    {
        const char* label;
        std::function<void()> trigger;
        bool busy;
        int blocks; // "Parameter:" lines in the message window afterwards
    };
    const Case cases[] = {
        { "Render now", [&] { form.ui()->btnExecute->click(); }, false, 1 },
        { "tray: render now", [&] { form.ui()->pmStartNow->trigger(); }, false, 2 },
        { "Render now while a download runs does nothing", [&] { form.ui()->btnExecute->click(); }, true, 2 },
    };
    for (const Case& c : cases) {
        rig.clock.advanceSeconds(60);
        app.state().DownloadBusy = c.busy;
        app.state().LastRenderTime = 0;
        c.trigger();
        app.state().DownloadBusy = false;
        EXPECT_EQ(messages.lines.count("Parameter:"), c.blocks) << c.label;
        EXPECT_EQ(app.state().LastRenderTime, c.busy ? 0 : rig.clock.now()) << c.label;
    }
    EXPECT_TRUE(messages.lines.contains("rendered")) << "the renderer's output is shown";
    EXPECT_EQ(messages.shown, 2);
    EXPECT_TRUE(rig.dialogs.asked.empty());
}

TEST_F(RenderWiring, KillIsOfferedOnlyDuringARenderAndEndsIt)
{
    installRenderer("sleep 30");
    EXPECT_FALSE(form.ui()->pmKillNow->isEnabled()) << "before";
    bool enabledDuring = false;
    launchtest::WhileWaiting killer(
        [&] {
            if (!app.state().RenderBusy)
                return false;
            enabledDuring = form.ui()->pmKillNow->isEnabled();
            form.ui()->pmKillNow->trigger();
            return true;
        },
        [] {});
    form.ui()->btnExecute->click();
    EXPECT_TRUE(killer.done()) << "the render was seen running";
    EXPECT_TRUE(enabledDuring) << "during";
    EXPECT_FALSE(form.ui()->pmKillNow->isEnabled()) << "after";
    EXPECT_FALSE(app.state().RenderBusy);
    EXPECT_EQ(app.state().LastRenderTime, rig.clock.now()) << "a killed renderer still counts as a render";
}

TEST_F(RenderWiring, MissingRendererAsksThroughTheWindowsDialogs)
{
    app.settings().setText("edtAppFile", rig.homeDir.file("nowhere/xplanet"));
    const QString chosen = installRenderer();
    app.settings().setText("edtAppFile", rig.homeDir.file("nowhere/xplanet"));
    rig.dialogs.queueFile(chosen);
    form.ui()->btnExecute->click();
    ASSERT_FALSE(rig.dialogs.asked.empty());
    EXPECT_EQ(rig.dialogs.asked.front().text, "Please choose an Application to lauch");
    EXPECT_EQ(app.settings().text("edtAppFile"), chosen);
    EXPECT_EQ(form.ui()->edtAppFile->toolTip(), chosen) << "the hint follows the chosen renderer";
    EXPECT_EQ(messages.lines.count("Parameter:"), 1) << "then the render ran";
}

TEST_F(RenderWiring, ChoosersAndReadmeButtons)
{
    const QString before = launchtest::writeScript(rig.homeDir.file("pre/before.sh"), "true");
    rig.dialogs.queueFile(before);
    form.ui()->btnExecuteBefore->click();
    EXPECT_EQ(app.settings().text("edtExecuteBefore"), before);
    EXPECT_EQ(rig.dialogs.asked.back().request.title, "select file to be executed before rendering");

    const QString renderer = launchtest::writeScript(rig.homeDir.file("other/xplanet"), "true");
    rig.dialogs.queueFile(renderer);
    form.ui()->btnAppFile->click();
    EXPECT_EQ(rig.dialogs.asked.back().request.title, "select xplanet");
    EXPECT_EQ(app.settings().text("edtAppFile"), renderer);

    QStringList opened;
    app.render().setFileOpener([&](const QString& path) {
        opened << path;
        return true;
    });
    gwtest::writeFile(rig.home() + "/.xplanet/readme.txt", "readme");
    form.ui()->btnInfo->click();
    EXPECT_EQ(opened, QStringList { rig.home() + "/.xplanet/readme.txt" });
    EXPECT_TRUE(rig.dialogs.allAnswersUsed());
}

TEST_F(RenderWiring, EnterInTheRenderIntervalMovesToTheNextControl)
{
    gw::SpinEdit* box = form.ui()->SpinEdit;
    box->setFocus();
    app.settings().setInteger("SpinEdit", 90);
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(form.focusWidget(), form.ui()->cbCheckForNewFile);
    EXPECT_EQ(app.settings().integer("SpinEdit"), 90);

    // Other keys still reach the box.
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, "42");
    EXPECT_EQ(app.settings().integer("SpinEdit"), 42);
    EXPECT_EQ(form.focusWidget(), box);
}

} // namespace
