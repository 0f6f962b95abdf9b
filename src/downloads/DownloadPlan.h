#pragma once
// The cloud map and every row of the download list as jobs of the plan: when each is next
// fetched and what holds it. A row naming a built-in source (every layer) goes at its source's
// own pace, limited by its host's gap; other rows when the list is due ("times per day").
#include "scheduler/Plan.h"

#include <QList>
#include <QString>

namespace gw {

class HostGaps;
class SettingsAccess;
struct AppState;

// What the tooltip and "--status" call a download: the layer it feeds ("aurora", "ISS", ...),
// else "cloud map" or "download N".
QString downloadCaption(int row, const QString& source);

// The moment a row naming a built-in source is next due: its source's cadence (at least its
// host's gap) after it was last asked, or its host's hold when that ends later; 0: now.
TDateTime builtInRowDue(const HostGaps& gaps, const QString& source, const QString& destination, TDateTime now);

// Every download fetched on its own as a job of the plan. `cloudDue` and `listDue`: the moments
// the scheduler gives the cloud check and the list pass (none: not timed); `sourceRows`: rows
// of built-in sources are timed; `network`: what holds the timed downloads as a whole (none:
// nothing), told instead of a narrower hold of a job's own.
QList<PlanJob> plannedDownloads(const SettingsAccess& settings, const QString& settingsFile, TDateTime now,
    std::optional<TDateTime> cloudDue, std::optional<TDateTime> listDue, bool sourceRows, const PlanHold& network);

} // namespace gw
