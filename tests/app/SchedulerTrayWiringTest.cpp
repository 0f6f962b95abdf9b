// The scheduler's tick and the tray component on the window: a tick driven by a manual clock
// renders through the window's launcher, the state gates hold it back, the tray shows what
// happens, and a single click on the tray switches the program off.
#include "AppRig.h"
#include "app/TransferLog.h"
#include "desktop/TrayHandlers.h"
#include "desktop/TrayIcon.h"
#include "renderer_launch/LaunchSupport.h"
#include "ui_MainWindow.h"

#include <QTimer>
#include <gtest/gtest.h>

namespace {

class SchedulerTray : public ::testing::Test
{
protected:
    SchedulerTray()
    {
        app = &rig.create();
        form = &app->window();
        app->settings().setChecked("cbCheckForUpdate", false); // no list download due
        app->Timer2Timer();
        form->CentralTimer()->stop(); // the test makes the ticks
    }

    void installRenderer(const QByteArray& extra = {})
    {
        app->settings().setText(
            "edtAppFile", launchtest::writeScript(rig.homeDir.file("bin/xplanet"), "echo rendered\n" + extra));
    }
    void tick() { app->CentralTimerTimer(); }
    int renders() const { return messages.lines.count("Parameter:"); }
    int frame() const { return app->trayIcon().FrameIndex(); }
    int count() const { return app->trayIcon().imageCount(); }

