#include "timesync/OffsetText.h"

#include "shared/NumberText.h"

#include <cmath>

namespace gw {

QString TimeOffsetText(TDateTime offset)
{
    constexpr qint64 msPerDay = 86400000;
    const qint64 ms = std::llround(std::fabs(offset) * static_cast<double>(msPerDay)) % msPerDay;
    const qint64 hours = ms / 3600000;
    const qint64 minutes = ms / 60000 % 60;
    const qint64 seconds = ms / 1000 % 60;
    const qint64 millis = ms % 1000;
    const QString zero = QStringLiteral("0");
    const QString text = FormatInt(hours, 2, zero) + QLatin1Char(':') + FormatInt(minutes, 2, zero) + QLatin1Char(':')
        + FormatFloat(2, 3, zero, static_cast<double>(seconds) + static_cast<double>(millis) / 1000.0);
    return (offset < 0 ? QStringLiteral("-") : QStringLiteral(" ")) + text;
}

} // namespace gw
