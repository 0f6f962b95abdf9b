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

// The rectangle that holds every monitor (the picture "spanned" over all of them).
QRect desktopRect(const MonitorList& monitors);

} // namespace gw
