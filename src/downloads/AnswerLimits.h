#pragma once
// How large an answer may grow. The files the program reads whole, to draw markers and
// satellites or to learn of a new release, get a limit that no real source comes near: a
// server sending more is broken or hostile, and the previous copy stays. Pictures (the cloud
// map, maps of the user's own) have none: they go to disk as they arrive and only their
// header is read.
#include "feeds/FeedConversion.h"

#include <QString>

namespace gw::limits {

// What a feed conversion reads at most: the largest earthquake feed (a month of every
// magnitude as GeoJSON) is about 20 MiB, the largest satellite-element list about 3 MiB.
inline constexpr qint64 FeedBytes = feeds::limits::maxFileBytes;
// The release description is a few hundred bytes.
inline constexpr qint64 UpdateInfoBytes = 64 * 1024;

// The limit for a download of `url` into `destination`; 0 for none.
qint64 maxBytesFor(const QString& url, const QString& destination);

} // namespace gw::limits
