#pragma once
// Whom each built-in source's data comes from, as its terms ask to be named: shown by
// "--status" beside every download of it, and beside the live cloud maps in the window.
#include <QString>

namespace gw::sources {

// "USGS", "NOAA SWPC", "NOAA NHC", "NASA EONET", "CelesTrak", or for the live cloud maps
// liveCloudCredit(); empty for an address of no built-in source.
QString creditOf(const QString& url);

// The line the live cloud maps' terms ask for wherever one is used.
QString liveCloudCredit();

} // namespace gw::sources
