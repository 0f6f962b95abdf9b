#include "downloads/FeedAddresses.h"

#include "downloads/BuiltInSources.h"
#include "shared/Endpoints.h"

#include <QUrl>
#include <QUrlQuery>

namespace gw::sources {

feeds::Kind feedKindOf(const QString& url)
{
    if (url == endpoints::quakeList())
        return feeds::Kind::QuakeList;
    const Source* found = forAddress(url);
    if (found == &source(QuakeFeeds))
        return feeds::Kind::Quake;
    if (found == &source(AuroraForecast))
        return feeds::Kind::Aurora;
    if (found == &source(TropicalStorms))
        return feeds::Kind::Storms;
    if (found == &source(NaturalEvents)) {
        // One category an address: the list of all is no layer's.
        const QStringList categories
            = QUrlQuery(QUrl(url)).queryItemValue(QStringLiteral("category")).split(QLatin1Char(','));
        if (categories.size() != 1)
            return feeds::Kind::None;
        if (categories.front() == QLatin1String("severeStorms"))
            return feeds::Kind::EonetStorms;
        if (categories.front() == QLatin1String("volcanoes"))
            return feeds::Kind::Volcanoes;
        if (categories.front() == QLatin1String("wildfires"))
            return feeds::Kind::Wildfires;
    }
    return feeds::Kind::None;
}

bool isQuakeSummaryFeed(const QString& url)
{
    return forAddress(url) == &source(QuakeFeeds);
}

} // namespace gw::sources
