#pragma once
// How old what a source published is, as opposed to when it was downloaded: the server's
// Last-Modified, the generation time a feed states, the epoch of satellite elements. Only the
// head of a file is read, so a large feed costs no more than a small one.
#include "downloads/BuiltInSources.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace gw::contentage {

// The Last-Modified of an answer's raw header lines; invalid when it has none.
QDateTime lastModified(const QByteArray& rawHeaders);
// The "generated" time (milliseconds since 1970) of the top-level "metadata" object of a
// GeoJSON feed; invalid when the file states none (a CSV feed states none). A feature's own
// "generated" is no date of the feed.
QDateTime feedGenerated(const QString& file);
// The newest "date" of the observations in an event list; invalid when it states none.
QDateTime newestEventDate(const QString& file);
// The newest epoch of the element sets in a TLE file; invalid when it holds none.
QDateTime newestTleEpoch(const QString& file);

// Clocks differ by this much at most; a date later than now by more is from the future.
inline constexpr qint64 ClockSkewSeconds = 5 * 60;

// By `how`, falling back to the Last-Modified of `rawHeaders`; invalid when neither tells. A
// date from the future is no content date (a server that states one could keep its source
// from ever counting as stale): it is passed over, and named in `ignored`.
QDateTime contentDate(sources::ContentAge how, const QByteArray& rawHeaders, const QString& file, const QDateTime& now,
    QString* ignored = nullptr);

} // namespace gw::contentage
