#pragma once
#include <QByteArray>
#include <QString>

namespace gw {

// Turns an earthquake list into an xplanet marker file. The list is recognised by its content:
// the fixed columns of the finger service below a header line holding "yy/mm/dd hh:mm:ss", or
// a summary feed in CSV or GeoJSON (see QuakeFeeds.h). Each gives one green marker per earthquake at its
// latitude and longitude, labelled with the region and the magnitude, lines ended by CR LF.
// A missing input leaves the output alone. The output is replaced only by a whole conversion,
// so a failure (a feed that does not parse, see FeedConversion.h) keeps the previous marker
// file; the failure is thrown as gw::Error.
void ConvertAscQuakeToMarker(const QString& ascFile, const QString& markerFile);

// The conversion itself: the marker file's bytes for the bytes of an earthquake list; empty
// when the list does not convert.
QByteArray quakeMarkerText(const QByteArray& ascText);

} // namespace gw
