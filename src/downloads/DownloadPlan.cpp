#include "downloads/DownloadPlan.h"

#include "downloads/BuiltInSources.h"
#include "downloads/DownloadLayers.h"
#include "downloads/DownloadStatus.h"
#include "downloads/HostGaps.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"

#include <algorithm>

namespace gw {

QString downloadCaption(int row, const QString& source)
{
    using Layer = DownloadLayers::Layer;
    static const std::pair<Layer, const char*> layers[] = { { Layer::Earthquakes, "earthquakes" },
        { Layer::Aurora, "aurora" }, { Layer::Storms, "tropical storms" }, { Layer::Iss, "ISS" } };
    if (row == 0)
        return QStringLiteral("cloud map");
    for (const auto& [layer, caption] : layers) {
        if (DownloadLayers::servesLayer(layer, source))
            return QLatin1String(caption);
    }
    return QStringLiteral("download ") + QString::number(row);
}

TDateTime builtInRowDue(const HostGaps& gaps, const QString& source, const QString& destination, TDateTime now)
{
    const sources::Source* builtIn = sources::forAddress(source);
    if (!builtIn)
        return 0;
    const TDateTime asked = gaps.lastAsked(source, now);
    const double pace = std::max(builtIn->cadenceMinutes, builtIn->gapMinutes) * OneMinute;
    const TDateTime due = asked > 0 ? asked + pace : 0;
    return std::max(due, timedDownloadAllowedFrom(gaps, source, destination, now));
}

namespace {

    // The hold the host of `source` puts on it; none when it may be asked.
    PlanHold hostHold(const HostGaps& gaps, const QString& source, const QString& destination, TDateTime now)
    {
        const QString stopped = gaps.stopReason(source);
        if (!stopped.isEmpty())
            return { HoldKind::Stopped, 0, 0, stopped };
        const TDateTime allowed = timedDownloadAllowedFrom(gaps, source, destination, now);
        if (allowed <= now)
            return {};
        const HostGaps::Hold hold = gaps.holdFor(source, now);
        if (allowed > hold.until + 1e-6 || hold.why == HostGaps::Hold::HostGap)
            return { HoldKind::HostGap, allowed };
        if (hold.why == HostGaps::Hold::LastAttemptFailed)
            return { HoldKind::Backoff, allowed, 0, hold.failure };
        return { HoldKind::ServerWait, allowed };
    }

} // namespace

QList<PlanJob> plannedDownloads(const SettingsAccess& settings, const QString& settingsFile, TDateTime now,
    std::optional<TDateTime> cloudDue, std::optional<TDateTime> listDue, bool sourceRows, const PlanHold& network)
{
    const HostGaps gaps([settingsFile] { return settingsFile; });
    QList<PlanJob> jobs;
    const auto add = [&](int row, const QString& source, const QString& destination, TDateTime due) {
        PlanJob job(PlanJob::Row, downloadCaption(row, source), due, hostHold(gaps, source, destination, now));
        job.row = row;
        // A host's stop outlasts anything else; otherwise the widest hold is told.
        if (network.kind != HoldKind::None && job.hold.kind != HoldKind::Stopped
            && (job.hold.kind == HoldKind::None || job.hold.kind > network.kind))
            job.hold = network;
        jobs << job;
    };
    const QString cloud = settings.text(ctl::edtWebAdress);
    if (cloudDue && !cloud.isEmpty())
        add(0, cloud, settings.text(ctl::edtFileDestination), *cloudDue);
    const QString grid = ctl::sgDownloadFiles;
    for (int row = 1; row < settings.rowCount(grid); ++row) {
        const QString source = settings.cell(grid, 0, row);
        const QString destination = settings.cell(grid, 1, row);
        if (source.isEmpty() || destination.isEmpty())
            continue;
        if (sources::forAddress(source) && sourceRows)
            add(row, source, destination, builtInRowDue(gaps, source, destination, now));
        else if (listDue)
            add(row, source, destination, *listDue);
    }
    return jobs;
}

} // namespace gw
