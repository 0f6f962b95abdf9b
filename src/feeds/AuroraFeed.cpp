#include "feeds/AuroraFeed.h"

#include "feeds/FeedConversion.h"
#include "feeds/JsonStream.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace gw::aurora {

namespace {

    using feeds::JsonStream;
    using Token = JsonStream::Token;

    struct Point
    {
        double longitude = std::numeric_limits<double>::quiet_NaN();
        double latitude = std::numeric_limits<double>::quiet_NaN();
        double percent = std::numeric_limits<double>::quiet_NaN();
    };

    bool readPoint(JsonStream& json, Point& point)
    {
        int index = 0;
        return json.elements([&](Token t) {
            if (t == Token::Number && index < 3)
                (index == 0 ? point.longitude : index == 1 ? point.latitude : point.percent) = json.number();
            ++index;
            return json.skip(t);
        });
    }

    void appendPoint(const Point& point, feeds::Conversion& c)
    {
        double longitude = point.longitude;
        // The grid counts longitude from 0 to 359 eastwards.
        if (longitude > 180 && longitude < 360)
            longitude -= 360;
        if (!feeds::isPosition(point.latitude, longitude))
            return;
        ++c.positions;
        const int threshold = std::clamp(c.options.auroraThreshold, 1, 100);
        if (!std::isfinite(point.percent) || point.percent < threshold || point.percent > 100)
            return;
        QByteArray& out = c.out.line();
        feeds::appendPosition(out, point.latitude, longitude);
        out += " \"\" color=";
        out += colorFor(point.percent, threshold);
        out += " symbolsize=2 outlined=false\r\n";
        c.out.lineDone();
    }

} // namespace

QByteArray colorFor(double percent, int threshold)
{
    // Green, through yellow, to red.
    const double t = threshold >= 100 ? 1.0 : std::clamp((percent - threshold) / (100.0 - threshold), 0.0, 1.0);
    const int red = int(std::lround(std::min(1.0, 2 * t) * 255));
    const int green = int(std::lround(std::min(1.0, 2 * (1 - t)) * 255));
    return '{' + QByteArray::number(red) + ',' + QByteArray::number(green) + ",0}";
}

bool markers(QIODevice& in, feeds::Conversion& c)
{
    static constexpr feeds::JsonList kForecast { "coordinates", feeds::JsonList::Lists, "not an aurora forecast",
        "no coordinates in the forecast" };
    return feeds::readJsonList(in, c, kForecast, [&](JsonStream& json) {
        Point point;
        if (!readPoint(json, point))
            return false;
        appendPoint(point, c);
        return true;
    });
}

} // namespace gw::aurora
