// The main window's tray handlers: the delayed single click, the double click, the master switch.
#include "desktop/TrayHandlers.h"
#include "desktop/TrayIcon.h"
#include "scheduler/CentralScheduler.h"
#include "scheduler/SystemState.h"
#include "scheduler/TimedJobs.h"
#include "settings/MemorySettings.h"
#include "shared/AppState.h"
#include "shared/LogSink.h"
#include "support/ManualClock.h"
#include "support/MemorySinks.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

class RecordingWindow : public gw::TrayWindowControl
{
public:
    void minimizeApp() override
    {
        calls << QStringLiteral("minimize");
        hidden = true;
    }
    void restoreApp() override
    {
        calls << QStringLiteral("restore");
        hidden = false;
    }
    bool isHiddenToTray() const override { return hidden; }
    void centreIfParked() override { calls << QStringLiteral("centre"); }

    bool hidden = false;
    QStringList calls;
};

struct HandlerRig
{
    gw::MemorySettings settings;
    gw::TrayIcon tray;
    RecordingWindow window;
    gw::TrayHandlers handlers { tray, settings, window };

    bool enabled() const { return settings.checked(QStringLiteral("Globewallenabled")); }
    // Lets the double-click timer run out, as it does after a real click.
    bool waitForTimer()
    {
        return gwtest::waitUntil([&] { return !handlers.TimerDoubleClick().isActive(); }, 10000);
    }
};

} // namespace

TEST(TrayHandlers, CentredPositionRoundsHalvesToEven)
{
    struct Case
    {
        const char* label;
        QRect desktop;
        QSize window;
        bool clamp;
        QPoint expected;
    };
    for (const Case& c : { Case { "main window", { 0, 0, 1024, 768 }, { 481, 582 }, false, { 272, 93 } },
             Case { "271.5 goes to 272, 92.5 to 92", { 0, 0, 1024, 768 }, { 481, 583 }, false, { 272, 92 } },
             Case { "283.5 goes to 284", { 0, 0, 1024, 768 }, { 300, 201 }, false, { 362, 284 } },
             Case { "larger than the desktop", { 0, 0, 800, 600 }, { 1001, 900 }, false, { -100, -150 } },
             Case { "larger, clamped", { 0, 0, 800, 600 }, { 1001, 900 }, true, { 0, 0 } },
             Case { "second screen", { 1024, 0, 1280, 1024 }, { 480, 580 }, false, { 1024 + 400, 222 } } }) {
        EXPECT_EQ(gw::centredTopLeft(c.desktop, c.window, c.clamp), c.expected) << c.label;
    }
}

TEST(TrayHandlers, SetUpGivesTheTurningGlobeItsRangeAndSpeed)
{
    HandlerRig rig;
    rig.handlers.setUpAnimation();
    EXPECT_EQ(rig.tray.IconList(), &rig.tray.globeFrames());
    EXPECT_EQ(rig.tray.LastFrame(), 23);
    EXPECT_EQ(rig.tray.FrameSpeed(), 83);
    EXPECT_EQ(rig.tray.FrameIndex(), -1) << "the Icon shows until the first scheduler tick";
    rig.handlers.showTrayIcon();
    EXPECT_TRUE(rig.tray.IconsShown().testFlag(gw::TrayIcon::icoTray));
}

TEST(TrayHandlers, SingleClickTogglesAfterTheDoubleClickTime)
{
    HandlerRig rig;
    rig.tray.setFrameIndex(0);
    rig.handlers.TrayIconClick(Qt::LeftButton);
    EXPECT_TRUE(rig.handlers.TimerDoubleClick().isActive());
    EXPECT_EQ(rig.handlers.TimerDoubleClick().interval(), QApplication::doubleClickInterval());
    EXPECT_TRUE(rig.enabled()) << "nothing toggles before the double-click time";
    ASSERT_TRUE(rig.waitForTimer());
    EXPECT_FALSE(rig.enabled());
    EXPECT_EQ(rig.tray.FrameIndex(), 25) << "the crossed globe";

    rig.handlers.TrayIconClick(Qt::LeftButton);
    ASSERT_TRUE(rig.waitForTimer());
    EXPECT_TRUE(rig.enabled());
    EXPECT_EQ(rig.tray.FrameIndex(), 0);
}

