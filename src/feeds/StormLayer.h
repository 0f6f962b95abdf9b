#pragma once
// The tropical storm layer from its two downloads: the hurricane centre's list of active storms
// (which says more of a storm it has: its class, its movement) and the natural event tracker's
// open severe storms (which has every ocean and each storm's positions so far). A storm in both
// is drawn once, from the list: it is the same storm when the names agree, or when the tracker
// saw it within 300 km of the list's position within an hour of the list's time. Out come one
// marker file (one marker per storm at its latest position) and one arc file (each storm's
// track, a segment between each two consecutive positions coloured by the intensity at the
// first). Either download may be missing; when one is there and does not read, both files
// are kept as they were.
#include "feeds/EonetFeed.h"
#include "feeds/FeedConversion.h"

#include <QByteArray>
#include <QString>

namespace gw::feeds {

struct StormFiles
{
    QString list; // the hurricane centre's list; empty or missing: none
    QString events; // the tracker's storms; empty or missing: none
    QString markerFile;
    QString arcFile;
};

struct StormOutcome : Outcome
{
    qint64 segments = 0; // arc lines written
};

StormOutcome convertStorms(const StormFiles& files);

// The same conversion in memory: the marker and the arc file's bytes; false with `error`.
// A null array stands for a missing download.
bool convertStormText(
    const QByteArray& list, const QByteArray& events, QByteArray* markers, QByteArray* arcs, QString* error = nullptr);

// The markers of the tracker's storms alone, as the layer draws them without the list.
bool eonetStormMarkers(QIODevice& in, Conversion& c);

// The storm's name in a tracker's title ("Typhoon Bebinca" gives "Bebinca") and the class the
// title gives it ("typhoon"; empty when it gives none).
QByteArrayView stormName(QByteArrayView title, QByteArrayView* titleClass = nullptr);
// Great-circle distance in kilometres.
double distanceKm(double lat1, double lon1, double lat2, double lon2);

} // namespace gw::feeds
