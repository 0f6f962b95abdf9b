#pragma once
// Where the main window goes on the desktop.
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVector>

#include <optional>

namespace gw {

// x rounded to the nearest whole number, halves to the even neighbour (271.5 -> 272, 270.5 -> 270).
int roundHalfEven(double x);

// Left and top that centre a window on the desktop: desktop / 2 - window / 2 on each axis,
// rounded with halves to even. With `clampToZero` a negative coordinate becomes 0, so a window
// larger than the desktop keeps its title bar reachable.
QPoint centredPosition(const QSize& desktop, const QSize& window, bool clampToZero);

// Where the window stood at the last save: the name of its screen, the top-left corner of its
// contents (the window system's frame not included) on the desktop and their size. Kept apart
// rather than as a rectangle: a settings file may hold corners near the end of the int range,
// where a rectangle's right edge would overflow. An empty size: never saved.
struct SavedPlacement
{
    QString screen;
    QPoint topLeft;
    QSize size;
};

// A screen as the window sees it: its name and the part of the desktop windows may take.
struct ScreenArea
{
    QString name;
    QRect available;
};

// The saved place and size, back on the screen of that name: no larger than the screen's free
// area and no smaller than `minimum`, moved inside that area where it reaches beyond (any
// corner, however far off, lands on the screen). Nothing
// when nothing was saved or that screen no longer exists: the window then opens as at a first
// start.
std::optional<QRect> restoredGeometry(const SavedPlacement& saved, const QVector<ScreenArea>& screens, QSize minimum);

// The size a window opens at: the size its contents need, within the screen's free area.
QSize sizeWithin(QSize wanted, QSize available);

// The top edge the window is parked at until the start-up step places it.
inline constexpr int ParkedTop = 2000;

} // namespace gw
