#pragma once
// A render with the real xplanet into a desktop's real parts: a private session bus (with
// the bus-activated xfconf and dconf services of the system), settings and cache folders of
// the test's own, and an X server when the test asks for one.
#include "background/Monitor.h"
#include "renderer_launch/RenderFixture.h"
#include "support/XvfbFixture.h"

#include <QImage>

namespace backgroundtest {

class DesktopRig : public launchtest::RenderFixture
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts Xvfb and points DISPLAY at it; false (test skipped) when it cannot start.
    bool startDisplay(int width, int height);
    // Xvfb of 800x300 split into two RandR monitors of 400x300, "left" and "right", as xrandr
    // lists them; empty when the display cannot start.
    gw::MonitorList splitDisplay();
    // One render with this desktop choice and these monitors, as the user's "Render now".
    void renderTo(const QString& choice, const gw::MonitorList& monitors);

    QString pictureFolder() const { return tmp.file(QStringLiteral("cache/Globewall")); }
    QStringList pictures() const; // the files in the picture folder, full paths
    QStringList backgroundLog() const; // the log lines about the desktop background
    // Runs a tool to its end; its standard output, trimmed.
    static QString output(const QString& program, const QStringList& arguments);

    gwtest::XvfbServer xvfb;
};

// True when `monitor`'s part of the picture shows one whole lit globe: lit in the middle,
// space in the corners, many colours (land, sea, ice), no backdrop red.
bool showsGlobeAt(const QImage& image, const QRect& monitor);
bool isRed(QRgb pixel);

} // namespace backgroundtest
