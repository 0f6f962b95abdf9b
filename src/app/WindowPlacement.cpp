#include "app/WindowPlacement.h"

#include <algorithm>
#include <cmath>

namespace gw {

int roundHalfEven(double x)
{
    const double floor = std::floor(x);
    const double diff = x - floor;
    if (diff < 0.5)
        return static_cast<int>(floor);
    if (diff > 0.5)
        return static_cast<int>(floor) + 1;
    const auto f = static_cast<long long>(floor);
    return static_cast<int>(f % 2 == 0 ? f : f + 1);
}

QPoint centredPosition(const QSize& desktop, const QSize& window, bool clampToZero)
{
    int left = roundHalfEven(desktop.width() / 2.0 - window.width() / 2.0);
    int top = roundHalfEven(desktop.height() / 2.0 - window.height() / 2.0);
    if (clampToZero) {
        left = left < 0 ? 0 : left;
        top = top < 0 ? 0 : top;
    }
    return { left, top };
}

namespace {
    // `start` moved so that [start, start + length) lies within [low, low + room) where it fits;
    // a length beyond the room starts at `low`.
    int within(int start, int length, int low, int room)
    {
        if (length >= room || start < low)
            return low;
        // Summed wide: a start near the end of the int range must not wrap round to the left.
        const qint64 end = qint64(start) + length;
        return end > qint64(low) + room ? low + room - length : start;
    }
} // namespace

std::optional<QRect> restoredGeometry(const SavedPlacement& saved, const QVector<ScreenArea>& screens, QSize minimum)
{
    if (saved.size.width() <= 0 || saved.size.height() <= 0)
        return std::nullopt;
    const auto screen
        = std::find_if(screens.begin(), screens.end(), [&](const ScreenArea& s) { return s.name == saved.screen; });
    if (screen == screens.end() || screen->available.isEmpty())
        return std::nullopt;
    const QRect area = screen->available;
    const QSize size = saved.size.boundedTo(area.size()).expandedTo(minimum);
    return QRect(QPoint(within(saved.topLeft.x(), size.width(), area.x(), area.width()),
                     within(saved.topLeft.y(), size.height(), area.y(), area.height())),
        size);
}

QSize sizeWithin(QSize wanted, QSize available)
{
    return available.isEmpty() ? wanted : wanted.boundedTo(available);
}

} // namespace gw
