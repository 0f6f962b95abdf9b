// The tray component's own rules: selecting frames, stepping, the animation, the hint.
#include "desktop/TrayIcon.h"

#include <QSignalSpy>
#include <QWidget>
#include <gtest/gtest.h>

using gw::TrayIcon;

namespace {
gw::ImageList emptyList()
{
    return gw::ImageList(QStringLiteral("empty"), {});
}
} // namespace

TEST(TrayComponent, StartsWithTheGlobeListAndNoFrame)
{
    TrayIcon tray;
    EXPECT_EQ(tray.IconList(), &tray.globeFrames());
    EXPECT_EQ(tray.imageCount(), 26);
    EXPECT_EQ(tray.FrameIndex(), -1);
    EXPECT_EQ(tray.Hint(), QStringLiteral("Globewall by Quillmoor"));
    EXPECT_FALSE(tray.IconsShown().testFlag(TrayIcon::icoTray));
    EXPECT_FALSE(tray.currentImage().isNull()) << "the built-in icon shows while no frame is selected";
}

TEST(TrayComponent, FrameSelectionErrorsKeepTheFrameShown)
{
    struct Case
    {
        const char* label;
        int list; // 0 globe, 1 percent, 2 none
        int frame;
        const char* text;
    };
    for (const Case& c :
        { Case { "one past the globe list", 0, 26,
              "Tray icon animation frame number 26 unable to be shown.  26 frames are present in the imagelist." },
            Case { "one past the percent list", 1, 15,
                "Tray icon animation frame number 15 unable to be shown.  15 frames are present in the imagelist." },
            Case { "far past", 0, 1000,
                "Tray icon animation frame number 1000 unable to be shown.  26 frames are present in the imagelist." },
            Case { "no list", 2, 0,
                "Tray icon animation frame number frame 0 unable to be shown because of nil imagelist component" } }) {
        TrayIcon tray;
        tray.setFrameIndex(3);
        tray.setIconList(c.list == 0 ? &tray.globeFrames() : c.list == 1 ? &tray.percentFrames() : nullptr);
        const QIcon before = tray.currentImage();
        try {
            tray.setFrameIndex(c.frame);
            ADD_FAILURE() << c.label << ": no error";
        } catch (const gw::ETrayIconError& e) {
            EXPECT_EQ(e.message(), QString::fromLatin1(c.text)) << c.label;
        }
        EXPECT_EQ(tray.FrameIndex(), 3) << c.label;
        EXPECT_EQ(tray.currentImage().cacheKey(), before.cacheKey()) << c.label;
    }
}

TEST(TrayComponent, NegativeFrameShowsTheIcon)
{
    TrayIcon tray;
    const QIcon builtIn = tray.currentImage();
    tray.setFrameIndex(5);
    EXPECT_EQ(tray.currentImage().cacheKey(), tray.globeFrames().image(5).cacheKey());
    tray.setFrameIndex(-7);
    EXPECT_EQ(tray.FrameIndex(), -1);
    EXPECT_EQ(tray.currentImage().cacheKey(), builtIn.cacheKey()) << "no Icon given: the built-in one";

    const QIcon own = tray.percentFrames().image(9);
    tray.setIcon(own);
    EXPECT_EQ(tray.currentImage().cacheKey(), own.cacheKey()) << "the Icon property";
    tray.setFrameIndex(0);
    EXPECT_EQ(tray.currentImage().cacheKey(), tray.globeFrames().image(0).cacheKey()) << "a frame wins";
}

