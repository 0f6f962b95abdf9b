#pragma once
// The built-in web addresses. They are compared as exact text by the download jobs, so every
// use goes through these functions. Tests may replace a host with a loopback address.
#include <QString>

namespace gw::endpoints {

struct Hosts
{
    QString renderer = QStringLiteral("http://xplanet.sourceforge.net");     // cloud map, MD5 sum, clouds page
    QString quake = QStringLiteral("http://earthquake.usgs.gov");            // earthquake list
    QString tle = QStringLiteral("http://www.celestrak.com");                // satellite elements
    QString program = QStringLiteral("http://www.globewall.quillmoor.net");  // update info, home page
};

Hosts& hosts();

inline QString cloudMap() { return hosts().renderer + QStringLiteral("/clouds_2000.jpg"); }
inline QString cloudMapMd5() { return hosts().renderer + QStringLiteral("/md5sum"); }
inline QString cloudsPage() { return hosts().renderer + QStringLiteral("/clouds.php"); }
inline QString rendererHome() { return hosts().renderer + QStringLiteral("/"); }
inline QString quakeList() { return hosts().quake + QStringLiteral("/neis/finger/quake.asc"); }
inline QString tleList() { return hosts().tle + QStringLiteral("/NORAD/elements/stations.txt"); }
inline QString updateInfo() { return hosts().program + QStringLiteral("/soft/updates.ini"); }
inline QString programHome() { return hosts().program + QStringLiteral("/index_globewall.html"); }
inline QString programEmail() { return QStringLiteral("globewall@quillmoor.net"); }

} // namespace gw::endpoints
