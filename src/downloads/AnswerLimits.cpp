#include "downloads/AnswerLimits.h"

#include "downloads/HostGaps.h"
#include "downloads/QuakeFeeds.h"
#include "shared/Endpoints.h"

#include <QFileInfo>

namespace gw::limits {

qint64 maxBytesFor(const QString& url, const QString& destination)
{
    if (quake::isSummaryFeed(url) || url == endpoints::quakeList() || HostGaps::isSatelliteSite(url))
        return FeedBytes;
    // A feed of the user's own is known by the text file it goes into.
    static const QStringList kTextFiles = { QStringLiteral("tle"), QStringLiteral("txt"), QStringLiteral("csv"),
        QStringLiteral("geojson"), QStringLiteral("json"), QStringLiteral("asc"), QStringLiteral("xml"),
        QStringLiteral("marker"), QStringLiteral("md5"), QStringLiteral("ini") };
    return kTextFiles.contains(QFileInfo(destination).suffix().toLower()) ? FeedBytes : 0;
}

} // namespace gw::limits