TEST(TrayComponent, NextFrame)
{
    struct Case
    {
        const char* label;
        int first, last; // set on the globe list
        int list; // then: 0 globe, 1 percent, 2 none, 3 empty
        int n, next;
    };
    const gw::ImageList empty = emptyList();
    for (const Case& c :
        { Case { "inside the range", 0, 23, 0, 23, 23 }, Case { "past the last frame", 0, 23, 0, 24, 0 },
            Case { "below the range", 0, 23, 0, -1, 0 }, Case { "inside a raised range", 5, 10, 0, 7, 7 },
            Case { "past a raised range", 5, 10, 0, 11, 5 }, Case { "below a raised range", 5, 10, 0, 4, 5 },
            Case { "no range: the whole list", 0, 0, 0, 25, 25 }, Case { "no range: past the list", 0, 0, 0, 26, 0 },
            Case { "range beyond a shorter list", 0, 23, 1, 14, 14 },
            Case { "range beyond a shorter list, past it", 0, 23, 1, 15, 0 },
            Case { "whole range beyond a shorter list", 20, 23, 1, 3, 14 }, Case { "no list", 0, 23, 2, 3, -1 },
            Case { "empty list", 0, 23, 3, 0, -1 } }) {
        TrayIcon tray;
        tray.setLastFrame(c.last);
        tray.setFirstFrame(c.first);
        tray.setLastFrame(c.last);
        const gw::ImageList* lists[] = { &tray.globeFrames(), &tray.percentFrames(), nullptr, &empty };
        tray.setIconList(lists[c.list]);
        EXPECT_EQ(tray.NextFrame(c.n), c.next) << c.label;
    }
}

TEST(TrayComponent, FrameBoundsAndSpeedAreClamped)
{
    TrayIcon tray;
    struct Case
    {
        const char* label;
        int first, last;
        int expectFirst, expectLast;
    };
    for (const Case& c : { Case { "last beyond the list", 0, 100, 0, 25 }, Case { "negative last", 0, -5, 0, 0 },
             Case { "last below first", 10, 5, 10, 10 }, Case { "the turning globe", 0, 23, 0, 23 } }) {
        tray.setLastFrame(25);
        tray.setFirstFrame(c.first);
        tray.setLastFrame(c.last);
        EXPECT_EQ(tray.FirstFrame(), c.expectFirst) << c.label;
        EXPECT_EQ(tray.LastFrame(), c.expectLast) << c.label;
    }
    tray.setFirstFrame(20);
    tray.setIconList(&tray.percentFrames());
    tray.setLastFrame(12);
    EXPECT_EQ(tray.LastFrame(), 14) << "at least FirstFrame, at most count - 1";
    EXPECT_EQ(tray.FirstFrame(), 14) << "FirstFrame lowered to it";
    tray.setIconList(nullptr);
    tray.setLastFrame(7);
    EXPECT_EQ(tray.LastFrame(), 0) << "without a list";

    for (auto [set, expect] :
        { std::pair { -5, 0 }, { 83, 83 }, { 999999999, 999999999 }, { 1000000000, 999999999 } }) {
        tray.setFrameSpeed(set);
        EXPECT_EQ(tray.FrameSpeed(), expect) << set;
    }
}

TEST(TrayComponent, ChangingTheListKeepsTheFrameWhereItCan)
{
    struct Case
    {
        const char* label;
        int frame;
        bool reloaded;
    };
    for (const Case& c :
        { Case { "a frame both lists hold", 7, true }, Case { "the last frame of the shorter list", 14, true },
            Case { "a frame the new list lacks", 20, false }, Case { "frame 0 is not reloaded", 0, false } }) {
        TrayIcon tray;
        tray.setFrameIndex(c.frame);
        tray.setIconList(gw::TrayList::Percent);
        EXPECT_EQ(tray.iconList(), gw::TrayList::Percent);
        EXPECT_EQ(tray.imageCount(), 15);
        EXPECT_EQ(tray.FrameIndex(), c.frame) << c.label;
        const qint64 shown = tray.currentImage().cacheKey();
        if (c.reloaded)
            EXPECT_EQ(shown, tray.percentFrames().image(c.frame).cacheKey()) << c.label;
        else
            EXPECT_EQ(shown, tray.globeFrames().image(c.frame).cacheKey()) << c.label;
    }
}

