#include "app/StatusLines.h"

#include "downloads/FeedAddresses.h"
#include "downloads/SourceAges.h"
#include "feeds/QuakeFeeds.h"
#include "scheduler/Plan.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/AppState.h"
#include "shared/Endpoints.h"

#include <QFileInfo>

namespace gw {

namespace {

    QDateTime changed(const QString& file)
    {
        const QFileInfo info(file);
        return !file.isEmpty() && info.isFile() ? info.lastModified() : QDateTime();
    }

    // The date of the content when its server told it, else when the file changed; nothing
    // while there is no file.
    QDateTime contentOf(const SourceAges& ages, const QString& url, const QString& file)
    {
        const QDateTime onDisk = changed(file);
        const TDateTime content = ages.contentDate(url);
        return onDisk.isValid() && content > 0 ? fromDateTime(content) : onDisk;
    }

    QString when(const QDateTime& t, const QDateTime& now)
    {
        if (!t.isValid())
            return QStringLiteral("not yet");
        const QString time = t.toString(QStringLiteral("hh:mm"));
        return t.date() == now.date() ? time : t.toString(QStringLiteral("dd.MM.yyyy ")) + time;
    }

    QString aged(const char* what, const QDateTime& content, bool stale, const QDateTime& now)
    {
        return QLatin1String(what) + when(content, now) + (stale ? QStringLiteral(" (stale)") : QString());
    }

} // namespace

StatusFacts statusFacts(const SettingsAccess& settings, const AppState& state)
{
    return statusFacts(settings, state, QString(), toDateTime(QDateTime::currentDateTime()));
}

StatusFacts statusFacts(
    const SettingsAccess& settings, const AppState& state, const QString& settingsFile, TDateTime now)
{
    StatusFacts facts;
    facts.enabled = settings.checked(ctl::Globewallenabled);
    facts.timedRender = settings.checked(ctl::cbStartEveryXsec);
    facts.nextRender = state.LastRenderTime + settings.integer(ctl::SpinEdit) * OneSecond;
    const SourceAges ages([settingsFile] { return settingsFile; });
    const QString cloud = settings.text(ctl::edtWebAdress);
    facts.cloudUpdated = contentOf(ages, cloud, settings.text(ctl::edtFileDestination));
    // Only what the server said of its content tells whether a source has stopped changing.
    facts.cloudStale = facts.cloudUpdated.isValid() && SourceAges::isStale(cloud, ages.contentDate(cloud), now);
    const QString grid = ctl::sgDownloadFiles;
    for (int row = 1; row < settings.rowCount(grid); ++row) {
        const QString source = settings.cell(grid, 0, row);
        if (source == endpoints::quakeList() || sources::isQuakeSummaryFeed(source)) {
            facts.quakesUpdated = contentOf(ages, source, settings.cell(grid, 1, row));
            facts.quakesStale
                = facts.quakesUpdated.isValid() && SourceAges::isStale(source, ages.contentDate(source), now);
            break;
        }
    }
    return facts;
}

QStringList statusLines(const StatusFacts& facts, const QDateTime& now)
{
    QString render;
    if (facts.plan)
        render = facts.plan->renderLine(toDateTime(now));
    else if (!facts.enabled)
        render = QStringLiteral("switched off: no renders");
    else if (!facts.timedRender)
        render = QStringLiteral("no timed render");
    else if (fromDateTime(facts.nextRender) <= now)
        render = QStringLiteral("next render now");
    else
        render = QStringLiteral("next render ") + when(fromDateTime(facts.nextRender), now);
    QStringList lines { render,
        aged("cloud map ", facts.cloudUpdated, facts.cloudStale, now)
            + aged(", earthquakes ", facts.quakesUpdated, facts.quakesStale, now) };
    if (facts.plan)
        lines << facts.plan->holdLines(toDateTime(now));
    return lines;
}

} // namespace gw
