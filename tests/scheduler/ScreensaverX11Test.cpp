// The screensaver state of a real X server's screen-saver extension (a private Xvfb).
#include "scheduler/ScreensaverQuery.h"
#include "support/XvfbFixture.h"

#include <QProcess>
#include <gtest/gtest.h>

// Xlib's macros clash with Qt's names: included last.
#include <X11/Xlib.h>

using namespace gwtest;

TEST(ScreensaverX11, ActivateAndResetOnAPrivateServer)
{
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.start(640, 480)) << xvfb.error().toStdString();
    Display* display = XOpenDisplay(xvfb.display().toLatin1().constData());
    ASSERT_NE(display, nullptr);
    auto xset = [&](const char* what) {
        QProcess p;
        p.start(QStringLiteral("xset"),
            { QStringLiteral("-display"), xvfb.display(), QStringLiteral("s"), QString::fromLatin1(what) });
        return p.waitForFinished(10000) && p.exitCode() == 0;
    };
    EXPECT_EQ(gw::x11ScreensaverActive(display), std::optional<bool>(false)) << "fresh server";
    ASSERT_TRUE(xset("activate"));
    EXPECT_EQ(gw::x11ScreensaverActive(display), std::optional<bool>(true)) << "after xset s activate";
    ASSERT_TRUE(xset("reset"));
    EXPECT_EQ(gw::x11ScreensaverActive(display), std::optional<bool>(false)) << "after xset s reset";
    XCloseDisplay(display);
    EXPECT_FALSE(gw::x11ScreensaverActive(nullptr).has_value()) << "no display";
}
