#pragma once
// The natural event tracker's open events (a GeoJSON feature collection, one feature per
// observation of an event) read into events, each with its observations in time order: a
// storm's are its track. A Polygon stands for its centroid. The volcano and wildfire layers
// are marker lines made from them.
#include <QByteArray>

#include <vector>

class QIODevice;

namespace gw::feeds {
struct Conversion;
}

namespace gw::eonet {

struct Observation
{
    qint64 msecs = 0; // since 1970, UTC; 0 when the feature states no date
    double latitude = 0;
    double longitude = 0;
    double magnitude; // NaN when not given; knots for storms, hectares for fires
};

struct Event
{
    QByteArray id;
    QByteArray title;
    std::vector<Observation> track; // oldest first

    const Observation& latest() const { return track.back(); }
};

// The events of the feed in `in`, in the order their first observation came; an event only
// when it has a position. False with `c.error` when the feed is no such collection, breaks
// off, or a geometry passes the limits. Counts records and positions in `c`.
bool readEvents(QIODevice& in, feeds::Conversion& c, std::vector<Event>& events);

// Readers of feeds::convertFile. Volcanoes: an orange marker per event, labelled with the
// volcano's name. Wildfires: a red marker per event, labels only for the ten largest.
bool volcanoMarkers(QIODevice& in, feeds::Conversion& c);
bool wildfireMarkers(QIODevice& in, feeds::Conversion& c);

// The most points a geometry may have: a real event's polygon has a few dozen.
constexpr qint64 maxGeometryPoints = 10000;
// The most labels the wildfire layer writes.
constexpr int maxFireLabels = 10;

} // namespace gw::eonet
