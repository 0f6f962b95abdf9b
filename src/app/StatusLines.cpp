#include "app/StatusLines.h"

#include "downloads/QuakeFeeds.h"
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

    QString when(const QDateTime& t, const QDateTime& now)
    {
        if (!t.isValid())
            return QStringLiteral("not yet");
        const QString time = t.toString(QStringLiteral("hh:mm"));
        return t.date() == now.date() ? time : t.toString(QStringLiteral("dd.MM.yyyy ")) + time;
    }

} // namespace

StatusFacts statusFacts(const SettingsAccess& settings, const AppState& state)
{
    StatusFacts facts;
    facts.enabled = settings.checked(ctl::Globewallenabled);
    facts.timedRender = settings.checked(ctl::cbStartEveryXsec);
    facts.nextRender = state.LastRenderTime + settings.integer(ctl::SpinEdit) * OneSecond;
    facts.cloudUpdated = changed(settings.text(ctl::edtFileDestination));
    const QString grid = ctl::sgDownloadFiles;
    for (int row = 1; row < settings.rowCount(grid); ++row) {
        const QString source = settings.cell(grid, 0, row);
        if (source == endpoints::quakeList() || quake::isSummaryFeed(source)) {
            facts.quakesUpdated = changed(settings.cell(grid, 1, row));
            break;
        }
    }
    return facts;
}

QStringList statusLines(const StatusFacts& facts, const QDateTime& now)
{
    QString render;
    if (!facts.enabled)
        render = QStringLiteral("switched off: no renders");
    else if (!facts.timedRender)
        render = QStringLiteral("no timed render");
    else if (fromDateTime(facts.nextRender) <= now)
        render = QStringLiteral("next render now");
    else
        render = QStringLiteral("next render ") + when(fromDateTime(facts.nextRender), now);
    return { render,
        QStringLiteral("cloud map ") + when(facts.cloudUpdated, now) + QStringLiteral(", earthquakes ")
            + when(facts.quakesUpdated, now) };
}

} // namespace gw
