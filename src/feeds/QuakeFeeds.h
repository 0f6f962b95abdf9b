#pragma once
// The earthquake lists as marker lines, all in one form: `lat lon "PLACE (MAG)" color=green`,
// the magnitude with one decimal or "?" when the list has none. The service's summary feeds
// come as CSV or GeoJSON, the older list in fixed columns. A record without a position
// xplanet can place gives no marker.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class QIODevice;

namespace gw::feeds {
struct Conversion;
}

namespace gw::quake {

enum class Format { FixedColumns, Csv, GeoJson };

// Told apart by their first bytes: a JSON object, a CSV header naming latitude and longitude,
// anything else is the fixed-column list.
Format formatOf(QByteArrayView text);

// The readers of feeds::convertFile, one per format.
bool csvMarkers(QIODevice& in, feeds::Conversion& c);
bool geoJsonMarkers(QIODevice& in, feeds::Conversion& c);
bool fixedColumnMarkers(QIODevice& in, feeds::Conversion& c);

} // namespace gw::quake
