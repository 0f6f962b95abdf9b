#include "downloads/AnswerLimits.h"

#include "downloads/BuiltInSources.h"
#include "downloads/FeedAddresses.h"

#include <QFileInfo>

namespace gw::limits {

qint64 maxBytesFor(const QString& url, const QString& destination)
{
    // Every built-in source but the cloud maps is a feed.
    const sources::Source* source = sources::forAddress(url);
    if (sources::feedKindOf(url) != feeds::Kind::None || (source && source != &sources::source(sources::LiveClouds))
        || sources::stopsOnRefusal(url))
        return FeedBytes;
    // A feed of the user's own is known by the text file it goes into.
    static const QStringList kTextFiles = { QStringLiteral("tle"), QStringLiteral("txt"), QStringLiteral("csv"),
        QStringLiteral("geojson"), QStringLiteral("json"), QStringLiteral("asc"), QStringLiteral("xml"),
        QStringLiteral("marker"), QStringLiteral("md5"), QStringLiteral("ini") };
    return kTextFiles.contains(QFileInfo(destination).suffix().toLower()) ? FeedBytes : 0;
}

} // namespace gw::limits
