#pragma once
// The earthquake summary feeds (CSV and GeoJSON) as marker lines, in the same form as the
// fixed-column list gives them: `lat lon "PLACE (MAG)" color=green`, the magnitude with one
// decimal or "?" when the feed has none. Records without a usable position give no marker.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace gw::quake {

enum class Format { FixedColumns, Csv, GeoJson };

// Told apart by their first bytes: a JSON object, a CSV header naming latitude and longitude,
// anything else is the fixed-column list.
Format formatOf(QByteArrayView text);

QByteArray csvMarkers(QByteArrayView text);
QByteArray geoJsonMarkers(const QByteArray& text);

// True for an address of the summary feeds on the earthquake service's host, whatever the
// magnitude, the period and the format.
bool isSummaryFeed(const QString& url);

// Appends `text` as part of a quoted label: '"' becomes '\'', control characters blanks.
void appendLabelText(QByteArray& out, QByteArrayView text);
// Appends ` "PLACE (MAG)" color=green` and the line end, the magnitude from its text.
void appendLabelAndEnd(QByteArray& out, QByteArrayView place, QByteArrayView magnitude);

} // namespace gw::quake
