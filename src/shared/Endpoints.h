#pragma once
// The built-in web addresses. They are compared as exact text by the download jobs, so every
// use goes through these functions. Tests may replace a host with a loopback address.
#include <QString>

namespace gw::endpoints {

struct Hosts
{
    QString renderer = QStringLiteral("http://xplanet.sourceforge.net"); // cloud map, MD5 sum, clouds page
    QString quake = QStringLiteral("http://earthquake.usgs.gov"); // earthquake list
    QString tle = QStringLiteral("http://www.celestrak.com"); // satellite elements
    QString quakeFeeds = QStringLiteral("https://earthquake.usgs.gov"); // earthquake summary feeds
    QString satellites = QStringLiteral("https://celestrak.org"); // satellite elements today
    QString liveClouds = QStringLiteral("https://clouds.matteason.co.uk"); // the free live cloud maps
    QString program = QStringLiteral("http://www.globewall.quillmoor.net"); // home page, named in the update dialog
    QString updates = QStringLiteral("https://www.globewall.quillmoor.net"); // update info, over https
    QString spaceWeather = QStringLiteral("https://services.swpc.noaa.gov"); // the aurora forecast
    QString storms = QStringLiteral("https://www.nhc.noaa.gov"); // the tropical storms
    QString naturalEvents = QStringLiteral("https://eonet.gsfc.nasa.gov"); // storms, volcanoes, wildfires
};

Hosts& hosts();

inline QString cloudMap()
{
    return hosts().renderer + QStringLiteral("/clouds_2000.jpg");
}
inline QString cloudMapMd5()
{
    return hosts().renderer + QStringLiteral("/md5sum");
}
inline QString cloudsPage()
{
    return hosts().renderer + QStringLiteral("/clouds.php");
}
inline QString rendererHome()
{
    return hosts().renderer + QStringLiteral("/");
}
inline QString quakeList()
{
    return hosts().quake + QStringLiteral("/neis/finger/quake.asc");
}
inline QString tleList()
{
    return hosts().tle + QStringLiteral("/NORAD/elements/stations.txt");
}
// What a first start puts into the download list: the addresses above no longer answer.
inline QString quakeFeed()
{
    return hosts().quakeFeeds + QStringLiteral("/earthquakes/feed/v1.0/summary/2.5_week.csv");
}
inline QString issElements()
{
    return hosts().satellites + QStringLiteral("/NORAD/elements/gp.php?CATNR=25544&FORMAT=TLE");
}
// The aurora's probability for the next half hour on a 1-degree grid, new every 5 minutes.
inline QString auroraFeed()
{
    return hosts().spaceWeather + QStringLiteral("/json/ovation_aurora_latest.json");
}
// The tropical storms active in the Atlantic and the eastern and central Pacific.
inline QString stormFeed()
{
    return hosts().storms + QStringLiteral("/CurrentStorms.json");
}
// The open natural events of one category ("severeStorms", "volcanoes", "wildfires"): storms in
// every ocean with their positions so far, erupting volcanoes, large wildfires.
inline QString naturalEvents(const QString& category)
{
    return hosts().naturalEvents + QStringLiteral("/api/v3/events/geojson?status=open&category=") + category;
}
// The free live cloud map in one of its sizes ("2048x1024").
inline QString liveCloudMap(const QString& size)
{
    return hosts().liveClouds + QStringLiteral("/images/") + size + QStringLiteral("/clouds.jpg");
}
inline QString updateInfo()
{
    return hosts().updates + QStringLiteral("/soft/updates.ini");
}
inline QString programHome()
{
    return hosts().program + QStringLiteral("/index_globewall.html");
}
inline QString programEmail()
{
    return QStringLiteral("globewall@quillmoor.net");
}

} // namespace gw::endpoints
