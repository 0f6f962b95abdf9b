#pragma once
// A monitor as the render sees it: its output name and its place on the desktop, in device
// pixels. The window side fills the list from the screens of the display.
#include <QRect>
#include <QString>
#include <QVector>

namespace gw {

struct Monitor
{
    QString name;
    QRect geometry;
    bool operator==(const Monitor&) const = default;
};

using MonitorList = QVector<Monitor>;

// The rectangle that holds every monitor (the picture "spanned" over all of them); a monitor
// of no size (0x0) takes no part.
QRect desktopRect(const MonitorList& monitors);

// A picture composed over several monitors holds at most this many pixels (480 MB while it is
// composed). Four 8K monitors in a square come to 133 million; monitors placed far apart span
// a rectangle of empty desktop that no picture needs.
inline constexpr qint64 MaxComposedPixels = 160'000'000;
// True when the rectangle over all of `monitors` is beyond MaxComposedPixels.
bool composedTooLarge(const MonitorList& monitors);

} // namespace gw
