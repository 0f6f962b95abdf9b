#include "downloads/FeedAddresses.h"

#include "downloads/BuiltInSources.h"
#include "shared/Endpoints.h"

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
    return feeds::Kind::None;
}

bool isQuakeSummaryFeed(const QString& url)
{
    return forAddress(url) == &source(QuakeFeeds);
}

} // namespace gw::sources
