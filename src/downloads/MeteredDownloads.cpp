#include "downloads/MeteredDownloads.h"

#include "downloads/FeedAddresses.h"
#include "feeds/QuakeFeeds.h"
#include "scheduler/SessionNetwork.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/Clock.h"
#include "shared/Endpoints.h"
#include "shared/LogSink.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

namespace gw {

namespace {
    constexpr int kSmallWidth = 1024;
    constexpr int kSmallHeight = 512;
} // namespace

MeteredChoice meteredChoice(const QString& text)
{
    if (text == QLatin1String("metered: download as usual"))
        return MeteredChoice::AsUsual;
    if (text == QLatin1String("metered: nothing"))
        return MeteredChoice::Nothing;
    return MeteredChoice::SmallFiles;
}

bool isSmallCloudMap(const QString& url)
{
    static const QRegularExpression size(QStringLiteral("(?:^|[^0-9])([0-9]{1,5})x([0-9]{1,5})(?:[^0-9]|$)"));
    const QRegularExpressionMatch m = size.match(QUrl(url).path());
    return m.hasMatch() && m.captured(1).toInt() <= kSmallWidth && m.captured(2).toInt() <= kSmallHeight;
}

bool isSmallListItem(const QString& source, const QString& destination)
{
    if (source == endpoints::quakeFeed() || sources::isQuakeSummaryFeed(source))
        return true;
    if (QFileInfo(destination).suffix().compare(QLatin1String("tle"), Qt::CaseInsensitive) == 0)
        return true;
    // The fixed-column earthquake list of the first start.
    return destination.endsWith(QLatin1String("quake.asc"), Qt::CaseInsensitive);
}

MeteredDownloads::MeteredDownloads(
    const SessionNetwork& network, const SettingsAccess& settings, LogSink& transferLog, const Clock& clock)
    : m_network(network)
    , m_settings(settings)
    , m_log(transferLog)
    , m_clock(clock)
    , m_metered([&network] { return network.metered(); })
{
}

double MeteredDownloads::downloadsHeldFor(double bootNow) const
{
    return m_network.downloadsHeldFor(bootNow);
}

bool MeteredDownloads::waits(const QString& item, bool small)
{
    if (!m_metered()) {
        m_logged.clear();
        return false;
    }
    const MeteredChoice choice = meteredChoice(m_settings.text(ctl::ddbMeteredConnection));
    const bool waiting = choice == MeteredChoice::Nothing || (choice == MeteredChoice::SmallFiles && !small);
    // The first word of a held download in a metered spell, whether the scheduler's plan or a
    // due tick asks: a download held from the start of the spell is never asked at a due tick,
    // as the scheduler then sleeps until the network's event.
    if (waiting && !m_logged.contains(item)) {
        m_logged.insert(item);
        m_log.appendLine(DateTimeToStr(m_clock.now()) + QStringLiteral(" - The connection is metered: ") + item
            + QStringLiteral(" waits until it is not."));
    }
    return waiting;
}

bool MeteredDownloads::waitsForUnmetered(Download download, bool)
{
    if (download == Download::Cloud) {
        const QString source = m_settings.text(ctl::edtWebAdress);
        return waits(source, isSmallCloudMap(source));
    }
    // In "only small files" the list runs and holds its large rows one by one.
    return meteredChoice(m_settings.text(ctl::ddbMeteredConnection)) == MeteredChoice::Nothing
        && waits(QStringLiteral("the download list"), false);
}

bool MeteredDownloads::rowWaits(const QString& source, const QString& destination)
{
    return waits(source, isSmallListItem(source, destination));
}

} // namespace gw
