#include "app/WindowPlacement.h"

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

} // namespace gw
