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
// The "generated" time (milliseconds since 1970) in the metadata of a GeoJSON feed; invalid
// when the file states none (a CSV feed states none).
QDateTime feedGenerated(const QString& file);
// The newest "date" of the observations in an event list; invalid when it states none.
QDateTime newestEventDate(const QString& file);
// The newest epoch of the element sets in a TLE file; invalid when it holds none.
QDateTime newestTleEpoch(const QString& file);

// By `how`, falling back to the Last-Modified of `rawHeaders`; invalid when neither tells.
QDateTime contentDate(sources::ContentAge how, const QByteArray& rawHeaders, const QString& file);

} // namespace gw::contentage