TEST(TrayHandlers, OtherButtonsDoNothing)
{
    HandlerRig rig;
    for (Qt::MouseButton b : { Qt::RightButton, Qt::MiddleButton }) {
        rig.handlers.TrayIconClick(b);
        rig.handlers.TrayIconDblClick(b);
        EXPECT_FALSE(rig.handlers.TimerDoubleClick().isActive()) << b;
        EXPECT_TRUE(rig.window.calls.isEmpty()) << b;
        EXPECT_TRUE(rig.enabled()) << b;
    }
}

TEST(TrayHandlers, DoubleClickShowsOrHidesAndDoesNotToggle)
{
    struct Case
    {
        const char* label;
        bool hiddenBefore;
        QStringList calls;
    };
    for (const Case& c : { Case { "in the tray: shown again", true, { "centre", "restore" } },
             Case { "visible: to the tray", false, { "minimize" } } }) {
        HandlerRig rig;
        rig.window.hidden = c.hiddenBefore;
        // What a double click delivers: one click, then one double click.
        rig.handlers.TrayIconClick(Qt::LeftButton);
        rig.handlers.TrayIconDblClick(Qt::LeftButton);
        EXPECT_EQ(rig.window.calls, c.calls) << c.label;
        EXPECT_EQ(rig.window.hidden, !c.hiddenBefore) << c.label;
        ASSERT_TRUE(rig.waitForTimer()) << c.label;
        EXPECT_TRUE(rig.enabled()) << c.label << ": the switch stays";
        EXPECT_FALSE(rig.handlers.DoubleClickSeen()) << c.label;
    }
}

TEST(TrayHandlers, ClicksArriveFromTheTrayIcon)
{
    HandlerRig rig;
    emit rig.tray.systemTrayIcon().activated(QSystemTrayIcon::Trigger);
    ASSERT_TRUE(rig.waitForTimer());
    EXPECT_FALSE(rig.enabled());
    emit rig.tray.systemTrayIcon().activated(QSystemTrayIcon::Trigger);
    emit rig.tray.systemTrayIcon().activated(QSystemTrayIcon::DoubleClick);
    ASSERT_TRUE(rig.waitForTimer());
    EXPECT_FALSE(rig.enabled());
    EXPECT_EQ(rig.window.calls, QStringList { QStringLiteral("minimize") });

    rig.tray.setEnabled(false);
    emit rig.tray.systemTrayIcon().activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(rig.handlers.TimerDoubleClick().isActive()) << "a disabled component ignores the mouse";
}

// Qt reports a StatusNotifier host's Activate as Trigger and SecondaryActivate as MiddleClick;
// what they do depends on where the icon lives.
TEST(TrayHandlers, ActivationsOnAStatusNotifierHostAndInAnX11Tray)
{
    struct Case
    {
        const char* label;
        bool statusNotifier;
        QSystemTrayIcon::ActivationReason reason;
        bool hiddenBefore;
        QStringList calls;
        bool enabledAfter; // once the double-click time has passed
    };
    const Case cases[] = {
        { "host click, window visible: to the tray", true, QSystemTrayIcon::Trigger, false, { "minimize" }, true },
        { "host click, window in the tray: shown", true, QSystemTrayIcon::Trigger, true, { "centre", "restore" },
            true },
        { "host middle click: switched off at once", true, QSystemTrayIcon::MiddleClick, false, {}, false },
        { "host menu request: nothing else", true, QSystemTrayIcon::Context, false, {}, true },
        { "X11 click: switched off after the double-click time", false, QSystemTrayIcon::Trigger, false, {}, false },
        { "X11 middle click: only the menu", false, QSystemTrayIcon::MiddleClick, false, {}, true },
    };
    for (const Case& c : cases) {
        HandlerRig rig;
        rig.tray.setStatusNotifierProbe([&c] { return c.statusNotifier; });
        rig.window.hidden = c.hiddenBefore;
        emit rig.tray.systemTrayIcon().activated(c.reason);
        if (c.statusNotifier) {
            EXPECT_EQ(rig.enabled(), c.enabledAfter) << c.label << ": no waiting on a host";
        }
        EXPECT_EQ(rig.window.calls, c.calls) << c.label;
        ASSERT_TRUE(rig.waitForTimer()) << c.label;
        EXPECT_EQ(rig.enabled(), c.enabledAfter) << c.label;
        if (rig.tray.RightClickPopup())
            rig.tray.RightClickPopup()->hide();
    }
}

