#include "downloads/SourceMirror.h"

#include "downloads/BuiltInSources.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"

#include <QUrl>

namespace gw::mirror {

QString baseOf(const QString& setting, QString* problem)
{
    if (problem)
        problem->clear();
    QString base = setting.trimmed();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    if (base.isEmpty())
        return QString();
    const QUrl url(base, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    QString why;
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        why = QStringLiteral("not an http or https address");
    else if (url.host().isEmpty())
        why = QStringLiteral("no host");
    else if (url.hasQuery() || url.hasFragment())
        why = QStringLiteral("a query or fragment cannot lead a path");
    if (why.isEmpty())
        return base;
    if (problem)
        *problem = why;
    return QString();
}

QString addressFor(const QString& base, const QString& url)
{
    if (base.isEmpty() || !sources::forAddress(url))
        return url;
    const QUrl address(url);
    QString path = address.path(QUrl::FullyEncoded);
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    if (address.hasQuery())
        path += QLatin1Char('?') + address.query(QUrl::FullyEncoded);
    // The port stays part of the host's name: two origins on one host are two prefixes.
    return base + QLatin1Char('/') + sources::hostKey(url) + path;
}

QString statusText(const QString& setting)
{
    QString problem;
    const QString base = baseOf(setting, &problem);
    if (!problem.isEmpty())
        return setting.trimmed() + QStringLiteral(" (not used: ") + problem + QLatin1Char(')');
    return base.isEmpty() ? QStringLiteral("none") : base;
}

DownloadEngine::Router router(const SettingsAccess& settings)
{
    return [&settings](const QString& url) {
        const QString address = addressFor(baseOf(settings.text(ctl::edtMirror)), url);
        return DownloadEngine::Route { address, address != url };
    };
}

} // namespace gw::mirror