// A render that starts on the crossed globe shows it for one step, then turns 0, 1, ... 23, 0.
TEST(TrayComponent, AnimationResumesAndStepsThroughTheTurn)
{
    TrayIcon tray;
    tray.setIconsShown(TrayIcon::icoTray);
    tray.setLastFrame(23);
    tray.setFrameSpeed(10);
    tray.setFrameIndex(25);
    QSignalSpy advances(&tray, &TrayIcon::FrameAdvance);
    std::vector<int> frames;
    QObject::connect(&tray, &TrayIcon::FrameAdvance, [&] { frames.push_back(tray.FrameIndex()); });
    tray.setAnimate(true);
    EXPECT_EQ(tray.FrameIndex(), 25) << "resume: the frame shown stays";
    while (frames.size() < 26 && advances.wait(5000)) { }
    tray.setAnimate(false);
    ASSERT_GE(frames.size(), 26u);
    for (int i = 0; i < 26; ++i)
        EXPECT_EQ(frames[static_cast<size_t>(i)], i % 24) << "step " << i;
    const int stoppedAt = tray.FrameIndex();
    EXPECT_FALSE(advances.wait(100)) << "stopped";
    EXPECT_EQ(tray.FrameIndex(), stoppedAt) << "stopping leaves the image";
}

TEST(TrayComponent, AnimationFromNoFrameStartsAtTheFirstImage)
{
    TrayIcon tray;
    tray.setAnimate(true);
    EXPECT_EQ(tray.FrameIndex(), 0);
    tray.setAnimate(false);
    EXPECT_EQ(tray.FrameIndex(), 0);
}

TEST(TrayComponent, NotSteppingWhileNotShown)
{
    TrayIcon tray;
    tray.setLastFrame(23);
    tray.setFrameSpeed(10);
    QSignalSpy advances(&tray, &TrayIcon::FrameAdvance);
    tray.setAnimate(true);
    EXPECT_FALSE(advances.wait(200));
    EXPECT_EQ(tray.FrameIndex(), 0);
}

TEST(TrayComponent, HintIsCutTo62Characters)
{
    TrayIcon tray;
    const QString seventy = QString(70, QLatin1Char('x'));
    tray.setHint(seventy);
    EXPECT_EQ(tray.Hint(), seventy.left(62));
    EXPECT_EQ(tray.systemTrayIcon().toolTip(), seventy.left(62));
    tray.setHint(QStringLiteral("Globewall by Quillmoor"));
    EXPECT_EQ(tray.systemTrayIcon().toolTip(), QStringLiteral("Globewall by Quillmoor"));
    tray.setStatusLines(
        { QStringLiteral("next render 16:30"), QStringLiteral("cloud map not yet, earthquakes not yet") });
    EXPECT_EQ(tray.systemTrayIcon().toolTip(),
        QStringLiteral("Globewall by Quillmoor\nnext render 16:30\ncloud map not yet, earthquakes not yet"))
        << "the status lines come below the hint, which is not cut by them";
    tray.setHint(QStringLiteral("Globewall by Quillmoor - Xfce"));
    EXPECT_TRUE(tray.systemTrayIcon().toolTip().startsWith(QStringLiteral("Globewall by Quillmoor - Xfce\nnext")))
        << "a new hint keeps the lines";
}

TEST(TrayComponent, HideTaskbarBtnHidesAndShowsTheWindow)
{
    TrayIcon tray;
    EXPECT_FALSE(tray.HideTaskbarBtn()) << "no window yet";
    tray.setHideTaskbarBtn(true); // nothing to hide: no crash
    QWidget window;
    window.show();
    tray.setMainWindow(&window);
    EXPECT_FALSE(tray.HideTaskbarBtn());
    tray.setHideTaskbarBtn(true);
    EXPECT_TRUE(window.isHidden());
    EXPECT_TRUE(tray.HideTaskbarBtn());
    tray.setHideTaskbarBtn(false);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(tray.HideTaskbarBtn());
}