TEST(TrayHandlers, MasterSwitchFromTheMenuAndTheSettings)
{
    HandlerRig rig;
    rig.handlers.GlobewallenabledClick();
    EXPECT_FALSE(rig.enabled());
    EXPECT_EQ(rig.tray.FrameIndex(), 25);
    rig.handlers.GlobewallenabledClick();
    EXPECT_TRUE(rig.enabled());
    EXPECT_EQ(rig.tray.FrameIndex(), 0);

    // A checkable menu action has toggled itself when it reports the trigger.
    rig.handlers.GlobewallenabledTriggered(false);
    EXPECT_EQ(rig.tray.FrameIndex(), 25);
    rig.handlers.GlobewallenabledTriggered(true);
    EXPECT_EQ(rig.tray.FrameIndex(), 0);

    rig.tray.setIconList(gw::TrayList::Percent);
    rig.handlers.TrayIconCross(true);
    EXPECT_EQ(rig.tray.FrameIndex(), 14) << "the last image of the list shown";
}

TEST(WidgetWindowControl, ParkedWindowIsCentredWhenShownFromTheTray)
{
    gw::TrayIcon tray;
    QWidget window;
    window.resize(300, 200);
    tray.setMainWindow(&window);
    gw::WidgetWindowControl control(window, tray);

    window.move(40, 2000);
    window.show();
    control.minimizeApp();
    EXPECT_TRUE(window.isHidden());
    EXPECT_TRUE(control.isHiddenToTray());
    control.centreIfParked();
    control.restoreApp();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    const QRect desktop = window.screen()->geometry();
    EXPECT_EQ(window.pos(), gw::centredTopLeft(desktop, window.frameGeometry().size()));

    window.move(40, 30);
    control.centreIfParked();
    EXPECT_EQ(window.pos(), QPoint(40, 30)) << "a window on the desktop stays where it is";
}

// The image rules kept together: start-up, the end of each scheduler tick on mains and on
// battery, the master switch from a click, with the real component counting its own lists.
TEST(TrayImageRules, StartUpTicksAndTheSwitch)
{
    struct NoJobs : gw::TimedJobs
    {
        void StartXPlanet() override { }
        bool cloudIntervalJob() override { return true; }
        bool cloudFixedTimeJob() override { return true; }
        bool listJob() override { return true; }
    } jobs;
    gwtest::TempDir dir;
    const QString power = dir.file(QStringLiteral("power"));
    gwtest::writeFile(power + QStringLiteral("/AC/type"), "Mains\n");
    gwtest::writeFile(power + QStringLiteral("/AC/online"), "1\n");
    gwtest::writeFile(power + QStringLiteral("/BAT0/type"), "Battery\n");
    gwtest::writeFile(power + QStringLiteral("/BAT0/status"), "Charging\n");

    HandlerRig rig;
    rig.settings.setChecked(QStringLiteral("cbDontUseOnBattery"), false);
    gw::AppState state;
    gw::MemoryLog log;
    gw::ManualClock clock(45000.5);
    gw::SystemState system(rig.settings, clock, power, [] { return false; });
    gw::CentralScheduler scheduler(rig.settings, state, log, rig.tray, clock, system, jobs);

    rig.handlers.showTrayIcon();
    rig.handlers.setUpAnimation();
    EXPECT_EQ(rig.tray.FrameIndex(), -1) << "start-up: the Icon until the first tick";
    std::vector<int> frames;
    const auto tick = [&] {
        scheduler.CentralTimerTimer();
        frames.push_back(rig.tray.FrameIndex());
    };
    tick();
    tick();
    gwtest::writeFile(power + QStringLiteral("/AC/online"), "0\n");
    gwtest::writeFile(power + QStringLiteral("/BAT0/status"), "Discharging\n");
    tick();
    tick();
    tick();
    rig.handlers.TrayIconClick(Qt::LeftButton);
    ASSERT_TRUE(rig.waitForTimer());
    frames.push_back(rig.tray.FrameIndex());
    tick();
    tick();
    EXPECT_EQ(frames, (std::vector<int> { 0, 0, 24, 0, 24, 25, 25, 25 }));
}
