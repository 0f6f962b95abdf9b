#include "feeds/EonetFeed.h"

#include "feeds/FeedConversion.h"
#include "feeds/JsonStream.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <limits>

namespace gw::eonet {

namespace {

    using feeds::JsonStream;
    using Token = JsonStream::Token;

    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kHectaresPerAcre = 0.40468564224;

    // The points of a geometry summed for their mean. Longitudes are taken as the nearest turn
    // to the first, so a polygon across the date line has its centre there and not at 0°.
    struct Centroid
    {
        double latitude = 0, longitude = 0;
        qint64 points = 0;
        double firstLongitude = kNaN;

        void add(double lat, double lon)
        {
            if (std::isnan(firstLongitude))
                firstLongitude = lon;
            while (lon - firstLongitude > 180)
                lon -= 360;
            while (lon - firstLongitude < -180)
                lon += 360;
            latitude += lat;
            longitude += lon;
            ++points;
        }
        bool position(double* lat, double* lon) const
        {
            if (points == 0)
                return false;
            *lat = latitude / double(points);
            *lon = longitude / double(points);
            if (*lon > 180)
                *lon -= 360;
            if (*lon < -180)
                *lon += 360;
            return feeds::isPosition(*lat, *lon);
        }
    };

    struct Feature
    {
        QByteArray id;
        QByteArray title;
        QByteArray unit;
        Observation observation;
        bool placed = false;
    };

    // A coordinates value: a point [lon, lat, ...], or lists of them at any depth (a Polygon's
    // rings). Points that are not two finite numbers are left out; a ring's closing point,
    // the same as its first, is counted once.
    bool readCoordinates(JsonStream& json, feeds::Conversion& c, Centroid& centroid, int depth)
    {
        double numbers[2] = { kNaN, kNaN };
        int index = 0;
        bool nested = false;
        double ringFirst[2] = { kNaN, kNaN };
        double ringLast[2] = { kNaN, kNaN };
        qint64 ringPoints = 0;
        const bool read = json.elements([&](Token t) {
            if (t == Token::Number) {
                if (index < 2)
                    numbers[index] = json.number();
                ++index;
                return true;
            }
            if (t != Token::BeginArray || depth >= 4)
                return json.skip(t);
            nested = true;
            Centroid inner;
            if (!readCoordinates(json, c, inner, depth + 1))
                return false;
            if (inner.points == 1 && depth >= 1) {
                // A point of a ring: kept apart to see whether it closes the ring.
                if (ringPoints == 0) {
                    ringFirst[0] = inner.latitude;
                    ringFirst[1] = inner.longitude;
                }
                ringLast[0] = inner.latitude;
                ringLast[1] = inner.longitude;
                ++ringPoints;
                if (centroid.points >= maxGeometryPoints)
                    return c.fail(QStringLiteral("a geometry of more than %1 points").arg(maxGeometryPoints));
                centroid.add(inner.latitude, inner.longitude);
                return true;
            }
            if (inner.points > 0) {
                double lat = 0, lon = 0;
                inner.position(&lat, &lon);
                if (centroid.points + inner.points > maxGeometryPoints)
                    return c.fail(QStringLiteral("a geometry of more than %1 points").arg(maxGeometryPoints));
                // Rings weigh by their points.
                for (qint64 i = 0; i < inner.points; ++i)
                    centroid.add(lat, lon);
            }
            return true;
        });
        if (!read)
            return false;
        if (!nested && index >= 2 && feeds::isPosition(numbers[1], numbers[0])) {
            centroid.latitude = numbers[1];
            centroid.longitude = numbers[0];
            centroid.points = 1;
        }
        if (ringPoints > 2 && ringFirst[0] == ringLast[0] && ringFirst[1] == ringLast[1]) {
            // The closing point out again.
            double lat = ringLast[0], lon = ringLast[1];
            while (lon - centroid.firstLongitude > 180)
                lon -= 360;
            while (lon - centroid.firstLongitude < -180)
                lon += 360;
            centroid.latitude -= lat;
            centroid.longitude -= lon;
            --centroid.points;
        }
        return true;
    }

    bool readGeometry(JsonStream& json, feeds::Conversion& c, Feature& feature)
    {
        Centroid centroid;
        const bool read = json.members([&](const QByteArray& key) {
            if (key != "coordinates")
                return json.skipValue();
            const Token t = json.next();
            return t == Token::BeginArray ? readCoordinates(json, c, centroid, 0) : json.skip(t);
        });
        if (read)
            feature.placed = centroid.position(&feature.observation.latitude, &feature.observation.longitude);
        return read;
    }

