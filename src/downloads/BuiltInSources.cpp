#include "downloads/BuiltInSources.h"

#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <iterator>

namespace gw::sources {

namespace {

    const Source kSources[] = {
#define GW_SOURCE(name, host, path, cadence, gap, age, stops)                                                          \
    { #name, &endpoints::Hosts::host, path, cadence, gap, ContentAge::age, stops },
#include "downloads/SourceTable.def"
#undef GW_SOURCE
    };
    static_assert(std::size(kSources) == Count);

    bool sameHost(const QString& url, const Source& s)
    {
        const QString key = hostKey(url);
        return !key.isEmpty() && key == hostKey(s.hostAddress());
    }

    // "*" is any text, "?" and every other character themselves: a query is part of the path.
    bool pathMatches(const QString& url, const char* pattern)
    {
        const QUrl address(url);
        QString path = address.path(QUrl::FullyEncoded);
        if (address.hasQuery())
            path += QLatin1Char('?') + address.query(QUrl::FullyEncoded);
        QStringList parts = QString::fromLatin1(pattern).split(QLatin1Char('*'));
        for (QString& part : parts)
            part = QRegularExpression::escape(part);
        const QRegularExpression re(QRegularExpression::anchoredPattern(parts.join(QStringLiteral(".*"))));
        return re.match(path).hasMatch();
    }

} // namespace

const Source& source(Name name)
{
    return kSources[name];
}

QString hostKey(const QString& url)
{
    const QUrl address(url);
    if (!address.isValid() || address.host().isEmpty())
        return QString();
    const QString host = address.host().toLower();
    return address.port() < 0 ? host : host + QLatin1Char(':') + QString::number(address.port());
}

const Source* forAddress(const QString& url)
{
    for (const Source& s : kSources)
        if (sameHost(url, s) && pathMatches(url, s.path))
            return &s;
    return nullptr;
}

double gapDays(const QString& url)
{
    int minutes = 0;
    for (const Source& s : kSources)
        if (sameHost(url, s))
            minutes = std::max(minutes, s.gapMinutes);
    return minutes / (24.0 * 60.0);
}

bool onHostOf(Name name, const QString& url)
{
    return sameHost(url, source(name));
}

bool stopsOnRefusal(const QString& url)
{
    return std::any_of(std::begin(kSources), std::end(kSources),
        [&](const Source& s) { return s.stopsOnRefusal && sameHost(url, s); });
}

} // namespace gw::sources
