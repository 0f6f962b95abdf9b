#pragma once
// Which feed a download is, told by its address: the built-in sources' own addresses. The
// feeds themselves know formats, not addresses.
#include "feeds/FeedConversion.h"

#include <QString>

namespace gw::sources {

// The feed an address serves: the earthquake service's summary feeds (Quake), the built-in
// fixed-column list (QuakeList), the aurora forecast, the storm list, the natural events of one
// category (storms, volcanoes, wildfires); None for any other.
feeds::Kind feedKindOf(const QString& url);

// True for an address of the earthquake summary feeds (the built-in source QuakeFeeds),
// whatever the magnitude, the period and the format.
bool isQuakeSummaryFeed(const QString& url);

} // namespace gw::sources