    gwtest::AppRig rig;
    gw::MemoryMessageWindow& messages = rig.messages;
    gw::AppCore* app = nullptr;
    MainWindow* form = nullptr;
};

TEST_F(SchedulerTray, StartUpSetsTheTurningGlobe)
{
    const gw::TrayIcon& tray = app->trayIcon();
    EXPECT_EQ(tray.IconList(), &tray.globeFrames());
    EXPECT_EQ(tray.LastFrame(), 23);
    EXPECT_EQ(tray.FrameSpeed(), 83);
    EXPECT_EQ(tray.FrameIndex(), -1) << "no frame until the first tick";
    EXPECT_EQ(tray.RightClickPopup(), form->PopupMenu1());
    EXPECT_EQ(tray.Hint(), "Globewall by Quillmoor");
}

TEST_F(SchedulerTray, TooltipAndIdleStatusBarSayWhatComesNext)
{
    installRenderer();
    tick(); // the first render
    const QStringList tip = app->trayIcon().toolTip().split('\n');
    ASSERT_EQ(tip.size(), 3) << tip.join(" / ").toStdString();
    EXPECT_TRUE(tip[0].startsWith("Globewall by Quillmoor")) << "the hint stays first";
    EXPECT_TRUE(tip[1].startsWith("next render ")) << tip[1].toStdString();
    EXPECT_TRUE(tip[2].startsWith("cloud map ")) << tip[2].toStdString();

    // A log line stays for a minute; then the idle status bar shows the same lines.
    app->transferLog().appendLine("a log line");
    rig.clock.advanceSeconds(30);
    tick();
    EXPECT_EQ(form->statusText(), "a log line");
    rig.clock.advanceSeconds(61); // a minute after the tick that first saw it
    tick();
    EXPECT_EQ(form->statusText(), tip[1] + " | " + tip[2]);
}

TEST_F(SchedulerTray, IdlePictureStaysTheSameAtTheFirstTick)
{
    auto picture = [this](int size) { return app->trayIcon().currentImage().pixmap(size).toImage(); };
    const QImage small = picture(16);
    const QImage large = picture(32);
    tick();
    ASSERT_EQ(frame(), 0);
    EXPECT_EQ(picture(16), small);
    EXPECT_EQ(picture(32), large);
}

TEST_F(SchedulerTray, TicksRenderAtTheIntervalUnlessAGateIsClosed)
{
    installRenderer();
    app->settings().setInteger("SpinEdit", 600);
    struct Case
    {
        const char* label;
        double advanceSeconds;
        bool screensaver;
        int renders;
        int frame;
    };
    const Case cases[] = {
        { "just before the interval", 599, false, 0, 0 },
        { "the interval has passed", 1, false, 1, 0 },
        { "due, but the screensaver runs", 600, true, 1, 0 },
        { "screensaver gone", 0, false, 2, 0 },
    };
    for (const Case& c : cases) {
        rig.clock.advanceSeconds(c.advanceSeconds);
        rig.screensaverRunning = c.screensaver;
        tick();
        EXPECT_EQ(renders(), c.renders) << c.label;
        EXPECT_EQ(frame(), c.frame) << c.label;
    }
    EXPECT_EQ(app->state().LastRenderTime, rig.clock.now());
}

TEST_F(SchedulerTray, TheGlobeTurnsWhileTheRendererRuns)
{
    installRenderer("sleep 0.3");
    bool animating = false;
    launchtest::WhileWaiting watch(
        [&] {
            animating = animating || app->trayIcon().Animate();
            return false;
        },
        [] {}, 5000);
    form->ui()->btnExecute->click();
    EXPECT_TRUE(animating);
    EXPECT_FALSE(app->trayIcon().Animate()) << "stopped afterwards";
}

TEST_F(SchedulerTray, OnBatteryNothingStartsAndTheBatteryImageAlternates)
{
    installRenderer();
    app->settings().setInteger("SpinEdit", 0);
    const QString battery = rig.powerSupply.file("BAT0");
    QDir().mkpath(battery);
    gwtest::writeFile(battery + "/type", "Battery\n");
    gwtest::writeFile(battery + "/status", "Discharging\n");
    QList<int> frames;
    for (int i = 0; i < 3; ++i) {
        tick();
        frames << frame();
    }
    EXPECT_EQ(renders(), 0);
    EXPECT_EQ(frames, (QList<int> { count() - 2, 0, count() - 2 }));

    app->settings().setChecked("cbDontUseOnBattery", false);
    tick();
    EXPECT_EQ(renders(), 1) << "allowed on battery";
}

TEST_F(SchedulerTray, ASingleTrayClickSwitchesOffAfterTheDoubleClickTime)
{
    installRenderer();
    app->settings().setInteger("SpinEdit", 0);
    emit app->trayIcon().Click(Qt::LeftButton);
    ASSERT_TRUE(app->trayHandlers().TimerDoubleClick().isActive()) << "waits for a second click";
    EXPECT_TRUE(form->ui()->Globewallenabled->isChecked()) << "not yet";
    app->trayHandlers().TimerDoubleClickTimer();
    EXPECT_FALSE(form->ui()->Globewallenabled->isChecked());
    EXPECT_EQ(frame(), count() - 1) << "the crossed globe";

    tick();
    EXPECT_EQ(renders(), 0) << "switched off: nothing starts";
    EXPECT_EQ(frame(), count() - 1);

    form->ui()->Globewallenabled->trigger();
    tick();
    EXPECT_EQ(renders(), 1) << "switched on again from the menu";
    EXPECT_EQ(frame(), 0);
}

// The icon caption controls have no counterpart on a Linux desktop: they are not shown, and
// keep their settings (the colour still reaches the preview).
TEST_F(SchedulerTray, IconCaptionControlsAreHiddenAndKeepTheirSettings)
{
    QWidget* widgets[] = { form->ui()->btnMakeBGTransparent, form->ui()->btnIconTextColor,
        form->ui()->cbMakeTransAtStart, form->ui()->cbRestoreTrans };
    for (QWidget* w : widgets)
        EXPECT_FALSE(w->isVisibleTo(form)) << w->objectName().toStdString();
    EXPECT_FALSE(form->ui()->pmMakeDesktopIconBackgroundtransparent->isVisible());

    app->settings().setChecked("cbRestoreTrans", true);
    app->settings().setInteger("ColorDialog", 0x0080FF);
    EXPECT_TRUE(app->settings().checked("cbRestoreTrans")) << "a hidden control still holds its setting";
    EXPECT_EQ(form->ui()->lbIconText->palette().color(QPalette::WindowText), QColor(255, 128, 0));

    app->btnMakeBGTransparentClick();
    EXPECT_TRUE(rig.dialogs.messages().isEmpty()) << "no counterpart on this desktop, and no error";
}

} // namespace
