// Bare X: two monitors on one screen (as xrandr reports them) each show a whole globe of their
// own, and compositors find the picture through the root pixmap properties.
#include "DesktopRig.h"

#include <QProcess>

namespace backgroundtest {
namespace {

    class RootWindow : public DesktopRig
    {
    };

    TEST_F(RootWindow, TwoMonitorsEachShowAWholeGlobeAndThePixmapIsNamed)
    {
        const gw::MonitorList monitors = splitDisplay();
        ASSERT_EQ(monitors.size(), 2) << xvfb.error().toStdString();

        renderTo(QStringLiteral("X root window"), monitors);
        EXPECT_TRUE(backgroundLog().isEmpty()) << backgroundLog().join(QLatin1Char('\n')).toStdString();
        const QImage shot = xvfb.grabRoot();
        EXPECT_TRUE(showsGlobeAt(shot, QRect(0, 0, 400, 300))) << "left monitor";
        EXPECT_TRUE(showsGlobeAt(shot, QRect(400, 0, 400, 300))) << "right monitor";
        EXPECT_LT(qGray(shot.pixel(400, 150)), 10) << "space at the seam: never one globe across both";
        EXPECT_TRUE(output(QStringLiteral("xprop"), { "-root", "_XROOTPMAP_ID" }).contains("pixmap id # 0x"));
        EXPECT_TRUE(pictures().isEmpty()) << "the pictures are in the root pixmap; no file stays";
    }

    TEST_F(RootWindow, OneMonitorIsPaintedByTheRendererAndTheRootPixmapIsNamed)
    {
        ASSERT_TRUE(startDisplay(640, 480)) << xvfb.error().toStdString();
        renderTo(QStringLiteral("automatic"), { { QStringLiteral("screen"), QRect(0, 0, 640, 480) } });
        EXPECT_FALSE(messages.lines.join(' ').contains(QStringLiteral("-output"))) << "the command line of before";
        EXPECT_TRUE(showsGlobeAt(xvfb.grabRoot(), QRect(0, 0, 640, 480)));
        EXPECT_TRUE(output(QStringLiteral("xprop"), { "-root", "_XROOTPMAP_ID" }).contains("pixmap id # 0x"));
        EXPECT_TRUE(output(QStringLiteral("xprop"), { "-root", "ESETROOT_PMAP_ID" }).contains("pixmap id # 0x"));
    }

} // namespace
} // namespace backgroundtest
