#pragma once
// Where the main window goes on the desktop.
#include <QPoint>
#include <QSize>

namespace gw {

// x rounded to the nearest whole number, halves to the even neighbour (271.5 -> 272, 270.5 -> 270).
int roundHalfEven(double x);

// Left and top that centre a window on the desktop: desktop / 2 - window / 2 on each axis,
// rounded with halves to even. With `clampToZero` a negative coordinate becomes 0, so a window
// larger than the desktop keeps its title bar reachable.
QPoint centredPosition(const QSize& desktop, const QSize& window, bool clampToZero);

// The top edge the window is parked at until the start-up step places it.
inline constexpr int ParkedTop = 2000;

} // namespace gw