    bool readProperties(JsonStream& json, Feature& feature)
    {
        return json.members([&](const QByteArray& key) {
            const QByteArray name = key;
            const Token t = json.next();
            if (t == Token::String && name == "id")
                feature.id = json.text().left(feeds::limits::maxLabel);
            else if (t == Token::String && name == "title")
                feature.title = json.text().left(feeds::limits::maxLabel * 2);
            else if (t == Token::String && name == "magnitudeUnit")
                feature.unit = json.text().left(16).toLower();
            else if (t == Token::String && name == "date") {
                feature.observation.msecs = feeds::isoTimeMsecs(json.text());
            } else if (t == Token::Number && name == "magnitudeValue")
                feature.observation.magnitude = json.number();
            return json.skip(t);
        });
    }

    bool readFeature(JsonStream& json, feeds::Conversion& c, Feature& feature)
    {
        return json.members([&](const QByteArray& key) {
            const bool geometry = key == "geometry", properties = key == "properties";
            if (!geometry && !properties)
                return json.skipValue();
            const Token t = json.next();
            if (t != Token::BeginObject)
                return json.skip(t);
            return geometry ? readGeometry(json, c, feature) : readProperties(json, feature);
        });
    }

    // A magnitude the layers can compare: finite, positive, and a fire's area in hectares.
    double magnitudeOf(const Feature& feature)
    {
        const double value = feature.observation.magnitude;
        if (!std::isfinite(value) || value <= 0 || value > 1e9)
            return kNaN;
        return feature.unit.startsWith("acre") ? value * kHectaresPerAcre : value;
    }

    // "Name Volcano, Country" as "Name Volcano": the place after the comma crowds the map.
    QByteArrayView nameOf(const Event& event)
    {
        QByteArrayView title = event.title;
        const qsizetype comma = title.indexOf(',');
        if (comma > 0)
            title = title.first(comma);
        return title.isEmpty() ? QByteArrayView("unnamed") : title;
    }

    void appendMarker(feeds::Conversion& c, const Event& event, bool labelled, const char* style)
    {
        QByteArray& out = c.out.line();
        feeds::appendPosition(out, event.latest().latitude, event.latest().longitude);
        out += " \"";
        if (labelled)
            feeds::appendLabelText(out, nameOf(event));
        out += "\" ";
        out += style;
        out += "\r\n";
        c.out.lineDone();
    }

} // namespace

bool readEvents(QIODevice& in, feeds::Conversion& c, std::vector<Event>& events)
{
    static constexpr feeds::JsonList kCollection { "features", feeds::JsonList::Objects,
        "not a GeoJSON feature collection", "no features in the document" };
    QHash<QByteArray, size_t> byId;
    std::vector<qint64> newest; // each event's newest observation so far
    const bool read = feeds::readJsonList(in, c, kCollection, [&](JsonStream& json) {
        Feature feature;
        feature.observation.magnitude = kNaN;
        if (!readFeature(json, c, feature))
            return false;
        if (!feature.placed)
            return true;
        ++c.positions;
        feature.observation.magnitude = magnitudeOf(feature);
        // A feature without an id is an event of its own.
        const auto found = feature.id.isEmpty() ? byId.end() : byId.find(feature.id);
        if (found == byId.end()) {
            if (!feature.id.isEmpty())
                byId.insert(feature.id, events.size());
            events.push_back({ feature.id, feature.title, {} });
            newest.push_back(feature.observation.msecs);
            events.back().track.push_back(feature.observation);
        } else {
            Event& event = events[*found];
            if (feature.observation.msecs >= newest[*found] && !feature.title.isEmpty())
                event.title = feature.title; // a storm is renamed as it grows
            newest[*found] = std::max(newest[*found], feature.observation.msecs);
            event.track.push_back(feature.observation);
        }
        return true;
    });
    if (!read)
        return false;
    for (Event& event : events)
        std::stable_sort(event.track.begin(), event.track.end(),
            [](const Observation& a, const Observation& b) { return a.msecs < b.msecs; });
    return true;
}

bool volcanoMarkers(QIODevice& in, feeds::Conversion& c)
{
    std::vector<Event> events;
    if (!readEvents(in, c, events))
        return false;
    for (const Event& event : events)
        appendMarker(c, event, true, "color={255,140,0} symbolsize=6");
    return true;
}

bool wildfireMarkers(QIODevice& in, feeds::Conversion& c)
{
    std::vector<Event> events;
    if (!readEvents(in, c, events))
        return false;
    // The largest fires by their latest size; a fire of no stated size is never among them.
    std::vector<size_t> sized;
    for (size_t i = 0; i < events.size(); ++i)
        if (std::isfinite(events[i].latest().magnitude))
            sized.push_back(i);
    const size_t labels = std::min<size_t>(sized.size(), maxFireLabels);
    std::partial_sort(sized.begin(), sized.begin() + qsizetype(labels), sized.end(),
        [&](size_t a, size_t b) { return events[a].latest().magnitude > events[b].latest().magnitude; });
    std::vector<bool> labelled(events.size(), false);
    for (size_t i = 0; i < labels; ++i)
        labelled[sized[i]] = true;
    for (size_t i = 0; i < events.size(); ++i)
        appendMarker(c, events[i], labelled[i], "color={255,0,0} symbolsize=4");
    return true;
}

} // namespace gw::eonet
