#include "downloads/SourceCredits.h"

#include "downloads/BuiltInSources.h"
#include "shared/Endpoints.h"

namespace gw::sources {

QString liveCloudCredit()
{
    return QStringLiteral("Contains modified EUMETSAT data");
}

QString creditOf(const QString& url)
{
    if (url == endpoints::quakeList())
        return QStringLiteral("USGS");
    if (onHostOf(SatelliteElements, url) || hostKey(url) == hostKey(endpoints::tleList()))
        return QStringLiteral("CelesTrak");
    const Source* found = forAddress(url);
    if (!found)
        return QString();
    switch (Name(found - &source(Name(0)))) {
    case LiveClouds:
        return liveCloudCredit();
    case QuakeFeeds:
        return QStringLiteral("USGS");
    case SatelliteElements:
        return QStringLiteral("CelesTrak");
    case AuroraForecast:
        return QStringLiteral("NOAA SWPC");
    case TropicalStorms:
        return QStringLiteral("NOAA NHC");
    case NaturalEvents:
        return QStringLiteral("NASA EONET");
    case Count:
        break;
    }
    return QString();
}

} // namespace gw::sources
